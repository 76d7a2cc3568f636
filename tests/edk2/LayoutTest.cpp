// Compares the driver's UEFI and platform declarations with EDK2's: MdePkg's
// headers and this project's EDK2 package (its C headers and its .dec file).
// Every size, alignment, member offset, enumeration and constant value and
// GUID listed in LayoutList.h must be equal on both sides, and the calling
// convention of the driver's EFIAPI must be the one EDK2 compiles X64 code
// with. Prints every difference; exits 1 if there is one.
//
//   edk2-layout-test PACKAGE.dec
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tests/edk2/LayoutTable.h"

#ifndef NVDIMM_EDK2_VERSION
#define NVDIMM_EDK2_VERSION "unknown"
#endif

extern "C" void LayoutAdd(LAYOUT_ENTRY *Entries, unsigned *Count, const char *Kind,
                          const char *Subject, unsigned long long Value) {
  if (*Count >= LAYOUT_CAPACITY) {
    std::fprintf(stderr, "layout: more than %u entries\n", LAYOUT_CAPACITY);
    std::exit(2);
  }
  LAYOUT_ENTRY &Entry = Entries[(*Count)++];
  std::snprintf(Entry.Name, sizeof(Entry.Name), "%s %s", Kind, Subject);
  Entry.Value = Value;
}

extern "C" void LayoutAddGuid(LAYOUT_ENTRY *Entries, unsigned *Count, const char *Label,
                              const void *Guid) {
  unsigned long long Halves[2];
  std::memcpy(Halves, Guid, sizeof(Halves));
  std::string Subject(Label);
  LayoutAdd(Entries, Count, "guid", (Subject + " bytes 0-7").c_str(), Halves[0]);
  LayoutAdd(Entries, Count, "guid", (Subject + " bytes 8-15").c_str(), Halves[1]);
}

