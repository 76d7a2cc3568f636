// The UEFI system table, boot services and runtime services, member for
// member in the UEFI standard's order. Services this driver never calls are
// still declared with their real signatures so that the tables keep their
// binary layout; offsets are pinned at the end of the file.
#pragma once

#include "uefi/UefiBaseType.h"

// Task priority levels.
constexpr EFI_TPL TPL_APPLICATION = 4;
constexpr EFI_TPL TPL_CALLBACK = 8;
constexpr EFI_TPL TPL_NOTIFY = 16;
constexpr EFI_TPL TPL_HIGH_LEVEL = 31;

// Event types.
constexpr UINT32 EVT_TIMER = 0x80000000;
constexpr UINT32 EVT_RUNTIME = 0x40000000;
constexpr UINT32 EVT_NOTIFY_WAIT = 0x00000100;
constexpr UINT32 EVT_NOTIFY_SIGNAL = 0x00000200;
constexpr UINT32 EVT_SIGNAL_EXIT_BOOT_SERVICES = 0x00000201;
constexpr UINT32 EVT_SIGNAL_VIRTUAL_ADDRESS_CHANGE = 0x60000202;

enum EFI_ALLOCATE_TYPE : UINT32 {
  AllocateAnyPages,
  AllocateMaxAddress,
  AllocateAddress,
  MaxAllocateType
};

enum EFI_MEMORY_TYPE : UINT32 {
  EfiReservedMemoryType,
  EfiLoaderCode,
  EfiLoaderData,
  EfiBootServicesCode,
  EfiBootServicesData,
  EfiRuntimeServicesCode,
  EfiRuntimeServicesData,
  EfiConventionalMemory,
  EfiUnusableMemory,
  EfiACPIReclaimMemory,
  EfiACPIMemoryNVS,
  EfiMemoryMappedIO,
  EfiMemoryMappedIOPortSpace,
  EfiPalCode,
  EfiPersistentMemory,
  EfiUnacceptedMemoryType,
  EfiMaxMemoryType
};

enum EFI_TIMER_DELAY : UINT32 { TimerCancel, TimerPeriodic, TimerRelative };

enum EFI_INTERFACE_TYPE : UINT32 { EFI_NATIVE_INTERFACE };

enum EFI_LOCATE_SEARCH_TYPE : UINT32 { AllHandles, ByRegisterNotify, ByProtocol };

enum EFI_RESET_TYPE : UINT32 {
  EfiResetCold,
  EfiResetWarm,
  EfiResetShutdown,
  EfiResetPlatformSpecific
};

struct EFI_TABLE_HEADER {
  UINT64 Signature;
  UINT32 Revision;
  UINT32 HeaderSize;
  UINT32 CRC32;
  UINT32 Reserved;
};
static_assert(sizeof(EFI_TABLE_HEADER) == 24, "EFI_TABLE_HEADER is 24 bytes");

struct EFI_MEMORY_DESCRIPTOR {
  UINT32 Type;
  EFI_PHYSICAL_ADDRESS PhysicalStart;
  EFI_VIRTUAL_ADDRESS VirtualStart;
  UINT64 NumberOfPages;
  UINT64 Attribute;
};

struct EFI_DEVICE_PATH_PROTOCOL {
  UINT8 Type;
  UINT8 SubType;
  UINT8 Length[2];
};

struct EFI_OPEN_PROTOCOL_INFORMATION_ENTRY {
  EFI_HANDLE AgentHandle;
  EFI_HANDLE ControllerHandle;
  UINT32 Attributes;
  UINT32 OpenCount;
};

struct EFI_TIME_CAPABILITIES {
  UINT32 Resolution;
  UINT32 Accuracy;
  BOOLEAN SetsToZero;
};

struct EFI_CAPSULE_HEADER {
  EFI_GUID CapsuleGuid;
  UINT32 HeaderSize;
  UINT32 Flags;
  UINT32 CapsuleImageSize;
};

struct EFI_CONFIGURATION_TABLE {
  EFI_GUID VendorGuid;
  VOID *VendorTable;
};

using EFI_EVENT_NOTIFY = VOID(EFIAPI *)(EFI_EVENT Event, VOID *Context);
using EFI_IMAGE_ENTRY_POINT = EFI_STATUS(EFIAPI *)(EFI_HANDLE ImageHandle,
                                                   struct EFI_SYSTEM_TABLE *SystemTable);

