#!/usr/bin/env python3
"""Writes the built-in configuration of the NvdimmRestHttpDxe image, for a
platform that has neither an SMBIOS Redfish Host Interface record nor the
variables NvdimmRedfishService and NvdimmRedfishCredentials.

    patch-rest-producer.py IMAGE --show
    patch-rest-producer.py IMAGE [-o OUT] [--service TEXT] [--credentials USER:PASSWORD]

TEXT is what the variable NvdimmRedfishService would hold:
    "service=A.B.C.D[:PORT] host=A.B.C.D/BITS|dhcp [timeout=MILLISECONDS]"
(the port defaults to 80, the host to dhcp, the timeout to 5000). An empty
TEXT clears the configuration. Without -o the image is patched in place.

The configuration lives in the image's data section after the marker
"NvdimmRestProducer built-in v1": 32 bytes of marker, 128 bytes of service
text and 96 bytes of credentials, each NUL-terminated. The image keeps its
size and layout; its PE checksum is recomputed when it has one.
"""
import argparse
import re
import struct
import sys

MARKER = b"NvdimmRestProducer built-in v1"
MARKER_SIZE = 32
SERVICE_SIZE = 128
CREDENTIALS_SIZE = 96

ADDRESS = r"(\d{1,3})\.(\d{1,3})\.(\d{1,3})\.(\d{1,3})"


def address_reads(groups):
    return all(len(g) <= 3 and int(g) <= 255 for g in groups)


def service_problem(text):
    """Why the producer would not read TEXT as a service configuration, or None."""
    has_service = False
    for word in text.split():
        match = re.fullmatch(r"service=" + ADDRESS + r"(?::(\d{1,5}))?", word)
        if match:
            port = match.group(5)
            if not address_reads(match.groups()[:4]) or (
                    port is not None and not 1 <= int(port) <= 65535):
                return "service=%s: not an IPv4 address with a port 1-65535" % word[8:]
            has_service = True
            continue
        match = re.fullmatch(r"host=" + ADDRESS + r"/(\d{1,2})", word)
        if match:
            if not address_reads(match.groups()[:4]) or int(match.group(5)) > 32:
                return "%s: not an IPv4 address and a prefix length 0-32" % word
            continue
        if word == "host=dhcp":
            continue
        match = re.fullmatch(r"timeout=(\d{1,6})", word)
        if match:
            if not 1 <= int(match.group(1)) <= 600000:
                return "%s: the timeout must be 1-600000 milliseconds" % word
            continue
        return "%s: not service=, host= or timeout=" % word
    if not has_service:
        return "no service=A.B.C.D[:PORT]"
    return None


def field(data, offset, size):
    return bytes(data[offset:offset + size]).split(b"\0", 1)[0].decode("ascii", "replace")


def pe_checksum(data, checksum_offset):
    """The PE image checksum (the Windows algorithm), the field itself as 0."""
    total = 0
    padded = bytes(data) + (b"\0" if len(data) % 2 else b"")
    for index in range(0, len(padded), 2):
        if checksum_offset <= index < checksum_offset + 4:
            continue
        total += padded[index] | padded[index + 1] << 8
        total = (total & 0xFFFF) + (total >> 16)
    total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("image")
    parser.add_argument("-o", "--output")
    parser.add_argument("--service")
    parser.add_argument("--credentials")
    parser.add_argument("--show", action="store_true")
    args = parser.parse_args()

    data = bytearray(open(args.image, "rb").read())
    at = data.find(MARKER + b"\0")
    if at < 0 or data.find(MARKER + b"\0", at + 1) >= 0:
        print("%s: not one NvdimmRestHttpDxe configuration in the image" % args.image,
              file=sys.stderr)
        return 1
    service_at = at + MARKER_SIZE
    credentials_at = service_at + SERVICE_SIZE
    if args.show or (args.service is None and args.credentials is None):
        print("service: %s" % (field(data, service_at, SERVICE_SIZE) or "(none)"))
        print("credentials: %s" % ("(set)" if field(data, credentials_at, CREDENTIALS_SIZE)
                                   else "(none)"))
        return 0

    if args.service is not None:
        problem = args.service and service_problem(args.service)
        encoded = args.service.encode("ascii", "replace")
        if problem:
            print("--service: " + problem, file=sys.stderr)
            return 1
        if len(encoded) >= SERVICE_SIZE:
            print("--service: longer than %d characters" % (SERVICE_SIZE - 1), file=sys.stderr)
            return 1
        data[service_at:service_at + SERVICE_SIZE] = encoded.ljust(SERVICE_SIZE, b"\0")
    if args.credentials is not None:
        encoded = args.credentials.encode("ascii", "replace")
        if args.credentials and ":" not in args.credentials:
            print("--credentials: not USER:PASSWORD", file=sys.stderr)
            return 1
        if len(encoded) >= CREDENTIALS_SIZE:
            print("--credentials: longer than %d characters" % (CREDENTIALS_SIZE - 1),
                  file=sys.stderr)
            return 1
        data[credentials_at:credentials_at + CREDENTIALS_SIZE] = encoded.ljust(
            CREDENTIALS_SIZE, b"\0")

    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        print("%s: not a PE image" % args.image, file=sys.stderr)
        return 1
    checksum_offset = pe + 24 + 64
    if struct.unpack_from("<I", data, checksum_offset)[0] != 0:
        struct.pack_into("<I", data, checksum_offset, pe_checksum(data, checksum_offset))
    with open(args.output or args.image, "wb") as out:
        out.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
