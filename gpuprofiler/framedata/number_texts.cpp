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

QString *CachedZeros()
{
    static QString s_zeros[kCachedZeroDecimals];
    return s_zeros;
}

QLocale &KeptLocale()
{
    static QLocale s_locale;
    return s_locale;
}

} // namespace

const QLocale &CNumberTexts::Locale()
{
    return KeptLocale();
}

void CNumberTexts::FollowDefaultLocale()
{
    KeptLocale() = QLocale();
    for (uint32 i = 0; i < kCachedIntegers; ++i)
        CachedIntegers()[i] = QString();
    for (int i = 0; i < kCachedZeroDecimals; ++i)
        CachedZeros()[i] = QString();
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
    if (nDecimals >= 0 && nDecimals < kCachedZeroDecimals && std::memcmp(&flValue, &s_positiveZero, sizeof(double)) == 0) {
        QString &text = CachedZeros()[nDecimals];
        if (text.isNull())
            text = Locale().toString(0.0, 'f', nDecimals);
        return text;
    }
    return Locale().toString(flValue, 'f', nDecimals);
}
