#pragma once
// The timeline: the selected frame's samples as bars on a horizontal millisecond axis, with a
// red cursor line that the user places by clicking or dragging.
//
// The view shows a scene that it does not own. The axis (labels and lines), the background
// band and the cursor line are added once and stay in the scene for the view's whole life; the
// bar items belong to the view, which keeps them between frames (hidden when unused) and
// deletes them itself.
//
// Only bars that can be seen get an item: a bar whose rectangle lies inside a later bar's is
// painted over completely (every bar is opaque and later bars are drawn over earlier ones), so
// it is left out, pixel for pixel the same picture. At the usual zoom a frame of 100,000 samples
// shows a few thousand bars at most, and only those cost items, layout and painting. The view switches the scene to NoIndex: its items move with every zoom
// step and frame, which a BSP tree would have to follow item by item.
//
// Scene coordinates: x is the time in seconds times `scale`, time 0 at x = 0; y grows downwards,
// the labels sit above y = 0 and the bars and lines between 0 and `viewHeight`.

#include "bedrock_api.h"
#include "growable_array.h"
#include "timeline_sample.h"

#include <QBrush>
#include <QCache>
#include <QColor>
#include <QGraphicsView>
#include <QHash>
#include <QImage>
#include <QPen>
#include <QPointer>

class CQTimelineItem;
struct GpuSampleRecord;
class QGraphicsLineItem;
class QGraphicsRectItem;
class QGraphicsScene;
class QGraphicsTextItem;

class CQTimelineView : public QGraphicsView
{
    Q_OBJECT

public:
    // Zoom limits of the mouse wheel.
    static constexpr float kMinZoom = 0.01f;
    static constexpr float kMaxZoom = 100.0f;
    // The axis always covers 0 to this many milliseconds, whatever the frame's length.
    static constexpr int32 kTickCount = 150;
    // Hidden bar items kept for the next frames beyond the ones the current frame uses. Making
    // and deleting items is what a frame load would otherwise spend its time on; the bound
    // keeps one huge frame from pinning its items for the window's whole life.
    static constexpr int32 kMaxSpareBars = 4096;
    // Every scene coordinate derived from a target's times is clamped to this magnitude, so
    // that infinite, huge or NaN times give far-away bars instead of integer overflow.
    static constexpr int32 kMaxSceneCoordinate = 1000000000;

    CQTimelineView(QGraphicsScene *pScene, const QColor &outlineColour, QWidget *pParent = nullptr);
    ~CQTimelineView() override;

    // Hides every bar and empties the samples.
    void ClearSamples();
    // Empties the samples but leaves their bars up, for a BuildSampleItems that follows at once
    // and hides whatever bars it does not reuse.
    void ClearSamplesForReload();
    // Appends one sample (start, length and colour filled by the caller; its item is
    // ignored). Returns false, and drops the sample, when its storage cannot be had.
    bool AddSample(const TimelineSample &sample);
    // Room for nCount samples ahead of a run of AddSample calls; false when it cannot be had.
    bool ReserveSamples(int32 nCount);
    // Where the bars' tooltip texts come from: record i describes sample i, its start measured
    // from flOrigin. Read whenever a bar gets an item, so the records stay valid until the next
    // ClearSamples or load. Without them the bars have no tooltip.
    void SetSampleTexts(const GpuSampleRecord *pRecords, int32 nCount, double flOrigin);
    // Gives every sample that can be seen its bar and fits the scene rectangle to the frame.
    void BuildSampleItems();
    // Moves the cursor line to flTime (seconds); a negative time hides it and keeps the old
    // time. With bNotify the time is reported through cursorTimeChanged, negative or not. A
    // time equal to the current one does nothing at all, and NaN is ignored.
    void SetCursorTime(double flTime, bool bEnsureVisible, bool bNotify);
    // Called at every timer tick: re-lays out the drawing when the height changed since the
    // previous tick.
    void RefreshLayout();
    // Sets the zoom factor (scene units per second = 27000 x zoom), keeping the time under the
    // view's centre where it is.
    void SetZoom(float flZoom);

    // Bar rectangle of a sample with start flStart and length flLength (seconds) for the
    // current scale and height: integer edges, at least one unit wide.
    QRectF BarRect(double flStart, double flLength) const;

