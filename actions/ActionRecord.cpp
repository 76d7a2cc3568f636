#include "actions/ActionRecord.h"

#include "core/Memory.h"
#include "redfish/ActionStatusClient.h"

namespace {

/// Copies Source into Destination (Size bytes), cut to Size - 1 characters.
/// Returns the length of Source.
UINTN CopyCut(CHAR8 *Destination, UINTN Size, const CHAR8 *Source) {
  UINTN Length = AsciiStrLen(Source);
  UINTN Kept = Length < Size ? Length : Size - 1;
  CopyMem(Destination, Source, Kept);
  Destination[Kept] = '\0';
  return Length;
}

}  // namespace

bool RecordHoldsAction(const ActionRecord &Record, const CHAR8 *ActionName,
                       const CHAR8 *ActionUri) {
  if (Record.Unlanded == 0 || !AsciiStrEqual(Record.Name, ActionName)) {
    return false;
  }
  UINTN Length = AsciiStrLen(ActionUri);
  if (Length != Record.UriLength) {
    return false;
  }
  UINTN Compared = Length < ACTION_URI_SIZE ? Length : ACTION_URI_SIZE - 1;
  for (UINTN Index = 0; Index < Compared; Index++) {
    if (Record.Uri[Index] != ActionUri[Index]) {
      return false;
    }
  }
  return true;
}

void BeginRecording(ActionRecord *Record, const CHAR8 *ActionName, const CHAR8 *ActionUri) {
  Record->Unlanded = 0;
  (void)CopyCut(Record->Name, sizeof(Record->Name), ActionName);
  Record->UriLength = CopyCut(Record->Uri, sizeof(Record->Uri), ActionUri);
  Record->Status = nullptr;
  Record->Message[0] = '\0';
}

EFI_STATUS ReportAction(EFI_REST_PROTOCOL *Rest, ActionRecord *Record, const CHAR8 *StatusText,
                        const CHAR8 *Message) {
  EFI_STATUS Status = PatchActionStatus(Rest, StatusText, Message);
  if (Record != nullptr) {
    if (EFI_ERROR(Status)) {
      Record->Status = StatusText;
      (void)CopyCut(Record->Message, sizeof(Record->Message), Message);
      Record->Unlanded = 1;
    } else {
      Record->Unlanded = 0;
    }
  }
  return Status;
}

EFI_STATUS ResendKeptReport(EFI_REST_PROTOCOL *Rest, ActionRecord *Record) {
  EFI_STATUS Status = PatchActionStatus(Rest, Record->Status, Record->Message);
  if (!EFI_ERROR(Status)) {
    Record->Unlanded = 0;
  }
  return Status;
}
