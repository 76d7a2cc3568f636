// The trace channel between the platform image inside OVMF and nvdimm-emu on
// the host: QEMU's isa-debugcon device on an I/O port of its own, apart from
// the firmware console and from OVMF's debug port (0x402). The guest writes
// bytes with OUTSB; QEMU appends them to a file that the runner reads after
// the machine has stopped.
//
// The channel carries records, one a line: a tag byte, the payload, a line
// feed. No payload holds a line feed (the trace writer and the JSON printer
// escape every control character), so the runner splits on line feeds.
#pragma once

#include "uefi/UefiBaseType.h"

/// The I/O port of the channel's isa-debugcon device (the Bochs debug port).
constexpr UINT16 TRACE_CHANNEL_PORT = 0xE9;

/// A trace event: the JSON line exactly as the trace writer writes it.
constexpr CHAR8 CHANNEL_EVENT = 'E';
/// A line of the readable account (an event's account or a platform note).
constexpr CHAR8 CHANNEL_ACCOUNT = 'A';
/// The boot ended and another one follows: the JSON text of the carried
/// state (see CarriedState.h), which the runner puts on the next boot's disk.
constexpr CHAR8 CHANNEL_NEXT_BOOT = 'S';
/// The run is over: the "final" event has been written. No payload.
constexpr CHAR8 CHANNEL_RUN_OVER = 'F';
/// The platform image could not do its work: one line saying why.
constexpr CHAR8 CHANNEL_FAILURE = 'X';

/// The files the runner puts in the boot disk's root, beside
/// \EFI\BOOT\BOOTX64.EFI (the platform image). The image reads them by
/// these names as UCS-2 (u"" NAME).
#define CHANNEL_SCENARIO_FILE "scenario.json"
/// {"account": true|false}: whether the image writes the readable account.
#define CHANNEL_OPTIONS_FILE "options.json"
/// The state carried from the previous boot; absent at the first boot.
#define CHANNEL_STATE_FILE "state.json"
#define CHANNEL_DRIVER_FILE "NvdimmRemoteActionDxe.efi"
/// Network mode: the REST producer's image, which the "redfish" step
/// dispatches; options.json then says "network": true.
#define CHANNEL_PRODUCER_FILE "NvdimmRestHttpDxe.efi"
#define CHANNEL_NETWORK_OPTION "network"
