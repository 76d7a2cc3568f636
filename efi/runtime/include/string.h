/* Memory and string functions of the image's C run-time: the ones cJSON
   calls, and the four that the compiler itself may call in freestanding code
   (memcpy, memmove, memset, memcmp). */
#ifndef NVDIMM_EFI_RUNTIME_STRING_H_
#define NVDIMM_EFI_RUNTIME_STRING_H_

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/** Copies Length bytes from Source to Destination; the ranges must not
    overlap. Returns Destination. */
void *memcpy(void *Destination, const void *Source, size_t Length);

/** Copies Length bytes from Source to Destination; the ranges may overlap.
    Returns Destination. */
void *memmove(void *Destination, const void *Source, size_t Length);

/** Fills Length bytes at Buffer with (unsigned char)Value. Returns Buffer. */
void *memset(void *Buffer, int Value, size_t Length);

/** Compares Length bytes as unsigned char: negative, zero or positive as A
    sorts before, equal to or after B. */
int memcmp(const void *A, const void *B, size_t Length);

/** Number of bytes before the terminating NUL of String. */
size_t strlen(const char *String);

/** Compares two NUL-terminated strings as unsigned char, like memcmp. */
int strcmp(const char *A, const char *B);

/** Compares at most Length bytes of two strings, stopping at a NUL. */
int strncmp(const char *A, const char *B, size_t Length);

/** Copies Source with its NUL to Destination, which must hold it and must not
    overlap it. Returns Destination. */
char *strcpy(char *Destination, const char *Source);

#ifdef __cplusplus
}
#endif

#endif
