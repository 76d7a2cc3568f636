/* The reference side of the layout check: MdePkg's declarations from
   Debian's edk2 source package and this project's EDK2 package headers,
   compiled as C the way EDK2 compiles them for X64 (short wchar_t, EFIAPI
   as its GCC tool chain defines it). */
#include <PiDxe.h>
#include <Uefi.h>
#include <Pi/PiHob.h>
#include <Guid/FileInfo.h>
#include <Guid/HobList.h>
#include <Guid/MemoryAllocationHob.h>
#include <Protocol/Http.h>
#include <Protocol/LoadedImage.h>
#include <Protocol/ResetNotification.h>
#include <Protocol/PciIo.h>
#include <Protocol/Rest.h>
#include <Protocol/ServiceBinding.h>
#include <Protocol/SimpleFileSystem.h>
#include <Protocol/SimpleNetwork.h>
#include <Guid/SmBios.h>

#include <Guid/LocalRequestTrigger.h>
#include <Guid/NvdimmRestProducerVariable.h>
#include <Guid/RedfishReady.h>
#include <Protocol/NvdimmAction.h>
#include <Protocol/RedfishService.h>

#include "LayoutTable.h"

#define MEMBER_SIZE(T, M) sizeof(((T *)0)->M)

unsigned ReferenceLayout(LAYOUT_ENTRY *Entries) {
  unsigned Count = 0;
#define TYPE(T)                                        \
  LayoutAdd(Entries, &Count, "sizeof", #T, sizeof(T)); \
  LayoutAdd(Entries, &Count, "alignof", #T, _Alignof(T));
#define MEMBER(T, M)                                                  \
  LayoutAdd(Entries, &Count, "offsetof", #T "." #M, OFFSET_OF(T, M)); \
  LayoutAdd(Entries, &Count, "sizeof", #T "." #M, MEMBER_SIZE(T, M));
#define VALUE(V) LayoutAdd(Entries, &Count, "value", #V, (unsigned long long)(V));
#define STANDARD(V, NUMBER) LayoutAdd(Entries, &Count, "value", #V, NUMBER);
#define GUID(LABEL, DRIVER, REFERENCE)             \
  {                                                \
    static const EFI_GUID Guid = REFERENCE;        \
    LayoutAddGuid(Entries, &Count, #LABEL, &Guid); \
  }
#include "LayoutList.h"
#undef TYPE
#undef MEMBER
#undef VALUE
#undef STANDARD
#undef GUID
  return Count;
}

CALL_RECORD gReferenceCallee;

static EFI_STATUS EFIAPI CreateEventExCallee(IN UINT32 Type, IN EFI_TPL NotifyTpl,
                                             IN EFI_EVENT_NOTIFY NotifyFunction,
                                             IN CONST VOID *NotifyContext,
                                             IN CONST EFI_GUID *EventGroup, OUT EFI_EVENT *Event) {
  gReferenceCallee.Arguments[0] = Type;
  gReferenceCallee.Arguments[1] = NotifyTpl;
  gReferenceCallee.Arguments[2] = (UINTN)NotifyFunction;
  gReferenceCallee.Arguments[3] = (UINTN)NotifyContext;
  gReferenceCallee.Arguments[4] = (UINTN)EventGroup;
  gReferenceCallee.Arguments[5] = (UINTN)Event;
  gReferenceCallee.Calls++;
  return EFI_ACCESS_DENIED;
}

void *ReferenceCreateEventEx(void) {
  EFI_CREATE_EVENT_EX Function = CreateEventExCallee;
  return (void *)Function;
}

void ReferenceCallEventNotify(void *Function, void *Event, void *Context) {
  EFI_EVENT_NOTIFY Notify = (EFI_EVENT_NOTIFY)Function;
  Notify(Event, Context);
}