// Boot services.
using EFI_RAISE_TPL = EFI_TPL(EFIAPI *)(EFI_TPL NewTpl);
using EFI_RESTORE_TPL = VOID(EFIAPI *)(EFI_TPL OldTpl);
using EFI_ALLOCATE_PAGES = EFI_STATUS(EFIAPI *)(EFI_ALLOCATE_TYPE Type, EFI_MEMORY_TYPE MemoryType,
                                                UINTN Pages, EFI_PHYSICAL_ADDRESS *Memory);
using EFI_FREE_PAGES = EFI_STATUS(EFIAPI *)(EFI_PHYSICAL_ADDRESS Memory, UINTN Pages);
using EFI_GET_MEMORY_MAP = EFI_STATUS(EFIAPI *)(UINTN *MemoryMapSize,
                                                EFI_MEMORY_DESCRIPTOR *MemoryMap, UINTN *MapKey,
                                                UINTN *DescriptorSize, UINT32 *DescriptorVersion);
using EFI_ALLOCATE_POOL = EFI_STATUS(EFIAPI *)(EFI_MEMORY_TYPE PoolType, UINTN Size, VOID **Buffer);
using EFI_FREE_POOL = EFI_STATUS(EFIAPI *)(VOID *Buffer);
using EFI_CREATE_EVENT = EFI_STATUS(EFIAPI *)(UINT32 Type, EFI_TPL NotifyTpl,
                                              EFI_EVENT_NOTIFY NotifyFunction, VOID *NotifyContext,
                                              EFI_EVENT *Event);
using EFI_SET_TIMER = EFI_STATUS(EFIAPI *)(EFI_EVENT Event, EFI_TIMER_DELAY Type,
                                           UINT64 TriggerTime);
using EFI_WAIT_FOR_EVENT = EFI_STATUS(EFIAPI *)(UINTN NumberOfEvents, EFI_EVENT *Event,
                                                UINTN *Index);
using EFI_SIGNAL_EVENT = EFI_STATUS(EFIAPI *)(EFI_EVENT Event);
using EFI_CLOSE_EVENT = EFI_STATUS(EFIAPI *)(EFI_EVENT Event);
using EFI_CHECK_EVENT = EFI_STATUS(EFIAPI *)(EFI_EVENT Event);
using EFI_INSTALL_PROTOCOL_INTERFACE = EFI_STATUS(EFIAPI *)(EFI_HANDLE *Handle, EFI_GUID *Protocol,
                                                            EFI_INTERFACE_TYPE InterfaceType,
                                                            VOID *Interface);
using EFI_REINSTALL_PROTOCOL_INTERFACE = EFI_STATUS(EFIAPI *)(EFI_HANDLE Handle, EFI_GUID *Protocol,
                                                              VOID *OldInterface,
                                                              VOID *NewInterface);
using EFI_UNINSTALL_PROTOCOL_INTERFACE = EFI_STATUS(EFIAPI *)(EFI_HANDLE Handle, EFI_GUID *Protocol,
                                                              VOID *Interface);
using EFI_HANDLE_PROTOCOL = EFI_STATUS(EFIAPI *)(EFI_HANDLE Handle, EFI_GUID *Protocol,
                                                 VOID **Interface);
using EFI_REGISTER_PROTOCOL_NOTIFY = EFI_STATUS(EFIAPI *)(EFI_GUID *Protocol, EFI_EVENT Event,
                                                          VOID **Registration);
using EFI_LOCATE_HANDLE = EFI_STATUS(EFIAPI *)(EFI_LOCATE_SEARCH_TYPE SearchType,
                                               EFI_GUID *Protocol, VOID *SearchKey,
                                               UINTN *BufferSize, EFI_HANDLE *Buffer);
using EFI_LOCATE_DEVICE_PATH = EFI_STATUS(EFIAPI *)(EFI_GUID *Protocol,
                                                    EFI_DEVICE_PATH_PROTOCOL **DevicePath,
                                                    EFI_HANDLE *Device);
