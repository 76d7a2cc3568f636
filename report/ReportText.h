// Text for the report page: recorded bytes made readable and safe in XML,
// and cut or wrapped to the room a label has.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

/// The bytes as the page shows them: UTF-8 text as it stands; control
/// characters as \n, \r, \t or \xHH, and every byte that is not part of a
/// valid UTF-8 character (or is a character XML cannot hold) as \xHH, so
/// that the bytes can be read back from what is shown.
std::string ShownText(const std::string &Bytes);

/// Text with &, <, >, " and ' as character references.
std::string XmlEscaped(const std::string &Text);

/// The number of characters of UTF-8 text.
size_t CharacterCount(const std::string &Text);

/// At most Room characters of Text: cut at the end with "…" when longer.
std::string CutEnd(const std::string &Text, size_t Room);

/// At most Room characters of a URI: the tail, from a '/' where one fits,
/// behind "…" when longer ("…/Viz/ActionStatus").
std::string CutUri(const std::string &Uri, size_t Room);

/// Text in lines of at most Width characters, broken after spaces where it
/// can be; at most MaxLines lines, the last cut with "…" when more remain.
std::vector<std::string> WrapText(const std::string &Text, size_t Width, size_t MaxLines);
