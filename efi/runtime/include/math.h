/* Floating-point helpers of the image's C run-time. */
#ifndef NVDIMM_EFI_RUNTIME_MATH_H_
#define NVDIMM_EFI_RUNTIME_MATH_H_

#ifdef __cplusplus
extern "C" {
#endif

/* A quiet NaN constant, so that no code needs sqrt(-1.0) to make one. */
#define NAN (__builtin_nanf(""))

/** Absolute value: X with its sign bit cleared, NaN included. */
double fabs(double X);

#ifdef __cplusplus
}
#endif

#endif
