// The image's run-time as the tests call it: its own headers, read under the
// renamed function names of RuntimeRename.h, so the declarations the tests
// use are the ones the run-time is compiled against.
#pragma once

#include "tests/efi/RuntimeRename.h"

#include "efi/runtime/include/ctype.h"
#include "efi/runtime/include/stdio.h"
#include "efi/runtime/include/stdlib.h"
#include "efi/runtime/include/string.h"

extern "C" double EfiRtFabs(double X);

#undef memcpy
#undef memmove
#undef memset
#undef memcmp
#undef strlen
#undef strcmp
#undef strncmp
#undef strcpy
#undef tolower
#undef malloc
#undef free
#undef realloc
#undef strtod
#undef sprintf
#undef sscanf
#undef fabs
