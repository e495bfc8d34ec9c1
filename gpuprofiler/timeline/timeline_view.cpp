#include "timeline_view.h"

#include "frame_record.h"
#include "timeline_frame.h"
#include "timeline_item.h"

#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Truncation toward zero into the clamped scene range; NaN lands on 0.
int32 ToSceneUnits(double flValue)
{
    if (std::isnan(flValue))
        return 0;
    if (flValue > double(CQTimelineView::kMaxSceneCoordinate))
        return CQTimelineView::kMaxSceneCoordinate;
    if (flValue < -double(CQTimelineView::kMaxSceneCoordinate))
        return -CQTimelineView::kMaxSceneCoordinate;
    return int32(flValue);
}

// The same clamp for coordinates that stay fractional (cursor and scene width).
double ClampScene(double flValue)
{
    if (std::isnan(flValue))
        return 0.0;
    const double flMax = double(CQTimelineView::kMaxSceneCoordinate);
    return flValue > flMax ? flMax : (flValue < -flMax ? -flMax : flValue);
}

// The frame's end rounded up to whole 7 ms steps: 0.007 and its reciprocal as the single
// precision values they have always been.
constexpr double kSceneStepSeconds = 0.007000000216066837;
constexpr double kSceneStepsPerSecond = 142.8571384476157;
constexpr double kSceneMargin = 20.0;

// Pens one device pixel wide at any scale, as the toolkit's pens used to be by default. They
// draw the same pixels as a one-unit pen here, and spare the scene from stroking every axis line
// to learn its bounds on each paint.
QPen HairlinePen(const QColor &colour, Qt::PenStyle style = Qt::SolidLine)
{
    QPen pen(colour);
    pen.setWidth(0);
    pen.setStyle(style);
    return pen;
}

// Cursor line overhang above and below the drawing, and the label offset above the axis.
constexpr float kCursorOverhang = 20.0f;
constexpr float kLabelOffsetBuilt = -15.0f;
constexpr float kLabelOffsetLaidOut = -20.0f;

} // namespace

CQTimelineView::CQTimelineView(QGraphicsScene *pScene, const QColor &colour, QWidget *pParent)
    : QGraphicsView(pScene, pParent),
      timelineScene(pScene),
      outlineColour(colour),
      outlinePen(HairlinePen(colour)),
      barImages(kBarImageBudgetKiB)
{
    setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    // Every item of this scene sets the pen and brush it draws with and leaves nothing else
    // behind, so saving and restoring the painter around each of them is wasted work.
    setOptimizationFlag(QGraphicsView::DontSavePainterState);
    if (!pScene)
        return;

    // Every bar moves on each zoom step and every frame replaces the bars, so a BSP tree would
    // be rebuilt all the time; a linear pass over a few thousand items culls faster than the
    // tree can be kept up to date.
    pScene->setItemIndexMethod(QGraphicsScene::NoIndex);

    const QColor bandColour(130, 130, 130, 255);
    backgroundBand = pScene->addRect(QRectF(0.0, 0.0, 0.0, viewHeight), HairlinePen(bandColour), QBrush(bandColour));
    backgroundBand->hide();

    cursorLine = pScene->addLine(QLineF(0.0, 0.0, 0.0, 0.0), HairlinePen(QColor(255, 20, 20, 255)));
    cursorLine->hide();
    cursorLine->setZValue(1.0); // above the bars

    BuildAxis();
}

CQTimelineView::~CQTimelineView()
{
    // Latest first: the scene drops an item from the end of its lists the fastest. When the
    // scene went first it has deleted the items already and they have cleared their slots.
    for (int32 i = barItems.Count() - 1; i >= 0; --i) {
        CQTimelineItem *pItem = barItems[i];
        if (!pItem)
            continue;
        pItem->view = nullptr;
        delete pItem;
    }
}

