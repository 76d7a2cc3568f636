// The linked NvdimmRemoteActionDxe.efi, read as a UEFI loader reads it: a
// PE32+ boot-service driver for x86-64 with valid base relocations, an entry
// point at DriverEntry, no imports and no debug data.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

namespace {

constexpr uint16_t MACHINE_X64 = 0x8664;
constexpr uint16_t PE32_PLUS_MAGIC = 0x20B;
constexpr uint16_t SUBSYSTEM_EFI_BOOT_SERVICE_DRIVER = 11;
constexpr uint16_t FILE_EXECUTABLE_IMAGE = 0x0002;
constexpr uint32_t SECTION_CODE = 0x00000020;
constexpr uint32_t SECTION_EXECUTE = 0x20000000;
constexpr uint32_t SECTION_WRITE = 0x80000000;
constexpr int DIRECTORY_IMPORT = 1;
constexpr int DIRECTORY_BASE_RELOCATION = 5;
constexpr int DIRECTORY_DEBUG = 6;
constexpr int RELOCATION_ABSOLUTE = 0;
constexpr int RELOCATION_DIR64 = 10;

struct SECTION {
  std::string Name;
  uint32_t VirtualSize;
  uint32_t VirtualAddress;
  uint32_t RawSize;
  uint32_t RawOffset;
  uint32_t Characteristics;
};

class ImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ifstream File(NVDIMM_IMAGE_PATH, std::ios::binary);
    ASSERT_TRUE(File) << "no image at " << NVDIMM_IMAGE_PATH;
    mBytes.assign(std::istreambuf_iterator<char>(File), std::istreambuf_iterator<char>());
    ASSERT_GE(mBytes.size(), 0x40u);
    ASSERT_EQ(Read16(0), 0x5A4D) << "no MZ header";
    mPe = Read32(0x3C);
    ASSERT_EQ(Read32(mPe), 0x00004550u) << "no PE signature";
    mOptional = mPe + 24;
    uint16_t SectionCount = Read16(mPe + 6);
    uint32_t Table = mOptional + Read16(mPe + 20);
    for (uint16_t Index = 0; Index < SectionCount; Index++) {
      uint32_t Entry = Table + Index * 40u;
      SECTION Section;
      Section.Name.assign(reinterpret_cast<const char *>(&mBytes.at(Entry)), 8);
      Section.Name.resize(std::strlen(Section.Name.c_str()));
      Section.VirtualSize = Read32(Entry + 8);
      Section.VirtualAddress = Read32(Entry + 12);
      Section.RawSize = Read32(Entry + 16);
      Section.RawOffset = Read32(Entry + 20);
      Section.Characteristics = Read32(Entry + 36);
      mSections.push_back(Section);
    }
  }

  uint16_t Read16(size_t Offset) const {
    return static_cast<uint16_t>(mBytes.at(Offset) | mBytes.at(Offset + 1) << 8);
  }
  uint32_t Read32(size_t Offset) const {
    return Read16(Offset) | static_cast<uint32_t>(Read16(Offset + 2)) << 16;
  }
  uint64_t Read64(size_t Offset) const {
    return Read32(Offset) | static_cast<uint64_t>(Read32(Offset + 4)) << 32;
  }

  // Data directory Index as {RVA, size}.
  std::pair<uint32_t, uint32_t> Directory(int Index) const {
    uint32_t Entry = mOptional + 112 + Index * 8u;
    return {Read32(Entry), Read32(Entry + 4)};
  }

  // The section that holds RVA, or null.
  const SECTION *SectionAt(uint32_t Rva) const {
    for (const auto &Section : mSections) {
      if (Rva >= Section.VirtualAddress && Rva < Section.VirtualAddress + Section.VirtualSize) {
        return &Section;
      }
    }
    return nullptr;
  }

  // File offset of RVA inside a section's raw data.
  size_t FileOffset(uint32_t Rva) const {
    const SECTION *Section = SectionAt(Rva);
    EXPECT_NE(Section, nullptr);
    return Section == nullptr ? 0 : Section->RawOffset + (Rva - Section->VirtualAddress);
  }

  std::vector<unsigned char> mBytes;
  uint32_t mPe = 0;
  uint32_t mOptional = 0;
  std::vector<SECTION> mSections;
};

// The headers say PE32+, x86-64, executable, boot-service driver.
TEST_F(ImageTest, HeadersDescribeBootServiceDriver) {
  EXPECT_EQ(Read16(mPe + 4), MACHINE_X64);
  EXPECT_NE(Read16(mPe + 22) & FILE_EXECUTABLE_IMAGE, 0);
  EXPECT_EQ(Read16(mOptional), PE32_PLUS_MAGIC);
  EXPECT_EQ(Read16(mOptional + 68), SUBSYSTEM_EFI_BOOT_SERVICE_DRIVER);
  EXPECT_EQ(Read32(mPe + 12), 0u) << "no symbol table";
}

