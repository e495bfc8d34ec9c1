#include "number_texts.h"

#include <cstring>

namespace {

// The most frequent fixed texts: positive zero with the decimals the columns use.
constexpr int kCachedZeroDecimals = 4;

QString *CachedIntegers()
{
    static QString s_texts[CNumberTexts::kCachedIntegers];
    return s_texts;
}

} // namespace

const QLocale &CNumberTexts::Locale()
{
    static const QLocale s_locale;
    return s_locale;
}

QString CNumberTexts::Integer(uint32 nValue)
{
    if (nValue >= kCachedIntegers)
        return Locale().toString(nValue);
    QString &text = CachedIntegers()[nValue];
    if (text.isNull())
        text = Locale().toString(nValue);
    return text;
}

QString CNumberTexts::Fixed(double flValue, int nDecimals)
{
    // Only +0.0 is cached: -0.0 compares equal to it but may be written with a sign.
    static const double s_positiveZero = 0.0;
    if (nDecimals >= 0 && nDecimals < kCachedZeroDecimals &&
        std::memcmp(&flValue, &s_positiveZero, sizeof(double)) == 0) {
        static QString s_zeros[kCachedZeroDecimals];
        QString &text = s_zeros[nDecimals];
        if (text.isNull())
            text = Locale().toString(0.0, 'f', nDecimals);
        return text;
    }
    return Locale().toString(flValue, 'f', nDecimals);
}
