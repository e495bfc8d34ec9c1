#pragma once
// A small stacked-bar chart: a row of buckets from left to right, each a stack of coloured
// segments, one per category with a value in that bucket. Bars and fonts follow the widget's
// size; the bucket and segment under the mouse are highlighted and explained in a tooltip; a
// left click on a segment is reported by OnBucketCategoryClicked.

#include "growable_array.h"

#include <QColor>
#include <QFont>
#include <QWidget>

struct HistogramCategory;

struct HistogramEntry
{
    HistogramCategory *category;
    int32 value;
};

struct HistogramBucket
{
    char *description; // owned; may be null (shown as empty)
    char *name; // owned; may be null
    int32 total; // always the sum of the entries' values
    // In the order in which each category first received a value here; the first is drawn at
    // the bottom.
    GrowableArray<HistogramEntry> entries;
};

struct HistogramCategory
{
    char *name; // owned; short, drawn inside segments
    char *description;
    QColor color;
};

// Handles stay valid for the life of the widget: buckets and categories are never removed.
using BucketHandle_t = HistogramBucket *;
using CategoryHandle_t = HistogramCategory *;

class CQHistogramWidget : public QWidget
{
    Q_OBJECT

public:
    CQHistogramWidget();
    ~CQHistogramWidget() override;

    BucketHandle_t AddBucket(const char *pszName, const char *pszDescription);
    CategoryHandle_t AddCategory(const char *pszName, const char *pszDescription);
    void SetBucketValue(BucketHandle_t hBucket, CategoryHandle_t hCategory, int32 nValue);

    // The k-th category's colour: pale, well apart from its neighbours.
    static QColor CategoryColor(uint32 nIndex);
    // The largest pixel size from 16 down to 7 at which every text is narrower than nLimit with
    // the widget's font; 6 when none fits, 16 without texts.
    int FitFontPixelSize(const char *const *ppTexts, int nTexts, int nLimit) const;

    int BucketCount() const { return m_Buckets.Count(); }
    BucketHandle_t Bucket(int nIndex) const { return m_Buckets[nIndex]; }
    int CategoryCount() const { return m_Categories.Count(); }
    CategoryHandle_t Category(int nIndex) const { return m_Categories[nIndex]; }
    int BucketWidth() const { return m_nBucketWidth; }
    float ValueScale() const { return m_flValueScale; }
    const QFont &BucketFont() const { return m_BucketFont; }
    const QFont &CategoryFont() const { return m_CategoryFont; }

    // Geometry, in widget pixels.
    int LabelTop() const { return height() - m_nLabelHeight; }
    int BucketLeft(int nIndex) const { return m_nBucketSpacing + nIndex * (m_nBucketWidth + m_nBucketSpacing); }
    // Index of the bucket under x (the gap right of a bar belongs to it), or -1.
    int BucketIndexAt(int nX) const;
    // The category whose segment of hBucket covers y, or null.
    CategoryHandle_t HitTestCategory(BucketHandle_t hBucket, int nY) const;
    // Rectangle of the segment of hCategory in bucket nIndex; empty when it has none drawn.
    QRect SegmentRect(int nIndex, CategoryHandle_t hCategory) const;
    // The tooltip's HTML for a point; empty when no bucket is there.
    QString ToolTipTextAt(const QPoint &pos) const;

    static QString EscapeAngleBrackets(const QString &text);

signals:
    void OnBucketCategoryClicked(BucketHandle_t hBucket, CategoryHandle_t hCategory);

protected:
    bool event(QEvent *pEvent) override;
    void mouseReleaseEvent(QMouseEvent *pEvent) override;
    void mouseMoveEvent(QMouseEvent *pEvent) override;
    void enterEvent(QEnterEvent *pEvent) override;
    void leaveEvent(QEvent *pEvent) override;
    void paintEvent(QPaintEvent *pEvent) override;
    void resizeEvent(QResizeEvent *pEvent) override;

private:
    struct Segment
    {
        int offset; // from the label line upward
        int height;
    };

    void RecalcLayout();
    // Heights and offsets of hBucket's entries, in entry order, into pSegments (which must hold
    // the bucket's entry count).
    void ComputeSegments(const HistogramBucket *pBucket, Segment *pSegments) const;
    int SegmentIndexAt(const HistogramBucket *pBucket, const Segment *pSegments, int nY) const;
    void DrawBucket(QPainter &painter, int nIndex, bool bHovered, CategoryHandle_t hHoveredCategory) const;
    int FitFontForTexts(bool bBuckets, int nLimit) const;

    GrowableArray<BucketHandle_t> m_Buckets;
    GrowableArray<CategoryHandle_t> m_Categories;
    int m_nMinBucketWidth = 10;
    int m_nMaxBucketWidth = 160;
    int m_nBucketWidth = 10;
    int m_nLabelHeight = 20;
    int m_nBucketSpacing = 2;
    float m_flValueScale = 2.0f;
    uint32 m_nNextColorIndex = 0;
    QFont m_BucketFont;
    QFont m_CategoryFont;

    // Fitting a font measures every text at up to ten sizes, and the layout is recalculated on
    // every value change (28 of them per buffer-list update). The result depends only on the
    // texts, the width limit and the widget's font, so it is kept until one of those changes.
    struct FontFit
    {
        int textCount = -1;
        int limit = -1;
        QFont base;
        int pixelSize = 0;
    };
    mutable FontFit m_BucketFontFit;
    mutable FontFit m_CategoryFontFit;
};
