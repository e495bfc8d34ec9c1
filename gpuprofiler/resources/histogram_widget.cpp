#include "histogram_widget.h"

#include "mem_alloc.h"

#include <QCursor>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <cstring>
#include <new>

namespace {

// Owned copy of a text through the runtime's allocator; null stays null, and so does a copy
// that cannot be had (the text then shows as empty).
char *CopyText(const char *pszText)
{
    if (!pszText)
        return nullptr;
    const size_t nBytes = std::strlen(pszText) + 1;
    auto *pCopy = static_cast<char *>(g_pMemAlloc->Alloc(nBytes));
    if (pCopy)
        std::memcpy(pCopy, pszText, nBytes);
    return pCopy;
}

QString Text(const char *pszText)
{
    return pszText ? QString::fromLatin1(pszText) : QString();
}

// Segment heights are clamped before they become integers: a value times the scale could
// otherwise leave the integer range (the total of a bucket with negative entries can be far
// below one of its entries). No widget is this tall.
constexpr float kMaxSegmentHeight = 16777216.0f;

// Buckets hold few entries (one per category); heights for up to this many are computed on
// the stack, larger buckets use the heap.
constexpr int kInlineSegments = 16;

} // namespace

CQHistogramWidget::CQHistogramWidget() : QWidget(nullptr)
{
    setAttribute(Qt::WA_MouseTracking);
    m_BucketFont = font();
    m_CategoryFont = font();
}

CQHistogramWidget::~CQHistogramWidget()
{
    for (HistogramBucket *pBucket : m_Buckets) {
        g_pMemAlloc->Free(pBucket->description);
        g_pMemAlloc->Free(pBucket->name);
        pBucket->~HistogramBucket();
        g_pMemAlloc->Free(pBucket);
    }
    for (HistogramCategory *pCategory : m_Categories) {
        g_pMemAlloc->Free(pCategory->name);
        g_pMemAlloc->Free(pCategory->description);
        pCategory->~HistogramCategory();
        g_pMemAlloc->Free(pCategory);
    }
}

BucketHandle_t CQHistogramWidget::AddBucket(const char *pszName, const char *pszDescription)
{
    void *pMem = g_pMemAlloc->Alloc(sizeof(HistogramBucket));
    if (!pMem)
        return nullptr;
    if (m_Buckets.AddToTail(nullptr) < 0) {
        g_pMemAlloc->Free(pMem);
        return nullptr;
    }
    auto *pBucket = new (pMem) HistogramBucket{CopyText(pszDescription), CopyText(pszName), 0, {}};
    m_Buckets[m_Buckets.Count() - 1] = pBucket;
    RecalcLayout();
    return pBucket;
}

CategoryHandle_t CQHistogramWidget::AddCategory(const char *pszName, const char *pszDescription)
{
    void *pMem = g_pMemAlloc->Alloc(sizeof(HistogramCategory));
    if (!pMem)
        return nullptr;
    if (m_Categories.AddToTail(nullptr) < 0) {
        g_pMemAlloc->Free(pMem);
        return nullptr;
    }
    auto *pCategory = new (pMem) HistogramCategory{CopyText(pszName), CopyText(pszDescription), CategoryColor(m_nNextColorIndex)};
    m_Categories[m_Categories.Count() - 1] = pCategory;
    ++m_nNextColorIndex;
    update();
    return pCategory;
}

void CQHistogramWidget::SetBucketValue(BucketHandle_t hBucket, CategoryHandle_t hCategory, int32 nValue)
{
    if (!hBucket || !hCategory)
        return;
    HistogramEntry *pEntry = nullptr;
    for (HistogramEntry &entry : hBucket->entries) {
        if (entry.category == hCategory) {
            pEntry = &entry;
            break;
        }
    }
    if (!pEntry) {
        const int32 nIndex = hBucket->entries.AddToTail(HistogramEntry{hCategory, 0});
        if (nIndex < 0)
            return;
        pEntry = &hBucket->entries[nIndex];
    }
    // Wrapping arithmetic: the total stays the sum of the entries modulo 2^32 whatever values
    // arrive, without overflow.
    hBucket->total = int32(uint32(hBucket->total) + uint32(nValue) - uint32(pEntry->value));
    pEntry->value = nValue;
    RecalcLayout();
}

