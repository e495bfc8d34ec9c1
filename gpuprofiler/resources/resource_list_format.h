#pragma once
// Texts that both resource lists show.

#include "bedrock_api.h"
#include "resource_list_sort.h"

#include <QLocale>
#include <QString>

// The locale that formats sizes: the default locale as it was when a list first needed it, or
// when FollowDefaultResourceLocale took it anew (the user's locale changed).
inline QLocale &KeptResourceSizeLocale()
{
    static QLocale s_Locale;
    return s_Locale;
}

inline const QLocale &ResourceSizeLocale()
{
    return KeptResourceSizeLocale();
}

inline void FollowDefaultResourceLocale()
{
    KeptResourceSizeLocale() = QLocale();
}

// "%1 KB": whole kilobytes, truncated, with the locale's digit grouping.
inline QString FormatKilobytes(const QLocale &locale, uint64 nBytes)
{
    return QStringLiteral("%1 KB").arg(locale.toString(qulonglong(nBytes >> 10)));
}

// Megabytes as the status lines show them: the byte count as a single-precision float times
// 2^-20, with two decimals.
inline QString FormatStatusMegabytes(uint64 nBytes)
{
    const float flMegabytes = float(nBytes) * 9.536743e-7f;
    return QString::number(double(flMegabytes), 'f', 2);
}

// What a status line adds when the list holds fewer entries than the target announced.
inline QString FormatListCut(int32 nAnnounced, int32 nKept)
{
    if (nAnnounced <= nKept)
        return QString();
    const QLocale &locale = ResourceSizeLocale();
    return QStringLiteral(" (list cut: %1 announced, %2 kept)").arg(locale.toString(nAnnounced), locale.toString(nKept));
}

// A name as the lists show it: 8-bit text, "<unnamed>" when empty.
inline QString ResourceDisplayName(const char *pName, int32 nLength)
{
    return nLength > 0 ? QString::fromLatin1(pName, nLength) : QString::fromLatin1(kUnnamedText);
}
