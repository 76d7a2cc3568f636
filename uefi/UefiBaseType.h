// Base types, status codes, GUIDs and calling convention of UEFI, as the
// UEFI standard lays them out. The same declarations serve the firmware image
// (x86_64-unknown-windows) and the host build, so sizes are pinned below.
#pragma once

#include <stddef.h>
#include <stdint.h>

#if defined(__x86_64__) || defined(_M_X64)
#define EFIAPI __attribute__((ms_abi))
#else
#error "This driver targets x86-64 only."
#endif

using UINT8 = uint8_t;
using UINT16 = uint16_t;
using UINT32 = uint32_t;
using UINT64 = uint64_t;
using INT8 = int8_t;
using INT16 = int16_t;
using INT32 = int32_t;
using INT64 = int64_t;
using UINTN = uint64_t;
using INTN = int64_t;
using BOOLEAN = uint8_t;
using CHAR8 = char;
using CHAR16 = char16_t;
using VOID = void;

using EFI_STATUS = UINTN;
using EFI_HANDLE = VOID *;
using EFI_EVENT = VOID *;
using EFI_TPL = UINTN;
using EFI_PHYSICAL_ADDRESS = UINT64;
using EFI_VIRTUAL_ADDRESS = UINT64;

constexpr BOOLEAN TRUE = 1;
constexpr BOOLEAN FALSE = 0;

static_assert(sizeof(CHAR16) == 2, "CHAR16 is a 16-bit code unit");
static_assert(sizeof(BOOLEAN) == 1, "BOOLEAN is one byte");
static_assert(sizeof(UINTN) == sizeof(void *), "UINTN is the native width");

struct EFI_GUID {
  UINT32 Data1;
  UINT16 Data2;
  UINT16 Data3;
  UINT8 Data4[8];
};
static_assert(sizeof(EFI_GUID) == 16, "EFI_GUID is 16 bytes");
static_assert(alignof(EFI_GUID) == 4, "EFI_GUID is 32-bit aligned");

constexpr UINTN MAX_BIT = 0x8000000000000000ULL;

constexpr EFI_STATUS EncodeError(UINTN Code) { return MAX_BIT | Code; }
constexpr EFI_STATUS EncodeWarning(UINTN Code) { return Code; }

/// TRUE when Status has the error bit set; warnings are not errors.
constexpr bool EFI_ERROR(EFI_STATUS Status) { return (Status & MAX_BIT) != 0; }

constexpr EFI_STATUS EFI_SUCCESS = 0;
constexpr EFI_STATUS EFI_LOAD_ERROR = EncodeError(1);
constexpr EFI_STATUS EFI_INVALID_PARAMETER = EncodeError(2);
constexpr EFI_STATUS EFI_UNSUPPORTED = EncodeError(3);
constexpr EFI_STATUS EFI_BAD_BUFFER_SIZE = EncodeError(4);
constexpr EFI_STATUS EFI_BUFFER_TOO_SMALL = EncodeError(5);
constexpr EFI_STATUS EFI_NOT_READY = EncodeError(6);
constexpr EFI_STATUS EFI_DEVICE_ERROR = EncodeError(7);
constexpr EFI_STATUS EFI_WRITE_PROTECTED = EncodeError(8);
constexpr EFI_STATUS EFI_OUT_OF_RESOURCES = EncodeError(9);
constexpr EFI_STATUS EFI_VOLUME_CORRUPTED = EncodeError(10);
constexpr EFI_STATUS EFI_VOLUME_FULL = EncodeError(11);
constexpr EFI_STATUS EFI_NO_MEDIA = EncodeError(12);
constexpr EFI_STATUS EFI_MEDIA_CHANGED = EncodeError(13);
constexpr EFI_STATUS EFI_NOT_FOUND = EncodeError(14);
constexpr EFI_STATUS EFI_ACCESS_DENIED = EncodeError(15);
constexpr EFI_STATUS EFI_NO_RESPONSE = EncodeError(16);
constexpr EFI_STATUS EFI_NO_MAPPING = EncodeError(17);
constexpr EFI_STATUS EFI_TIMEOUT = EncodeError(18);
constexpr EFI_STATUS EFI_NOT_STARTED = EncodeError(19);
constexpr EFI_STATUS EFI_ALREADY_STARTED = EncodeError(20);
constexpr EFI_STATUS EFI_ABORTED = EncodeError(21);
constexpr EFI_STATUS EFI_ICMP_ERROR = EncodeError(22);
constexpr EFI_STATUS EFI_TFTP_ERROR = EncodeError(23);
constexpr EFI_STATUS EFI_PROTOCOL_ERROR = EncodeError(24);
constexpr EFI_STATUS EFI_INCOMPATIBLE_VERSION = EncodeError(25);
constexpr EFI_STATUS EFI_SECURITY_VIOLATION = EncodeError(26);
constexpr EFI_STATUS EFI_CRC_ERROR = EncodeError(27);
constexpr EFI_STATUS EFI_END_OF_MEDIA = EncodeError(28);
constexpr EFI_STATUS EFI_END_OF_FILE = EncodeError(31);
constexpr EFI_STATUS EFI_INVALID_LANGUAGE = EncodeError(32);
constexpr EFI_STATUS EFI_COMPROMISED_DATA = EncodeError(33);
constexpr EFI_STATUS EFI_IP_ADDRESS_CONFLICT = EncodeError(34);
constexpr EFI_STATUS EFI_HTTP_ERROR = EncodeError(35);
// The network stack's own errors (UEFI's "network" status range).
constexpr EFI_STATUS EFI_CONNECTION_FIN = EncodeError(104);
constexpr EFI_STATUS EFI_CONNECTION_RESET = EncodeError(105);
constexpr EFI_STATUS EFI_CONNECTION_REFUSED = EncodeError(106);

constexpr EFI_STATUS EFI_WARN_UNKNOWN_GLYPH = EncodeWarning(1);
constexpr EFI_STATUS EFI_WARN_DELETE_FAILURE = EncodeWarning(2);
constexpr EFI_STATUS EFI_WARN_WRITE_FAILURE = EncodeWarning(3);
constexpr EFI_STATUS EFI_WARN_BUFFER_TOO_SMALL = EncodeWarning(4);
constexpr EFI_STATUS EFI_WARN_STALE_DATA = EncodeWarning(5);
constexpr EFI_STATUS EFI_WARN_FILE_SYSTEM = EncodeWarning(6);
constexpr EFI_STATUS EFI_WARN_RESET_REQUIRED = EncodeWarning(7);

/// Compares two GUIDs byte for byte.
inline bool CompareGuid(const EFI_GUID &A, const EFI_GUID &B) {
  const auto *X = reinterpret_cast<const UINT8 *>(&A);
  const auto *Y = reinterpret_cast<const UINT8 *>(&B);
  for (UINTN Index = 0; Index < sizeof(EFI_GUID); Index++) {
    if (X[Index] != Y[Index]) {
      return false;
    }
  }
  return true;
}

struct EFI_TIME {
  UINT16 Year;
  UINT8 Month;
  UINT8 Day;
  UINT8 Hour;
  UINT8 Minute;
  UINT8 Second;
  UINT8 Pad1;
  UINT32 Nanosecond;
  INT16 TimeZone;
  UINT8 Daylight;
  UINT8 Pad2;
};
static_assert(sizeof(EFI_TIME) == 16, "EFI_TIME is 16 bytes");