QColor CQHistogramWidget::CategoryColor(uint32 nIndex)
{
    const uint32 m = 23u * nIndex;
    const int nRed = 150 + int(m % 3) * 100 / 3;
    const int nGreen = 150 + int((m + 3) % 7) * 100 / 7;
    const int nBlue = 150 + int((m + 7) % 13) * 100 / 13;
    return QColor(nRed, nGreen, nBlue, 255);
}

int CQHistogramWidget::FitFontPixelSize(const char *const *ppTexts, int nTexts, int nLimit) const
{
    if (nTexts <= 0)
        return 16;
    QFont probe = font();
    for (int nSize = 16; nSize >= 7; --nSize) {
        probe.setPixelSize(nSize);
        const QFontMetrics metrics(probe);
        bool bFits = true;
        for (int i = 0; i < nTexts && bFits; ++i)
            bFits = metrics.horizontalAdvance(Text(ppTexts[i])) < nLimit;
        if (bFits)
            return nSize;
    }
    return 6;
}

int CQHistogramWidget::FitFontForTexts(bool bBuckets, int nLimit) const
{
    FontFit &fit = bBuckets ? m_BucketFontFit : m_CategoryFontFit;
    const int nCount = bBuckets ? m_Buckets.Count() : m_Categories.Count();
    if (fit.textCount == nCount && fit.limit == nLimit && fit.base == font())
        return fit.pixelSize;

    GrowableArray<const char *> texts;
    if (!texts.SetCount(nCount))
        return fit.textCount < 0 ? 16 : fit.pixelSize;
    for (int i = 0; i < nCount; ++i)
        texts[i] = bBuckets ? m_Buckets[i]->name : m_Categories[i]->name;
    fit.pixelSize = FitFontPixelSize(texts.Base(), nCount, nLimit);
    fit.textCount = nCount;
    fit.limit = nLimit;
    fit.base = font();
    return fit.pixelSize;
}

void CQHistogramWidget::RecalcLayout()
{
    const int nBuckets = m_Buckets.Count();
    const int nPer = (width() - m_nBucketSpacing) / (nBuckets > 1 ? nBuckets : 1);
    m_nBucketWidth = qBound(m_nMinBucketWidth, nPer - m_nBucketSpacing, m_nMaxBucketWidth);

    int32 nMaxTotal = 1;
    for (const HistogramBucket *pBucket : m_Buckets)
        nMaxTotal = pBucket->total > nMaxTotal ? pBucket->total : nMaxTotal;
    const float flScale = float(height() - 1 - m_nLabelHeight - 7) / float(nMaxTotal);
    m_flValueScale = flScale > 0.0f ? flScale : 0.0f;

    m_BucketFont = font();
    m_BucketFont.setPixelSize(FitFontForTexts(true, m_nBucketWidth - 2));
    m_CategoryFont = font();
    m_CategoryFont.setPixelSize(FitFontForTexts(false, m_nBucketWidth - 2));
    update();
}

void CQHistogramWidget::ComputeSegments(const HistogramBucket *pBucket, Segment *pSegments) const
{
    int nOffset = 0;
    for (int32 i = 0; i < pBucket->entries.Count(); ++i) {
        const int32 nValue = pBucket->entries[i].value;
        int nHeight = 0;
        if (nValue != 0) {
            float flHeight = float(nValue) * m_flValueScale;
            if (flHeight < 2.0f)
                flHeight = 2.0f;
            if (flHeight > kMaxSegmentHeight)
                flHeight = kMaxSegmentHeight;
            nHeight = int(flHeight);
        }
        pSegments[i] = Segment{nOffset, nHeight};
        // Offsets stop growing at the clamp as well, so the sum stays an int.
        nOffset = qMin(nOffset + nHeight, int(kMaxSegmentHeight));
    }
}

int CQHistogramWidget::SegmentIndexAt(const HistogramBucket *pBucket, const Segment *pSegments, int nY) const
{
    const int64 d = int64(LabelTop()) - nY;
    for (int32 i = 0; i < pBucket->entries.Count(); ++i) {
        if (pBucket->entries[i].value != 0 && pSegments[i].offset <= d && d < int64(pSegments[i].offset) + pSegments[i].height)
            return i;
    }
    return -1;
}

