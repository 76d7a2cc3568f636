/** @file
  NVDIMM_ACTION_PROTOCOL: the platform component that manages the
  persistent-memory modules. A platform module produces it; the
  NvdimmRemoteActionDxe driver locates it by GUID, reads its two flag bytes,
  sets ResetPending and calls its operations. No operation receives the
  protocol instance.

  Every operation returns EFI_SUCCESS when it was carried out. Any other
  status, warnings included, counts as a failure, and then the operation
  writes a NUL-terminated text of at most 79 characters into ErrorMessage
  (where it has one), which the driver reports to the Redfish service.
**/

#ifndef NVDIMM_ACTION_PROTOCOL_H_
#define NVDIMM_ACTION_PROTOCOL_H_

#define NVDIMM_ACTION_PROTOCOL_GUID \
  { 0x869f7a2d, 0xc11b, 0x48ee, { 0xbd, 0x8c, 0xcd, 0xdb, 0x4d, 0x2f, 0xf4, 0xc7 } }

typedef struct _NVDIMM_ACTION_PROTOCOL NVDIMM_ACTION_PROTOCOL;

///
/// Size of the ErrorMessage buffer: the caller owns it and zeroes it.
///
#define NVDIMM_ERROR_MESSAGE_SIZE  80

///
/// Size of the status text of a DIMM_RESULT.
///
#define NVDIMM_RESULT_STATUS_SIZE  80

///
/// The outcome for one module of an all-modules configuration erase.
///
typedef struct {
  UINT64    DimmId;                             ///< the low 32 bits are printed
  CHAR8     Status[NVDIMM_RESULT_STATUS_SIZE];  ///< NUL-terminated ASCII
} DIMM_RESULT;

///
/// Filled by DeletePlatformConfigurationData for an all-modules erase. The
/// Results array stays the producer's.
///
typedef struct {
  UINT64         Count;
  DIMM_RESULT    *Results;
} DIMM_RESULT_LIST;

/**
  Applies a memory-allocation goal. It takes effect at the next boot: the
  driver reports the action "Inprogress", sets ResetPending and requests a
  warm reset.

  @param[in]  ConfigurationLevel    NUL-terminated ASCII, as the remote user gave it.
  @param[in]  MemoryMode            The percentage of capacity in memory mode.
  @param[in]  Reserved              The reserved capacity.
  @param[in]  PersistentMemoryType  NUL-terminated ASCII, as the remote user gave it.
  @param[out] ErrorMessage          NVDIMM_ERROR_MESSAGE_SIZE bytes, filled on failure.

  @retval EFI_SUCCESS  The goal is applied.
  @retval Others       It is not; ErrorMessage says why.
**/
typedef
EFI_STATUS
(EFIAPI *NVDIMM_CREATE_GOAL)(
  IN  CHAR8   *ConfigurationLevel,
  IN  UINT32  MemoryMode,
  IN  UINT32  Reserved,
  IN  CHAR8   *PersistentMemoryType,
  OUT CHAR8   *ErrorMessage
  );

/**
  Creates a namespace in a region.

  @param[in]  RegionId      The region.
  @param[in]  Name          NUL-terminated ASCII name of the namespace.
  @param[in]  CapacityMiB   Its capacity in MiB.
  @param[in]  Mode          NUL-terminated ASCII mode, as the remote user gave it.
  @param[out] ErrorMessage  NVDIMM_ERROR_MESSAGE_SIZE bytes, filled on failure.

  @retval EFI_SUCCESS  The namespace exists.
  @retval Others       It does not; ErrorMessage says why.
**/
typedef
EFI_STATUS
(EFIAPI *NVDIMM_CREATE_NAMESPACE)(
  IN  UINT32  RegionId,
  IN  CHAR8   *Name,
  IN  UINT64  CapacityMiB,
  IN  CHAR8   *Mode,
  OUT CHAR8   *ErrorMessage
  );