void CQTimelineView::BuildAxis()
{
    tickCount = kTickCount;
    const int32 nTicks = tickCount + 1;
    // Room for the whole axis first, so that the label and line of tick m are always at
    // positions m and 4m..4m+3. Without it there is no axis at all.
    if (!tickLabels.EnsureCapacity(nTicks) || !tickLines.EnsureCapacity(4 * nTicks))
        return;

    const QPen solidPen = HairlinePen(Qt::black);
    const QPen dottedPen = HairlinePen(Qt::black, Qt::DotLine);
    const float flQuarter = 0.00025f * scale;
    for (int32 m = 0; m < nTicks; ++m) {
        float x = float(m) * 0.001f * scale;

        QGraphicsTextItem *pLabel = timelineScene->addText(QStringLiteral("%1ms").arg(m));
        pLabel->setPos(x, kLabelOffsetBuilt);
        tickLabels.AddToTail(pLabel);

        tickLines.AddToTail(timelineScene->addLine(QLineF(x, 0.0, x, viewHeight), solidPen));
        for (int k = 0; k < 3; ++k) {
            x += flQuarter;
            tickLines.AddToTail(timelineScene->addLine(QLineF(x, 0.0, x, viewHeight), dottedPen));
        }
    }
}

void CQTimelineView::LayoutAxis()
{
    if (!timelineScene)
        return;
    const float flQuarter = 0.00025f * scale;
    for (int32 m = 0; m < tickLabels.Count(); ++m) {
        float x = float(m) * 0.001f * scale;
        tickLabels[m]->setPos(x, kLabelOffsetLaidOut);
        tickLines[4 * m]->setLine(x, 0.0, x, viewHeight);
        for (int32 k = 1; k < 4; ++k) {
            x += flQuarter;
            tickLines[4 * m + k]->setLine(x, 0.0, x, viewHeight);
        }
    }
}

void CQTimelineView::BarSpan(double flStart, double flLength, int32 *pnLeft, int32 *pnWidth) const
{
    *pnLeft = ToSceneUnits((flStart - minStart) * scale);
    const double flWidth = std::floor(scale * flLength + 0.5);
    // Every bar is at least one unit wide, so that very short samples stay visible and keep
    // their tooltip (NaN and negative lengths included).
    *pnWidth = flWidth >= 1.0 ? ToSceneUnits(flWidth) : 1;
}

QRectF CQTimelineView::BarRect(double flStart, double flLength) const
{
    int32 nLeft, nWidth;
    BarSpan(flStart, flLength, &nLeft, &nWidth);
    const float flInset = viewHeight * 0.12f;
    const int32 nTop = int32(flInset);
    const int32 nHeight = int32(viewHeight - 2.0f * flInset);
    return QRectF(QRect(nLeft, nTop, nWidth, nHeight));
}

void CQTimelineView::ClearSamples()
{
    if (timelineScene) {
        for (int32 i = 0; i < std::max(activeBars, staleBars) && i < barItems.Count(); ++i) {
            if (barItems[i])
                barItems[i]->hide();
        }
    }
    activeBars = 0;
    staleBars = 0;
    samples.RemoveAll();
    SetSampleTexts(nullptr, 0, 0.0);
}

void CQTimelineView::ClearSamplesForReload()
{
    staleBars = std::max(staleBars, activeBars);
    activeBars = 0;
    samples.RemoveAll();
    SetSampleTexts(nullptr, 0, 0.0);
}

void CQTimelineView::SetSampleTexts(const GpuSampleRecord *pRecords, int32 nCount, double flOrigin)
{
    textRecords = pRecords;
    textRecordCount = pRecords ? nCount : 0;
    textOrigin = flOrigin;
    // Tooltips written for earlier records are out of date, even where the index is the same.
    ++textLoad;
}

bool CQTimelineView::ReserveSamples(int32 nCount)
{
    return samples.EnsureCapacity(nCount);
}

bool CQTimelineView::AddSample(const TimelineSample &sample)
{
    const int32 nIdx = samples.AddToTail(sample);
    if (nIdx < 0)
        return false;
    samples[nIdx].item = nullptr;
    return true;
}

