#include "qemu/image/BootVolume.h"

#include "core/ProtocolLookup.h"
#include "qemu/image/UefiGuids.h"

namespace {

/// Room for the file information record of a name of up to 255 characters.
constexpr UINTN FILE_INFO_SIZE = sizeof(EFI_FILE_INFO) + 256 * sizeof(CHAR16);

/// The largest file read: more than any scenario or driver image needs, and
/// far less than the 256 MiB machine has.
constexpr UINT64 LARGEST_FILE = 64ULL * 1024 * 1024;

}  // namespace

EFI_STATUS BootVolume::Open(EFI_HANDLE ImageHandle) {
  EFI_LOADED_IMAGE_PROTOCOL *Image = nullptr;
  EFI_STATUS Status = HandleProtocol(ImageHandle, &Image);
  if (EFI_ERROR(Status) || Image == nullptr) {
    return EFI_ERROR(Status) ? Status : EFI_NOT_FOUND;
  }
  EFI_SIMPLE_FILE_SYSTEM_PROTOCOL *FileSystem = nullptr;
  Status = HandleProtocol(Image->DeviceHandle, &FileSystem);
  if (EFI_ERROR(Status) || FileSystem == nullptr) {
    return EFI_ERROR(Status) ? Status : EFI_NOT_FOUND;
  }
  return FileSystem->OpenVolume(FileSystem, mRoot.Receive());
}

EFI_STATUS BootVolume::ReadFile(const CHAR16 *Name, SimBlock *Contents, UINTN *Length) {
  if (!mRoot) {
    return EFI_NOT_STARTED;
  }
  FileHandle File;
  // Open takes a writable name although it never writes it.
  EFI_STATUS Status = mRoot.Get()->Open(mRoot.Get(), File.Receive(), const_cast<CHAR16 *>(Name),
                                        EFI_FILE_MODE_READ, 0);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  alignas(8) UINT8 InfoBuffer[FILE_INFO_SIZE];
  UINTN InfoSize = sizeof(InfoBuffer);
  Status = File.Get()->GetInfo(File.Get(), &gEfiFileInfoGuid, &InfoSize, InfoBuffer);
  if (EFI_ERROR(Status)) {
    return Status;
  }
  const auto *Info = reinterpret_cast<const EFI_FILE_INFO *>(InfoBuffer);
  if ((Info->Attribute & EFI_FILE_DIRECTORY) != 0) {
    return EFI_NOT_FOUND;
  }
  if (Info->FileSize > LARGEST_FILE) {
    return EFI_BAD_BUFFER_SIZE;
  }
  UINTN Size = Info->FileSize;
  SimBlock Block(static_cast<CHAR8 *>(cJSON_malloc(Size + 1)));
  if (!Block) {
    return EFI_OUT_OF_RESOURCES;
  }
  UINTN Done = 0;
  while (Done < Size) {
    UINTN Chunk = Size - Done;
    Status = File.Get()->Read(File.Get(), &Chunk, Block.Get() + Done);
    if (EFI_ERROR(Status)) {
      return Status;
    }
    if (Chunk == 0) {
      // The file ended before the size it reported.
      return EFI_END_OF_FILE;
    }
    Done += Chunk;
  }
  Block.Get()[Size] = '\0';
  Contents->Reset(Block.Release());
  *Length = Size;
  return EFI_SUCCESS;
}