using EFI_INSTALL_CONFIGURATION_TABLE = EFI_STATUS(EFIAPI *)(EFI_GUID *Guid, VOID *Table);
using EFI_IMAGE_LOAD = EFI_STATUS(EFIAPI *)(BOOLEAN BootPolicy, EFI_HANDLE ParentImageHandle,
                                            EFI_DEVICE_PATH_PROTOCOL *DevicePath,
                                            VOID *SourceBuffer, UINTN SourceSize,
                                            EFI_HANDLE *ImageHandle);
using EFI_IMAGE_START = EFI_STATUS(EFIAPI *)(EFI_HANDLE ImageHandle, UINTN *ExitDataSize,
                                             CHAR16 **ExitData);
using EFI_EXIT = EFI_STATUS(EFIAPI *)(EFI_HANDLE ImageHandle, EFI_STATUS ExitStatus,
                                      UINTN ExitDataSize, CHAR16 *ExitData);
using EFI_IMAGE_UNLOAD = EFI_STATUS(EFIAPI *)(EFI_HANDLE ImageHandle);
using EFI_EXIT_BOOT_SERVICES = EFI_STATUS(EFIAPI *)(EFI_HANDLE ImageHandle, UINTN MapKey);
using EFI_GET_NEXT_MONOTONIC_COUNT = EFI_STATUS(EFIAPI *)(UINT64 *Count);
using EFI_STALL = EFI_STATUS(EFIAPI *)(UINTN Microseconds);
using EFI_SET_WATCHDOG_TIMER = EFI_STATUS(EFIAPI *)(UINTN Timeout, UINT64 WatchdogCode,
                                                    UINTN DataSize, CHAR16 *WatchdogData);
using EFI_CONNECT_CONTROLLER = EFI_STATUS(EFIAPI *)(EFI_HANDLE ControllerHandle,
                                                    EFI_HANDLE *DriverImageHandle,
                                                    EFI_DEVICE_PATH_PROTOCOL *RemainingDevicePath,
                                                    BOOLEAN Recursive);
using EFI_DISCONNECT_CONTROLLER = EFI_STATUS(EFIAPI *)(EFI_HANDLE ControllerHandle,
                                                       EFI_HANDLE DriverImageHandle,
                                                       EFI_HANDLE ChildHandle);
using EFI_OPEN_PROTOCOL = EFI_STATUS(EFIAPI *)(EFI_HANDLE Handle, EFI_GUID *Protocol,
                                               VOID **Interface, EFI_HANDLE AgentHandle,
                                               EFI_HANDLE ControllerHandle, UINT32 Attributes);
using EFI_CLOSE_PROTOCOL = EFI_STATUS(EFIAPI *)(EFI_HANDLE Handle, EFI_GUID *Protocol,
                                                EFI_HANDLE AgentHandle,
                                                EFI_HANDLE ControllerHandle);
using EFI_OPEN_PROTOCOL_INFORMATION =
    EFI_STATUS(EFIAPI *)(EFI_HANDLE Handle, EFI_GUID *Protocol,
                         EFI_OPEN_PROTOCOL_INFORMATION_ENTRY **EntryBuffer, UINTN *EntryCount);
using EFI_PROTOCOLS_PER_HANDLE = EFI_STATUS(EFIAPI *)(EFI_HANDLE Handle, EFI_GUID ***ProtocolBuffer,
                                                      UINTN *ProtocolBufferCount);
using EFI_LOCATE_HANDLE_BUFFER = EFI_STATUS(EFIAPI *)(EFI_LOCATE_SEARCH_TYPE SearchType,
                                                      EFI_GUID *Protocol, VOID *SearchKey,
                                                      UINTN *NoHandles, EFI_HANDLE **Buffer);
using EFI_LOCATE_PROTOCOL = EFI_STATUS(EFIAPI *)(EFI_GUID *Protocol, VOID *Registration,
                                                 VOID **Interface);
