// The frame every action handler works in. Constructed with the action's URI
// and the REST instance, it fetches and parses the action's resource, reads
// parameters by fixed rules, and makes the handler's one report into
// ActionStatus; it owns the status message buffer, the body and the
// document, and releases them when the handler returns. A handler then
// reads: parameters, one NVDIMM call, one report.
#pragma once

#include "core/Json.h"
#include "core/Pool.h"
#include "platform/NvdimmActionProtocol.h"
#include "uefi/Rest.h"

/// Size of the status message buffer of most handlers.
constexpr UINTN STATUS_MESSAGE_SIZE = 150;

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
  bool Switch(const CHAR8 *Name) const;

  /// Reports "Failed" with Format (and one optional "%a" Argument) formatted
  /// into the message buffer.
  void Fail(const CHAR8 *Format, const CHAR8 *Argument = nullptr);

  /// Reports "Failed" with Format around the ErrorMessage the component
  /// filled, which is first made to end within its buffer.
  void FailWith(const CHAR8 *Format, CHAR8 (&ErrorMessage)[NVDIMM_ERROR_MESSAGE_SIZE]);

  /// The report of an NVDIMM operation: "Success" with the fixed
  /// SuccessText when Status is EFI_SUCCESS (warnings fail), otherwise
  /// FailWith(FailureFormat, ErrorMessage).
  void Outcome(EFI_STATUS Status, const CHAR8 *SuccessText, const CHAR8 *FailureFormat,
               CHAR8 (&ErrorMessage)[NVDIMM_ERROR_MESSAGE_SIZE]);

  /// Reports "Success" when Status is EFI_SUCCESS, otherwise "Failed", with
  /// Format and Argument formatted into the message buffer.
  void Conclude(EFI_STATUS Status, const CHAR8 *Format, const CHAR8 *Argument);

  /// Reports StatusText with Text as it stands (not formatted, not cut).
  void Report(const CHAR8 *StatusText, const CHAR8 *Text);

  /// The message buffer: empty until a failure is formatted into it.
  const CHAR8 *Message() const { return mMessage; }

 protected:
  ActionFrameBase(const CHAR16 *Uri, EFI_REST_PROTOCOL *Rest, CHAR8 *Message, UINTN MessageSize)
      : mUri(Uri), mRest(Rest), mMessage(Message), mMessageSize(MessageSize) {}
  ~ActionFrameBase() = default;

 private:
  const CHAR16 *mUri;
  EFI_REST_PROTOCOL *mRest;
  CHAR8 *mMessage;
  UINTN mMessageSize;
  PoolPtr<CHAR8> mBody;
  JsonDocument mDocument;
};

/// A frame whose status message buffer is MESSAGE_SIZE bytes, zeroed.
template <UINTN MESSAGE_SIZE>
class ActionFrame : public ActionFrameBase {
 public:
  ActionFrame(const CHAR16 *Uri, EFI_REST_PROTOCOL *Rest)
      : ActionFrameBase(Uri, Rest, mMessageBuffer, MESSAGE_SIZE) {}

 private:
  CHAR8 mMessageBuffer[MESSAGE_SIZE] = {};
};
