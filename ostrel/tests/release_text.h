/* Releases a text returned by Tavi_Get_Version or Tavi_Zel_GetMessage as
 * ostrel.h tells a C caller to: CoTaskMemFree on Windows, free elsewhere.
 * For C and C++ test programs; on Windows they link ole32. */
#ifndef OSTREL_TESTS_RELEASE_TEXT_H
#define OSTREL_TESTS_RELEASE_TEXT_H

#if defined(_WIN32)
#include <objbase.h>
static inline void ReleaseText(char* text) { CoTaskMemFree(text); }
#else
#include <stdlib.h>
static inline void ReleaseText(char* text) { free(text); }
#endif

#endif /* OSTREL_TESTS_RELEASE_TEXT_H */
