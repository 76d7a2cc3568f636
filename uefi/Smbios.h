// The SMBIOS tables as UEFI publishes them: the configuration-table GUIDs of
// the 2.1 (32-bit) and 3.0 (64-bit) entry points. The entry points and the
// structures are read by byte offset (producer/ServiceLocation.cpp), at the
// offsets of DMTF's SMBIOS reference (DSP0134).
#pragma once

#include "uefi/UefiBaseType.h"

#define SMBIOS_TABLE_GUID                                                          \
  {                                                                                \
    0xeb9d2d31, 0x2d88, 0x11d3, { 0x9a, 0x16, 0x00, 0x90, 0x27, 0x3f, 0xc1, 0x4d } \
  }
#define SMBIOS3_TABLE_GUID                                                         \
  {                                                                                \
    0xf2fd1544, 0x9794, 0x4a2c, { 0x99, 0x2e, 0xe5, 0xbb, 0xcf, 0x20, 0xe3, 0x94 } \
  }