const QBrush &CQTimelineView::BarBrush(const uint8 colour[4])
{
    const uint32 nKey = (uint32(colour[0]) << 16) | (uint32(colour[1]) << 8) | uint32(colour[2]);
    const auto it = barBrushes.constFind(nKey);
    if (it != barBrushes.constEnd())
        return *it;
    // Names are the target's, so the number of colours has no natural limit; starting over
    // keeps the cache bounded at the price of rebuilding a few brushes.
    if (barBrushes.size() >= kMaxCachedBrushes)
        barBrushes.clear();

    // Diagonal from the top left to the bottom right corner of each bar, whatever its size.
    const QColor base(colour[0], colour[1], colour[2], 255);
    QLinearGradient gradient(0.0, 0.0, 1.0, 1.0);
    gradient.setCoordinateMode(QGradient::ObjectBoundingMode);
    gradient.setColorAt(0.0, base.lighter(130));
    gradient.setColorAt(1.0, base.darker(190));
    return *barBrushes.insert(nKey, QBrush(gradient));
}

CQTimelineItem *CQTimelineView::TakeBarItem(int32 nSlot)
{
    if (nSlot < barItems.Count() && barItems[nSlot])
        return barItems[nSlot];

    CQTimelineItem *pItem = new CQTimelineItem(this, nSlot);
    if (nSlot < barItems.Count()) {
        barItems[nSlot] = pItem;
    } else if (barItems.AddToTail(pItem) < 0) {
        pItem->view = nullptr;
        delete pItem;
        return nullptr;
    }
    timelineScene->addItem(pItem);
    return pItem;
}

void CQTimelineView::TrimSpareBars(int32 nKeep)
{
    if (barItems.Count() <= nKeep)
        return;
    for (int32 i = barItems.Count() - 1; i >= nKeep; --i) {
        CQTimelineItem *pItem = barItems[i];
        if (pItem) {
            pItem->view = nullptr;
            delete pItem;
        }
    }
    barItems.SetCount(nKeep);
}

void CQTimelineView::AssignBars()
{
    if (!timelineScene)
        return;
    const int32 nCount = samples.Count();
    // Backwards through the samples, remembering the last few bars kept: a bar inside one of
    // them is covered by a later bar. Bars lying end to end, several to a scene unit, are all
    // covered by the last of their unit this way; a bar covered only by a bar further on keeps
    // its item, which costs time but never changes the picture.
    constexpr int kRecent = 4;
    int64 recentLeft[kRecent] = {}, recentRight[kRecent] = {};
    int nRecent = 0;
    int32 nVisible = 0;
    const bool bIndexed = visibleSamples.SetCount(nCount);
    for (int32 i = nCount - 1; i >= 0; --i) {
        TimelineSample &sample = samples[i];
        sample.item = nullptr;
        int32 nLeft, nWidth;
        BarSpan(sample.start, sample.length, &nLeft, &nWidth);
        const int64 nRight = int64(nLeft) + nWidth;
        bool bCovered = false;
        for (int k = 0; k < nRecent && !bCovered; ++k)
            bCovered = recentLeft[k] <= nLeft && nRight <= recentRight[k];
        if (bCovered && bIndexed)
            continue;
        for (int k = std::min(nRecent, kRecent - 1); k > 0; --k) {
            recentLeft[k] = recentLeft[k - 1];
            recentRight[k] = recentRight[k - 1];
        }
        recentLeft[0] = nLeft;
        recentRight[0] = nRight;
        nRecent = std::min(nRecent + 1, kRecent);
        if (bIndexed)
            visibleSamples[nCount - 1 - nVisible] = i;
        ++nVisible;
    }
    const int32 *pVisible = bIndexed ? visibleSamples.Base() + (nCount - nVisible) : nullptr;

    int32 nBuilt = 0;
    for (; nBuilt < nVisible; ++nBuilt) {
        const int32 i = pVisible ? pVisible[nBuilt] : nBuilt;
        TimelineSample &sample = samples[i];
        CQTimelineItem *pItem = TakeBarItem(nBuilt);
        if (!pItem)
            break; // out of storage: item k must sit at slot k, so the rest get no bar
        sample.item = pItem;
        pItem->setRect(BarRect(sample.start, sample.length));
        const uint32 nColour = (uint32(sample.colour[0]) << 16) | (uint32(sample.colour[1]) << 8) | uint32(sample.colour[2]);
        if (pItem->pen() != outlinePen)
            pItem->setPen(outlinePen);
        if (pItem->baseColour != nColour || pItem->sampleIndex < 0 || pItem->brush().style() == Qt::NoBrush) {
            pItem->setBrush(BarBrush(sample.colour));
            pItem->baseColour = nColour;
        }
        if (pItem->sampleIndex != i || pItem->textLoad != textLoad) {
            QString sText;
            if (i < textRecordCount) {
                const GpuSampleRecord &record = textRecords[i];
                char text[TimelineSample::kTextSize];
                FormatTimelineSampleText(text, sizeof(text), uint32(i), record.Name(), (record.GpuStartTime() - textOrigin) * 1000.0,
                                         record.GpuTime() * 1000.0);
                sText = QString::fromLatin1(text);
            }
            pItem->setToolTip(sText);
            pItem->sampleIndex = i;
            pItem->textLoad = textLoad;
        }
        pItem->show();
    }
    // Bars of an earlier build that this one did not reuse.
    for (int32 k = nBuilt; k < std::max(activeBars, staleBars) && k < barItems.Count(); ++k) {
        if (barItems[k])
            barItems[k]->hide();
    }
    activeBars = nBuilt;
    staleBars = 0;
}

