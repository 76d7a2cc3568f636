#include "report/ReportText.h"

namespace {

const char ELLIPSIS[] = "\xE2\x80\xA6";

void AddHexByte(std::string &Text, unsigned char Byte) {
  static const char Digits[] = "0123456789ABCDEF";
  Text += "\\x";
  Text += Digits[Byte >> 4];
  Text += Digits[Byte & 0xF];
}

/// The length of the valid UTF-8 character at Bytes[Index] that XML can
/// hold and that is not a control character; 0 when there is none.
size_t CharacterLength(const std::string &Bytes, size_t Index) {
  unsigned char Lead = static_cast<unsigned char>(Bytes[Index]);
  if (Lead >= 0x20 && Lead < 0x7F) {
    return 1;
  }
  size_t Length = 0;
  unsigned long Code = 0;
  if (Lead >= 0xC2 && Lead <= 0xDF) {
    Length = 2;
    Code = Lead & 0x1F;
  } else if (Lead >= 0xE0 && Lead <= 0xEF) {
    Length = 3;
    Code = Lead & 0x0F;
  } else if (Lead >= 0xF0 && Lead <= 0xF4) {
    Length = 4;
    Code = Lead & 0x07;
  } else {
    return 0;
  }
  if (Index + Length > Bytes.size()) {
    return 0;
  }
  for (size_t Next = 1; Next < Length; Next++) {
    unsigned char Byte = static_cast<unsigned char>(Bytes[Index + Next]);
    if ((Byte & 0xC0) != 0x80) {
      return 0;
    }
    Code = (Code << 6) | (Byte & 0x3F);
  }
  static const unsigned long Least[] = {0, 0, 0x80, 0x800, 0x10000};
  bool Valid = Code >= Least[Length] && Code <= 0x10FFFF && !(Code >= 0xD800 && Code <= 0xDFFF) &&
               Code != 0xFFFE && Code != 0xFFFF && !(Code >= 0x80 && Code <= 0x9F);
  return Valid ? Length : 0;
}

bool IsContinuation(char Byte) { return (static_cast<unsigned char>(Byte) & 0xC0) == 0x80; }

/// The byte offset after the first Count characters of Text.
size_t OffsetOf(const std::string &Text, size_t Count) {
  size_t Offset = 0;
  for (size_t Seen = 0; Offset < Text.size() && Seen < Count; Seen++) {
    Offset++;
    while (Offset < Text.size() && IsContinuation(Text[Offset])) {
      Offset++;
    }
  }
  return Offset;
}

}  // namespace

std::string ShownText(const std::string &Bytes) {
  std::string Text;
  Text.reserve(Bytes.size());
  for (size_t Index = 0; Index < Bytes.size();) {
    size_t Length = CharacterLength(Bytes, Index);
    if (Length != 0) {
      Text.append(Bytes, Index, Length);
      Index += Length;
      continue;
    }
    char Byte = Bytes[Index++];
    if (Byte == '\n') {
      Text += "\\n";
    } else if (Byte == '\r') {
      Text += "\\r";
    } else if (Byte == '\t') {
      Text += "\\t";
    } else {
      AddHexByte(Text, static_cast<unsigned char>(Byte));
    }
  }
  return Text;
}

std::string XmlEscaped(const std::string &Text) {
  std::string Escaped;
  Escaped.reserve(Text.size());
  for (char Byte : Text) {
    switch (Byte) {
      case '&':
        Escaped += "&amp;";
        break;
      case '<':
        Escaped += "&lt;";
        break;
      case '>':
        Escaped += "&gt;";
        break;
      case '"':
        Escaped += "&quot;";
        break;
      case '\'':
        Escaped += "&#39;";
        break;
      default:
        Escaped += Byte;
    }
  }
  return Escaped;
}

size_t CharacterCount(const std::string &Text) {
  size_t Count = 0;
  for (char Byte : Text) {
    Count += IsContinuation(Byte) ? 0 : 1;
  }
  return Count;
}

std::string CutEnd(const std::string &Text, size_t Room) {
  if (CharacterCount(Text) <= Room || Room == 0) {
    return CharacterCount(Text) <= Room ? Text : std::string();
  }
  return Text.substr(0, OffsetOf(Text, Room - 1)) + ELLIPSIS;
}

std::string CutUri(const std::string &Uri, size_t Room) {
  size_t Count = CharacterCount(Uri);
  if (Count <= Room || Room == 0) {
    return Count <= Room ? Uri : std::string();
  }
  size_t Tail = OffsetOf(Uri, Count - (Room - 1));
  size_t Slash = Uri.find('/', Tail);
  if (Slash != std::string::npos && Slash + 1 < Uri.size()) {
    Tail = Slash;
  }
  return ELLIPSIS + Uri.substr(Tail);
}

std::vector<std::string> WrapText(const std::string &Text, size_t Width, size_t MaxLines) {
  std::vector<std::string> Lines;
  std::string Rest = Text;
  while (!Rest.empty() && Lines.size() < MaxLines) {
    if (CharacterCount(Rest) <= Width) {
      Lines.push_back(Rest);
      Rest.clear();
      break;
    }
    size_t Limit = OffsetOf(Rest, Width);
    size_t Space = Rest.rfind(' ', Limit);
    size_t Break = Space != std::string::npos && Space > Limit / 2 ? Space + 1 : Limit;
    Lines.push_back(Rest.substr(0, Break));
    Rest.erase(0, Break);
  }
  if (!Rest.empty() && !Lines.empty()) {
    Lines.back() = CutEnd(Lines.back() + Rest, Width);
  }
  return Lines;
}
