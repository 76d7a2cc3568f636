// Owner: the one move-only owner of this code base. What it owns and how that
// goes back is a policy type:
//
//   struct POLICY {
//     template <typename T> static void Release(T *Pointer);
//     static void *Allocate(UINTN Size);  // zeroed block, or null (optional)
//     static constexpr bool RELEASES_NULL = true;  // optional, see below
//   };
//
// Release is called with null only when the policy says it takes null in
// its stride (RELEASES_NULL); the owner tests for null otherwise.
//
// The driver's policies release to the boot-services pool (core/Pool.h) and
// through the JSON library (core/Json.h); the simulated platform's release to
// the allocator it shares with the JSON library (sim/common/SimMemory.h).
// With an owner in scope every early return releases what it must.
#pragma once

#include "uefi/UefiBaseType.h"

/// VALUE is TRUE when POLICY declares RELEASES_NULL true. (The firmware
/// build has no C++ library, so no <type_traits>.)
template <typename... TYPES>
struct OwnerVoid {
  using Type = void;
};
template <typename POLICY, typename = void>
struct PolicyReleasesNull {
  static constexpr bool VALUE = false;
};
template <typename POLICY>
struct PolicyReleasesNull<POLICY, typename OwnerVoid<decltype(POLICY::RELEASES_NULL)>::Type> {
  static constexpr bool VALUE = POLICY::RELEASES_NULL;
};

template <typename T, typename POLICY>
class Owner {
 public:
  Owner() = default;
  explicit Owner(T *Pointer) : mPointer(Pointer) {}
  ~Owner() { ReleaseHeld(mPointer); }

  Owner(Owner &&Other) noexcept : mPointer(Other.Release()) {}
  Owner &operator=(Owner &&Other) noexcept {
    if (this != &Other) {
      Reset(Other.Release());
    }
    return *this;
  }
  Owner(const Owner &) = delete;
  Owner &operator=(const Owner &) = delete;

  /// Allocates Count zeroed elements through the policy; the owner is empty
  /// on failure (or when Count elements cannot be counted in bytes).
  [[nodiscard]] static Owner AllocateZeroed(UINTN Count = 1) {
    if (Count > static_cast<UINTN>(-1) / sizeof(T)) {
      return Owner();
    }
    return Owner(static_cast<T *>(POLICY::Allocate(Count * sizeof(T))));
  }

  T *Get() const { return mPointer; }
  T *operator->() const { return mPointer; }
  T &operator*() const { return *mPointer; }
  T &operator[](UINTN Index) const { return mPointer[Index]; }
  explicit operator bool() const { return mPointer != nullptr; }

  /// Gives up ownership without releasing.
  [[nodiscard]] T *Release() {
    T *Pointer = mPointer;
    mPointer = nullptr;
    return Pointer;
  }

  /// Releases what is held and takes Pointer instead.
  void Reset(T *Pointer = nullptr) {
    T *Old = mPointer;
    mPointer = Pointer;
    ReleaseHeld(Old);
  }

  /// Address to pass as an out-parameter; whatever is written there is owned.
  T **Receive() {
    Reset();
    return &mPointer;
  }

  /// Exchanges what two owners hold.
  void Swap(Owner &Other) {
    T *Pointer = mPointer;
    mPointer = Other.mPointer;
    Other.mPointer = Pointer;
  }

 private:
  static void ReleaseHeld(T *Pointer) {
    if (PolicyReleasesNull<POLICY>::VALUE || Pointer != nullptr) {
      POLICY::Release(Pointer);
    }
  }

  T *mPointer = nullptr;
};
