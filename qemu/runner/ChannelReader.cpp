#include "qemu/runner/ChannelReader.h"

#include "sim/common/ExactJson.h"
#include "sim/common/SimMemory.h"

namespace {

/// The byte an escape \u00XX at Line[Index] stands for when XX is 80 to FF;
/// -1 for any other text.
int HighByteEscape(const std::string &Line, size_t Index) {
  if (Index + 6 > Line.size() || Line[Index + 1] != 'u' || Line[Index + 2] != '0' ||
      Line[Index + 3] != '0') {
    return -1;
  }
  int High = SimHexDigitValue(Line[Index + 4]);
  int Low = SimHexDigitValue(Line[Index + 5]);
  if (High < 8 || Low < 0) {
    return -1;
  }
  return High * 16 + Low;
}

}  // namespace

bool SplitChannel(const std::string &Bytes, std::vector<ChannelRecord> *Records,
                  std::string *Error) {
  size_t Start = 0;
  while (Start < Bytes.size()) {
    size_t End = Bytes.find('\n', Start);
    if (End == std::string::npos) {
      *Error = "the trace channel ends inside a record: the machine stopped while the platform "
               "image was writing";
      return false;
    }
    if (End == Start) {
      *Error = "the trace channel holds an empty record";
      return false;
    }
    Records->push_back({Bytes[Start], Bytes.substr(Start + 1, End - Start - 1)});
    Start = End + 1;
  }
  return true;
}

cJSON *ParseTraceLine(const std::string &Line) {
  // The JSON library keeps bytes of 0x80 and above in a string as they
  // stand, so the escapes are undone in the text before it parses it.
  std::string Text;
  Text.reserve(Line.size());
  bool InString = false;
  for (size_t Index = 0; Index < Line.size(); Index++) {
    char Byte = Line[Index];
    if (!InString) {
      InString = Byte == '"';
      Text += Byte;
      continue;
    }
    if (Byte == '"') {
      InString = false;
      Text += Byte;
    } else if (Byte == '\\' && Index + 1 < Line.size()) {
      int Raw = HighByteEscape(Line, Index);
      if (Raw >= 0) {
        Text += static_cast<char>(Raw);
        Index += 5;
      } else {
        // Any other escape stays as it is, its second character included,
        // so that an escaped quotation mark does not end the string.
        Text += Byte;
        Text += Line[++Index];
      }
    } else {
      Text += Byte;
    }
  }
  return ExactJsonParse(Text.data(), Text.size(), nullptr, 0);
}
