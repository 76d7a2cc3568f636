#include "sim/platform/HostInterface.h"

namespace {

constexpr UINT8 TYPE_HOST_INTERFACE = 42;
constexpr UINT8 TYPE_END_OF_TABLE = 127;
constexpr UINT8 NETWORK_HOST_INTERFACE = 0x40;
constexpr UINT8 DEVICE_PCI = 0x03;
constexpr UINT8 PROTOCOL_REDFISH_OVER_IP = 0x04;
constexpr UINT8 ASSIGNED_STATIC = 1;
constexpr UINT8 ASSIGNED_DHCP = 2;
constexpr UINT8 FORMAT_IPV4 = 1;
/// The virtio-net device: vendor, device, subsystem vendor, subsystem.
constexpr UINT16 VIRTIO_NET_IDS[] = {0x1AF4, 0x1000, 0x1AF4, 0x0001};
/// The "Redfish over IP" protocol data, without a hostname.
constexpr UINTN REDFISH_OVER_IP_SIZE = 91;

class BYTES {
 public:
  BYTES(UINT8 *Out, UINTN Size) : mOut(Out), mSize(Size) {}
  void Put(UINT8 Byte) {
    if (mLength < mSize) {
      mOut[mLength] = Byte;
    }
    mLength++;
  }
  void Put16(UINT16 Value) {
    Put(static_cast<UINT8>(Value));
    Put(static_cast<UINT8>(Value >> 8));
  }
  /// An IPv4 address in the first four of sixteen bytes.
  void PutAddress(const UINT8 *Address) {
    for (UINTN Index = 0; Index < 16; Index++) {
      Put(Address != nullptr && Index < 4 ? Address[Index] : 0);
    }
  }
  UINTN Length() const { return mLength; }
  bool Fits() const { return mLength <= mSize; }

 private:
  UINT8 *mOut;
  UINTN mSize;
  UINTN mLength = 0;
};

}  // namespace

UINTN BuildHostInterfaceRecord(const HOST_INTERFACE &Interface, bool EndOfTable, UINT8 *Out,
                               UINTN Size) {
  static constexpr UINT8 MASK_24[4] = {255, 255, 255, 0};
  BYTES Bytes(Out, Size);
  const UINTN DeviceLength = 1 + sizeof(VIRTIO_NET_IDS);
  const UINTN Formatted = 6 + DeviceLength + 1 + 2 + REDFISH_OVER_IP_SIZE;
  Bytes.Put(TYPE_HOST_INTERFACE);
  Bytes.Put(static_cast<UINT8>(Formatted));
  Bytes.Put16(HOST_INTERFACE_HANDLE);
  Bytes.Put(NETWORK_HOST_INTERFACE);
  Bytes.Put(static_cast<UINT8>(DeviceLength));
  Bytes.Put(DEVICE_PCI);
  for (UINT16 Id : VIRTIO_NET_IDS) {
    Bytes.Put16(Id);
  }
  Bytes.Put(1);  // one protocol record
  Bytes.Put(PROTOCOL_REDFISH_OVER_IP);
  Bytes.Put(static_cast<UINT8>(REDFISH_OVER_IP_SIZE));
  for (UINTN Index = 0; Index < 16; Index++) {
    Bytes.Put(0);  // the service's UUID: unknown
  }
  Bytes.Put(Interface.HostStatic ? ASSIGNED_STATIC : ASSIGNED_DHCP);
  Bytes.Put(FORMAT_IPV4);
  Bytes.PutAddress(Interface.HostStatic ? Interface.Host : nullptr);
  Bytes.PutAddress(Interface.HostStatic ? Interface.Mask : nullptr);
  Bytes.Put(ASSIGNED_STATIC);
  Bytes.Put(FORMAT_IPV4);
  Bytes.PutAddress(Interface.Service);
  Bytes.PutAddress(MASK_24);
  Bytes.Put16(Interface.Port);
  for (UINTN Index = 0; Index < 4; Index++) {
    Bytes.Put(0);  // no VLAN
  }
  Bytes.Put(0);  // no hostname
  Bytes.Put(0);  // the string set: none, two NULs
  Bytes.Put(0);
  if (EndOfTable) {
    Bytes.Put(TYPE_END_OF_TABLE);
    Bytes.Put(4);
    Bytes.Put16(0xFEFF);
    Bytes.Put(0);
    Bytes.Put(0);
  }
  return Bytes.Fits() ? Bytes.Length() : 0;
}
