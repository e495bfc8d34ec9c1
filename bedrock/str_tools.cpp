#include "str_tools.h"

#include <cstdio>
#include <cstring>

int StrFormatV(char *pDest, size_t nDestSize, const char *pFormat, va_list args)
{
    if (!pDest || nDestSize == 0)
        return 0;
    const int nWanted = std::vsnprintf(pDest, nDestSize, pFormat, args);
    if (nWanted < 0) {
        pDest[0] = '\0';
        return 0;
    }
    // vsnprintf reports what it wanted to write; the caller wants what is actually there.
    return size_t(nWanted) < nDestSize ? nWanted : int(nDestSize - 1);
}

int StrFormat(char *pDest, size_t nDestSize, const char *pFormat, ...)
{
    va_list args;
    va_start(args, pFormat);
    const int nWritten = StrFormatV(pDest, nDestSize, pFormat, args);
    va_end(args);
    return nWritten;
}

size_t StrCopy(char *pDest, size_t nDestSize, const char *pSrc)
{
    if (!pDest || nDestSize == 0)
        return 0;
    size_t n = 0;
    if (pSrc) {
        while (n + 1 < nDestSize && pSrc[n] != '\0') {
            pDest[n] = pSrc[n];
            ++n;
        }
    }
    pDest[n] = '\0';
    return n;
}

static inline char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

const char *StrFindCaseless(const char *pHaystack, const char *pNeedle)
{
    if (!pHaystack || !pNeedle)
        return nullptr;
    if (*pNeedle == '\0')
        return pHaystack;
    for (const char *pStart = pHaystack; *pStart != '\0'; ++pStart) {
        const char *h = pStart;
        const char *n = pNeedle;
        while (*h != '\0' && *n != '\0' && AsciiLower(*h) == AsciiLower(*n)) {
            ++h;
            ++n;
        }
        if (*n == '\0')
            return pStart;
    }
    return nullptr;
}

const char *StrAfterLastSeparator(const char *pPath)
{
    if (!pPath)
        return nullptr;
    const char *pAfter = pPath;
    for (const char *p = pPath; *p != '\0'; ++p) {
        if (*p == '/' || *p == '\\')
            pAfter = p + 1;
    }
    return pAfter;
}
