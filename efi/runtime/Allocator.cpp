// malloc, free and realloc on the boot-services pool. Each block carries its
// size in a header, since realloc must know how much to keep and the pool
// does not say.
#include "efi/runtime/include/stdlib.h"
#include "efi/runtime/include/string.h"

#include "core/BootServices.h"

namespace {

// Sixteen bytes, so the caller's part keeps whatever alignment the pool
// gives (at least eight).
struct BLOCK_HEADER {
  size_t Size;
  size_t Reserved;
};
static_assert(sizeof(BLOCK_HEADER) == 16, "the header keeps pool alignment");

BLOCK_HEADER *HeaderOf(void *Block) { return static_cast<BLOCK_HEADER *>(Block) - 1; }

}  // namespace

extern "C" void *malloc(size_t Size) {
  if (Size > static_cast<size_t>(-1) - sizeof(BLOCK_HEADER)) {
    return nullptr;
  }
  VOID *Pool = nullptr;
  if (EFI_ERROR(gBS->AllocatePool(EfiBootServicesData, Size + sizeof(BLOCK_HEADER), &Pool)) ||
      Pool == nullptr) {
    return nullptr;
  }
  auto *Header = static_cast<BLOCK_HEADER *>(Pool);
  Header->Size = Size;
  return Header + 1;
}

extern "C" void free(void *Block) {
  if (Block != nullptr) {
    (void)gBS->FreePool(HeaderOf(Block));
  }
}

extern "C" void *realloc(void *Block, size_t Size) {
  if (Block == nullptr) {
    return malloc(Size);
  }
  if (Size == 0) {
    free(Block);
    return nullptr;
  }
  void *Resized = malloc(Size);
  if (Resized == nullptr) {
    return nullptr;
  }
  size_t OldSize = HeaderOf(Block)->Size;
  memcpy(Resized, Block, OldSize < Size ? OldSize : Size);
  free(Block);
  return Resized;
}
