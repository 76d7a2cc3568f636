// The frame every action handler follows: fetch the action's resource, parse
// it, read parameters by fixed rules, and report. What the frame holds (the
// body and the document) is released when the handler returns.
#pragma once

#include "core/Json.h"
#include "core/Pool.h"
#include "platform/NvdimmActionProtocol.h"
#include "uefi/Rest.h"

/// Size of the status message buffer of most handlers.
constexpr UINTN STATUS_MESSAGE_SIZE = 150;

class ActionResource {
 public:
  ActionResource() = default;
  ActionResource(const ActionResource &) = delete;
  ActionResource &operator=(const ActionResource &) = delete;

  /// GETs Uri and parses its body. FALSE when the handler must end: nothing
  /// could be read (nothing is reported), or the body does not parse; then
  /// ParseFormat, with the parser's error position for its "%a" (for a
  /// document nested too deep, the bracket that goes too deep, see
  /// core/JsonDepth.h; null when the parse ran out of memory), is formatted
  /// into Message (MessageSize bytes) and reported as "Failed".
  [[nodiscard]] bool Load(EFI_REST_PROTOCOL *Rest, const CHAR16 *Uri, const CHAR8 *ParseFormat,
                          CHAR8 *Message, UINTN MessageSize);

  /// The member's string, or null unless the member is a JSON string.
  const CHAR8 *String(const CHAR8 *Name) const;

  /// A fresh copy of a string member (the parameter copy handed to the
  /// NVDIMM component); empty when absent, not a string, or not allocated.
  [[nodiscard]] PoolPtr<CHAR8> CopyString(const CHAR8 *Name) const;

  /// The member's integer value by the number rule; Absent when the member
  /// is not a JSON number.
  UINT64 Integer(const CHAR8 *Name, UINT64 Absent) const;

  /// TRUE only when the member is the JSON literal true.
  bool Switch(const CHAR8 *Name) const;

 private:
  PoolPtr<CHAR8> mBody;
  JsonDocument mDocument;
};

/// Reports "Failed" with Format (and one optional "%a" argument) formatted
/// into Message (MessageSize bytes).
void ReportFailure(EFI_REST_PROTOCOL *Rest, CHAR8 *Message, UINTN MessageSize,
                   const CHAR8 *Format, const CHAR8 *Argument = nullptr);

/// Makes sure an ErrorMessage the component filled ends within its buffer.
void TerminateErrorMessage(CHAR8 (&ErrorMessage)[NVDIMM_ERROR_MESSAGE_SIZE]);