void CQTimelineView::BuildSampleItems()
{
    if (!timelineScene)
        return;
    AssignBars();
    TrimSpareBars(activeBars > std::numeric_limits<int32>::max() - kMaxSpareBars ? activeBars : activeBars + kMaxSpareBars);
    UpdateSceneRect();
}

void CQTimelineView::LayoutSamples()
{
    // Which bars can be seen changes with the scale.
    AssignBars();
}

void CQTimelineView::SetBackgroundBand()
{
    if (!timelineScene)
        return;
    const double flWidth = ClampScene(double(scale) * maxEnd);
    backgroundBand->setRect(0.0, 0.0, flWidth > 0.0 ? flWidth : 0.0, viewHeight);
    backgroundBand->show();
}

void CQTimelineView::UpdateSceneRect()
{
    if (!timelineScene)
        return;
    SetBackgroundBand();
    double flWidth = ClampScene(std::ceil(maxEnd * kSceneStepsPerSecond) * kSceneStepSeconds * scale + kSceneMargin);
    if (double(width()) > flWidth)
        flWidth = width();
    timelineScene->setSceneRect(0.0, 0.0, flWidth, viewHeight);
}

void CQTimelineView::PlaceCursorLine()
{
    if (!timelineScene)
        return;
    // Any time beyond this lies past the clamped scene range at every zoom; bounding it first
    // keeps the single precision conversion in range.
    constexpr double kMaxTime = CQTimelineView::kMaxSceneCoordinate;
    const double flTime = cursorTime > kMaxTime ? kMaxTime : (cursorTime < -kMaxTime ? -kMaxTime : cursorTime);
    const double x = ClampScene(scale * float(flTime));
    cursorLine->setLine(x, -kCursorOverhang, x, viewHeight + kCursorOverhang);
}

void CQTimelineView::ShowCursorAt(double flTime)
{
    cursorTime = flTime;
    PlaceCursorLine();
    if (timelineScene)
        cursorLine->show();
}

void CQTimelineView::SetCursorTime(double flTime, bool bEnsureVisible, bool bNotify)
{
    if (std::isnan(flTime) || flTime == cursorTime)
        return;
    if (flTime >= 0.0) {
        ShowCursorAt(flTime);
        if (bEnsureVisible && timelineScene)
            ensureVisible(QRectF(cursorLine->line().x1(), 0.0, 1.0, 1.0), 100, 50);
    } else if (timelineScene) {
        cursorLine->hide();
    }
    if (bNotify)
        emit cursorTimeChanged(flTime);
}

