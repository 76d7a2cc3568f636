// EFI_SIMPLE_FILE_SYSTEM_PROTOCOL and EFI_FILE_PROTOCOL of the UEFI standard,
// with the EFI_FILE_INFO record: reading files from a FAT volume.
#pragma once

#include "uefi/UefiTables.h"

struct EFI_SIMPLE_FILE_SYSTEM_PROTOCOL;
struct EFI_FILE_PROTOCOL;

/// Opens the root directory of the volume; the caller closes it.
using EFI_SIMPLE_FILE_SYSTEM_PROTOCOL_OPEN_VOLUME =
    EFI_STATUS(EFIAPI *)(EFI_SIMPLE_FILE_SYSTEM_PROTOCOL *This, EFI_FILE_PROTOCOL **Root);

struct EFI_SIMPLE_FILE_SYSTEM_PROTOCOL {
  UINT64 Revision;
  EFI_SIMPLE_FILE_SYSTEM_PROTOCOL_OPEN_VOLUME OpenVolume;
};
static_assert(sizeof(EFI_SIMPLE_FILE_SYSTEM_PROTOCOL) == 16,
              "EFI_SIMPLE_FILE_SYSTEM_PROTOCOL size");

/// Opens FileName relative to This; the caller closes NewHandle.
using EFI_FILE_OPEN = EFI_STATUS(EFIAPI *)(EFI_FILE_PROTOCOL *This, EFI_FILE_PROTOCOL **NewHandle,
                                           CHAR16 *FileName, UINT64 OpenMode, UINT64 Attributes);
/// Closes the handle; always succeeds.
using EFI_FILE_CLOSE = EFI_STATUS(EFIAPI *)(EFI_FILE_PROTOCOL *This);
using EFI_FILE_DELETE = EFI_STATUS(EFIAPI *)(EFI_FILE_PROTOCOL *This);
/// Reads up to *BufferSize bytes; *BufferSize receives how many were read.
using EFI_FILE_READ = EFI_STATUS(EFIAPI *)(EFI_FILE_PROTOCOL *This, UINTN *BufferSize,
                                           VOID *Buffer);
using EFI_FILE_WRITE = EFI_STATUS(EFIAPI *)(EFI_FILE_PROTOCOL *This, UINTN *BufferSize,
                                            VOID *Buffer);
using EFI_FILE_GET_POSITION = EFI_STATUS(EFIAPI *)(EFI_FILE_PROTOCOL *This, UINT64 *Position);
using EFI_FILE_SET_POSITION = EFI_STATUS(EFIAPI *)(EFI_FILE_PROTOCOL *This, UINT64 Position);
/// Fills Buffer with the record named by InformationType (EFI_FILE_INFO);
/// EFI_BUFFER_TOO_SMALL with the size needed in *BufferSize.
using EFI_FILE_GET_INFO = EFI_STATUS(EFIAPI *)(EFI_FILE_PROTOCOL *This, EFI_GUID *InformationType,
                                               UINTN *BufferSize, VOID *Buffer);
using EFI_FILE_SET_INFO = EFI_STATUS(EFIAPI *)(EFI_FILE_PROTOCOL *This, EFI_GUID *InformationType,
                                               UINTN BufferSize, VOID *Buffer);
using EFI_FILE_FLUSH = EFI_STATUS(EFIAPI *)(EFI_FILE_PROTOCOL *This);

struct EFI_FILE_PROTOCOL {
  UINT64 Revision;
  EFI_FILE_OPEN Open;
  EFI_FILE_CLOSE Close;
  EFI_FILE_DELETE Delete;
  EFI_FILE_READ Read;
  EFI_FILE_WRITE Write;
  EFI_FILE_GET_POSITION GetPosition;
  EFI_FILE_SET_POSITION SetPosition;
  EFI_FILE_GET_INFO GetInfo;
  EFI_FILE_SET_INFO SetInfo;
  EFI_FILE_FLUSH Flush;
  // Revision 2 adds OpenEx, ReadEx, WriteEx and FlushEx, which this code
  // never calls; revision 1 volumes end here.
};
static_assert(offsetof(EFI_FILE_PROTOCOL, Open) == 8, "Open");
static_assert(offsetof(EFI_FILE_PROTOCOL, Close) == 16, "Close");
static_assert(offsetof(EFI_FILE_PROTOCOL, Read) == 32, "Read");
static_assert(offsetof(EFI_FILE_PROTOCOL, GetInfo) == 64, "GetInfo");
static_assert(offsetof(EFI_FILE_PROTOCOL, Flush) == 80, "Flush");

constexpr UINT64 EFI_FILE_MODE_READ = 0x0000000000000001ULL;
constexpr UINT64 EFI_FILE_DIRECTORY = 0x0000000000000010ULL;

/// The leading fixed part of EFI_FILE_INFO; the file name follows it.
struct EFI_FILE_INFO {
  UINT64 Size;  ///< of the whole record, name included
  UINT64 FileSize;
  UINT64 PhysicalSize;
  EFI_TIME CreateTime;
  EFI_TIME LastAccessTime;
  EFI_TIME ModificationTime;
  UINT64 Attribute;
  CHAR16 FileName[1];
};
static_assert(offsetof(EFI_FILE_INFO, FileSize) == 8, "FileSize");
static_assert(offsetof(EFI_FILE_INFO, CreateTime) == 24, "CreateTime");
static_assert(offsetof(EFI_FILE_INFO, Attribute) == 72, "Attribute");
static_assert(offsetof(EFI_FILE_INFO, FileName) == 80, "FileName");

#define EFI_SIMPLE_FILE_SYSTEM_PROTOCOL_GUID                                       \
  {                                                                                \
    0x964e5b22, 0x6459, 0x11d2, { 0x8e, 0x39, 0x00, 0xa0, 0xc9, 0x69, 0x72, 0x3b } \
  }

#define EFI_FILE_INFO_ID                                                           \
  {                                                                                \
    0x09576e92, 0x6d3f, 0x11d2, { 0x8e, 0x39, 0x00, 0xa0, 0xc9, 0x69, 0x72, 0x3b } \
  }
