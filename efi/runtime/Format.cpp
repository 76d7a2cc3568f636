// sprintf: the integer and %g conversions cJSON prints with, and the flags,
// width and precision around them.
#include <stdarg.h>

#include "efi/runtime/Characters.h"
#include "efi/runtime/DecimalDigits.h"
#include "efi/runtime/DoubleBits.h"
#include "efi/runtime/include/stdio.h"

using namespace EfiRuntime;

namespace {

// Longest %g body without padding: 800 digits, a point and "e+308", or
// "0.000" and 800 digits.
constexpr UINTN GENERAL_BODY_SIZE = MAX_SIGNIFICANT_DIGITS + 8;

// One parsed directive.
struct DIRECTIVE {
  bool LeftAlign;
  bool ZeroPad;
  UINTN Width;
  bool HasPrecision;
  UINTN Precision;
};

// A converted value before padding: sign, the zeros an integer precision
// asks for, then the body.
struct FIELD {
  CHAR8 Sign;
  UINTN Zeros;
  const CHAR8 *Body;
  UINTN BodyLength;
  bool ZeroPadAllowed;
};

// Writes into the caller's buffer and counts what was written.
class Output {
 public:
  explicit Output(CHAR8 *Buffer) : mBuffer(Buffer) {}

  void Put(CHAR8 Character) { mBuffer[mCount++] = Character; }

  void Repeat(CHAR8 Character, UINTN Count) {
    while (Count-- > 0) {
      Put(Character);
    }
  }

  void Write(const CHAR8 *Text, UINTN Length) {
    for (UINTN Index = 0; Index < Length; Index++) {
      Put(Text[Index]);
    }
  }

  UINTN Count() const { return mCount; }

  void Terminate() { mBuffer[mCount] = '\0'; }

 private:
  CHAR8 *mBuffer;
  UINTN mCount = 0;
};

void EmitField(Output *Out, const DIRECTIVE &Directive, const FIELD &Field) {
  UINTN Length = (Field.Sign != 0 ? 1 : 0) + Field.Zeros + Field.BodyLength;
  UINTN Padding = Directive.Width > Length ? Directive.Width - Length : 0;
  bool PadWithZeros = Directive.ZeroPad && !Directive.LeftAlign && Field.ZeroPadAllowed;
  if (!Directive.LeftAlign && !PadWithZeros) {
    Out->Repeat(' ', Padding);
  }
  if (Field.Sign != 0) {
    Out->Put(Field.Sign);
  }
  if (PadWithZeros) {
    Out->Repeat('0', Padding);
  }
  Out->Repeat('0', Field.Zeros);
  Out->Write(Field.Body, Field.BodyLength);
  if (Directive.LeftAlign) {
    Out->Repeat(' ', Padding);
  }
}

// Reads a decimal number of a width or precision; false when it exceeds
// INT_MAX, which the result count could not reach.
bool ReadCount(const CHAR8 **Format, UINTN *Count) {
  UINTN Value = 0;
  for (; IsDigit(**Format); (*Format)++) {
    Value = Value * 10 + static_cast<UINTN>(**Format - '0');
    if (Value > __INT_MAX__) {
      return false;
    }
  }
  *Count = Value;
  return true;
}

// %d, %i and %x: Text must hold ten bytes.
void FormatInteger(UINT32 Magnitude, bool Negative, UINT32 Base, const DIRECTIVE &Directive,
                   CHAR8 *Text, FIELD *Field) {
  UINTN Length = 0;
  // Digits from the end of Text; "%.0d" prints nothing for zero.
  CHAR8 *End = Text + 10;
  while (Magnitude != 0 || (Length == 0 && !(Directive.HasPrecision && Directive.Precision == 0))) {
    *--End = "0123456789abcdef"[Magnitude % Base];
    Magnitude /= Base;
    Length++;
  }
  Field->Sign = Negative ? '-' : 0;
  Field->Zeros =
      Directive.HasPrecision && Directive.Precision > Length ? Directive.Precision - Length : 0;
  Field->Body = End;
  Field->BodyLength = Length;
  Field->ZeroPadAllowed = !Directive.HasPrecision;
}

// Appends the decimal exponent of %g's scientific style: sign and at least
// two digits.
UINTN WriteExponent(INT32 Exponent, CHAR8 *Text) {
  UINTN Length = 0;
  Text[Length++] = 'e';
  Text[Length++] = Exponent < 0 ? '-' : '+';
  UINT32 Magnitude = static_cast<UINT32>(Exponent < 0 ? -Exponent : Exponent);
  if (Magnitude >= 100) {
    Text[Length++] = static_cast<CHAR8>('0' + Magnitude / 100);
  }
  Text[Length++] = static_cast<CHAR8>('0' + Magnitude / 10 % 10);
  Text[Length++] = static_cast<CHAR8>('0' + Magnitude % 10);
  return Length;
}

// %g: Body must hold GENERAL_BODY_SIZE bytes.
void FormatGeneral(double Value, const DIRECTIVE &Directive, CHAR8 *Body, FIELD *Field) {
  UINT64 Bits = BitsOfDouble(Value);
  UINT64 Magnitude = Bits & ~DOUBLE_SIGN_BIT;
  Field->Sign = (Bits & DOUBLE_SIGN_BIT) != 0 ? '-' : 0;
  Field->Zeros = 0;
  Field->Body = Body;
  Field->ZeroPadAllowed = Magnitude < DOUBLE_INFINITY_BITS;
  if (Magnitude >= DOUBLE_INFINITY_BITS) {
    Field->Body = Magnitude == DOUBLE_INFINITY_BITS ? "inf" : "nan";
    Field->BodyLength = 3;
    return;
  }
  if (Magnitude == 0) {
    Body[0] = '0';
    Field->BodyLength = 1;
    return;
  }

  // Precision P: 6 when absent, 1 when zero. Digits past the 767th are
  // zeros and %g drops trailing zeros, so at most 800 need computing.
  UINTN Precision =
      !Directive.HasPrecision ? 6 : (Directive.Precision == 0 ? 1 : Directive.Precision);
  UINT32 Count =
      Precision > MAX_SIGNIFICANT_DIGITS ? MAX_SIGNIFICANT_DIGITS : static_cast<UINT32>(Precision);
  CHAR8 Digits[MAX_SIGNIFICANT_DIGITS];
  INT32 Exponent;
  UINT32 Significant = RoundToSignificantDigits(DoubleOfBits(Magnitude), Count, Digits, &Exponent);

  UINTN Length = 0;
  if (Exponent >= -4 && static_cast<INT64>(Exponent) < static_cast<INT64>(Precision)) {
    // Fixed style; its precision P - 1 - X leaves exactly the significant
    // digits, of which the trailing zeros are gone.
    if (Exponent < 0) {
      Body[Length++] = '0';
      Body[Length++] = '.';
      for (INT32 Zero = -1; Zero > Exponent; Zero--) {
        Body[Length++] = '0';
      }
      for (UINT32 Index = 0; Index < Significant; Index++) {
        Body[Length++] = Digits[Index];
      }
    } else {
      UINT32 IntegerDigits = static_cast<UINT32>(Exponent) + 1;
      for (UINT32 Index = 0; Index < IntegerDigits; Index++) {
        Body[Length++] = Index < Significant ? Digits[Index] : '0';
      }
      if (Significant > IntegerDigits) {
        Body[Length++] = '.';
        for (UINT32 Index = IntegerDigits; Index < Significant; Index++) {
          Body[Length++] = Digits[Index];
        }
      }
    }
  } else {
    Body[Length++] = Digits[0];
    if (Significant > 1) {
      Body[Length++] = '.';
      for (UINT32 Index = 1; Index < Significant; Index++) {
        Body[Length++] = Digits[Index];
      }
    }
    Length += WriteExponent(Exponent, Body + Length);
  }
  Field->BodyLength = Length;
}

}  // namespace