    const QColor &OutlineColour() const { return outlineColour; }
    float Zoom() const { return zoom; }
    float Scale() const { return scale; }
    float ViewHeight() const { return viewHeight; }
    double CursorTime() const { return cursorTime; }
    int32 SampleCount() const { return samples.Count(); }
    // Bars that have an item at the current zoom.
    int32 VisibleBarCount() const { return activeBars; }
    const TimelineSample &Sample(int32 nIdx) const { return samples[nIdx]; }
    QGraphicsRectItem *BackgroundBand() const { return backgroundBand; }
    QGraphicsLineItem *CursorLine() const { return cursorLine; }
    int32 TickLabelCount() const { return tickLabels.Count(); }
    QGraphicsTextItem *TickLabel(int32 nIdx) const { return tickLabels[nIdx]; }
    int32 TickLineCount() const { return tickLines.Count(); }
    QGraphicsLineItem *TickLine(int32 nIdx) const { return tickLines[nIdx]; }

    // Range of the loaded frame in seconds, written while a frame is loaded.
    double minStart = 0.0;
    double maxEnd = 0.0;

signals:
    void cursorTimeChanged(double flTime);

protected:
    void mousePressEvent(QMouseEvent *pEvent) override;
    void mouseReleaseEvent(QMouseEvent *pEvent) override;
    void mouseMoveEvent(QMouseEvent *pEvent) override;
    void wheelEvent(QWheelEvent *pEvent) override;
    void resizeEvent(QResizeEvent *pEvent) override;

private:
    friend class CQTimelineItem;

    void LayoutSamples();
    // Finds the bars that can be seen and gives them items, in sample order.
    void AssignBars();
    void BarSpan(double flStart, double flLength, int32 *pnLeft, int32 *pnWidth) const;
    void LayoutAxis();
    void UpdateSceneRect();
    void BuildAxis();
    void PlaceCursorLine();
    void ShowCursorAt(double flTime);
    void SetBackgroundBand();
    const QBrush &BarBrush(const uint8 colour[4]);
    CQTimelineItem *TakeBarItem(int32 nIdx);
    void TrimSpareBars(int32 nKeep);
    void ForgetItem(CQTimelineItem *pItem);
    const QImage *BarImage(const CQTimelineItem *pItem, const QPainter *pPainter, QPoint *pOrigin);
    struct BarPicture;
    const BarPicture *MakeBarPicture(const CQTimelineItem *pItem, int nWidth, int nHeight, quint64 nKey);

    // Null once the scene is gone; every operation then leaves the scene alone.
    QPointer<QGraphicsScene> timelineScene;
    float viewHeight = 200.0f;
    float lastHeight = -1.0f;
    QColor outlineColour;
    QPen outlinePen;
    float zoom = 1.0f;
    float baseScale = 27000.0f;
    float scale = 27000.0f;
    GrowableArray<TimelineSample> samples;
    QGraphicsRectItem *backgroundBand = nullptr;
    GrowableArray<QGraphicsTextItem *> tickLabels;
    GrowableArray<QGraphicsLineItem *> tickLines;
    int32 tickCount = kTickCount;
    QGraphicsLineItem *cursorLine = nullptr;
    double cursorTime = 0.0;
    bool scrolledOnce = false;

    // Bar items by slot: slot k shows the k-th bar that can be seen, in sample order, and the
    // slots after the last are hidden and wait for the next frame or zoom. An item keeps its
    // slot for its whole life, so items stack in slot order and later bars are drawn over
    // earlier ones (only a bar made again after someone else deleted it stacks on top).
    GrowableArray<CQTimelineItem *> barItems;
    // Items of barItems that are shown (or were given a sample) since the last ClearSamples.
    int32 activeBars = 0;
    // Scratch of AssignBars: the samples that can be seen, in sample order.
    GrowableArray<int32> visibleSamples;
    // The records that the tooltips are written from, and the loads they belong to.
    const GpuSampleRecord *textRecords = nullptr;
    int32 textRecordCount = 0;
    double textOrigin = 0.0;
    uint64 textLoad = 0;
    // Bars left up by ClearSamplesForReload until the next build.
    int32 staleBars = 0;
    // Gradient brush per base colour (RGB): names repeat within and across frames, and items
    // that share a brush compare equal at once when they are given it again.
    QHash<uint32, QBrush> barBrushes;
    static constexpr int32 kMaxCachedBrushes = 4096;

    // Bars of one colour and size look the same wherever they are, so each kind is drawn once
    // into an image that the items then copy (CQTimelineItem::paint). A gradient fill of more
    // than about a hundred rows is split by the toolkit over its painting thread pool, and the
    // hand-over costs more than the fill itself; a copy of an image is a plain blit. Keyed by
    // colour, width and height; cost in KiB.
    struct BarPicture
    {
        QImage image;
        QPoint offset; // of the image's top left corner from the bar's
    };
    QCache<quint64, BarPicture> barImages;
    static constexpr int kBarImageBudgetKiB = 16 * 1024;
    // Larger bars are few and are drawn directly.
    static constexpr int kMaxBarImageSide = 1024;
    // Room around the rectangle for its outline.
    static constexpr int kBarImageMargin = 2;
};
