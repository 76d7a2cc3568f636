#include "qemu/runner/ChannelReader.h"

bool SplitChannel(const std::string &Bytes, std::vector<ChannelRecord> *Records,
                  std::string *Error) {
  size_t Start = 0;
  while (Start < Bytes.size()) {
    size_t End = Bytes.find('\n', Start);
    if (End == std::string::npos) {
      *Error =
          "the trace channel ends inside a record: the machine stopped while the platform "
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
