// Labels of the report page: recorded bytes made readable, then cut or
// wrapped to their room without splitting a character.
#include <gtest/gtest.h>

#include "report/ReportText.h"

namespace {

// Control characters, bytes that are not UTF-8 and characters XML cannot
// hold are escaped; UTF-8 text stands as it is.
TEST(ReportText, ShownTextEscapesWhatIsNotText) {
  const struct {
    std::string Bytes;
    const char *Shown;
  } Cases[] = {
      {"caf\xC3\xA9 \xE2\x80\xA6", "caf\xC3\xA9 \xE2\x80\xA6"},
      {"a\nb\tc\rd\x1B\x7F", "a\\nb\\tc\\rd\\x1B\\x7F"},
      {std::string("nul\0end", 7), "nul\\x00end"},
      {"\xFF\xC3", "\\xFF\\xC3"},                // a lone lead byte at the end
      {"\xC0\xAF", "\\xC0\\xAF"},                // an overlong '/'
      {"\xED\xA0\x80", "\\xED\\xA0\\x80"},       // a surrogate
      {"\xEF\xBF\xBE", "\\xEF\\xBF\\xBE"},       // U+FFFE
      {"\xC2\x85", "\\xC2\\x85"},                // a C1 control
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},  // four bytes
  };
  for (const auto &Case : Cases) {
    EXPECT_EQ(ShownText(Case.Bytes), Case.Shown) << Case.Shown;
  }
  EXPECT_EQ(XmlEscaped("<a href=\"x\">&'</a>"), "&lt;a href=&quot;x&quot;&gt;&amp;&#39;&lt;/a&gt;");
}

// A cut label fits its room in characters, ends in "…" (a URI: starts with
// "…" and keeps its tail from a '/'), and never splits a character.
TEST(ReportText, CutsFitTheirRoom) {
  const struct {
    std::string Text;
    size_t Room;
    const char *End;
    const char *Uri;
  } Cases[] = {
      {"short", 5, "short", "short"},
      {"/redfish/v1/Oem/Velk/Viz/ActionStatus", 20, "/redfish/v1/Oem/Vel\xE2\x80\xA6",
       "\xE2\x80\xA6/Viz/ActionStatus"},
      {"/\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9/\xC3\xA9\xC3\xA9", 5,
       "/\xC3\xA9\xC3\xA9\xC3\xA9\xE2\x80\xA6", "\xE2\x80\xA6/\xC3\xA9\xC3\xA9"},
      {"/abcdefghij", 4, "/ab\xE2\x80\xA6", "\xE2\x80\xA6hij"},  // no '/' in reach
  };
  for (const auto &Case : Cases) {
    EXPECT_EQ(CutEnd(Case.Text, Case.Room), Case.End) << Case.Text;
    EXPECT_EQ(CutUri(Case.Text, Case.Room), Case.Uri) << Case.Text;
    EXPECT_LE(CharacterCount(CutUri(Case.Text, Case.Room)), Case.Room);
  }
}

// Wrapped lines break after spaces, hold at most Width characters, and the
// last of MaxLines is cut when text remains.
TEST(ReportText, WrapsAtSpacesWithinWidth) {
  const struct {
    const char *Text;
    size_t Width;
    size_t MaxLines;
    std::vector<std::string> Lines;
  } Cases[] = {
      {"StatusMessage: (UEFI UPDATE): CreateGoal performed Successfully",
       30,
       3,
       {"StatusMessage: (UEFI UPDATE): ", "CreateGoal performed ", "Successfully"}},
      {"one two three four five", 9, 2, {"one two ", "three fo\xE2\x80\xA6"}},
      {"abcdefghijkl", 5, 3, {"abcde", "fghij", "kl"}},
      {"\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", 3, 1, {"\xC3\xA9\xC3\xA9\xE2\x80\xA6"}},
  };
  for (const auto &Case : Cases) {
    EXPECT_EQ(WrapText(Case.Text, Case.Width, Case.MaxLines), Case.Lines) << Case.Text;
  }
}

}  // namespace
