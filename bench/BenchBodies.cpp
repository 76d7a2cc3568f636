#include "bench/BenchBodies.h"

#include <cstdio>

namespace {

constexpr const char *LOREM =
    "Persistent memory module configuration record kept by the platform for "
    "inventory, with a description long enough to make strings dominate";

/// One padding member: a nested object with a long string, a list of
/// numbers of every form the grammar allows, a literal and a null.
std::string PaddingMember(size_t Index) {
  char Name[32];
  std::snprintf(Name, sizeof(Name), "\"Extra%06zu\":", Index);
  std::string Member = Name;
  Member += "{\"Description\":\"";
  Member += LOREM;
  Member += "\",\"Values\":[0,17,-3,4096,2.5,-0.125,1e3,6.02E23,65535,-1,42,";
  Member += std::to_string(Index);
  Member += "],\"Enabled\":true,\"Tag\":null}";
  return Member;
}

}  // namespace

std::string PaddedObject(const std::string &Members, size_t Size) {
  const std::string Natural = "{" + Members + "}";
  // The smallest padding is the fill member alone: "Fill":"",
  const std::string FillStart = "\"Fill\":\"";
  const std::string FillEnd = "\",";
  if (Size < Natural.size() + FillStart.size() + FillEnd.size()) {
    return Natural;
  }
  std::string Text = "{";
  for (size_t Index = 0;; Index++) {
    std::string Member = PaddingMember(Index) + ",";
    if (Text.size() + Member.size() + FillStart.size() + FillEnd.size() + Members.size() + 1 >
        Size) {
      break;
    }
    Text += Member;
  }
  // A string of spaces takes up the rest exactly.
  size_t Rest = Size - (Text.size() + FillStart.size() + FillEnd.size() + Members.size() + 1);
  Text += FillStart;
  Text.append(Rest, ' ');
  Text += FillEnd;
  Text += Members;
  Text += "}";
  return Text;
}

std::string GrownObject(const std::string &Members, char Filler, size_t Size) {
  std::string Text = "{" + Members + "}";
  size_t At = Text.find('@');
  Text.erase(At, 1);
  if (Text.size() < Size) {
    Text.insert(At, Size - Text.size(), Filler);
  }
  return Text;
}

std::string JsonStringLiteral(const std::string &Text) {
  std::string Literal = "\"";
  Literal.reserve(Text.size() + Text.size() / 8 + 2);
  for (char Char : Text) {
    if (Char == '"' || Char == '\\') {
      Literal += '\\';
    }
    Literal += Char;
  }
  Literal += '"';
  return Literal;
}

std::string BenchScenario(const std::string &ActionStatusBody, const std::string &ActionUri,
                          const std::string &ActionBody, const std::string &DiagnosticsMessage) {
  std::string Text =
      "{\"redfish\":{\"resources\":{\"/redfish/v1/Oem/Velk/Viz/ActionStatus\":{\"raw\":";
  Text += JsonStringLiteral(ActionStatusBody);
  Text += "}";
  if (!ActionUri.empty()) {
    Text += "," + JsonStringLiteral(ActionUri) + ":{\"raw\":" + JsonStringLiteral(ActionBody) + "}";
  }
  Text +=
      "}},\"nvdimm\":{\"results\":{"
      "\"CreateGoal\":{\"status\":\"EFI_SUCCESS\"},"
      "\"CreateNamespace\":{\"status\":\"EFI_SUCCESS\"},"
      "\"DeleteNamespace\":{\"status\":\"EFI_SUCCESS\"},"
      "\"DeletePlatformConfigurationData\":{\"status\":\"EFI_SUCCESS\"}},"
      "\"diagnostics\":{\"status\":\"EFI_SUCCESS\",\"message\":";
  Text += JsonStringLiteral(DiagnosticsMessage);
  Text += "}},\"boots\":[[\"nvdimm\",\"redfish\"]]}";
  return Text;
}
