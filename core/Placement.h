// The placement form of operator new, for objects built in pool blocks. The
// host build takes it from <new>; the firmware images, built without any C++
// library, define it here.
#pragma once

#include <stddef.h>

#if __has_include(<new>)
#include <new>
#else
inline void *operator new(size_t, void *Where) noexcept { return Where; }
#endif