void CQTimelineView::SetZoom(float flZoom)
{
    // The wheel keeps to these limits; a caller's out-of-range or NaN factor would otherwise
    // collapse the scale to zero or blow it up.
    if (!(flZoom >= kMinZoom))
        flZoom = kMinZoom;
    if (flZoom > kMaxZoom)
        flZoom = kMaxZoom;

    const QRect viewportRect = viewport()->rect();
    const int nCentreX = int((viewportRect.left() + viewportRect.right()) * 0.5);
    const float flCentreTime = float(mapToScene(QPoint(nCentreX, 0)).x()) / scale;

    zoom = flZoom;
    scale = flZoom * baseScale;
    const double flCentreX = scale * flCentreTime;
    centerOn(flCentreX, 0.0);

    LayoutSamples();
    LayoutAxis();
    UpdateSceneRect();
    // Zooming in widens the scene; the first centring was still held to the old, narrower
    // scroll range, so centre once more now that the range fits the new scale.
    centerOn(flCentreX, 0.0);

    PlaceCursorLine();
    show();
}

void CQTimelineView::RefreshLayout()
{
    if (lastHeight > 0.0f && lastHeight != viewHeight) {
        LayoutSamples();
        LayoutAxis();
        SetBackgroundBand();
        PlaceCursorLine();
        verticalScrollBar()->setValue(0);
    }
    lastHeight = viewHeight;
    show();
    if (!scrolledOnce) {
        horizontalScrollBar()->setValue(0);
        scrolledOnce = true;
    }
}

void CQTimelineView::ForgetItem(CQTimelineItem *pItem)
{
    const int32 nSlot = pItem->slot;
    if (nSlot >= 0 && nSlot < barItems.Count() && barItems[nSlot] == pItem)
        barItems[nSlot] = nullptr;
    const int32 nIdx = pItem->sampleIndex;
    if (nIdx >= 0 && nIdx < samples.Count() && samples[nIdx].item == pItem)
        samples[nIdx].item = nullptr;
}

const QImage *CQTimelineView::BarImage(const CQTimelineItem *pItem, const QPainter *pPainter, QPoint *pOrigin)
{
    // A copy lands on exactly the pixels that drawing the rectangle would touch only when the
    // painter moves by whole pixels, draws aliased and opaque, and keeps 8 bits per channel.
    const QTransform transform = pPainter->combinedTransform();
    if (transform.type() > QTransform::TxTranslate || transform.dx() != std::floor(transform.dx()) ||
        transform.dy() != std::floor(transform.dy()) || pPainter->opacity() != 1.0 || pPainter->testRenderHint(QPainter::Antialiasing) ||
        !pPainter->paintEngine() || pPainter->paintEngine()->type() != QPaintEngine::Raster || pPainter->device()->depth() < 24)
        return nullptr;

    const QRectF rect = pItem->rect();
    const int nWidth = int(rect.width());
    const int nHeight = int(rect.height());
    if (nWidth <= 0 || nHeight <= 0 || nWidth > kMaxBarImageSide || nHeight > kMaxBarImageSide || rect.left() != std::floor(rect.left()) ||
        rect.top() != std::floor(rect.top()))
        return nullptr;

    // A bar one unit wide is all outline, whatever its colour: its bars share one picture.
    const quint64 nColourKey = nWidth < 2 ? 0 : quint64(pItem->baseColour);
    const quint64 nKey = (nColourKey << 40) | (quint64(nWidth) << 20) | quint64(nHeight);
    const BarPicture *pPicture = barImages.object(nKey);
    if (!pPicture) {
        pPicture = MakeBarPicture(pItem, nWidth, nHeight, nKey);
        if (!pPicture)
            return nullptr;
    }
    *pOrigin = QPoint(int(rect.left()), int(rect.top())) + pPicture->offset;
    return &pPicture->image;
}

