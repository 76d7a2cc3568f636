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

namespace {

bool RefIsJsonSpace(unsigned char Byte) { return Byte >= 0x01 && Byte <= 0x20; }

bool RefIsDigit(char Char) { return Char >= '0' && Char <= '9'; }

/// Four hexadecimal digits at Text[At], or 0 when one is not (as the
/// library's reading of a \u escape has it).
unsigned RefHex4(const std::string &Text, size_t At) {
  unsigned Value = 0;
  for (size_t Index = 0; Index < 4; Index++) {
    char Char = Text[At + Index];
    unsigned Digit = 0;
    if (RefIsDigit(Char)) {
      Digit = static_cast<unsigned>(Char - '0');
    } else if (Char >= 'a' && Char <= 'f') {
      Digit = static_cast<unsigned>(Char - 'a' + 10);
    } else if (Char >= 'A' && Char <= 'F') {
      Digit = static_cast<unsigned>(Char - 'A' + 10);
    } else {
      return 0;
    }
    Value = Value * 16 + Digit;
  }
  return Value;
}

/// The end of the string whose quotation mark is at Start (the byte after
/// its closing mark), or npos when it is unended or holds a bad escape.
size_t RefSkipString(const std::string &Text, size_t Start) {
  size_t End = Start + 1;
  while (End < Text.size() && Text[End] != '"') {
    End += Text[End] == '\\' ? 2 : 1;
  }
  if (End >= Text.size()) {
    return std::string::npos;
  }
  for (size_t At = Start + 1; At < End;) {
    if (Text[At] != '\\') {
      At++;
      continue;
    }
    char Escape = Text[At + 1];
    if (Escape != 'u') {
      if (std::string("bfnrt\"\\/").find(Escape) == std::string::npos) {
        return std::string::npos;
      }
      At += 2;
      continue;
    }
    if (End - At < 6) {
      return std::string::npos;
    }
    unsigned First = RefHex4(Text, At + 2);
    if (First >= 0xDC00 && First <= 0xDFFF) {
      return std::string::npos;
    }
    if (First >= 0xD800 && First <= 0xDBFF) {
      // A high surrogate needs "\u" and a low one right after it.
      size_t Second = At + 6;
      if (End - Second < 6 || Text[Second] != '\\' || Text[Second + 1] != 'u') {
        return std::string::npos;
      }
      unsigned Low = RefHex4(Text, Second + 2);
      if (Low < 0xDC00 || Low > 0xDFFF) {
        return std::string::npos;
      }
      At += 12;
    } else {
      At += 6;
    }
  }
  return End + 1;
}

/// The end of the number at Start, or npos: the run of bytes 0-9 + - e E .
/// as far as strtod reads it (a mantissa with at least one digit, then an
/// exponent only when it has digits).
size_t RefSkipNumber(const std::string &Text, size_t Start) {
  size_t RunEnd = Start;
  while (RunEnd < Text.size() &&
         std::string("0123456789+-eE.").find(Text[RunEnd]) != std::string::npos) {
    RunEnd++;
  }
  const std::string Run = Text.substr(Start, RunEnd - Start);
  size_t At = 0;
  if (At < Run.size() && (Run[At] == '+' || Run[At] == '-')) {
    At++;
  }
  size_t Digits = 0;
  while (At < Run.size() && RefIsDigit(Run[At])) {
    At++;
    Digits++;
  }
  if (At < Run.size() && Run[At] == '.') {
    At++;
    while (At < Run.size() && RefIsDigit(Run[At])) {
      At++;
      Digits++;
    }
  }
  if (Digits == 0) {
    return std::string::npos;
  }
  if (At < Run.size() && (Run[At] == 'e' || Run[At] == 'E')) {
    size_t Exponent = At + 1;
    if (Exponent < Run.size() && (Run[Exponent] == '+' || Run[Exponent] == '-')) {
      Exponent++;
    }
    if (Exponent < Run.size() && RefIsDigit(Run[Exponent])) {
      while (Exponent < Run.size() && RefIsDigit(Run[Exponent])) {
        Exponent++;
      }
      At = Exponent;
    }
  }
  return Start + At;
}

}  // namespace

RefNesting RefJsonNesting(const std::string &Input, size_t Limit) {
  // The library reads up to the first NUL.
  const std::string Text = Input.substr(0, Input.find('\0'));
  auto SkipSpace = [&Text](size_t At) {
    while (At < Text.size() && RefIsJsonSpace(static_cast<unsigned char>(Text[At]))) {
      At++;
    }
    return At;
  };
  auto Error = [](size_t At) { return RefNesting{RefNesting::SYNTAX_ERROR, At}; };

  size_t At = 0;
  if (Text.size() >= 4 && Text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    At = 3;
  }
  std::string Open;  // the open brackets, innermost last
  enum class Next { VALUE, MEMBER, AFTER_VALUE } State = Next::VALUE;
  At = SkipSpace(At);
  for (;;) {
    if (State == Next::MEMBER) {
      // A member name, its colon, then its value.
      if (At >= Text.size() || Text[At] != '"') {
        return Error(At);
      }
      size_t End = RefSkipString(Text, At);
      if (End == std::string::npos) {
        return Error(At);
      }
      At = SkipSpace(End);
      if (At >= Text.size() || Text[At] != ':') {
        return Error(At);
      }
      At = SkipSpace(At + 1);
      State = Next::VALUE;
      continue;
    }
    if (State == Next::AFTER_VALUE) {
      if (Open.empty()) {
        return RefNesting{RefNesting::COMPLETE, At};
      }
      At = SkipSpace(At);
      char Close = Open.back() == '[' ? ']' : '}';
      if (At < Text.size() && Text[At] == ',') {
        At = SkipSpace(At + 1);
        State = Open.back() == '[' ? Next::VALUE : Next::MEMBER;
      } else if (At < Text.size() && Text[At] == Close) {
        Open.pop_back();
        At++;
      } else {
        return Error(At);
      }
      continue;
    }
    // A value.
    if (At >= Text.size()) {
      return Error(At);
    }
    char Char = Text[At];
    if (Text.compare(At, 4, "null") == 0 || Text.compare(At, 4, "true") == 0) {
      At += 4;
      State = Next::AFTER_VALUE;
    } else if (Text.compare(At, 5, "false") == 0) {
      At += 5;
      State = Next::AFTER_VALUE;
    } else if (Char == '"') {
      size_t End = RefSkipString(Text, At);
      if (End == std::string::npos) {
        return Error(At);
      }
      At = End;
      State = Next::AFTER_VALUE;
    } else if (Char == '-' || RefIsDigit(Char)) {
      size_t End = RefSkipNumber(Text, At);
      if (End == std::string::npos) {
        return Error(At);
      }
      At = End;
      State = Next::AFTER_VALUE;
    } else if (Char == '[' || Char == '{') {
      if (Open.size() >= Limit) {
        return RefNesting{RefNesting::TOO_DEEP, At};
      }
      Open.push_back(Char);
      At = SkipSpace(At + 1);
      char Close = Char == '[' ? ']' : '}';
      if (At < Text.size() && Text[At] == Close) {
        Open.pop_back();
        At++;
        State = Next::AFTER_VALUE;
      } else {
        State = Char == '[' ? Next::VALUE : Next::MEMBER;
      }
    } else {
      return Error(At);
    }
  }
}
