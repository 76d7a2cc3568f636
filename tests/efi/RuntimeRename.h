// Force-included into the image's run-time (and into cJSON built on it) for
// the host tests: every function of the run-time gets a name of its own, so
// that it links beside the C library and the tests can compare the two.
#pragma once

#define memcpy EfiRtMemcpy
#define memmove EfiRtMemmove
#define memset EfiRtMemset
#define memcmp EfiRtMemcmp
#define strlen EfiRtStrlen
#define strcmp EfiRtStrcmp
#define strncmp EfiRtStrncmp
#define strcpy EfiRtStrcpy
#define tolower EfiRtTolower
#define malloc EfiRtMalloc
#define free EfiRtFree
#define realloc EfiRtRealloc
#define strtod EfiRtStrtod
#define sprintf EfiRtSprintf
#define sscanf EfiRtSscanf
#define fabs EfiRtFabs
