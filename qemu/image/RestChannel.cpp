#include "qemu/image/RestChannel.h"

#include <cJSON.h>

#include "sim/common/HttpNames.h"
#include "sim/common/SimMemory.h"
#include "sim/common/SimTextWriter.h"

namespace {

// 16550 registers, as offsets from the base port.
constexpr UINT16 DATA = 0;
constexpr UINT16 INTERRUPTS = 1;
constexpr UINT16 FIFO_CONTROL = 2;
constexpr UINT16 LINE_CONTROL = 3;
constexpr UINT16 MODEM_CONTROL = 4;
constexpr UINT16 LINE_STATUS = 5;
constexpr UINT8 DATA_READY = 0x01;
constexpr UINT8 TRANSMIT_EMPTY = 0x20;
/// How many times a read polls the line status before it gives up (some
/// seconds under QEMU's TCG): the runner answers every request.
constexpr UINT64 READ_POLLS = 2000000000ULL;

UINT8 In(UINT16 Register) {
  UINT8 Value;
  UINT16 Port = REST_CHANNEL_PORT + Register;
  asm volatile("inb %1, %0" : "=a"(Value) : "Nd"(Port));
  return Value;
}

void Out(UINT16 Register, UINT8 Value) {
  UINT16 Port = REST_CHANNEL_PORT + Register;
  asm volatile("outb %0, %1" : : "a"(Value), "Nd"(Port));
}

void WriteBytes(const CHAR8 *Bytes, UINTN Length) {
  for (UINTN Index = 0; Index < Length; Index++) {
    while ((In(LINE_STATUS) & TRANSMIT_EMPTY) == 0) {
    }
    Out(DATA, static_cast<UINT8>(Bytes[Index]));
  }
}

void WriteText(const CHAR8 *Text) { WriteBytes(Text, SimStringLength(Text)); }

bool ReadByte(CHAR8 *Byte) {
  for (UINT64 Poll = 0; Poll < READ_POLLS; Poll++) {
    if ((In(LINE_STATUS) & DATA_READY) != 0) {
      *Byte = static_cast<CHAR8>(In(DATA));
      return true;
    }
  }
  return false;
}

/// Reads a decimal number ended by Stop.
bool ReadNumber(CHAR8 Stop, UINT64 *Value) {
  *Value = 0;
  CHAR8 Byte = 0;
  UINTN Digits = 0;
  while (ReadByte(&Byte) && Byte >= '0' && Byte <= '9' && Digits < 19) {
    *Value = *Value * 10 + static_cast<UINT64>(Byte - '0');
    Digits++;
  }
  return Digits != 0 && Byte == Stop;
}

}  // namespace

RestChannel::RestChannel() : mRemote{Send, this} {}

void RestChannel::Open() {
  Out(INTERRUPTS, 0);
  Out(LINE_CONTROL, 0x80);  // the divisor latch: 115200 baud
  Out(DATA, 1);
  Out(INTERRUPTS, 0);
  Out(LINE_CONTROL, 0x03);   // 8 data bits, no parity, one stop bit
  Out(FIFO_CONTROL, 0x07);   // FIFOs on and emptied
  Out(MODEM_CONTROL, 0x03);  // DTR and RTS
}

bool RestChannel::Send(void *Context, const EFI_HTTP_MESSAGE *Request, const CHAR8 *Uri,
                       UINTN UriLength, UINT32 *Code, CHAR8 **Body, UINTN *BodyLength) {
  (void)Context;
  const CHAR8 *Method = HttpMethodName(Request->Data.Request->Method);
  if (Method == nullptr) {
    return false;
  }
  UINTN HeadersLength = 0;
  for (UINTN Index = 0; Request->Headers != nullptr && Index < Request->HeaderCount; Index++) {
    const EFI_HTTP_HEADER &Header = Request->Headers[Index];
    if (Header.FieldName != nullptr && Header.FieldValue != nullptr) {
      HeadersLength +=
          SimStringLength(Header.FieldName) + 2 + SimStringLength(Header.FieldValue) + 2;
    }
  }
  UINTN RequestBodyLength = Request->Body != nullptr ? Request->BodyLength : 0;
  CHAR8 Line[128];
  SimTextWriter Writer(Line, sizeof(Line));
  Writer.Add("Q ");
  Writer.Add(Method);
  Writer.Add(" ");
  Writer.AddUint(UriLength);
  Writer.Add(" ");
  Writer.AddUint(HeadersLength);
  Writer.Add(" ");
  Writer.AddUint(RequestBodyLength);
  Writer.Add("\n");
  WriteText(Line);
  WriteBytes(Uri, UriLength);
  for (UINTN Index = 0; Request->Headers != nullptr && Index < Request->HeaderCount; Index++) {
    const EFI_HTTP_HEADER &Header = Request->Headers[Index];
    if (Header.FieldName != nullptr && Header.FieldValue != nullptr) {
      WriteText(Header.FieldName);
      WriteText(": ");
      WriteText(Header.FieldValue);
      WriteText("\r\n");
    }
  }
  WriteBytes(static_cast<const CHAR8 *>(Request->Body), RequestBodyLength);

  CHAR8 Kind = 0;
  CHAR8 Space = 0;
  if (!ReadByte(&Kind) || !ReadByte(&Space) || Kind != 'A' || Space != ' ') {
    // "N\n": the request reached no service.
    return false;
  }
  UINT64 Status = 0;
  UINT64 Length = 0;
  if (!ReadNumber(' ', &Status) || !ReadNumber('\n', &Length)) {
    return false;
  }
  *Code = static_cast<UINT32>(Status);
  *Body = nullptr;
  *BodyLength = 0;
  SimBlock Answer(static_cast<CHAR8 *>(cJSON_malloc(Length + 1)));
  if (!Answer) {
    return false;
  }
  for (UINT64 Index = 0; Index < Length; Index++) {
    if (!ReadByte(&Answer.Get()[Index])) {
      return false;
    }
  }
  Answer.Get()[Length] = '\0';
  if (Length != 0) {
    *Body = Answer.Release();
    *BodyLength = Length;
  }
  return true;
}
