// One object in pool memory rather than on the stack. DXE, BDS, this image
// and the driver share one 128 KiB stack, so the platform's larger objects
// (the scenario, the trace, the runner with its models) live in the pool.
#pragma once

#include <stddef.h>

#include "sim/common/SimMemory.h"

// The placement form of operator new: the image has no C++ library to bring
// <new>.
inline void *operator new(size_t, void *Where) noexcept { return Where; }

/// Owns one T built in a block from cJSON_malloc (the boot-services pool in
/// the image); destroys and releases it when it goes out of scope.
template <typename T>
class PoolObject {
 public:
  PoolObject() = default;
  ~PoolObject() { Reset(); }
  PoolObject(const PoolObject &) = delete;
  PoolObject &operator=(const PoolObject &) = delete;

  /// Builds a T from Arguments in a fresh block; false (and empty) when the
  /// block cannot be had.
  template <typename... ARGUMENTS>
  [[nodiscard]] bool Make(ARGUMENTS &&...Arguments) {
    Reset();
    void *Block = cJSON_malloc(sizeof(T));
    if (Block == nullptr) {
      return false;
    }
    mObject = new (Block) T(static_cast<ARGUMENTS &&>(Arguments)...);
    return true;
  }

  void Reset() {
    if (mObject != nullptr) {
      mObject->~T();
      cJSON_free(mObject);
      mObject = nullptr;
    }
  }

  T *Get() const { return mObject; }
  T *operator->() const { return mObject; }
  T &operator*() const { return *mObject; }
  explicit operator bool() const { return mObject != nullptr; }

 private:
  T *mObject = nullptr;
};
