// The shape of a function-pointer type as one number, so that the two sides
// of the layout check can compare the services' and protocols' signatures:
// one byte per type, the return type first, then each parameter. A byte is
// the type's size, plus 0x20 for a signed integer, 0x40 for a floating type,
// 0x80 for a pointer; 0xFF is void, 0xEE a trailing "...". Included after
// the side's own declarations, so EFIAPI is that side's calling convention:
// a member whose type is not an EFIAPI function pointer does not compile.
#pragma once

#include <type_traits>

namespace layout {

template <typename T>
constexpr unsigned long long TypeCode() {
  if constexpr (std::is_void_v<T>) {
    return 0xFF;
  } else if constexpr (std::is_pointer_v<T>) {
    return 0x80 | sizeof(T);
  } else if constexpr (std::is_floating_point_v<T>) {
    return 0x40 | sizeof(T);
  } else if constexpr (std::is_signed_v<T>) {
    return 0x20 | sizeof(T);
  } else {
    return sizeof(T);
  }
}

template <typename R, typename... A>
constexpr unsigned long long Signature(R(EFIAPI *)(A...)) {
  static_assert(sizeof...(A) < 8, "at most seven parameters fit");
  unsigned long long Value = TypeCode<R>();
  ((Value = (Value << 8) | TypeCode<A>()), ...);
  return Value;
}

template <typename R, typename... A>
constexpr unsigned long long Signature(R(EFIAPI *)(A..., ...)) {
  static_assert(sizeof...(A) < 7, "at most six parameters fit");
  unsigned long long Value = TypeCode<R>();
  ((Value = (Value << 8) | TypeCode<A>()), ...);
  return (Value << 8) | 0xEE;
}

template <typename T>
constexpr bool IsFunctionPointer() {
  return std::is_pointer_v<T> && std::is_function_v<std::remove_pointer_t<T>>;
}

/// The signature of T when it is a function pointer, otherwise 0.
template <typename T>
constexpr unsigned long long SignatureOf() {
  if constexpr (IsFunctionPointer<T>()) {
    return Signature(static_cast<T>(nullptr));
  } else {
    return 0;
  }
}

}  // namespace layout

// Adds "signature T.M" when member M of T is a function pointer.
#define LAYOUT_SIGNATURE(T, M)                                     \
  if (layout::IsFunctionPointer<decltype(((T *)nullptr)->M)>()) {  \
    LayoutAdd(Entries, &Count, "signature", #T "." #M,             \
              layout::SignatureOf<decltype(((T *)nullptr)->M)>()); \
  }
