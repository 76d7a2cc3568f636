// One object in pool memory rather than on the stack. DXE, BDS, this image
// and the driver share one 128 KiB stack, so the platform's larger objects
// (the scenario, the trace, the runner with its models) live in the pool.
#pragma once

#include "core/Placement.h"
#include "sim/common/SimMemory.h"

/// Release policy of an object built in a block from cJSON_malloc (the
/// boot-services pool in the image): its destructor, then cJSON_free.
struct PoolObjectPolicy {
  template <typename T>
  static void Release(T *Object) {
    Object->~T();
    cJSON_free(Object);
  }
};

/// Owns one T built in a block from cJSON_malloc; destroys and releases it
/// when it goes out of scope.
template <typename T>
using PoolObject = Owner<T, PoolObjectPolicy>;

/// Builds a T from Arguments in a fresh block; empty when the block cannot
/// be had.
template <typename T, typename... ARGUMENTS>
[[nodiscard]] PoolObject<T> MakePoolObject(ARGUMENTS &&...Arguments) {
  void *Block = cJSON_malloc(sizeof(T));
  if (Block == nullptr) {
    return PoolObject<T>();
  }
  return PoolObject<T>(new (Block) T(static_cast<ARGUMENTS &&>(Arguments)...));
}
