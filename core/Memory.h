// Small memory and ASCII string helpers, so that driver code needs no C
// library of its own.
#pragma once

#include "uefi/UefiBaseType.h"

/// Fills Length bytes at Buffer with zero.
void ZeroMem(VOID *Buffer, UINTN Length);

/// Copies Length bytes; the ranges must not overlap.
void CopyMem(VOID *Destination, const VOID *Source, UINTN Length);

/// Length of a NUL-terminated ASCII string.
UINTN AsciiStrLen(const CHAR8 *String);

/// Exact comparison of two ASCII strings; TRUE when equal.
bool AsciiStrEqual(const CHAR8 *A, const CHAR8 *B);

/// Comparison that ignores the case of A-Z; TRUE when equal.
bool AsciiStrEqualNoCase(const CHAR8 *A, const CHAR8 *B);

/// Exact comparison of two UCS-2 strings; TRUE when equal.
bool StrEqual(const CHAR16 *A, const CHAR16 *B);