namespace {

// Segment storage for one bucket: inline for the usual few entries.
class SegmentBuffer
{
public:
    template <typename Segment> Segment *Get(int nCount)
    {
        static_assert(sizeof(Segment) * kInlineSegments <= sizeof(m_Inline));
        if (nCount <= kInlineSegments)
            return reinterpret_cast<Segment *>(m_Inline);
        m_pHeap = g_pMemAlloc->Alloc(size_t(nCount) * sizeof(Segment));
        return static_cast<Segment *>(m_pHeap);
    }
    ~SegmentBuffer() { g_pMemAlloc->Free(m_pHeap); }

private:
    alignas(8) unsigned char m_Inline[kInlineSegments * 8];
    void *m_pHeap = nullptr;
};

} // namespace

int CQHistogramWidget::BucketIndexAt(int nX) const
{
    // Truncating division, so x = 0 and 1 (left of the first bar's margin) still belong to
    // bar 0, and the gap right of each bar belongs to that bar.
    const int nIndex = (nX - m_nBucketSpacing) / (m_nBucketWidth + m_nBucketSpacing);
    return nIndex >= 0 && nIndex < m_Buckets.Count() ? nIndex : -1;
}

CategoryHandle_t CQHistogramWidget::HitTestCategory(BucketHandle_t hBucket, int nY) const
{
    if (!hBucket)
        return nullptr;
    SegmentBuffer buffer;
    Segment *pSegments = buffer.Get<Segment>(hBucket->entries.Count());
    if (!pSegments)
        return nullptr;
    ComputeSegments(hBucket, pSegments);
    const int nEntry = SegmentIndexAt(hBucket, pSegments, nY);
    return nEntry >= 0 ? hBucket->entries[nEntry].category : nullptr;
}

QRect CQHistogramWidget::SegmentRect(int nIndex, CategoryHandle_t hCategory) const
{
    if (nIndex < 0 || nIndex >= m_Buckets.Count())
        return QRect();
    const HistogramBucket *pBucket = m_Buckets[nIndex];
    SegmentBuffer buffer;
    Segment *pSegments = buffer.Get<Segment>(pBucket->entries.Count());
    if (!pSegments)
        return QRect();
    ComputeSegments(pBucket, pSegments);
    for (int32 i = 0; i < pBucket->entries.Count(); ++i) {
        if (pBucket->entries[i].category == hCategory && pBucket->entries[i].value != 0)
            return QRect(BucketLeft(nIndex), LabelTop() - pSegments[i].offset - pSegments[i].height, m_nBucketWidth, pSegments[i].height);
    }
    return QRect();
}

QString CQHistogramWidget::EscapeAngleBrackets(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    escaped.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    return escaped;
}

QString CQHistogramWidget::ToolTipTextAt(const QPoint &pos) const
{
    const int nIndex = BucketIndexAt(pos.x());
    if (nIndex < 0)
        return QString();
    const HistogramBucket *pBucket = m_Buckets[nIndex];
    const CategoryHandle_t hHovered = HitTestCategory(m_Buckets[nIndex], pos.y());

    QString text;
    text += tr("<u><b>%1</b></u><br>").arg(EscapeAngleBrackets(Text(pBucket->name)));
    text += tr("<em>%1</em><br>").arg(EscapeAngleBrackets(Text(pBucket->description)));
    text += tr("<br>");
    if (hHovered) {
        text += tr("<u><b>%1</b></u><br>").arg(EscapeAngleBrackets(Text(hHovered->name)));
        text += tr("<em>%1</em><br>").arg(EscapeAngleBrackets(Text(hHovered->description)));
        text += tr("<br>");
    }
    // Last to first: the top segment is listed first, as the segments are stacked.
    for (int32 i = pBucket->entries.Count() - 1; i >= 0; --i) {
        const HistogramEntry &entry = pBucket->entries[i];
        const bool bHovered = entry.category == hHovered;
        if (bHovered)
            text += tr("<b><font color=red>");
        text += tr("%1 = %2").arg(Text(entry.category->name)).arg(entry.value);
        if (bHovered)
            text += tr("</font></b>");
        text += tr("<br>");
    }
    return text;
}

bool CQHistogramWidget::event(QEvent *pEvent)
{
    if (pEvent->type() != QEvent::ToolTip)
        return QWidget::event(pEvent);

    auto *pHelp = static_cast<QHelpEvent *>(pEvent);
    const QString text = ToolTipTextAt(pHelp->pos());
    if (text.isEmpty()) {
        QToolTip::hideText();
        pEvent->ignore();
        return true;
    }
    QToolTip::showText(pHelp->globalPos(), text, this);
    return true;
}

