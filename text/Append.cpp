#include "text/TextHelpers.h"

namespace {

bool RangesOverlap(const CHAR8 *A, UINTN ALength, const CHAR8 *B, UINTN BLength) {
  auto AStart = reinterpret_cast<UINTN>(A);
  auto BStart = reinterpret_cast<UINTN>(B);
  return AStart < BStart + BLength && BStart < AStart + ALength;
}

}  // namespace

EFI_STATUS BoundedAppend(CHAR8 *Destination, UINTN DestinationSize, const CHAR8 *Source) {
  if (Destination == nullptr || Source == nullptr || DestinationSize == 0 ||
      DestinationSize > TEXT_MAX_LENGTH) {
    return EFI_INVALID_PARAMETER;
  }
  UINTN Length = 0;
  while (Length < DestinationSize && Destination[Length] != '\0') {
    Length++;
  }
  if (Length == DestinationSize) {
    return EFI_BAD_BUFFER_SIZE;
  }
  // Read no further into Source than what could still fit.
  UINTN Room = DestinationSize - 1 - Length;
  UINTN SourceLength = 0;
  while (SourceLength <= Room && Source[SourceLength] != '\0') {
    SourceLength++;
  }
  if (SourceLength > Room) {
    return EFI_BUFFER_TOO_SMALL;
  }
  if (RangesOverlap(Destination, DestinationSize, Source, SourceLength + 1)) {
    return EFI_ACCESS_DENIED;
  }
  for (UINTN Index = 0; Index <= SourceLength; Index++) {
    Destination[Length + Index] = Source[Index];
  }
  return EFI_SUCCESS;
}
