// The runner's side of the trace channel (qemu/ChannelFormat.h): the records
// of one boot. Their trace lines read back with sim/trace/TraceReader.h.
#pragma once

#include <string>
#include <vector>

struct ChannelRecord {
  char Tag;             ///< CHANNEL_EVENT, CHANNEL_ACCOUNT, ...
  std::string Payload;  ///< the line without its tag and line feed
};

/// Splits the channel bytes of one boot into records. False, with one line
/// in Error, when the bytes end inside a record (the machine stopped while
/// the image was writing) or a line is empty.
[[nodiscard]] bool SplitChannel(const std::string &Bytes, std::vector<ChannelRecord> *Records,
                                std::string *Error);