void CQHistogramWidget::mouseReleaseEvent(QMouseEvent *pEvent)
{
    if (pEvent->button() != Qt::LeftButton)
        return;
    const QPoint pos = pEvent->position().toPoint();
    const int nIndex = BucketIndexAt(pos.x());
    if (nIndex < 0)
        return;
    if (const CategoryHandle_t hCategory = HitTestCategory(m_Buckets[nIndex], pos.y()))
        emit OnBucketCategoryClicked(m_Buckets[nIndex], hCategory);
}

void CQHistogramWidget::mouseMoveEvent(QMouseEvent *)
{
    update();
}

void CQHistogramWidget::enterEvent(QEnterEvent *)
{
    update();
}

void CQHistogramWidget::leaveEvent(QEvent *)
{
    update();
}

void CQHistogramWidget::resizeEvent(QResizeEvent *)
{
    RecalcLayout();
}

void CQHistogramWidget::DrawBucket(QPainter &painter, int nIndex, bool bHovered, CategoryHandle_t hHoveredCategory) const
{
    const HistogramBucket *pBucket = m_Buckets[nIndex];
    const int nLeft = BucketLeft(nIndex);
    if (bHovered) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QBrush(Qt::lightGray, Qt::SolidPattern));
        painter.drawRect(QRect(QPoint(nLeft, 0), QPoint(nLeft + m_nBucketWidth - 1, height() - m_nLabelHeight - 1)));
    }

    SegmentBuffer buffer;
    Segment *pSegments = buffer.Get<Segment>(pBucket->entries.Count());
    if (!pSegments)
        return;
    ComputeSegments(pBucket, pSegments);
    const int nLabelTop = LabelTop();
    for (int32 i = 0; i < pBucket->entries.Count(); ++i) {
        const HistogramEntry &entry = pBucket->entries[i];
        if (entry.value == 0)
            continue;
        const QRect rect(nLeft, nLabelTop - pSegments[i].offset - pSegments[i].height, m_nBucketWidth, pSegments[i].height);
        QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
        if (hHoveredCategory && entry.category == hHoveredCategory) {
            gradient.setColorAt(0, Qt::white);
            gradient.setColorAt(1, Qt::gray);
            painter.setBrush(gradient);
            painter.setPen(Qt::black);
            // One pixel in on the right and bottom, so that the outline stays inside the
            // segment's own rectangle.
            painter.drawRect(rect.adjusted(0, 0, -1, -1));
            painter.setPen(Qt::black);
            painter.setBrush(QBrush(Qt::black, Qt::SolidPattern));
            painter.setFont(m_CategoryFont);
            painter.drawText(rect, Qt::AlignHCenter | Qt::AlignVCenter, Text(entry.category->name));
        } else {
            gradient.setColorAt(0, entry.category->color);
            gradient.setColorAt(1, entry.category->color.darker(150));
            painter.setPen(Qt::NoPen);
            painter.setBrush(gradient);
            painter.drawRect(rect);
        }
    }
}

void CQHistogramWidget::paintEvent(QPaintEvent *)
{
    // The highlight follows the cursor as it is now; no hover state is kept between paints.
    const QPoint cursor = mapFromGlobal(QCursor::pos());
    const bool bInside = rect().contains(cursor);
    const int nHovered = bInside ? BucketIndexAt(cursor.x()) : -1;
    const CategoryHandle_t hHoveredCategory = nHovered >= 0 ? HitTestCategory(m_Buckets[nHovered], cursor.y()) : nullptr;

    QPainter painter(this);
    const int nLabelTop = LabelTop();
    for (int i = 0; i < m_Buckets.Count(); ++i) {
        DrawBucket(painter, i, i == nHovered, i == nHovered ? hHoveredCategory : nullptr);
        painter.setPen(Qt::black);
        painter.setBrush(QBrush(Qt::transparent, Qt::SolidPattern));
        painter.setFont(m_BucketFont);
        painter.drawText(QRect(BucketLeft(i), nLabelTop, m_nBucketWidth, m_nLabelHeight), Qt::AlignHCenter | Qt::AlignTop,
                         Text(m_Buckets[i]->name));
    }
}
