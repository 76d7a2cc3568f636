// One read of ActionStatus, as the poll and the local-request guard both make
// it: the GET, the parse, the "Issued" test, and whether the issued action is
// the one this boot carried out and still keeps an unlanded report of. The
// reading owns the body and the document until it goes out of scope.
#pragma once

#include "core/ActionContext.h"
#include "core/Json.h"
#include "core/Pool.h"

/// What a read found ActionStatus to ask of the driver.
enum class ACTION_STATUS_KIND : UINT8 {
  Nothing,       ///< nothing read, or no action waits
  Issued,        ///< Status "Issued", without an ActionName and an ActionUri string
  IssuedAction,  ///< Status "Issued" with both: an action to carry out
  KeptAction,    ///< the same, but carried out in this boot: only its report goes again
  Inprogress,    ///< Status "Inprogress" with an ActionName: a CreateGoal to complete
};

class ActionStatusReader {
 public:
  ActionStatusReader() = default;
  ActionStatusReader(const ActionStatusReader &) = delete;
  ActionStatusReader &operator=(const ActionStatusReader &) = delete;

  /// GETs ActionStatus through Rest and parses it; Record tells a kept
  /// action. Returns the GET's status (a warning comes with a body that is
  /// read), and Kind stays Nothing when the status has the error bit or the
  /// GET gave no body; EFI_LOAD_ERROR (Kind Nothing) when the body does not
  /// parse.
  [[nodiscard]] EFI_STATUS Read(EFI_REST_PROTOCOL *Rest, const ActionRecord &Record);

  /// What the last Read found.
  [[nodiscard]] ACTION_STATUS_KIND Kind() const { return mKind; }

  /// For IssuedAction and KeptAction: the action's name and URI, borrowed
  /// from the document.
  [[nodiscard]] const CHAR8 *ActionName() const { return mActionName; }
  [[nodiscard]] const CHAR8 *ActionUri() const { return mActionUri; }

 private:
  PoolPtr<CHAR8> mBody;
  JsonDocument mDocument;
  ACTION_STATUS_KIND mKind = ACTION_STATUS_KIND::Nothing;
  const CHAR8 *mActionName = nullptr;
  const CHAR8 *mActionUri = nullptr;
};