using EFI_INSTALL_MULTIPLE_PROTOCOL_INTERFACES = EFI_STATUS(EFIAPI *)(EFI_HANDLE *Handle, ...);
using EFI_UNINSTALL_MULTIPLE_PROTOCOL_INTERFACES = EFI_STATUS(EFIAPI *)(EFI_HANDLE Handle, ...);
using EFI_CALCULATE_CRC32 = EFI_STATUS(EFIAPI *)(VOID *Data, UINTN DataSize, UINT32 *Crc32);
using EFI_COPY_MEM = VOID(EFIAPI *)(VOID *Destination, VOID *Source, UINTN Length);
using EFI_SET_MEM = VOID(EFIAPI *)(VOID *Buffer, UINTN Size, UINT8 Value);
using EFI_CREATE_EVENT_EX = EFI_STATUS(EFIAPI *)(UINT32 Type, EFI_TPL NotifyTpl,
                                                 EFI_EVENT_NOTIFY NotifyFunction,
                                                 const VOID *NotifyContext,
                                                 const EFI_GUID *EventGroup, EFI_EVENT *Event);

struct EFI_BOOT_SERVICES {
  EFI_TABLE_HEADER Hdr;
  EFI_RAISE_TPL RaiseTPL;
  EFI_RESTORE_TPL RestoreTPL;
  EFI_ALLOCATE_PAGES AllocatePages;
  EFI_FREE_PAGES FreePages;
  EFI_GET_MEMORY_MAP GetMemoryMap;
  EFI_ALLOCATE_POOL AllocatePool;
  EFI_FREE_POOL FreePool;
  EFI_CREATE_EVENT CreateEvent;
  EFI_SET_TIMER SetTimer;
  EFI_WAIT_FOR_EVENT WaitForEvent;
  EFI_SIGNAL_EVENT SignalEvent;
  EFI_CLOSE_EVENT CloseEvent;
  EFI_CHECK_EVENT CheckEvent;
  EFI_INSTALL_PROTOCOL_INTERFACE InstallProtocolInterface;
  EFI_REINSTALL_PROTOCOL_INTERFACE ReinstallProtocolInterface;
  EFI_UNINSTALL_PROTOCOL_INTERFACE UninstallProtocolInterface;
  EFI_HANDLE_PROTOCOL HandleProtocol;
  VOID *Reserved;
  EFI_REGISTER_PROTOCOL_NOTIFY RegisterProtocolNotify;
  EFI_LOCATE_HANDLE LocateHandle;
  EFI_LOCATE_DEVICE_PATH LocateDevicePath;
  EFI_INSTALL_CONFIGURATION_TABLE InstallConfigurationTable;
  EFI_IMAGE_LOAD LoadImage;
  EFI_IMAGE_START StartImage;
  EFI_EXIT Exit;
  EFI_IMAGE_UNLOAD UnloadImage;
  EFI_EXIT_BOOT_SERVICES ExitBootServices;
  EFI_GET_NEXT_MONOTONIC_COUNT GetNextMonotonicCount;
  EFI_STALL Stall;
  EFI_SET_WATCHDOG_TIMER SetWatchdogTimer;
  EFI_CONNECT_CONTROLLER ConnectController;
  EFI_DISCONNECT_CONTROLLER DisconnectController;
  EFI_OPEN_PROTOCOL OpenProtocol;
  EFI_CLOSE_PROTOCOL CloseProtocol;
  EFI_OPEN_PROTOCOL_INFORMATION OpenProtocolInformation;
  EFI_PROTOCOLS_PER_HANDLE ProtocolsPerHandle;
  EFI_LOCATE_HANDLE_BUFFER LocateHandleBuffer;
  EFI_LOCATE_PROTOCOL LocateProtocol;
  EFI_INSTALL_MULTIPLE_PROTOCOL_INTERFACES InstallMultipleProtocolInterfaces;
  EFI_UNINSTALL_MULTIPLE_PROTOCOL_INTERFACES UninstallMultipleProtocolInterfaces;
  EFI_CALCULATE_CRC32 CalculateCrc32;
  EFI_COPY_MEM CopyMem;
  EFI_SET_MEM SetMem;
  EFI_CREATE_EVENT_EX CreateEventEx;
};

// Runtime services.
using EFI_GET_TIME = EFI_STATUS(EFIAPI *)(EFI_TIME *Time, EFI_TIME_CAPABILITIES *Capabilities);
using EFI_SET_TIME = EFI_STATUS(EFIAPI *)(EFI_TIME *Time);
using EFI_GET_WAKEUP_TIME = EFI_STATUS(EFIAPI *)(BOOLEAN *Enabled, BOOLEAN *Pending,
                                                 EFI_TIME *Time);
