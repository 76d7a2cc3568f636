// Reference models of the driver's text rules, written afresh from the rules
// themselves on std::string, so that the fuzz targets compare the driver with
// an independent reading of the same rules.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// Status values the models return (the UEFI codes the helpers use).
constexpr uint64_t REF_SUCCESS = 0;
constexpr uint64_t REF_INVALID_PARAMETER = 0x8000000000000002ULL;
constexpr uint64_t REF_UNSUPPORTED = 0x8000000000000003ULL;
constexpr uint64_t REF_BAD_BUFFER_SIZE = 0x8000000000000004ULL;
constexpr uint64_t REF_BUFFER_TOO_SMALL = 0x8000000000000005ULL;
constexpr uint64_t REF_ACCESS_DENIED = 0x800000000000000FULL;

/// The outcome of converting an identifier string.
struct RefNumber {
  uint64_t Status = REF_SUCCESS;
  uint64_t Value = 0;
  bool HasDigits = false;  ///< at least one digit was read (zeros count)
};

/// HexToUintn's rule: blanks and tabs, then zeros, then an "x"/"X" that
/// counts only directly after a zero (otherwise the value is 0), then hex
/// digits; overflow gives all ones and EFI_UNSUPPORTED. Text is a C string.
RefNumber RefHex(const std::string &Text);

/// DecimalToUintn's rule: blanks and tabs, zeros, decimal digits.
RefNumber RefDecimal(const std::string &Text);

/// One argument of a format, of the type its conversion reads.
struct RefArgument {
  char Type;  ///< 'a' (string, or null), 'd' (INT32), 'X' (UINT32)
  bool Null = false;
  std::string Text;
  int32_t Signed = 0;
  uint32_t Unsigned = 0;
};

/// The conversions Format reads, in order ('a', 'd' or 'X'), as
/// BoundedFormat scans it: "%", up to two width digits more while the width
/// is below 64, then the type; "%%" prints "%", anything else is copied.
std::string RefConversions(const std::string &Format);

/// BoundedFormat's whole output for Format and Arguments (one per
/// conversion, in order), before it is cut to the buffer: line feeds of the
/// format as CR LF (CR LF and LF CR once), a lone CR unchanged, argument
/// text unchanged, %a of null as "<null string>", %d signed decimal, %X
/// upper-case hex, both zero-padded to the width after any sign.
std::string RefFormat(const std::string &Format, const std::vector<RefArgument> &Arguments);

/// BoundedAppend on Destination (the whole buffer, DestinationSize bytes)
/// with Source at Offset bytes into the buffer when Overlapping, else a
/// separate string. Returns the status; Destination changes on success only.
uint64_t RefAppend(std::string &Destination, const std::string &Source, bool Overlapping,
                   size_t Offset);

/// One entry of an all-modules erase.
struct RefDimmResult {
  uint64_t Id;
  std::string Status;  ///< up to 79 bytes, no NUL
};

/// The result text of an all-modules erase: "DimmId:0x%4X; Status:%a; " per
/// entry, each line cut to 99 characters, appended whole only when it fits
/// in 399 characters.
std::string RefDimmResults(const std::vector<RefDimmResult> &Results);

/// Where a parse of Text (up to its first NUL) by the JSON library's
/// grammar ends, as far as nesting goes.
struct RefNesting {
  enum Outcome {
    TOO_DEEP,      ///< Position: the bracket that opens level Limit + 1
    SYNTAX_ERROR,  ///< the first value breaks the grammar before that
    COMPLETE,      ///< the first value is whole (text after it is ignored)
  } Result;
  size_t Position = 0;
};

/// The library's nesting rule, written from the JSON grammar as the library
/// reads it: a UTF-8 byte order mark (EF BB BF) is skipped before a text of
/// at least four bytes; white space is every byte from 0x01 to 0x20; strings
/// with their escapes (\uXXXX, surrogate pairs), numbers as strtod reads the
/// run of number characters, the literals null, true, false; arrays and
/// objects nested up to Limit levels, the bracket of level Limit + 1 refused.
/// Only the first value is read.
RefNesting RefJsonNesting(const std::string &Text, size_t Limit);
