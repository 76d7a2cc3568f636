// Owners for the JSON library's objects, and the allocator that puts the
// library onto the boot-services pool.
#pragma once

#include <cJSON.h>

#include "core/Owner.h"
#include "uefi/UefiBaseType.h"

/// Routes every allocation of the JSON library to the boot-services pool.
/// Called at entry, before the first document is parsed.
void InstallJsonAllocator();

/// Clears the record of a failed JSON allocation.
void ClearJsonAllocationFailure();

/// TRUE when a JSON allocation failed since the last clear.
bool JsonAllocationFailed();

/// Release policy of parsed or built documents: cJSON_Delete.
struct JsonTreePolicy {
  static void Release(cJSON *Root) { cJSON_Delete(Root); }
  static constexpr bool RELEASES_NULL = true;
};

/// Release policy of text the library printed: the library's deallocator.
struct JsonTextPolicy {
  static void Release(char *Text) { cJSON_free(Text); }
};

/// Owns a parsed or built document.
using JsonDocument = Owner<cJSON, JsonTreePolicy>;

/// Owns text printed by the library.
using JsonText = Owner<char, JsonTextPolicy>;
