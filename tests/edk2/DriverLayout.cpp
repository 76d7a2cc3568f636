// The driver side of the layout check: the driver's own UEFI and platform
// declarations, as the driver and the platform image include them.
#include <cstddef>

#include "platform/NvdimmActionProtocol.h"
#include "platform/RedfishServiceProtocol.h"
#include "uefi/Hob.h"
#include "uefi/Http.h"
#include "uefi/LoadedImage.h"
#include "uefi/ResetNotification.h"
#include "uefi/Rest.h"
#include "uefi/ServiceBinding.h"
#include "uefi/SimpleFileSystem.h"
#include "uefi/Smbios.h"
#include "uefi/UefiTables.h"

#include "tests/edk2/LayoutTable.h"
#include "tests/edk2/Signature.h"

#define MEMBER_SIZE(T, M) sizeof(((T *)nullptr)->M)

unsigned DriverLayout(LAYOUT_ENTRY *Entries) {
  unsigned Count = 0;
#define TYPE(T)                                        \
  LayoutAdd(Entries, &Count, "sizeof", #T, sizeof(T)); \
  LayoutAdd(Entries, &Count, "alignof", #T, alignof(T));
#define MEMBER(T, M)                                                  \
  LayoutAdd(Entries, &Count, "offsetof", #T "." #M, offsetof(T, M));  \
  LayoutAdd(Entries, &Count, "sizeof", #T "." #M, MEMBER_SIZE(T, M)); \
  LAYOUT_SIGNATURE(T, M)
#define VALUE(V) LayoutAdd(Entries, &Count, "value", #V, static_cast<unsigned long long>(V));
#define STANDARD(V, NUMBER) VALUE(V)
#define GUID(LABEL, DRIVER, REFERENCE)             \
  {                                                \
    static const EFI_GUID Guid = DRIVER;           \
    LayoutAddGuid(Entries, &Count, #LABEL, &Guid); \
  }
#include "tests/edk2/LayoutList.h"
#undef TYPE
#undef MEMBER
#undef VALUE
#undef STANDARD
#undef GUID
  return Count;
}

CALL_RECORD gDriverCallee;

namespace {

VOID EFIAPI EventNotifyCallee(EFI_EVENT Event, VOID *Context) {
  gDriverCallee.Arguments[0] = reinterpret_cast<UINTN>(Event);
  gDriverCallee.Arguments[1] = reinterpret_cast<UINTN>(Context);
  gDriverCallee.Calls++;
}

}  // namespace

void *DriverEventNotify(void) {
  EFI_EVENT_NOTIFY Function = EventNotifyCallee;
  return reinterpret_cast<void *>(Function);
}

unsigned long long DriverCallCreateEventEx(void *Function) {
  auto CreateEventEx = reinterpret_cast<EFI_CREATE_EVENT_EX>(Function);
  return CreateEventEx(EVT_NOTIFY_SIGNAL, TPL_NOTIFY, reinterpret_cast<EFI_EVENT_NOTIFY>(0x1111),
                       reinterpret_cast<const VOID *>(0x2222),
                       reinterpret_cast<const EFI_GUID *>(0x3333),
                       reinterpret_cast<EFI_EVENT *>(0x4444));
}
