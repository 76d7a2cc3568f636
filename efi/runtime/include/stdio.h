/* Formatting of the image's C run-time: the directives cJSON uses and the
   flags around them. There are no streams. */
#ifndef NVDIMM_EFI_RUNTIME_STDIO_H_
#define NVDIMM_EFI_RUNTIME_STDIO_H_

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define EOF (-1)

/** Formats into Buffer, which must be large enough, and appends a NUL.
    Directives: %% and the conversions d, i (int), x (unsigned int) and g
    (double; an 'l' before it is accepted), each with the flags '-' and '0',
    a decimal width and a decimal precision. %g prints what glibc prints for
    every double, from the exact decimal value rounded to nearest-even.
    Returns the number of bytes written before the NUL, or -1 for any other
    directive or a result longer than INT_MAX. */
int sprintf(char *Buffer, const char *Format, ...);

/** Reads one double from Text. The only format accepted is "%lg": leading
    white space is skipped and the number read as strtod reads it. Returns 1
    when a number was stored through the double pointer argument, 0 when Text
    does not start with a number, EOF when Text holds only white space or
    Format is not "%lg". */
int sscanf(const char *Text, const char *Format, ...);

#ifdef __cplusplus
}
#endif

#endif
