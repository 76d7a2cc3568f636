// The frame every action handler works in. Constructed with the action's URI,
// the REST instance and the poll's record of the action, it fetches and parses the action's
// resource, reads parameters by fixed rules, and makes the handler's one report into ActionStatus;
// it owns the status message buffer, the body and the document, and releases them when the handler
// returns. A handler then reads: parameters, one NVDIMM call, one report.
#pragma once

#include "core/ActionContext.h"
#include "core/Json.h"
#include "core/Pool.h"
#include "platform/NvdimmActionProtocol.h"
#include "uefi/Rest.h"

/// Size of the status message buffer of most handlers.
constexpr UINTN STATUS_MESSAGE_SIZE = 150;

/// "Success" when Status is EFI_SUCCESS, otherwise "Failed": warnings fail.
const CHAR8 *OutcomeStatusText(EFI_STATUS Status);

/// The text the component filled ErrorMessage with, first made to end
/// within its buffer.
const CHAR8 *ComponentMessage(CHAR8 (&ErrorMessage)[NVDIMM_ERROR_MESSAGE_SIZE]);

/// The frame's work, on a message buffer its sized holder provides.
class ActionFrameBase {
 public:
  ActionFrameBase(const ActionFrameBase &) = delete;
  ActionFrameBase &operator=(const ActionFrameBase &) = delete;

  /// GETs the action's resource and parses it. FALSE when the handler must
  /// end: nothing could be read (nothing is reported), or the body does not
  /// parse; then ParseFormat, with the parser's error position for its "%a"
  /// (null when the parse ran out of memory), is reported as "Failed".
  [[nodiscard]] bool Load(const CHAR8 *ParseFormat);

  /// The member's string, or null unless the member is a JSON string.
  const CHAR8 *String(const CHAR8 *Name) const;

  /// A fresh copy of a string member (the parameter copy handed to the
  /// NVDIMM component); empty when absent, not a string, or not allocated.
  [[nodiscard]] PoolPtr<CHAR8> CopyString(const CHAR8 *Name) const;

  /// The member's integer value by the number rule; Absent when the member
  /// is not a JSON number.
  UINT64 Integer(const CHAR8 *Name, UINT64 Absent) const;

  /// TRUE only when the member is the JSON literal true.
  bool IsTrue(const CHAR8 *Name) const;

  /// Reports StatusText with Format (and one optional "%a" Argument)
  /// formatted into the message buffer, cut to fit it.
  void ReportFormatted(const CHAR8 *StatusText, const CHAR8 *Format,
                       const CHAR8 *Argument = nullptr);

  /// Reports StatusText with Text as it stands (not formatted, not cut).
  void ReportText(const CHAR8 *StatusText, const CHAR8 *Text);

  /// The report of an NVDIMM operation: "Success" with the fixed SuccessText
  /// when Status is EFI_SUCCESS (warnings fail), otherwise "Failed" with
  /// FailureFormat around the component's ErrorMessage.
  void ReportOutcome(EFI_STATUS Status, const CHAR8 *SuccessText, const CHAR8 *FailureFormat,
                     CHAR8 (&ErrorMessage)[NVDIMM_ERROR_MESSAGE_SIZE]);

  /// The message buffer: empty until a failure is formatted into it.
  const CHAR8 *Message() const { return mMessage; }

 protected:
  ActionFrameBase(const CHAR16 *Uri, EFI_REST_PROTOCOL *Rest, ActionRecord *Record, CHAR8 *Message,
                  UINTN MessageSize)
      : mUri(Uri), mRest(Rest), mRecord(Record), mMessage(Message), mMessageSize(MessageSize) {}
  ~ActionFrameBase() = default;

 private:
  const CHAR16 *mUri;
  EFI_REST_PROTOCOL *mRest;
  ActionRecord *mRecord;
  CHAR8 *mMessage;
  UINTN mMessageSize;
  PoolPtr<CHAR8> mBody;
  JsonDocument mDocument;
};

/// A frame whose status message buffer is MESSAGE_SIZE bytes, zeroed. Record
/// (null outside a poll's dispatch) keeps a report the service refuses.
template <UINTN MESSAGE_SIZE>
class ActionFrame : public ActionFrameBase {
 public:
  ActionFrame(const CHAR16 *Uri, EFI_REST_PROTOCOL *Rest, ActionRecord *Record)
      : ActionFrameBase(Uri, Rest, Record, mMessageBuffer, MESSAGE_SIZE) {}

 private:
  CHAR8 mMessageBuffer[MESSAGE_SIZE] = {};
};