using EFI_SET_WAKEUP_TIME = EFI_STATUS(EFIAPI *)(BOOLEAN Enable, EFI_TIME *Time);
using EFI_SET_VIRTUAL_ADDRESS_MAP = EFI_STATUS(EFIAPI *)(UINTN MemoryMapSize, UINTN DescriptorSize,
                                                         UINT32 DescriptorVersion,
                                                         EFI_MEMORY_DESCRIPTOR *VirtualMap);
using EFI_CONVERT_POINTER = EFI_STATUS(EFIAPI *)(UINTN DebugDisposition, VOID **Address);
using EFI_GET_VARIABLE = EFI_STATUS(EFIAPI *)(CHAR16 *VariableName, EFI_GUID *VendorGuid,
                                              UINT32 *Attributes, UINTN *DataSize, VOID *Data);
using EFI_GET_NEXT_VARIABLE_NAME = EFI_STATUS(EFIAPI *)(UINTN *VariableNameSize,
                                                        CHAR16 *VariableName, EFI_GUID *VendorGuid);
using EFI_SET_VARIABLE = EFI_STATUS(EFIAPI *)(CHAR16 *VariableName, EFI_GUID *VendorGuid,
                                              UINT32 Attributes, UINTN DataSize, VOID *Data);
using EFI_GET_NEXT_HIGH_MONO_COUNT = EFI_STATUS(EFIAPI *)(UINT32 *HighCount);
using EFI_RESET_SYSTEM = VOID(EFIAPI *)(EFI_RESET_TYPE ResetType, EFI_STATUS ResetStatus,
                                        UINTN DataSize, VOID *ResetData);
using EFI_UPDATE_CAPSULE = EFI_STATUS(EFIAPI *)(EFI_CAPSULE_HEADER **CapsuleHeaderArray,
                                                UINTN CapsuleCount,
                                                EFI_PHYSICAL_ADDRESS ScatterGatherList);
using EFI_QUERY_CAPSULE_CAPABILITIES = EFI_STATUS(EFIAPI *)(EFI_CAPSULE_HEADER **CapsuleHeaderArray,
                                                            UINTN CapsuleCount,
                                                            UINT64 *MaximumCapsuleSize,
                                                            EFI_RESET_TYPE *ResetType);
using EFI_QUERY_VARIABLE_INFO = EFI_STATUS(EFIAPI *)(UINT32 Attributes,
                                                     UINT64 *MaximumVariableStorageSize,
                                                     UINT64 *RemainingVariableStorageSize,
                                                     UINT64 *MaximumVariableSize);

struct EFI_RUNTIME_SERVICES {
  EFI_TABLE_HEADER Hdr;
  EFI_GET_TIME GetTime;
  EFI_SET_TIME SetTime;
  EFI_GET_WAKEUP_TIME GetWakeupTime;
  EFI_SET_WAKEUP_TIME SetWakeupTime;
  EFI_SET_VIRTUAL_ADDRESS_MAP SetVirtualAddressMap;
  EFI_CONVERT_POINTER ConvertPointer;
  EFI_GET_VARIABLE GetVariable;
  EFI_GET_NEXT_VARIABLE_NAME GetNextVariableName;
  EFI_SET_VARIABLE SetVariable;
  EFI_GET_NEXT_HIGH_MONO_COUNT GetNextHighMonotonicCount;
  EFI_RESET_SYSTEM ResetSystem;
  EFI_UPDATE_CAPSULE UpdateCapsule;
  EFI_QUERY_CAPSULE_CAPABILITIES QueryCapsuleCapabilities;
  EFI_QUERY_VARIABLE_INFO QueryVariableInfo;
};

struct EFI_SIMPLE_TEXT_INPUT_PROTOCOL;
struct EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL;

struct EFI_SYSTEM_TABLE {
  EFI_TABLE_HEADER Hdr;
  CHAR16 *FirmwareVendor;
  UINT32 FirmwareRevision;
  EFI_HANDLE ConsoleInHandle;
  EFI_SIMPLE_TEXT_INPUT_PROTOCOL *ConIn;
  EFI_HANDLE ConsoleOutHandle;
  EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *ConOut;
  EFI_HANDLE StandardErrorHandle;
  EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *StdErr;
  EFI_RUNTIME_SERVICES *RuntimeServices;
  EFI_BOOT_SERVICES *BootServices;
  UINTN NumberOfTableEntries;
  EFI_CONFIGURATION_TABLE *ConfigurationTable;
};

