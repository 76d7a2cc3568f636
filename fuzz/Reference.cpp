#include "fuzz/Reference.h"

namespace {

constexpr uint64_t ALL_ONES = ~0ULL;

size_t SkipBlanksAndZeros(const std::string &Text, size_t *Zeros) {
  size_t Index = 0;
  while (Index < Text.size() && (Text[Index] == ' ' || Text[Index] == '\t')) {
    Index++;
  }
  size_t First = Index;
  while (Index < Text.size() && Text[Index] == '0') {
    Index++;
  }
  *Zeros = Index - First;
  return Index;
}

int DigitValue(char Char, unsigned Base) {
  int Value = -1;
  if (Char >= '0' && Char <= '9') {
    Value = Char - '0';
  } else if (Char >= 'a' && Char <= 'f') {
    Value = Char - 'a' + 10;
  } else if (Char >= 'A' && Char <= 'F') {
    Value = Char - 'A' + 10;
  }
  return Value >= 0 && static_cast<unsigned>(Value) < Base ? Value : -1;
}

RefNumber ReadDigits(const std::string &Text, size_t Index, unsigned Base, bool Zeros) {
  RefNumber Result;
  Result.HasDigits = Zeros;
  // The value in 128 bits: overflow is whatever passes 64 bits.
  unsigned __int128 Value = 0;
  for (; Index < Text.size(); Index++) {
    int Digit = DigitValue(Text[Index], Base);
    if (Digit < 0) {
      break;
    }
    Result.HasDigits = true;
    Value = Value * Base + static_cast<unsigned>(Digit);
    if (Value > ALL_ONES) {
      Result.Status = REF_UNSUPPORTED;
      Result.Value = ALL_ONES;
      return Result;
    }
  }
  Result.Value = static_cast<uint64_t>(Value);
  return Result;
}

std::string Digits(uint64_t Value, unsigned Base, size_t Width) {
  std::string Text;
  do {
    unsigned Digit = static_cast<unsigned>(Value % Base);
    Text.insert(Text.begin(), static_cast<char>(Digit < 10 ? '0' + Digit : 'A' + Digit - 10));
    Value /= Base;
  } while (Value != 0);
  if (Text.size() < Width) {
    Text.insert(0, Width - Text.size(), '0');
  }
  return Text;
}

/// Walks Format as BoundedFormat does; Arguments may be null to list the
/// conversions only (into Types).
std::string Walk(const std::string &Format, const std::vector<RefArgument> *Arguments,
                 std::string *Types) {
  std::string Out;
  size_t Next = 0;
  size_t Index = 0;
  const size_t Length = Format.size();
  while (Index < Length) {
    char Char = Format[Index];
    if (Char == '\n' || Char == '\r') {
      Index++;
      char Following = Index < Length ? Format[Index] : '\0';
      if (Char == '\r' && Following != '\n') {
        Out += '\r';
        continue;
      }
      if ((Char == '\n' && Following == '\r') || (Char == '\r' && Following == '\n')) {
        Index++;
      }
      Out += "\r\n";
      continue;
    }
    if (Char != '%') {
      Out += Char;
      Index++;
      continue;
    }
    size_t Start = Index++;
    size_t Width = 0;
    while (Index < Length && Format[Index] >= '0' && Format[Index] <= '9' && Width < 64) {
      Width = Width * 10 + static_cast<size_t>(Format[Index++] - '0');
    }
    char Type = Index < Length ? Format[Index] : '\0';
    if (Type == 'a' || Type == 'd' || Type == 'X') {
      Index++;
      if (Types != nullptr) {
        *Types += Type;
      }
      if (Arguments == nullptr) {
        continue;
      }
      const RefArgument &Argument = (*Arguments)[Next++];
      if (Type == 'a') {
        Out += Argument.Null ? std::string("<null string>") : Argument.Text;
      } else if (Type == 'd') {
        int64_t Value = Argument.Signed;
        if (Value < 0) {
          Out += '-';
        }
        Out += Digits(static_cast<uint64_t>(Value < 0 ? -Value : Value), 10, Width);
      } else {
        Out += Digits(Argument.Unsigned, 16, Width);
      }
    } else if (Type == '%') {
      Index++;
      Out += '%';
    } else {
      Out += Format.substr(Start, Index - Start);
    }
  }
  return Out;
}

}  // namespace

RefNumber RefHex(const std::string &Text) {
  size_t Zeros = 0;
  size_t Index = SkipBlanksAndZeros(Text, &Zeros);
  if (Index < Text.size() && (Text[Index] == 'x' || Text[Index] == 'X')) {
    if (Zeros == 0) {
      return RefNumber();
    }
    return ReadDigits(Text, Index + 1, 16, false);
  }
  return ReadDigits(Text, Index, 16, Zeros > 0);
}

RefNumber RefDecimal(const std::string &Text) {
  size_t Zeros = 0;
  size_t Index = SkipBlanksAndZeros(Text, &Zeros);
  return ReadDigits(Text, Index, 10, Zeros > 0);
}

std::string RefConversions(const std::string &Format) {
  std::string Types;
  (void)Walk(Format, nullptr, &Types);
  return Types;
}

std::string RefFormat(const std::string &Format, const std::vector<RefArgument> &Arguments) {
  return Walk(Format, &Arguments, nullptr);
}

uint64_t RefAppend(std::string &Destination, const std::string &Source, bool Overlapping,
                   size_t Offset) {
  const size_t Size = Destination.size();
  if (Size == 0 || Size > 1000000) {
    return REF_INVALID_PARAMETER;
  }
  size_t Length = Destination.find('\0');
  if (Length == std::string::npos) {
    return REF_BAD_BUFFER_SIZE;
  }
  std::string Text = Overlapping ? Destination.substr(Offset) : Source;
  Text = Text.substr(0, Text.find('\0'));
  if (Length + Text.size() > Size - 1) {
    return REF_BUFFER_TOO_SMALL;
  }
  // The source with its NUL is [Offset, Offset + size + 1) of the buffer.
  if (Overlapping && Offset < Size) {
    return REF_ACCESS_DENIED;
  }
  Destination.replace(Length, Text.size() + 1, Text + '\0');
  return REF_SUCCESS;
}

std::string RefDimmResults(const std::vector<RefDimmResult> &Results) {
  std::string Text;
  for (const RefDimmResult &Result : Results) {
    std::string Line = "DimmId:0x" + Digits(static_cast<uint32_t>(Result.Id), 16, 4) +
                       "; Status:" + Result.Status + "; ";
    Line = Line.substr(0, 99);
    if (Text.size() + Line.size() <= 399) {
      Text += Line;
    }
  }
  return Text;
}
