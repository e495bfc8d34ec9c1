#pragma once
// Bounded string helpers of the runtime. None of them writes past the given capacity and every
// one that writes leaves a terminated string behind (when the capacity is at least 1).

#include "bedrock_api.h"

#include <cstdarg>

// printf-style formatting into pDest[0..nDestSize). Returns the number of characters written,
// without the terminator; output that does not fit is cut.
BEDROCK_API int StrFormat(char *pDest, size_t nDestSize, const char *pFormat, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
BEDROCK_API int StrFormatV(char *pDest, size_t nDestSize, const char *pFormat, va_list args);

// Copies at most nDestSize - 1 characters of pSrc and terminates. Returns the characters copied.
BEDROCK_API size_t StrCopy(char *pDest, size_t nDestSize, const char *pSrc);

// First occurrence of pNeedle in pHaystack, ignoring ASCII case; null when absent.
// An empty needle matches at the start.
BEDROCK_API const char *StrFindCaseless(const char *pHaystack, const char *pNeedle);

// The text after the last '/' or '\\' of pPath (the whole text when it has none).
BEDROCK_API const char *StrAfterLastSeparator(const char *pPath);