const CQTimelineView::BarPicture *CQTimelineView::MakeBarPicture(const CQTimelineItem *pItem, int nWidth, int nHeight, quint64 nKey)
{
    const int nImageWidth = nWidth + 2 * kBarImageMargin;
    const int nImageHeight = nHeight + 2 * kBarImageMargin;
    QImage image(nImageWidth, nImageHeight, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return nullptr;
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setPen(pItem->pen());
        painter.setBrush(pItem->brush());
        // In strips short enough for the toolkit to fill on this thread; the clip changes
        // which pixels a pass touches, never their colour.
        constexpr int kRowsPerPass = 64;
        const QRectF barRect(kBarImageMargin, kBarImageMargin, nWidth, nHeight);
        for (int y = 0; y < nImageHeight; y += kRowsPerPass) {
            painter.setClipRect(QRect(0, y, nImageWidth, kRowsPerPass));
            painter.drawRect(barRect);
        }
    }

    // An opaque pen and brush cover a solid rectangle; cut to it, the picture is copied row by
    // row instead of blended pixel by pixel. Anything else keeps its transparent border.
    int nLeft = nImageWidth, nTop = nImageHeight, nRight = -1, nBottom = -1;
    for (int y = 0; y < nImageHeight; ++y) {
        const QRgb *pRow = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < nImageWidth; ++x) {
            if (qAlpha(pRow[x]) != 0) {
                nLeft = qMin(nLeft, x);
                nRight = qMax(nRight, x);
                nTop = qMin(nTop, y);
                nBottom = qMax(nBottom, y);
            }
        }
    }
    auto *pPicture = new BarPicture;
    pPicture->offset = QPoint(-kBarImageMargin, -kBarImageMargin);
    if (nRight >= nLeft) {
        bool bSolid = true;
        for (int y = nTop; y <= nBottom && bSolid; ++y) {
            const QRgb *pRow = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            for (int x = nLeft; x <= nRight; ++x) {
                if (qAlpha(pRow[x]) != 255) {
                    bSolid = false;
                    break;
                }
            }
        }
        if (bSolid) {
            image = image.copy(nLeft, nTop, nRight - nLeft + 1, nBottom - nTop + 1).convertToFormat(QImage::Format_RGB32);
            pPicture->offset += QPoint(nLeft, nTop);
        }
    }
    pPicture->image = std::move(image);
    if (pPicture->image.isNull()) {
        delete pPicture;
        return nullptr;
    }
    const qsizetype nCost = qMax<qsizetype>(1, pPicture->image.sizeInBytes() / 1024);
    if (!barImages.insert(nKey, pPicture, nCost)) // larger than the whole budget; deleted
        return nullptr;
    return barImages.object(nKey);
}

void CQTimelineView::mousePressEvent(QMouseEvent *pEvent)
{
    const double flTime = mapToScene(QPoint(pEvent->position().toPoint().x(), 0)).x() / scale;
    if (flTime == cursorTime)
        return;
    if (flTime >= 0.0)
        ShowCursorAt(flTime);
    else if (timelineScene)
        cursorLine->hide();
    // Reported also when negative: the window then finds no sample under it.
    emit cursorTimeChanged(flTime);
}

void CQTimelineView::mouseReleaseEvent(QMouseEvent *) {}

void CQTimelineView::mouseMoveEvent(QMouseEvent *pEvent)
{
    // Dragging moves the cursor only while the user works in the timeline itself.
    if (!timelineScene || !hasFocus() || !cursorLine->isVisible() || !(pEvent->buttons() & Qt::LeftButton))
        return;
    const double flTime = mapToScene(QPoint(pEvent->position().toPoint().x(), 0)).x() / scale;
    SetCursorTime(flTime, false, true);
}

void CQTimelineView::wheelEvent(QWheelEvent *pEvent)
{
    // The wheel zooms and never scrolls.
    float flZoom = pEvent->angleDelta().y() > 0 ? zoom * 1.05f : zoom * 0.95f;
    if (flZoom > kMaxZoom)
        flZoom = kMaxZoom;
    if (flZoom < kMinZoom)
        flZoom = kMinZoom;
    SetZoom(flZoom);
}

void CQTimelineView::resizeEvent(QResizeEvent *pEvent)
{
    // The scroll area hands the viewport's resize events to this handler as well; the drawing
    // follows the view's own height, whichever of the two this one is. The drawing itself is
    // re-laid out at the next RefreshLayout, once per tick however many resizes came in between.
    viewHeight = 0.8f * float(height());
    // The toolkit's own handler only fits the scroll ranges to the new viewport (it re-lays out
    // nothing of ours); without it a narrowed view could no longer scroll to the frame's end.
    QGraphicsView::resizeEvent(pEvent);
}
