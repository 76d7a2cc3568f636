// Floating-point support: fabs for cJSON, and the marker symbol that clang
// references from every object using floating point when it targets the
// Windows ABI, as the image does.
#include "efi/runtime/include/math.h"

extern "C" double fabs(double X) { return __builtin_fabs(X); }

extern "C" {
// Read by nobody; it must only exist for the link to resolve.
int _fltused = 0;
}