/**
  Deletes a namespace.

  @param[in]  NamespaceId   The namespace.
  @param[out] ErrorMessage  NVDIMM_ERROR_MESSAGE_SIZE bytes, filled on failure.

  @retval EFI_SUCCESS  The namespace is gone.
  @retval Others       It is not; ErrorMessage says why.
**/
typedef
EFI_STATUS
(EFIAPI *NVDIMM_DELETE_NAMESPACE)(
  IN  UINT16  NamespaceId,
  OUT CHAR8   *ErrorMessage
  );

/**
  Erases the configuration data of one module or of all modules.

  @param[in]  AllDimms      TRUE: every module; DimmId is then NULL.
  @param[in]  DimmId        The module, when AllDimms is FALSE.
  @param[out] ErrorMessage  NVDIMM_ERROR_MESSAGE_SIZE bytes, filled on failure.
  @param[out] Results       Zeroed by the caller; an all-modules erase fills it
                            with one entry per module. The array stays the
                            producer's; the caller does not free it.

  @retval EFI_SUCCESS  The data is erased.
  @retval Others       It is not; ErrorMessage says why.
**/
typedef
EFI_STATUS
(EFIAPI *NVDIMM_DELETE_PLATFORM_CONFIGURATION_DATA)(
  IN  BOOLEAN           AllDimms,
  IN  UINT16            *DimmId,
  OUT CHAR8             *ErrorMessage,
  OUT DIMM_RESULT_LIST  *Results
  );

/**
  Runs module tests on one module or on all.

  @param[in]  AllDimms       TRUE: every module; *DimmId is then 0x00FF.
  @param[in]  DimmId         The module; never NULL.
  @param[in]  Tests          NUL-terminated ASCII list of tests, comma-separated.
  @param[out] ResultMessage  NULL before the call. Receives a NUL-terminated
                             ASCII text allocated from boot-services pool, in
                             either outcome: it is the message the driver
                             reports. The caller frees it with FreePool.

  @retval EFI_SUCCESS  The tests ran.
  @retval Others       They did not.
**/
typedef
EFI_STATUS
(EFIAPI *NVDIMM_RUN_DIAGNOSTICS)(
  IN  BOOLEAN  AllDimms,
  IN  UINT16   *DimmId,
  IN  CHAR8    *Tests,
  OUT CHAR8    **ResultMessage
  );

/**
  Tells whether a configuration request made in the platform's setup waits
  to be applied. While one does, the driver fails a still-issued remote
  action at a reset or when LocalRequestTriggerGuid is installed.

  @param[out] Pending  FALSE before the call; non-zero when a request waits.

  @retval EFI_SUCCESS  *Pending is valid. Any other status, warnings
                       included, is taken as "nothing pending".
**/
typedef
EFI_STATUS
(EFIAPI *NVDIMM_GET_LOCAL_REQUEST_PENDING)(
  OUT BOOLEAN  *Pending
  );

///
/// The record the producer installs. The driver reads Enabled and
/// ResetPending, writes ResetPending, and never touches Reserved.
///
struct _NVDIMM_ACTION_PROTOCOL {
  UINT8                                        Enabled;      ///< non-zero: remote actions are processed
  UINT8                                        ResetPending; ///< set by the driver just before its own reset
  UINT8                                        Reserved[6];
  NVDIMM_CREATE_GOAL                           CreateGoal;
  NVDIMM_CREATE_NAMESPACE                      CreateNamespace;
  NVDIMM_DELETE_NAMESPACE                      DeleteNamespace;
  NVDIMM_DELETE_PLATFORM_CONFIGURATION_DATA    DeletePlatformConfigurationData;
  NVDIMM_RUN_DIAGNOSTICS                       RunDiagnostics;
  NVDIMM_GET_LOCAL_REQUEST_PENDING             GetLocalRequestPending;
};

extern EFI_GUID  gNvdimmActionProtocolGuid;

#endif