constexpr UINT64 EFI_SYSTEM_TABLE_SIGNATURE = 0x5453595320494249ULL;
constexpr UINT64 EFI_BOOT_SERVICES_SIGNATURE = 0x56524553544f4f42ULL;
constexpr UINT64 EFI_RUNTIME_SERVICES_SIGNATURE = 0x56524553544e5552ULL;

// The reset-system event group, signalled by ResetSystem before the reset.
constexpr EFI_GUID EFI_EVENT_GROUP_RESET_SYSTEM = {
    0x62da6a56, 0x13fb, 0x485a, {0xa8, 0xda, 0xa3, 0xdd, 0x79, 0x12, 0xcb, 0x6b}};

// Binary layout, as the firmware that hands these tables over lays them out.
static_assert(sizeof(EFI_SYSTEM_TABLE) == 120, "EFI_SYSTEM_TABLE size");
static_assert(offsetof(EFI_SYSTEM_TABLE, FirmwareRevision) == 32, "FirmwareRevision");
static_assert(offsetof(EFI_SYSTEM_TABLE, ConOut) == 64, "ConOut");
static_assert(offsetof(EFI_SYSTEM_TABLE, RuntimeServices) == 88, "RuntimeServices");
static_assert(offsetof(EFI_SYSTEM_TABLE, BootServices) == 96, "BootServices");
static_assert(offsetof(EFI_SYSTEM_TABLE, ConfigurationTable) == 112, "ConfigurationTable");

static_assert(offsetof(EFI_BOOT_SERVICES, RaiseTPL) == 24, "RaiseTPL");
static_assert(offsetof(EFI_BOOT_SERVICES, AllocatePool) == 64, "AllocatePool");
static_assert(offsetof(EFI_BOOT_SERVICES, FreePool) == 72, "FreePool");
static_assert(offsetof(EFI_BOOT_SERVICES, CreateEvent) == 80, "CreateEvent");
static_assert(offsetof(EFI_BOOT_SERVICES, SignalEvent) == 104, "SignalEvent");
static_assert(offsetof(EFI_BOOT_SERVICES, CloseEvent) == 112, "CloseEvent");
static_assert(offsetof(EFI_BOOT_SERVICES, InstallProtocolInterface) == 128,
              "InstallProtocolInterface");
static_assert(offsetof(EFI_BOOT_SERVICES, HandleProtocol) == 152, "HandleProtocol");
static_assert(offsetof(EFI_BOOT_SERVICES, RegisterProtocolNotify) == 168, "RegisterProtocolNotify");
static_assert(offsetof(EFI_BOOT_SERVICES, LocateHandle) == 176, "LocateHandle");
static_assert(offsetof(EFI_BOOT_SERVICES, LoadImage) == 200, "LoadImage");
static_assert(offsetof(EFI_BOOT_SERVICES, StartImage) == 208, "StartImage");
static_assert(offsetof(EFI_BOOT_SERVICES, OpenProtocol) == 280, "OpenProtocol");
static_assert(offsetof(EFI_BOOT_SERVICES, LocateHandleBuffer) == 312, "LocateHandleBuffer");
static_assert(offsetof(EFI_BOOT_SERVICES, LocateProtocol) == 320, "LocateProtocol");
static_assert(offsetof(EFI_BOOT_SERVICES, InstallMultipleProtocolInterfaces) == 328,
              "InstallMultipleProtocolInterfaces");
static_assert(offsetof(EFI_BOOT_SERVICES, CreateEventEx) == 368, "CreateEventEx");
static_assert(sizeof(EFI_BOOT_SERVICES) == 376, "EFI_BOOT_SERVICES size");

static_assert(offsetof(EFI_RUNTIME_SERVICES, GetTime) == 24, "GetTime");
static_assert(offsetof(EFI_RUNTIME_SERVICES, SetVariable) == 88, "SetVariable");
static_assert(offsetof(EFI_RUNTIME_SERVICES, ResetSystem) == 104, "ResetSystem");
static_assert(sizeof(EFI_RUNTIME_SERVICES) == 136, "EFI_RUNTIME_SERVICES size");
