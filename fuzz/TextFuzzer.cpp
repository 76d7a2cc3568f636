// Fuzz target of the text helpers: HexToUintn and DecimalToUintn on any
// string, BoundedFormat on any format with arguments of the types its
// conversions read and any buffer size, BoundedAppend on any destination
// (with or without its NUL) and any source, overlapping ones included. Each
// is compared with the reference models, and every buffer is exactly as
// large as the size passed, so that AddressSanitizer sees any byte written
// past it.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <memory>

#include "fuzz/FuzzCheck.h"
#include "fuzz/Reference.h"
#include "text/TextHelpers.h"

namespace {

// The most conversions one format may read: every combination of argument
// types up to this count is instantiated below.
constexpr size_t MAX_CONVERSIONS = 5;

template <typename... ARGUMENTS>
UINTN CallFormat(CHAR8 *Buffer, UINTN Size, const CHAR8 *Format,
                 const std::vector<RefArgument> &List, size_t Next, ARGUMENTS... Arguments) {
  if (Next == List.size()) {
    return BoundedFormat(Buffer, Size, Format, Arguments...);
  }
  if constexpr (sizeof...(ARGUMENTS) < MAX_CONVERSIONS) {
    const RefArgument &Argument = List[Next];
    switch (Argument.Type) {
      case 'a':
        return CallFormat(
            Buffer, Size, Format, List, Next + 1, Arguments...,
            Argument.Null ? static_cast<const CHAR8 *>(nullptr) : Argument.Text.c_str());
      case 'd':
        return CallFormat(Buffer, Size, Format, List, Next + 1, Arguments...,
                          static_cast<INT32>(Argument.Signed));
      default:
        return CallFormat(Buffer, Size, Format, List, Next + 1, Arguments...,
                          static_cast<UINT32>(Argument.Unsigned));
    }
  }
  FuzzFail("more conversions than instantiated");
}

void CheckNumber(const char *Name, EFI_STATUS Status, UINT64 Value, bool HasDigits,
                 const RefNumber &Expected, const std::string &Text) {
  FUZZ_CHECK(Status == Expected.Status && Value == Expected.Value,
             "%s(\"%s\") gave status %llx value %llu, expected %llx and %llu", Name, Text.c_str(),
             static_cast<unsigned long long>(Status), static_cast<unsigned long long>(Value),
             static_cast<unsigned long long>(Expected.Status),
             static_cast<unsigned long long>(Expected.Value));
  FUZZ_CHECK(HasDigits == Expected.HasDigits, "digits of \"%s\": %d, expected %d", Text.c_str(),
             HasDigits, Expected.HasDigits);
}

void FuzzConvert(FuzzedDataProvider &Data, bool Hex) {
  std::string Text = FuzzCString(Data.ConsumeRemainingBytesAsString());
  UINT64 Value = 0x5A5A5A5A5A5A5A5AULL;
  if (Hex) {
    EFI_STATUS Status = HexToUintn(Text.c_str(), &Value);
    CheckNumber("HexToUintn", Status, Value, HasHexDigits(Text.c_str()), RefHex(Text), Text);
  } else {
    EFI_STATUS Status = DecimalToUintn(Text.c_str(), &Value);
    CheckNumber("DecimalToUintn", Status, Value, HasDecimalDigits(Text.c_str()), RefDecimal(Text),
                Text);
  }
}

void FuzzFormat(FuzzedDataProvider &Data) {
  UINTN Size = Data.ConsumeIntegralInRange<UINTN>(0, 600);
  std::string Format = FuzzCString(Data.ConsumeRandomLengthString(800));
  // Keep the format to the conversions this target can pass arguments for.
  std::string Types = RefConversions(Format);
  while (Types.size() > MAX_CONVERSIONS) {
    Format.pop_back();
    Types = RefConversions(Format);
  }
  std::vector<RefArgument> Arguments;
  for (char Type : Types) {
    RefArgument Argument{Type};
    if (Type == 'a') {
      Argument.Null = Data.ConsumeIntegralInRange<int>(0, 7) == 0;
      Argument.Text = FuzzCString(Data.ConsumeRandomLengthString(300));
    } else if (Type == 'd') {
      Argument.Signed = Data.ConsumeIntegral<int32_t>();
    } else {
      Argument.Unsigned = Data.ConsumeIntegral<uint32_t>();
    }
    Arguments.push_back(Argument);
  }

  // A buffer of exactly Size bytes (one byte for Size 0, which must stay as
  // it is), filled with a mark to see what was written.
  const size_t Room = Size == 0 ? 1 : Size;
  std::unique_ptr<CHAR8[]> Buffer(new CHAR8[Room]);
  std::memset(Buffer.get(), 0x7E, Room);
  UINTN Written = CallFormat(Buffer.get(), Size, Format.c_str(), Arguments, 0);
  if (Size == 0) {
    FUZZ_CHECK(Written == 0 && Buffer[0] == 0x7E, "a format into no room wrote");
    return;
  }
  std::string Expected = FuzzCut(RefFormat(Format, Arguments), Size);
  FUZZ_CHECK(
      Written == Expected.size() && std::memcmp(Buffer.get(), Expected.data(), Written) == 0 &&
          Buffer[Written] == '\0',
      "BoundedFormat(\"%s\", size %zu) wrote %zu characters, expected \"%s\"", Format.c_str(),
      static_cast<size_t>(Size), static_cast<size_t>(Written), Expected.c_str());
  for (size_t Index = Written + 1; Index < Size; Index++) {
    FUZZ_CHECK(Buffer[Index] == 0x7E, "BoundedFormat wrote past its NUL");
  }
}

void FuzzAppend(FuzzedDataProvider &Data) {
  UINTN Size = Data.ConsumeIntegralInRange<UINTN>(0, 500);
  bool Overlapping = Data.ConsumeBool();
  size_t Offset = Data.ConsumeIntegralInRange<size_t>(0, Size);
  std::string Initial = Data.ConsumeBytesAsString(Size);
  Initial.resize(Size, 'd');
  std::string Source = FuzzCString(Data.ConsumeRemainingBytesAsString());

  // The buffer and one byte more holding a NUL, so that a source that
  // starts inside the buffer always ends; that byte must stay a NUL.
  std::unique_ptr<CHAR8[]> Backing(new CHAR8[Size + 1]);
  std::memcpy(Backing.get(), Initial.data(), Size);
  Backing[Size] = '\0';
  const CHAR8 *SourcePointer = Overlapping ? Backing.get() + Offset : Source.c_str();
  EFI_STATUS Status = BoundedAppend(Backing.get(), Size, SourcePointer);

  std::string Expected = Initial;
  uint64_t ExpectedStatus = RefAppend(Expected, Source, Overlapping, Offset);
  FUZZ_CHECK(Status == ExpectedStatus, "BoundedAppend returned %llx, expected %llx",
             static_cast<unsigned long long>(Status),
             static_cast<unsigned long long>(ExpectedStatus));
  FUZZ_CHECK(std::memcmp(Backing.get(), Expected.data(), Size) == 0 && Backing[Size] == '\0',
             "BoundedAppend left the destination other than expected");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Bytes, size_t Length) {
  FuzzedDataProvider Data(Bytes, Length);
  switch (Data.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
      FuzzConvert(Data, true);
      break;
    case 1:
      FuzzConvert(Data, false);
      break;
    case 2:
      FuzzFormat(Data);
      break;
    default:
      FuzzAppend(Data);
      break;
  }
  return 0;
}
