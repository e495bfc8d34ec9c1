#pragma once
// Number texts in the application's default locale, which is taken at first use and again when
// the user's locale changes: a frame's rows format tens of thousands of numbers, so the locale is
// not looked up per cell, and the texts of small integers, by far the most common counter values,
// are made only once per locale.

#include "bedrock_api.h"

#include <QLocale>
#include <QString>

class CNumberTexts
{
public:
    // Integers below this get a cached text (64 KB of string handles, filled on demand).
    static constexpr uint32 kCachedIntegers = 4096;

    static const QLocale &Locale();
    // Takes the default locale anew and forgets the texts made in the old one.
    static void FollowDefaultLocale();

    // The locale's integer text, with its digit grouping.
    static QString Integer(uint32 nValue);
    // The locale's text with format 'f' and the given number of decimals.
    static QString Fixed(double flValue, int nDecimals);
};
