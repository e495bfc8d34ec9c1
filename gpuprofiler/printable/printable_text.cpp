#include "printable_text.h"

#include <QChar>
#include <QList>

#include <climits>
#include <cstring>

namespace {

bool IsPrintable(char32_t nCodePoint)
{
    switch (QChar::category(nCodePoint)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Other_PrivateUse:
    case QChar::Other_NotAssigned:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return false;
    default:
        return true;
    }
}

} // namespace

QString PrintableText(const QString &text, int nMaxChars)
{
    QList<uint> codePoints = text.toUcs4();
    for (uint &nCodePoint : codePoints) {
        if (!IsPrintable(char32_t(nCodePoint)))
            nCodePoint = QChar::ReplacementCharacter;
    }
    QString printable = QString::fromUcs4(reinterpret_cast<const char32_t *>(codePoints.constData()), codePoints.size()).trimmed();
    // Cut by characters, never inside a surrogate pair.
    int nChars = 0;
    for (qsizetype i = 0; i < printable.size(); ++i) {
        if (printable.at(i).isLowSurrogate())
            continue;
        if (nChars++ == nMaxChars)
            return printable.left(i).trimmed();
    }
    return printable;
}

QString PrintableLatin1Text(const char *pText, size_t nMaxBytes)
{
    if (!pText)
        return QString();
    const size_t nLength = strnlen(pText, nMaxBytes);
    return PrintableText(QString::fromLatin1(pText, qsizetype(nLength)), int(nLength < INT_MAX ? nLength : INT_MAX));
}