namespace {

unsigned gFailures = 0;

void Fail(const char *Format, ...) __attribute__((format(printf, 1, 2)));
void Fail(const char *Format, ...) {
  va_list Arguments;
  va_start(Arguments, Format);
  std::vfprintf(stdout, Format, Arguments);
  va_end(Arguments);
  gFailures++;
}

std::map<std::string, unsigned long long> ToMap(const LAYOUT_ENTRY *Entries, unsigned Count,
                                                const char *Side) {
  std::map<std::string, unsigned long long> Map;
  for (unsigned Index = 0; Index < Count; Index++) {
    if (!Map.emplace(Entries[Index].Name, Entries[Index].Value).second) {
      Fail("%s: %s listed twice\n", Side, Entries[Index].Name);
    }
  }
  return Map;
}

// The two tables, entry by entry.
std::map<std::string, unsigned long long> CompareTables() {
  static LAYOUT_ENTRY Driver[LAYOUT_CAPACITY];
  static LAYOUT_ENTRY Reference[2 * LAYOUT_CAPACITY];  // layouts, then signatures
  auto DriverMap = ToMap(Driver, DriverLayout(Driver), "driver");
  unsigned ReferenceCount = ReferenceLayout(Reference);
  ReferenceCount += ReferenceSignatures(Reference + ReferenceCount);
  auto ReferenceMap = ToMap(Reference, ReferenceCount, "EDK2");
  for (const auto &[Name, Value] : DriverMap) {
    auto Found = ReferenceMap.find(Name);
    if (Found == ReferenceMap.end()) {
      Fail("%s: not on the EDK2 side\n", Name.c_str());
    } else if (Found->second != Value) {
      Fail("%s: driver 0x%llx, EDK2 0x%llx\n", Name.c_str(), Value, Found->second);
    }
  }
  for (const auto &[Name, Value] : ReferenceMap) {
    if (DriverMap.find(Name) == DriverMap.end()) {
      Fail("%s: not on the driver side\n", Name.c_str());
    }
  }
  std::printf("layout: %zu quantities compared with MdePkg of Debian edk2 %s\n", DriverMap.size(),
              NVDIMM_EDK2_VERSION);
  return DriverMap;
}

// The GUIDs the package's .dec declares, against the driver's values. A
// GUID declared there that the driver does not know is a failure too.
void CompareDec(const char *Path, const std::map<std::string, unsigned long long> &Driver) {
  const std::map<std::string, std::string> Labels = {
      {"gNvdimmActionProtocolGuid", "NVDIMM_ACTION_PROTOCOL"},
      {"gRedfishServiceProtocolGuid", "REDFISH_SERVICE_PROTOCOL"},
      {"gRedfishReadyGuid", "REDFISH_READY"},
      {"gLocalRequestTriggerGuid", "LOCAL_REQUEST_TRIGGER"},
      {"gNvdimmRestProducerVariableGuid", "NVDIMM_REST_PRODUCER_VARIABLE"},
  };
  std::ifstream File(Path);
  if (!File) {
    Fail("%s: cannot be read\n", Path);
    return;
  }
  std::map<std::string, bool> Seen;
  std::string Line;
  while (std::getline(File, Line)) {
    char Name[80];
    unsigned Data1, Data2, Data3, Data4[8];
    if (std::sscanf(
            Line.c_str(),
            " %79[A-Za-z0-9_] = { %x , %x , %x , { %x , %x , %x , %x , %x , %x , %x , %x } }", Name,
            &Data1, &Data2, &Data3, &Data4[0], &Data4[1], &Data4[2], &Data4[3], &Data4[4],
            &Data4[5], &Data4[6], &Data4[7]) != 12) {
      continue;
    }
    auto Label = Labels.find(Name);
    if (Label == Labels.end()) {
      Fail("%s: declares %s, which the driver does not use\n", Path, Name);
      continue;
    }
    Seen[Name] = true;
    unsigned char Bytes[16];
    std::memcpy(Bytes, &Data1, 4);
    uint16_t Short = static_cast<uint16_t>(Data2);
    std::memcpy(Bytes + 4, &Short, 2);
    Short = static_cast<uint16_t>(Data3);
    std::memcpy(Bytes + 6, &Short, 2);
    for (int Index = 0; Index < 8; Index++) {
      Bytes[8 + Index] = static_cast<unsigned char>(Data4[Index]);
    }
    unsigned long long Halves[2];
    std::memcpy(Halves, Bytes, sizeof(Halves));
    const char *Parts[2] = {" bytes 0-7", " bytes 8-15"};
    for (int Half = 0; Half < 2; Half++) {
      std::string Key = "guid " + Label->second + Parts[Half];
      auto Value = Driver.find(Key);
      if (Value == Driver.end() || Value->second != Halves[Half]) {
        Fail("%s: %s%s differs from the driver's\n", Path, Name, Parts[Half]);
      }
    }
  }
  for (const auto &[Name, Label] : Labels) {
    if (!Seen[Name]) {
      Fail("%s: does not declare %s\n", Path, Name.c_str());
    }
  }
}

// Calls across the two sides, six arguments one way (four in registers,
// two on the stack) and two the other way.
void CompareCallingConvention() {
  const unsigned long long Status = DriverCallCreateEventEx(ReferenceCreateEventEx());
  const unsigned long long Expected[6] = {0x200, 16, 0x1111, 0x2222, 0x3333, 0x4444};
  if (gReferenceCallee.Calls != 1 ||
      std::memcmp(gReferenceCallee.Arguments, Expected, sizeof(Expected)) != 0 ||
      Status != 0x800000000000000FULL) {
    Fail(
        "EFIAPI: an EDK2 CreateEventEx called through the driver's type received "
        "%llx %llx %llx %llx %llx %llx and returned 0x%llx\n",
        gReferenceCallee.Arguments[0], gReferenceCallee.Arguments[1], gReferenceCallee.Arguments[2],
        gReferenceCallee.Arguments[3], gReferenceCallee.Arguments[4], gReferenceCallee.Arguments[5],
        Status);
  }
  ReferenceCallEventNotify(DriverEventNotify(), reinterpret_cast<void *>(0x5555),
                           reinterpret_cast<void *>(0x6666));
  if (gDriverCallee.Calls != 1 || gDriverCallee.Arguments[0] != 0x5555 ||
      gDriverCallee.Arguments[1] != 0x6666) {
    Fail("EFIAPI: the driver's notify function called through EDK2's type received %llx %llx\n",
         gDriverCallee.Arguments[0], gDriverCallee.Arguments[1]);
  }
}

}  // namespace

int main(int Argc, char **Argv) {
  if (Argc != 2) {
    std::fprintf(stderr, "usage: %s PACKAGE.dec\n", Argv[0]);
    return 2;
  }
  auto Driver = CompareTables();
  CompareDec(Argv[1], Driver);
  CompareCallingConvention();
  if (gFailures != 0) {
    std::printf("layout: %u differences\n", gFailures);
    return 1;
  }
  std::printf("layout: no difference\n");
  return 0;
}
