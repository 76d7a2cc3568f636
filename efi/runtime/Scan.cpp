// sscanf: the one conversion cJSON reads back, "%lg".
#include <stdarg.h>

#include "efi/runtime/Characters.h"
#include "efi/runtime/include/stdio.h"
#include "efi/runtime/include/stdlib.h"

using namespace EfiRuntime;

extern "C" int sscanf(const char *Text, const char *Format, ...) {
  const char Supported[] = "%lg";
  for (unsigned Index = 0; Index < sizeof(Supported); Index++) {
    if (Format[Index] != Supported[Index]) {
      return EOF;
    }
  }

  while (IsSpace(*Text)) {
    Text++;
  }
  if (*Text == '\0') {
    return EOF;  // input ended before the conversion
  }
  char *End;
  double Value = strtod(Text, &End);
  if (End == Text) {
    return 0;
  }
  va_list Arguments;
  va_start(Arguments, Format);
  *va_arg(Arguments, double *) = Value;
  va_end(Arguments);
  return 1;
}
