// NVDIMM_ACTION_PROTOCOL: the platform component that manages the
// persistent-memory modules. Another firmware module produces it; this driver
// only reads its two flag bytes, sets ResetPending and calls its operations.
#pragma once

#include "uefi/UefiBaseType.h"

/// Size of the ErrorMessage buffer every failing operation fills (79
/// characters and a NUL at most).
constexpr UINTN NVDIMM_ERROR_MESSAGE_SIZE = 80;

/// Size of the status text in a DIMM_RESULT.
constexpr UINTN NVDIMM_RESULT_STATUS_SIZE = 80;

/// The outcome for one module of an all-modules configuration erase.
struct DIMM_RESULT {
  UINT64 DimmId;  ///< low 32 bits are the module's identifier
  CHAR8 Status[NVDIMM_RESULT_STATUS_SIZE];
};

/// Filled by DeletePlatformConfigurationData; the array stays the producer's.
struct DIMM_RESULT_LIST {
  UINT64 Count;
  DIMM_RESULT *Results;
};

/// Applies a memory-allocation goal; it takes effect at the next boot.
using NVDIMM_CREATE_GOAL = EFI_STATUS(EFIAPI *)(CHAR8 *ConfigurationLevel, UINT32 MemoryMode,
                                                UINT32 Reserved, CHAR8 *PersistentMemoryType,
                                                CHAR8 *ErrorMessage);

/// Creates a namespace of CapacityMiB in region RegionId.
using NVDIMM_CREATE_NAMESPACE = EFI_STATUS(EFIAPI *)(UINT32 RegionId, CHAR8 *Name,
                                                     UINT64 CapacityMiB, CHAR8 *Mode,
                                                     CHAR8 *ErrorMessage);

/// Deletes namespace NamespaceId.
using NVDIMM_DELETE_NAMESPACE = EFI_STATUS(EFIAPI *)(UINT16 NamespaceId, CHAR8 *ErrorMessage);

/// Erases the configuration data of one module (*DimmId) or of all modules
/// (AllDimms, DimmId null); Results receives one entry per module erased by
/// an all-modules call. The entry array belongs to the producer.
using NVDIMM_DELETE_PLATFORM_CONFIGURATION_DATA = EFI_STATUS(EFIAPI *)(BOOLEAN AllDimms,
                                                                       UINT16 *DimmId,
                                                                       CHAR8 *ErrorMessage,
                                                                       DIMM_RESULT_LIST *Results);

/// Runs the comma-separated Tests on one module or on all. *ResultMessage
/// receives a text from boot-services pool that the caller releases.
using NVDIMM_RUN_DIAGNOSTICS = EFI_STATUS(EFIAPI *)(BOOLEAN AllDimms, UINT16 *DimmId, CHAR8 *Tests,
                                                    CHAR8 **ResultMessage);

/// Tells whether a configuration request made in the platform's setup waits.
using NVDIMM_GET_LOCAL_REQUEST_PENDING = EFI_STATUS(EFIAPI *)(BOOLEAN *Pending);

struct NVDIMM_ACTION_PROTOCOL {
  UINT8 Enabled;       ///< non-zero: remote actions are processed
  UINT8 ResetPending;  ///< set by the driver just before its own reset
  UINT8 Reserved[6];
  NVDIMM_CREATE_GOAL CreateGoal;
  NVDIMM_CREATE_NAMESPACE CreateNamespace;
  NVDIMM_DELETE_NAMESPACE DeleteNamespace;
  NVDIMM_DELETE_PLATFORM_CONFIGURATION_DATA DeletePlatformConfigurationData;
  NVDIMM_RUN_DIAGNOSTICS RunDiagnostics;
  NVDIMM_GET_LOCAL_REQUEST_PENDING GetLocalRequestPending;
};

static_assert(sizeof(DIMM_RESULT) == 88, "DIMM_RESULT is 88 bytes");
static_assert(offsetof(DIMM_RESULT, Status) == 8, "DIMM_RESULT.Status");
static_assert(sizeof(DIMM_RESULT_LIST) == 16, "DIMM_RESULT_LIST size");
static_assert(offsetof(NVDIMM_ACTION_PROTOCOL, ResetPending) == 1, "ResetPending");
static_assert(offsetof(NVDIMM_ACTION_PROTOCOL, CreateGoal) == 8, "CreateGoal");
static_assert(offsetof(NVDIMM_ACTION_PROTOCOL, CreateNamespace) == 16, "CreateNamespace");
static_assert(offsetof(NVDIMM_ACTION_PROTOCOL, DeleteNamespace) == 24, "DeleteNamespace");
static_assert(offsetof(NVDIMM_ACTION_PROTOCOL, DeletePlatformConfigurationData) == 32,
              "DeletePlatformConfigurationData");
static_assert(offsetof(NVDIMM_ACTION_PROTOCOL, RunDiagnostics) == 40, "RunDiagnostics");
static_assert(offsetof(NVDIMM_ACTION_PROTOCOL, GetLocalRequestPending) == 48,
              "GetLocalRequestPending");
static_assert(sizeof(NVDIMM_ACTION_PROTOCOL) == 56, "NVDIMM_ACTION_PROTOCOL size");

#define NVDIMM_ACTION_PROTOCOL_GUID                                                \
  {                                                                                \
    0x869f7a2d, 0xc11b, 0x48ee, { 0xbd, 0x8c, 0xcd, 0xdb, 0x4d, 0x2f, 0xf4, 0xc7 } \
  }
