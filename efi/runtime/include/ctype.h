/* Character classification of the image's C run-time, in the "C" locale. */
#ifndef NVDIMM_EFI_RUNTIME_CTYPE_H_
#define NVDIMM_EFI_RUNTIME_CTYPE_H_

#ifdef __cplusplus
extern "C" {
#endif

/** 'A' to 'Z' become 'a' to 'z'; every other value is returned unchanged. */
int tolower(int Character);

#ifdef __cplusplus
}
#endif

#endif