// Sections lie inside the file and the image, and none is writable and
// executable at once.
TEST_F(ImageTest, SectionsAreConsistent) {
  uint32_t SizeOfImage = Read32(mOptional + 56);
  ASSERT_FALSE(mSections.empty());
  for (const auto &Section : mSections) {
    EXPECT_LE(static_cast<size_t>(Section.RawOffset) + Section.RawSize, mBytes.size())
        << Section.Name;
    EXPECT_LE(Section.VirtualAddress + Section.VirtualSize, SizeOfImage) << Section.Name;
    EXPECT_FALSE((Section.Characteristics & SECTION_EXECUTE) &&
                 (Section.Characteristics & SECTION_WRITE))
        << Section.Name;
    EXPECT_NE(Section.Name.rfind(".debug", 0), 0u) << "debug section " << Section.Name;
  }
}

// The image imports nothing and carries no debug directory.
TEST_F(ImageTest, NoImportsAndNoDebugData) {
  EXPECT_EQ(Directory(DIRECTORY_IMPORT).second, 0u);
  EXPECT_EQ(Directory(DIRECTORY_DEBUG).second, 0u);
}

// The base relocation directory is present, its blocks tile it exactly, and
// every entry is a 64-bit fix-up of a pointer inside the image (or padding).
TEST_F(ImageTest, BaseRelocationsAreValid) {
  auto [Rva, Size] = Directory(DIRECTORY_BASE_RELOCATION);
  ASSERT_NE(Size, 0u) << "no .reloc directory: the loader could not relocate the image";
  const SECTION *Reloc = SectionAt(Rva);
  ASSERT_NE(Reloc, nullptr);
  EXPECT_EQ(Reloc->Name, ".reloc");
  uint32_t SizeOfImage = Read32(mOptional + 56);
  uint64_t ImageBase = Read64(mOptional + 24);
  size_t Offset = FileOffset(Rva);
  size_t End = Offset + Size;
  size_t Fixups = 0;
  while (Offset < End) {
    uint32_t Page = Read32(Offset);
    uint32_t BlockSize = Read32(Offset + 4);
    ASSERT_GE(BlockSize, 8u);
    ASSERT_EQ(BlockSize % 2, 0u);
    ASSERT_LE(Offset + BlockSize, End);
    for (size_t Entry = Offset + 8; Entry < Offset + BlockSize; Entry += 2) {
      uint16_t Value = Read16(Entry);
      int Type = Value >> 12;
      ASSERT_TRUE(Type == RELOCATION_DIR64 || Type == RELOCATION_ABSOLUTE)
          << "relocation type " << Type;
      if (Type == RELOCATION_DIR64) {
        uint32_t Target = Page + (Value & 0xFFF);
        ASSERT_LE(Target + 8u, SizeOfImage);
        uint64_t Pointer = Read64(FileOffset(Target));
        EXPECT_GE(Pointer, ImageBase);
        EXPECT_LT(Pointer, ImageBase + SizeOfImage);
        Fixups++;
      }
    }
    Offset += BlockSize;
  }
  EXPECT_GT(Fixups, 0u);
}

// The entry point is code, and it is DriverEntry according to the link map.
TEST_F(ImageTest, EntryPointIsDriverEntry) {
  uint32_t Entry = Read32(mOptional + 16);
  const SECTION *Section = SectionAt(Entry);
  ASSERT_NE(Section, nullptr);
  EXPECT_NE(Section->Characteristics & SECTION_CODE, 0u);
  EXPECT_NE(Section->Characteristics & SECTION_EXECUTE, 0u);

  std::ifstream Map(NVDIMM_IMAGE_MAP_PATH);
  ASSERT_TRUE(Map) << "no link map at " << NVDIMM_IMAGE_MAP_PATH;
  const std::regex Symbol("^([0-9a-fA-F]+) +[0-9a-fA-F]+ +[0-9]+ +DriverEntry$");
  uint64_t ImageBase = Read64(mOptional + 24);
  bool Found = false;
  for (std::string Line; std::getline(Map, Line);) {
    std::smatch Match;
    if (std::regex_match(Line, Match, Symbol)) {
      EXPECT_EQ(std::stoull(Match[1].str(), nullptr, 16), ImageBase + Entry);
      Found = true;
    }
  }
  EXPECT_TRUE(Found) << "DriverEntry is not in the link map";
}

}  // namespace
