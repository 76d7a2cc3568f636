/* Allocation and number conversion of the image's C run-time. */
#ifndef NVDIMM_EFI_RUNTIME_STDLIB_H_
#define NVDIMM_EFI_RUNTIME_STDLIB_H_

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/** Allocates Size bytes of EfiBootServicesData from the boot-services pool.
    The caller owns the block and releases it with free or realloc. Returns
    NULL when the pool fails or Size cannot be represented with the block's
    header; malloc(0) returns a unique block. */
void *malloc(size_t Size);

/** Returns a block from malloc or realloc to the pool; NULL is ignored. */
void free(void *Block);

/** Resizes Block to Size bytes, keeping the smaller of the two sizes of
    content. realloc(NULL, Size) is malloc(Size); realloc(Block, 0) frees Block
    and returns NULL. On failure returns NULL and Block is left untouched. */
void *realloc(void *Block, size_t Size);

/** Converts the decimal floating-point number at the start of Text, correctly
    rounded to nearest-even: optional white space, optional sign, digits with
    an optional '.', an optional exponent. Overflow gives a signed infinity,
    underflow a signed zero or subnormal. Infinity, NaN and hexadecimal
    spellings are not recognised (they read as no number, or as the decimal
    prefix "0"). End, when not NULL, receives the first byte not used, or
    Text when there is no number; errno is not set. */
double strtod(const char *Text, char **End);

#ifdef __cplusplus
}
#endif

#endif
