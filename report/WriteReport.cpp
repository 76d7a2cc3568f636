#include "report/WriteReport.h"

#include <cstdio>

#include "report/ReportPage.h"
#include "report/RunRecord.h"

namespace {

bool ReadWhole(const std::string &Path, std::string *Text) {
  std::FILE *File = std::fopen(Path.c_str(), "rb");
  if (File == nullptr) {
    return false;
  }
  char Buffer[65536];
  size_t Count = 0;
  while ((Count = std::fread(Buffer, 1, sizeof(Buffer), File)) > 0) {
    Text->append(Buffer, Count);
  }
  bool Good = std::ferror(File) == 0;
  std::fclose(File);
  return Good;
}

}  // namespace

bool WriteReport(const std::string &TracePath, const std::string &PagePath,
                 const std::string &Title, std::string *Outcome, std::string *Error) {
  std::string Text;
  if (!ReadWhole(TracePath, &Text)) {
    *Error = TracePath + ": cannot be read";
    return false;
  }
  RunRecord Record;
  std::string Problem;
  if (!ReadRunRecord(Text, &Record, &Problem)) {
    *Error = TracePath + ": " + Problem;
    return false;
  }
  if (Record.EventCount == 0) {
    *Error = TracePath + ": holds no event";
    return false;
  }
  std::string Page = ReportPage(Record, Title);
  std::FILE *File = std::fopen(PagePath.c_str(), "wb");
  if (File == nullptr) {
    *Error = PagePath + ": cannot be written";
    return false;
  }
  bool Written = std::fwrite(Page.data(), 1, Page.size(), File) == Page.size();
  Written = std::fclose(File) == 0 && Written;
  if (!Written) {
    *Error = PagePath + ": cannot be written";
    return false;
  }
  *Outcome = RunOutcome(Record);
  return true;
}
