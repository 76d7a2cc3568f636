#include "sim/common/StatusNames.h"

#include "sim/common/SimMemory.h"
#include "sim/common/SimTextWriter.h"

namespace {

struct STATUS_NAME {
  EFI_STATUS Status;
  const CHAR8 *Name;
};

#define STATUS_ENTRY(Name) \
  { Name, #Name }

constexpr STATUS_NAME mStatusNames[] = {
    STATUS_ENTRY(EFI_SUCCESS),
    STATUS_ENTRY(EFI_LOAD_ERROR),
    STATUS_ENTRY(EFI_INVALID_PARAMETER),
    STATUS_ENTRY(EFI_UNSUPPORTED),
    STATUS_ENTRY(EFI_BAD_BUFFER_SIZE),
    STATUS_ENTRY(EFI_BUFFER_TOO_SMALL),
    STATUS_ENTRY(EFI_NOT_READY),
    STATUS_ENTRY(EFI_DEVICE_ERROR),
    STATUS_ENTRY(EFI_WRITE_PROTECTED),
    STATUS_ENTRY(EFI_OUT_OF_RESOURCES),
    STATUS_ENTRY(EFI_VOLUME_CORRUPTED),
    STATUS_ENTRY(EFI_VOLUME_FULL),
    STATUS_ENTRY(EFI_NO_MEDIA),
    STATUS_ENTRY(EFI_MEDIA_CHANGED),
    STATUS_ENTRY(EFI_NOT_FOUND),
    STATUS_ENTRY(EFI_ACCESS_DENIED),
    STATUS_ENTRY(EFI_NO_RESPONSE),
    STATUS_ENTRY(EFI_NO_MAPPING),
    STATUS_ENTRY(EFI_TIMEOUT),
    STATUS_ENTRY(EFI_NOT_STARTED),
    STATUS_ENTRY(EFI_ALREADY_STARTED),
    STATUS_ENTRY(EFI_ABORTED),
    STATUS_ENTRY(EFI_ICMP_ERROR),
    STATUS_ENTRY(EFI_TFTP_ERROR),
    STATUS_ENTRY(EFI_PROTOCOL_ERROR),
    STATUS_ENTRY(EFI_INCOMPATIBLE_VERSION),
    STATUS_ENTRY(EFI_SECURITY_VIOLATION),
    STATUS_ENTRY(EFI_CRC_ERROR),
    STATUS_ENTRY(EFI_END_OF_MEDIA),
    STATUS_ENTRY(EFI_END_OF_FILE),
    STATUS_ENTRY(EFI_INVALID_LANGUAGE),
    STATUS_ENTRY(EFI_COMPROMISED_DATA),
    STATUS_ENTRY(EFI_IP_ADDRESS_CONFLICT),
    STATUS_ENTRY(EFI_HTTP_ERROR),
    STATUS_ENTRY(EFI_WARN_UNKNOWN_GLYPH),
    STATUS_ENTRY(EFI_WARN_DELETE_FAILURE),
    STATUS_ENTRY(EFI_WARN_WRITE_FAILURE),
    STATUS_ENTRY(EFI_WARN_BUFFER_TOO_SMALL),
    STATUS_ENTRY(EFI_WARN_STALE_DATA),
    STATUS_ENTRY(EFI_WARN_FILE_SYSTEM),
    STATUS_ENTRY(EFI_WARN_RESET_REQUIRED),
};

#undef STATUS_ENTRY

constexpr bool EveryNameFits() {
  for (const STATUS_NAME &Entry : mStatusNames) {
    UINTN Length = 0;
    while (Entry.Name[Length] != '\0') {
      Length++;
    }
    if (Length >= STATUS_TEXT_SIZE) {
      return false;
    }
  }
  return true;
}
static_assert(EveryNameFits(), "STATUS_TEXT_SIZE holds every status name");

}  // namespace

const CHAR8 *StatusName(EFI_STATUS Status) {
  for (const STATUS_NAME &Entry : mStatusNames) {
    if (Entry.Status == Status) {
      return Entry.Name;
    }
  }
  return nullptr;
}

void StatusText(EFI_STATUS Status, CHAR8 (&Text)[STATUS_TEXT_SIZE]) {
  SimTextWriter Writer(Text, STATUS_TEXT_SIZE);
  const CHAR8 *Name = StatusName(Status);
  if (Name != nullptr) {
    Writer.Add(Name);
  } else {
    Writer.AddHex(Status);
  }
}

bool StatusFromText(const CHAR8 *Text, EFI_STATUS *Status) {
  for (const STATUS_NAME &Entry : mStatusNames) {
    if (SimStringEqual(Entry.Name, Text)) {
      *Status = Entry.Status;
      return true;
    }
  }
  if (Text[0] != '0' || (Text[1] != 'x' && Text[1] != 'X') || Text[2] == '\0') {
    return false;
  }
  EFI_STATUS Value = 0;
  UINTN Count = 0;
  for (const CHAR8 *Digit = Text + 2; *Digit != '\0'; Digit++) {
    int DigitValue = SimHexDigitValue(*Digit);
    if (DigitValue < 0 || ++Count > 16) {
      return false;
    }
    Value = (Value << 4) | static_cast<EFI_STATUS>(DigitValue);
  }
  *Status = Value;
  return true;
}
