// The binding of a protocol record to its GUID. Each protocol the code looks
// up specialises ProtocolGuid where its GUID is declared, so that a lookup
// cannot pair a record with another protocol's GUID.
#pragma once

#include "uefi/UefiBaseType.h"

/// ProtocolGuid<T>::Get() is the GUID of protocol record T.
template <typename T>
struct ProtocolGuid;
