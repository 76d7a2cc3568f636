// The per-module result text of an all-modules configuration erase.
#pragma once

#include "platform/NvdimmActionProtocol.h"

/// Size of the result text buffer.
constexpr UINTN DIMM_RESULT_TEXT_SIZE = 400;

/// Appends "DimmId:0x%4X; Status:%a; " for each entry of Results to Text, a
/// zeroed buffer of DIMM_RESULT_TEXT_SIZE bytes. A line that does not fit
/// whole is left out; later, shorter lines may still be appended.
void FormatDimmResults(const DIMM_RESULT_LIST &Results, CHAR8 *Text);
