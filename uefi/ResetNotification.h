// EFI_RESET_NOTIFICATION_PROTOCOL of the UEFI standard: functions that
// ResetSystem calls before it resets. EDK2 produces it, and it is how an
// EDK2 platform reaches code at reset time.
#pragma once

#include "uefi/UefiTables.h"

struct EFI_RESET_NOTIFICATION_PROTOCOL;

/// Adds ResetFunction to the functions called by ResetSystem before the
/// reset, with ResetSystem's own arguments. EFI_ALREADY_STARTED when it is
/// registered already.
using EFI_REGISTER_RESET_NOTIFY = EFI_STATUS(EFIAPI *)(EFI_RESET_NOTIFICATION_PROTOCOL *This,
                                                       EFI_RESET_SYSTEM ResetFunction);
/// Removes ResetFunction; EFI_INVALID_PARAMETER when it was not registered.
using EFI_UNREGISTER_RESET_NOTIFY = EFI_STATUS(EFIAPI *)(EFI_RESET_NOTIFICATION_PROTOCOL *This,
                                                         EFI_RESET_SYSTEM ResetFunction);

struct EFI_RESET_NOTIFICATION_PROTOCOL {
  EFI_REGISTER_RESET_NOTIFY RegisterResetNotify;
  EFI_UNREGISTER_RESET_NOTIFY UnregisterResetNotify;
};
static_assert(sizeof(EFI_RESET_NOTIFICATION_PROTOCOL) == 16,
              "EFI_RESET_NOTIFICATION_PROTOCOL size");

#define EFI_RESET_NOTIFICATION_PROTOCOL_GUID                                       \
  {                                                                                \
    0x9da34ae0, 0xeaf9, 0x4bbf, { 0x8e, 0xc3, 0xfd, 0x60, 0x22, 0x6c, 0x44, 0xbe } \
  }
