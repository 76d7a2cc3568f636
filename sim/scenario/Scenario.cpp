#include "sim/scenario/Scenario.h"

#include "sim/common/ExactJson.h"

Scenario::~Scenario() {
  if (mNvdimmRead) {
    NvdimmFreeConfig(&mNvdimm);
  }
  cJSON_Delete(mDocument);
}

bool Scenario::Read(const CHAR8 *Text, UINTN Length, CHAR8 *Error, UINTN ErrorSize) {
  if (mDocument != nullptr) {
    ScenarioReader Reader(Error, ErrorSize);
    return Reader.Fail("the scenario was already read");
  }
  mDocument = ExactJsonParse(Text, Length, Error, ErrorSize);
  if (mDocument == nullptr) {
    return false;
  }
  if (!mParts.Read(mDocument, Error, ErrorSize)) {
    return false;
  }
  // The NVDIMM component reads its own member and reports its own paths.
  mNvdimmRead = NvdimmReadConfig(cJSON_GetObjectItemCaseSensitive(mDocument, "nvdimm"), &mNvdimm,
                                 Error, ErrorSize);
  return mNvdimmRead;
}
