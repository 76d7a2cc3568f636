// The reference side's signatures: MdePkg's and the EDK2 package's
// function-pointer members, compiled as C++ (MdePkg's headers allow it) with
// EFIAPI as EDK2 defines it for X64.
#include <PiDxe.h>
#include <Uefi.h>
#include <Protocol/Http.h>
#include <Protocol/LoadedImage.h>
#include <Protocol/ResetNotification.h>
#include <Protocol/PciIo.h>
#include <Protocol/Rest.h>
#include <Protocol/ServiceBinding.h>
#include <Protocol/SimpleFileSystem.h>
#include <Protocol/SimpleNetwork.h>
#include <Guid/SmBios.h>
#include <Pi/PiHob.h>
#include <Guid/FileInfo.h>

#include <Protocol/NvdimmAction.h>
#include <Protocol/RedfishService.h>

#include "LayoutTable.h"
#include "Signature.h"

unsigned ReferenceSignatures(LAYOUT_ENTRY *Entries) {
  unsigned Count = 0;
#define TYPE(T)
#define MEMBER(T, M) LAYOUT_SIGNATURE(T, M)
#define VALUE(V)
#define STANDARD(V, NUMBER)
#define GUID(LABEL, DRIVER, REFERENCE)
#include "LayoutList.h"
#undef TYPE
#undef MEMBER
#undef VALUE
#undef STANDARD
#undef GUID
  return Count;
}
