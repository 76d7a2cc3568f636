// The runner's side of the trace channel (qemu/ChannelFormat.h): the records
// of one boot, and trace lines turned back into the events the trace held.
#pragma once

#include <cJSON.h>

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

/// Parses one trace line back into the event the platform's trace held: the
/// writer's \u00xx escapes of bytes 0x80 to 0xFF become those bytes again
/// (not the UTF-8 of U+0080..U+00FF), and numbers keep their text, so the
/// account writer and the expectations see what they would see on the host.
/// Null for a line that is not one JSON value. The caller releases the
/// event with cJSON_Delete.
[[nodiscard]] cJSON *ParseTraceLine(const std::string &Line);
