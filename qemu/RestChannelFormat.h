// The REST channel of `nvdimm-emu serve --platform qemu`: the platform image's
// REST producer sends each of the driver's requests over a 16550 UART to
// QEMU's character device, a Unix socket whose other end (the runner) sends
// it over HTTP to the twin's store and writes the answer back. The UART sits
// at an I/O port that OVMF's Super I/O list does not name, so no firmware
// driver claims it; the image drives it by polling, without interrupts.
//
// A request: "Q <method> <uri length> <headers length> <body length>\n",
// then the URI, the headers ("Name: Value\r\n" each) and the body.
// An answer: "A <status> <body length>\n" and the body, or "N\n" when the
// request reached no service.
#pragma once

#include "uefi/UefiBaseType.h"

/// The UART's base I/O port (the third PC serial port's).
constexpr UINT16 REST_CHANNEL_PORT = 0x3E8;

/// The option (options.json) that turns the channel on.
#define CHANNEL_REST_OPTION "rest"

/// On the trace channel, just before CHANNEL_RUN_OVER when the channel is on:
/// the carried state (CarriedState.h) that the runner puts on the disk when
/// an operator's reset boots the machine again.
constexpr CHAR8 CHANNEL_KEPT_STATE = 'K';