extern "C" int sprintf(char *Buffer, const char *Format, ...) {
  va_list Arguments;
  va_start(Arguments, Format);
  Output Out(Buffer);
  bool Supported = true;

  while (Supported && *Format != '\0') {
    if (*Format != '%') {
      Out.Put(*Format++);
      continue;
    }
    Format++;
    if (*Format == '%') {
      Out.Put(*Format++);
      continue;
    }

    DIRECTIVE Directive = {};
    for (;; Format++) {
      if (*Format == '-') {
        Directive.LeftAlign = true;
      } else if (*Format == '0') {
        Directive.ZeroPad = true;
      } else {
        break;
      }
    }
    Supported = ReadCount(&Format, &Directive.Width);
    if (Supported && *Format == '.') {
      Format++;
      Directive.HasPrecision = true;
      Supported = ReadCount(&Format, &Directive.Precision);
    }
    if (Format[0] == 'l' && Format[1] == 'g') {
      Format++;  // "l" has no effect on %g
    }
    if (!Supported) {
      break;
    }

    FIELD Field;
    CHAR8 IntegerText[10];
    CHAR8 GeneralBody[GENERAL_BODY_SIZE];
    switch (*Format++) {
      case 'd':
      case 'i': {
        int Value = va_arg(Arguments, int);
        UINT32 Magnitude = Value < 0 ? 0U - static_cast<UINT32>(Value) : static_cast<UINT32>(Value);
        FormatInteger(Magnitude, Value < 0, 10, Directive, IntegerText, &Field);
        break;
      }
      case 'x':
        FormatInteger(va_arg(Arguments, unsigned int), false, 16, Directive, IntegerText, &Field);
        break;
      case 'g':
        FormatGeneral(va_arg(Arguments, double), Directive, GeneralBody, &Field);
        break;
      default:
        Supported = false;
        continue;
    }
    EmitField(&Out, Directive, Field);
  }
  va_end(Arguments);

  if (!Supported || Out.Count() > __INT_MAX__) {
    return -1;
  }
  Out.Terminate();
  return static_cast<int>(Out.Count());
}
