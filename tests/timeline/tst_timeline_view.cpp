// The timeline view: axis and bar geometry checked on rendered pixels, the scene rectangle,
// zoom steps, the cursor's signal rules, the per-tick re-layout, and the ownership of bar items.

#include "gpuprofiler/timeline/timeline_item.h"
#include "gpuprofiler/timeline/timeline_view.h"
#include "tests/support/test_support.h"

#include <QGraphicsLineItem>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QLinearGradient>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>

#include <cmath>
#include <limits>
#include <memory>

namespace {

const QColor kOutline(20, 20, 20, 255);
const QRgb kCursorRed = qRgb(255, 20, 20);
const QRgb kBandGrey = qRgb(130, 130, 130);

// The scene at 1:1 from scene point source.topLeft(), on white.
QImage RenderScene(QGraphicsScene &scene, const QRect &source)
{
    QImage image(source.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    scene.render(&painter, QRectF(image.rect()), QRectF(source), Qt::IgnoreAspectRatio);
    return image;
}

// Dark pixels of column x between rows y0 and y1 (exclusive) of an image.
int DarkPixels(const QImage &image, int x, int y0, int y1)
{
    int nDark = 0;
    for (int y = y0; y < y1; ++y)
        nDark += qGray(image.pixel(x, y)) < 100 ? 1 : 0;
    return nDark;
}

TimelineSample MakeSample(double flStart, double flLength, QRgb rgb = qRgb(200, 100, 50), const char *pszText = "bar")
{
    TimelineSample sample;
    sample.start = flStart;
    sample.length = flLength;
    sample.colour[0] = uint8(qRed(rgb));
    sample.colour[1] = uint8(qGreen(rgb));
    sample.colour[2] = uint8(qBlue(rgb));
    sample.colour[3] = 255;
    qstrncpy(sample.text, pszText, sizeof(sample.text));
    return sample;
}

// A view on its own scene, with the frame range that a loaded frame would set.
struct Timeline
{
    QGraphicsScene scene;
    std::unique_ptr<CQTimelineView> view = std::make_unique<CQTimelineView>(&scene, kOutline);

    // 250 high, so that the drawing keeps its first height of 200 also once the view is shown
    // (SetZoom and RefreshLayout show it).
    Timeline() { view->resize(400, 250); }

    void Load(std::initializer_list<TimelineSample> bars)
    {
        view->ClearSamples();
        view->minStart = 0.0;
        view->maxEnd = 0.0;
        for (const TimelineSample &bar : bars) {
            QVERIFY(view->AddSample(bar));
            view->maxEnd = qMax(view->maxEnd, bar.start + bar.length);
        }
        view->BuildSampleItems();
    }
    QGraphicsRectItem *Bar(int i) const { return view->Sample(i).item; }
};

void SendWheel(CQTimelineView &view, int nDelta)
{
    const QPointF pos(view.viewport()->width() / 2, 10);
    QWheelEvent event(pos, view.viewport()->mapToGlobal(pos), QPoint(), QPoint(0, nDelta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &event);
}

void SendMouse(CQTimelineView &view, QEvent::Type type, int x, Qt::MouseButtons buttons, Qt::MouseButton button = Qt::NoButton)
{
    const QPointF pos(x, 30);
    QMouseEvent event(type, pos, view.viewport()->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &event);
}

// Scene x of the viewport's horizontal centre, as the zoom takes it.
double CentreSceneX(const CQTimelineView &view)
{
    const QRect rect = view.viewport()->rect();
    return view.mapToScene(QPoint(int((rect.left() + rect.right()) * 0.5), 0)).x();
}

} // namespace

class TestTimelineView : public QObject
{
    Q_OBJECT

private slots:
    // Each millisecond has a label and a solid line at x = m x 0.001 x scale and three dotted
    // lines at the quarters. Aliased one-pixel lines light column floor(x).
    void axisLinesOnTheirPixelColumns_data()
    {
        QTest::addColumn<float>("zoom");
        QTest::addColumn<int>("millisecond");
        QTest::addColumn<QList<int>>("solidAndDotted");
        QTest::addColumn<float>("labelY");

        QTest::newRow("10 ms, as built") << 1.0f << 10 << QList<int>{270, 276, 283, 290} << -15.0f;
        QTest::newRow("0 ms, as built") << 1.0f << 0 << QList<int>{0, 6, 13, 20} << -15.0f;
        QTest::newRow("3 ms, zoom 2") << 2.0f << 3 << QList<int>{162, 175, 189, 202} << -20.0f;
        QTest::newRow("1 ms, zoom 0.5") << 0.5f << 1 << QList<int>{13, 16, 20, 23} << -20.0f;
    }
    void axisLinesOnTheirPixelColumns()
    {
        QFETCH(float, zoom);
        QFETCH(int, millisecond);
        QFETCH(QList<int>, solidAndDotted);
        QFETCH(float, labelY);

        Timeline t;
        QCOMPARE(t.view->TickLabelCount(), 151);
        QCOMPARE(t.view->TickLineCount(), 604);
        if (zoom != 1.0f)
            t.view->SetZoom(zoom);

        const QGraphicsTextItem *pLabel = t.view->TickLabel(millisecond);
        QCOMPARE(pLabel->toPlainText(), QStringLiteral("%1ms").arg(millisecond));
        QCOMPARE(pLabel->pos().y(), double(labelY));
        QVERIFY(std::fabs(pLabel->pos().x() - millisecond * 0.001 * 27000.0 * zoom) < 0.01);

        // Rows 0..199 of the scene, from a little left of the tick to its last quarter.
        const int x0 = solidAndDotted.first() - 2 < 0 ? 0 : solidAndDotted.first() - 2;
        const int x1 = solidAndDotted.last() + 2;
        const QImage image = RenderScene(t.scene, QRect(x0, 0, x1 - x0 + 1, 200));
        for (int x = x0; x <= x1; ++x) {
            const int nDark = DarkPixels(image, x - x0, 0, 200);
            if (x == solidAndDotted[0])
                QCOMPARE(nDark, 200);
            else if (solidAndDotted.contains(x))
                QVERIFY2(nDark > 50 && nDark < 100, qPrintable(QStringLiteral("dotted column %1: %2").arg(x).arg(nDark)));
            else
                QVERIFY2(nDark == 0, qPrintable(QStringLiteral("column %1: %2").arg(x).arg(nDark)));
        }
    }

    void axisCoversOneHundredFiftyMilliseconds()
    {
        Timeline t;
        QCOMPARE(t.view->TickLabel(150)->toPlainText(), QStringLiteral("150ms"));
        QVERIFY(std::fabs(t.view->TickLine(600)->line().x1() - 4050.0) < 0.01);
        QVERIFY(std::fabs(t.view->TickLine(603)->line().x1() - 4056.75 - 6.75 * 2) < 0.01);
        // Lines span the drawing's height, 200 until the first re-layout.
        QCOMPARE(t.view->TickLine(603)->line().y2(), 200.0);
    }

    // left = trunc((start - minStart) x scale), top = trunc(0.12 h), width = max(floor(scale x
    // length + 0.5), 1), height = trunc(h - 2 x 0.12 h).
    void barGeometry_data()
    {
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("length");
        QTest::addColumn<float>("zoom");
        QTest::addColumn<QRectF>("expected");

        QTest::newRow("length 0 is one unit") << 0.001 << 0.0 << 1.0f << QRectF(27, 24, 1, 152);
        QTest::newRow("0.1 ms at zoom 1") << 0.0 << 0.0001 << 1.0f << QRectF(0, 24, 3, 152);
        QTest::newRow("10 ms at zoom 1") << 0.0 << 0.010 << 1.0f << QRectF(0, 24, 270, 152);
        QTest::newRow("left truncates") << 0.00999 << 0.001 << 1.0f << QRectF(269, 24, 27, 152);
        QTest::newRow("width rounds half up") << 0.0 << 0.5 / 27000.0 << 1.0f << QRectF(0, 24, 1, 152);
        QTest::newRow("0.1 ms at zoom 10") << 0.002 << 0.0001 << 10.0f << QRectF(540, 24, 27, 152);
        QTest::newRow("negative length") << 0.001 << -0.5 << 1.0f << QRectF(27, 24, 1, 152);
        QTest::newRow("NaN length") << 0.001 << std::nan("") << 1.0f << QRectF(27, 24, 1, 152);
        QTest::newRow("NaN start") << std::nan("") << 0.001 << 1.0f << QRectF(0, 24, 27, 152);
        QTest::newRow("infinite length is clamped")
            << 0.0 << std::numeric_limits<double>::infinity() << 1.0f << QRectF(0, 24, 1e9, 152);
        QTest::newRow("huge start is clamped") << 1e300 << 0.001 << 1.0f << QRectF(1e9, 24, 27, 152);
    }
    void barGeometry()
    {
        QFETCH(double, start);
        QFETCH(double, length);
        QFETCH(float, zoom);
        QFETCH(QRectF, expected);

        Timeline t;
        t.view->SetZoom(zoom);
        t.Load({MakeSample(start, length)});
        QCOMPARE(t.Bar(0)->rect(), expected);
        QCOMPARE(t.view->BarRect(start, length), expected);
    }

    // The bar as drawn: outline pixels in the outline colour all round, the inside a diagonal
    // gradient from the colour made lighter (130) at the top left to darker (190) at the bottom
    // right. Checked against the same rectangle painted directly with that pen and gradient.
    void barPixelsAreTheOutlinedGradientRectangle_data()
    {
        QTest::addColumn<int>("viewHeight");
        QTest::addColumn<double>("length");
        QTest::addColumn<QRgb>("colour");

        QTest::newRow("one unit") << 0 << 0.0 << qRgb(200, 100, 50);
        QTest::newRow("three units") << 0 << 0.0001 << qRgb(55, 255, 128);
        QTest::newRow("270 units") << 0 << 0.010 << qRgb(120, 85, 209);
        QTest::newRow("wider than the image cache takes") << 0 << 0.050 << qRgb(241, 117, 231);
        QTest::newRow("odd height") << 333 << 0.002 << qRgb(97, 128, 218);
        QTest::newRow("short") << 90 << 0.003 << qRgb(164, 193, 117);
    }
    void barPixelsAreTheOutlinedGradientRectangle()
    {
        QFETCH(int, viewHeight);
        QFETCH(double, length);
        QFETCH(QRgb, colour);

        Timeline t;
        if (viewHeight > 0) {
            t.view->show();
            QVERIFY(QTest::qWaitForWindowExposed(t.view.get()));
            t.view->resize(400, viewHeight);
            QCOMPARE(t.view->ViewHeight(), 0.8f * viewHeight);
        }
        // Off the axis lines so that only the bar is in the picture.
        t.view->minStart = 0.0;
        t.Load({MakeSample(0.0001, length, colour)});
        for (int i = 0; i < t.view->TickLineCount(); ++i)
            t.view->TickLine(i)->hide();
        t.view->BackgroundBand()->hide();

        const QRectF rect = t.Bar(0)->rect();
        const QRect source(int(rect.left()) - 3, int(rect.top()) - 3, int(rect.width()) + 7, int(rect.height()) + 7);
        const QImage drawn = RenderScene(t.scene, source);

        QImage expected(source.size(), QImage::Format_RGB32);
        expected.fill(Qt::white);
        {
            const QColor base(colour);
            QLinearGradient gradient(0, 0, 1, 1);
            gradient.setCoordinateMode(QGradient::ObjectBoundingMode);
            gradient.setColorAt(0, base.lighter(130));
            gradient.setColorAt(1, base.darker(190));
            QPen pen(kOutline);
            pen.setWidth(0);
            QPainter painter(&expected);
            painter.translate(-source.topLeft());
            painter.setPen(pen);
            painter.setBrush(gradient);
            painter.drawRect(rect);
        }
        QCOMPARE(drawn, expected);

        // And what that means: outline all round, light top left, dark bottom right.
        const QPoint topLeft = rect.topLeft().toPoint() - source.topLeft();
        const QPoint bottomRight = rect.bottomRight().toPoint() - source.topLeft();
        QCOMPARE(drawn.pixel(topLeft), kOutline.rgb());
        QCOMPARE(drawn.pixel(bottomRight), kOutline.rgb());
        QCOMPARE(drawn.pixel(topLeft - QPoint(1, 1)), qRgb(255, 255, 255));
        QCOMPARE(drawn.pixel(bottomRight + QPoint(1, 1)), qRgb(255, 255, 255));
        if (rect.width() >= 20) {
            const QColor light = drawn.pixelColor(topLeft + QPoint(1, 1));
            const QColor dark = drawn.pixelColor(bottomRight - QPoint(1, 1));
            QVERIFY(light.value() > QColor(colour).value() || light.value() == 255);
            QVERIFY(dark.value() < QColor(colour).value());
        }
    }

    // The whole view as the user sees it, with everything the view does to paint quickly,
    // against the scene painted by the toolkit's own items: equal pixels.
    void viewPaintsWhatTheSceneDescribes()
    {
        Timeline t;
        t.view->resize(700, 200);
        t.view->show();
        QVERIFY(QTest::qWaitForWindowExposed(t.view.get()));
        t.view->RefreshLayout();
        // Five colours over seven widths: bars share colours, widths and heights in every
        // combination, as the view's picture of a bar is shared between equal bars.
        const QRgb palette[] = {qRgb(55, 250, 100), qRgb(200, 60, 180), qRgb(120, 85, 209), qRgb(250, 250, 55),
                                qRgb(97, 128, 218)};
        QList<TimelineSample> bars;
        for (int i = 0; i < 60; ++i)
            bars << MakeSample(i * 0.0002, (i % 7) * 0.00007, palette[i % 5]);
        t.view->ClearSamples();
        for (const TimelineSample &bar : bars)
            t.view->AddSample(bar);
        t.view->maxEnd = 0.013;
        t.view->BuildSampleItems();
        t.view->SetCursorTime(0.0031, false, false);
        QCoreApplication::processEvents(); // the scroll area shows or hides its bars later
        const QImage viewImage = t.view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);

        // The same items, plain, in a second scene shown by a plain view of the same size.
        QGraphicsScene plainScene;
        plainScene.setSceneRect(t.scene.sceneRect());
        for (QGraphicsItem *pItem : t.scene.items(Qt::AscendingOrder)) {
            if (!pItem->isVisible())
                continue;
            QGraphicsItem *pCopy = nullptr;
            if (auto *pRect = qgraphicsitem_cast<QGraphicsRectItem *>(pItem)) {
                pCopy = plainScene.addRect(pRect->rect(), pRect->pen(), pRect->brush());
            } else if (auto *pLine = qgraphicsitem_cast<QGraphicsLineItem *>(pItem)) {
                pCopy = plainScene.addLine(pLine->line(), pLine->pen());
            } else if (auto *pText = qgraphicsitem_cast<QGraphicsTextItem *>(pItem)) {
                pCopy = plainScene.addText(pText->toPlainText(), pText->font());
            }
            QVERIFY(pCopy);
            pCopy->setPos(pItem->pos());
            pCopy->setZValue(pItem->zValue());
        }
        QGraphicsView plainView(&plainScene);
        plainView.resize(t.view->size());
        plainView.horizontalScrollBar()->setValue(t.view->horizontalScrollBar()->value());
        plainView.verticalScrollBar()->setValue(t.view->verticalScrollBar()->value());
        plainView.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plainView));
        plainView.horizontalScrollBar()->setValue(t.view->horizontalScrollBar()->value());
        plainView.verticalScrollBar()->setValue(t.view->verticalScrollBar()->value());
        const QImage plainImage = plainView.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(viewImage.size(), plainImage.size());
        QCOMPARE(viewImage, plainImage);
    }

    void laterBarsAreDrawnOverEarlierOnes()
    {
        Timeline t;
        t.Load({MakeSample(0.001, 0.002, qRgb(250, 250, 55)), MakeSample(0.002, 0.002, qRgb(55, 55, 250)),
                MakeSample(0.0005, 0.0001, qRgb(55, 250, 55))});
        // Second load of the same bars, reusing the items, must keep the order too.
        t.Load({MakeSample(0.001, 0.002, qRgb(250, 250, 55)), MakeSample(0.002, 0.002, qRgb(55, 55, 250))});
        const QImage image = RenderScene(t.scene, QRect(0, 0, 200, 200));
        // x = 60 lies in both bars (27..81 and 54..108): the second one's bluish gradient wins.
        const QColor overlap = image.pixelColor(60, 100);
        QVERIFY2(overlap.blue() > overlap.red(), qPrintable(overlap.name()));
        // The third bar of the first load is gone.
        QCOMPARE(image.pixel(14, 100), kBandGrey);
    }

    // The scene is the frame rounded up to whole 7 ms steps plus 20 units, or the view's width
    // when that is larger; the band covers the frame.
    void sceneRectangle_data()
    {
        QTest::addColumn<double>("maxEnd");
        QTest::addColumn<float>("zoom");
        QTest::addColumn<int>("viewWidth");
        QTest::addColumn<double>("sceneWidth");
        QTest::addColumn<double>("bandWidth");

        QTest::newRow("10 ms frame") << 0.010 << 1.0f << 300 << 398.0 << 270.0;
        QTest::newRow("view wider") << 0.010 << 1.0f << 1500 << 1500.0 << 270.0;
        QTest::newRow("exactly 7 ms") << 0.007 << 1.0f << 100 << 209.0 << 189.0;
        QTest::newRow("16 ms at zoom 2") << 0.016 << 2.0f << 100 << 3 * 378.0 + 20 << 864.0;
        QTest::newRow("no valid end") << -9.999999562023526e+24 << 1.0f << 250 << 250.0 << 0.0;
        QTest::newRow("infinite end") << std::numeric_limits<double>::infinity() << 1.0f << 250 << 1e9 << 1e9;
    }
    void sceneRectangle()
    {
        QFETCH(double, maxEnd);
        QFETCH(float, zoom);
        QFETCH(int, viewWidth);
        QFETCH(double, sceneWidth);
        QFETCH(double, bandWidth);

        Timeline t;
        t.view->resize(viewWidth, 200);
        t.view->SetZoom(zoom);
        t.view->ClearSamples();
        t.view->AddSample(MakeSample(0.0, 0.001));
        t.view->minStart = 0.0;
        t.view->maxEnd = maxEnd;
        t.view->BuildSampleItems();

        const QRectF sceneRect = t.scene.sceneRect();
        QVERIFY2(std::fabs(sceneRect.width() - sceneWidth) < 0.01, qPrintable(QString::number(sceneRect.width(), 'g', 15)));
        QCOMPARE(sceneRect.topLeft(), QPointF(0, 0));
        QCOMPARE(sceneRect.height(), double(t.view->ViewHeight()));
        QVERIFY(t.view->BackgroundBand()->isVisible());
        QVERIFY(std::fabs(t.view->BackgroundBand()->rect().width() - bandWidth) < 0.01);
        QCOMPARE(t.view->BackgroundBand()->rect().height(), double(t.view->ViewHeight()));
    }

    void bandIsGreyUnderTheBars()
    {
        Timeline t;
        t.Load({MakeSample(0.0, 0.0001), MakeSample(0.004, 0.002)});
        const QImage image = RenderScene(t.scene, QRect(0, 0, 200, 200));
        QCOMPARE(image.pixel(50, 10), kBandGrey);  // above the bars, inside the band
        QCOMPARE(image.pixel(50, 190), kBandGrey); // below the bars
        QCOMPARE(image.pixel(170, 10), qRgb(255, 255, 255)); // past the frame's end (162)
    }

    // Each wheel step multiplies the zoom by 1.05 (up) or 0.95 (down, and a zero delta), within
    // 0.01 and 100.
    void wheelZoom_data()
    {
        QTest::addColumn<QList<int>>("deltas");
        QTest::addColumn<float>("zoom");

        QTest::newRow("ten up") << QList<int>(10, 120) << 1.6288946f;
        QTest::newRow("one down") << QList<int>{-120} << 0.95f;
        QTest::newRow("zero delta zooms out") << QList<int>{0} << 0.95f;
        QTest::newRow("small positive delta") << QList<int>{1} << 1.05f;
        QTest::newRow("in stops at 100") << QList<int>(200, 120) << 100.0f;
        QTest::newRow("out stops at 0.01") << QList<int>(200, -120) << 0.01f;
        QTest::newRow("out from the top") << (QList<int>(200, 120) << -120) << 95.0f;
    }
    void wheelZoom()
    {
        QFETCH(QList<int>, deltas);
        QFETCH(float, zoom);

        Timeline t;
        t.view->resize(600, 200);
        for (int nDelta : deltas)
            SendWheel(*t.view, nDelta);
        QVERIFY2(std::fabs(t.view->Zoom() - zoom) < zoom * 1e-5f, qPrintable(QString::number(t.view->Zoom(), 'g', 9)));
        QCOMPARE(t.view->Scale(), t.view->Zoom() * 27000.0f);
    }

    // The time under the view's centre stays there; bars, axis, band and cursor follow.
    void zoomKeepsTheCentreAndRelaysEverything()
    {
        Timeline t;
        t.view->resize(600, 250);
        t.view->show();
        QVERIFY(QTest::qWaitForWindowExposed(t.view.get()));
        t.Load({MakeSample(0.0, 0.004), MakeSample(0.030, 0.002)});
        t.view->SetCursorTime(0.031, false, false);
        t.view->horizontalScrollBar()->setValue(400);
        const double flCentreTime = CentreSceneX(*t.view) / t.view->Scale();

        // The centre pixel is taken as trunc((left + right) / 2) and the toolkit centres on
        // width / 2, so each step may move the time by a pixel or so, never more.
        for (int i = 0; i < 8; ++i) {
            SendWheel(*t.view, 120);
            QVERIFY(std::fabs(CentreSceneX(*t.view) / t.view->Scale() - flCentreTime) < 2.0 * (i + 1) / t.view->Scale());
        }

        const float flScale = t.view->Scale();
        QCOMPARE(t.Bar(1)->rect(), QRectF(int(0.030 * flScale), 24, std::floor(flScale * 0.002 + 0.5), 152));
        QVERIFY(std::fabs(t.view->TickLine(4 * 30)->line().x1() - 0.030 * flScale) < 0.01);
        QCOMPARE(t.view->TickLabel(30)->pos().y(), -20.0);
        QVERIFY(std::fabs(t.view->BackgroundBand()->rect().width() - 0.032 * flScale) < 0.01);
        QVERIFY(std::fabs(t.view->CursorLine()->line().x1() - 0.031 * flScale) < 0.01);
        QVERIFY(std::fabs(t.scene.sceneRect().width() - (5 * 0.007000000216066837 * flScale + 20)) < 0.01);

        // Zooming all the way back out returns to the unit scale.
        for (int i = 0; i < 8; ++i)
            t.view->SetZoom(1.0f);
        QCOMPARE(t.Bar(1)->rect(), QRectF(810, 24, 54, 152));
    }

    void setZoomKeepsToItsLimits_data()
    {
        QTest::addColumn<float>("requested");
        QTest::addColumn<float>("zoom");
        QTest::newRow("zero") << 0.0f << 0.01f;
        QTest::newRow("negative") << -3.0f << 0.01f;
        QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN() << 0.01f;
        QTest::newRow("huge") << 1e30f << 100.0f;
        QTest::newRow("inside") << 3.5f << 3.5f;
    }
    void setZoomKeepsToItsLimits()
    {
        QFETCH(float, requested);
        QFETCH(float, zoom);
        Timeline t;
        t.view->SetZoom(requested);
        QCOMPARE(t.view->Zoom(), zoom);
        QCOMPARE(t.view->Scale(), zoom * 27000.0f);
    }

    // SetCursorTime: the same time does nothing; a time >= 0 shows the line at scale x time
    // from -20 to viewHeight + 20; a negative one hides it and keeps the old time; the signal
    // only when asked, and then also for a negative time.
    void setCursorTime_data()
    {
        QTest::addColumn<QList<double>>("times");
        QTest::addColumn<bool>("notify");
        QTest::addColumn<QList<double>>("signalled");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<double>("cursorTime");

        QTest::newRow("zero at start does nothing") << QList<double>{0.0} << true << QList<double>{} << false << 0.0;
        QTest::newRow("positive shows") << QList<double>{0.002} << true << QList<double>{0.002} << true << 0.002;
        QTest::newRow("silent") << QList<double>{0.002, 0.003} << false << QList<double>{} << true << 0.003;
        QTest::newRow("same time twice") << QList<double>{0.002, 0.002} << true << QList<double>{0.002} << true << 0.002;
        QTest::newRow("negative hides, keeps the time")
            << QList<double>{0.002, -0.001} << true << QList<double>{0.002, -0.001} << false << 0.002;
        QTest::newRow("back to the kept time does nothing")
            << QList<double>{0.002, -0.001, 0.002} << true << QList<double>{0.002, -0.001} << false << 0.002;
        QTest::newRow("NaN is ignored") << QList<double>{0.002, std::nan("")} << true << QList<double>{0.002} << true << 0.002;
        QTest::newRow("zero after a time") << QList<double>{0.002, 0.0} << true << QList<double>{0.002, 0.0} << true << 0.0;
    }
    void setCursorTime()
    {
        QFETCH(QList<double>, times);
        QFETCH(bool, notify);
        QFETCH(QList<double>, signalled);
        QFETCH(bool, visible);
        QFETCH(double, cursorTime);

        Timeline t;
        QSignalSpy spy(t.view.get(), &CQTimelineView::cursorTimeChanged);
        for (double flTime : times)
            t.view->SetCursorTime(flTime, false, notify);
        QList<double> got;
        for (const QList<QVariant> &args : spy)
            got << args.at(0).toDouble();
        QCOMPARE(got, signalled);
        QCOMPARE(t.view->CursorLine()->isVisible(), visible);
        QCOMPARE(t.view->CursorTime(), cursorTime);
        if (visible) {
            const float x = t.view->Scale() * float(cursorTime);
            QCOMPARE(t.view->CursorLine()->line(), QLineF(x, -20, x, 220));
        }
    }

    void cursorIsRedAboveTheBars()
    {
        Timeline t;
        t.Load({MakeSample(0.0, 0.004, qRgb(55, 55, 55))});
        t.view->SetCursorTime(0.002, false, false);
        const QImage image = RenderScene(t.scene, QRect(0, -20, 120, 241));
        for (int y : {0, 20, 100, 195, 239})
            QCOMPARE(image.pixel(54, y), kCursorRed);
        QVERIFY(image.pixel(55, 100) != kCursorRed);
    }

    void ensureVisibleScrollsToTheCursor()
    {
        Timeline t;
        t.view->resize(400, 200);
        t.view->show();
        QVERIFY(QTest::qWaitForWindowExposed(t.view.get()));
        t.Load({MakeSample(0.0, 0.100)});
        t.view->RefreshLayout();
        QCOMPARE(t.view->horizontalScrollBar()->value(), 0);

        t.view->SetCursorTime(0.080, false, false); // x = 2160: not followed
        QCOMPARE(t.view->horizontalScrollBar()->value(), 0);
        t.view->SetCursorTime(0.081, true, false); // x = 2187, with 100 units to spare
        const int nLeft = t.view->horizontalScrollBar()->value();
        QVERIFY(nLeft > 2187 + 100 - t.view->viewport()->width() - 2 && nLeft <= 2187 - 100);
    }

    // A press with any button puts the cursor at the time under it and reports it; a press at
    // the cursor's own time does nothing; left of 0 the line hides and the negative time is
    // still reported. Moving drags it only with focus, a visible line and the left button.
    void mouseRules()
    {
        Timeline t;
        t.view->resize(600, 200);
        t.view->show();
        QVERIFY(QTest::qWaitForWindowExposed(t.view.get()));
        t.Load({MakeSample(0.0, 0.010)});
        // Room left of time 0 to click into.
        t.scene.setSceneRect(-100, 0, 1000, 200);
        t.view->horizontalScrollBar()->setValue(t.view->horizontalScrollBar()->minimum());
        const int nOriginX = t.view->mapFromScene(QPointF(0, 0)).x();
        QCOMPARE(nOriginX, 100);
        const double flScale = t.view->Scale();
        QSignalSpy spy(t.view.get(), &CQTimelineView::cursorTimeChanged);
        auto last = [&]() { return spy.isEmpty() ? std::nan("") : spy.last().at(0).toDouble(); };

        // At the cursor's starting time (0, hidden): nothing.
        SendMouse(*t.view, QEvent::MouseButtonPress, nOriginX, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(spy.count(), 0);
        QVERIFY(!t.view->CursorLine()->isVisible());

        SendMouse(*t.view, QEvent::MouseButtonPress, nOriginX + 54, Qt::RightButton, Qt::RightButton);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(last(), 54 / flScale);
        QVERIFY(t.view->CursorLine()->isVisible());
        QVERIFY(std::fabs(t.view->CursorLine()->line().x1() - 54.0) < 1e-3);
        SendMouse(*t.view, QEvent::MouseButtonRelease, nOriginX + 54, Qt::NoButton, Qt::RightButton);

        SendMouse(*t.view, QEvent::MouseButtonPress, nOriginX + 54, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(spy.count(), 1);

        SendMouse(*t.view, QEvent::MouseButtonPress, nOriginX - 27, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(last(), -27 / flScale);
        QVERIFY(!t.view->CursorLine()->isVisible());
        QCOMPARE(t.view->CursorTime(), 54 / flScale);
        // Negative again: reported again, since it still differs from the kept time.
        SendMouse(*t.view, QEvent::MouseButtonPress, nOriginX - 27, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(spy.count(), 3);

        // Hidden line: dragging does nothing even with focus.
        t.view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(t.view.get()));
        t.view->setFocus();
        QVERIFY(t.view->hasFocus());
        SendMouse(*t.view, QEvent::MouseMove, nOriginX + 81, Qt::LeftButton);
        QCOMPARE(spy.count(), 3);

        SendMouse(*t.view, QEvent::MouseButtonPress, nOriginX + 27, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(spy.count(), 4);
        SendMouse(*t.view, QEvent::MouseMove, nOriginX + 81, Qt::LeftButton);
        QCOMPARE(spy.count(), 5);
        QCOMPARE(last(), 81 / flScale);
        QVERIFY(std::fabs(t.view->CursorLine()->line().x1() - 81.0) < 1e-3);
        // The same spot again: SetCursorTime's equal-time rule.
        SendMouse(*t.view, QEvent::MouseMove, nOriginX + 81, Qt::LeftButton);
        QCOMPARE(spy.count(), 5);
        // Without the left button.
        SendMouse(*t.view, QEvent::MouseMove, nOriginX + 100, Qt::RightButton);
        SendMouse(*t.view, QEvent::MouseMove, nOriginX + 110, Qt::NoButton);
        QCOMPARE(spy.count(), 5);
        // Dragged left of 0: hides and reports.
        SendMouse(*t.view, QEvent::MouseMove, nOriginX - 10, Qt::LeftButton);
        QCOMPARE(spy.count(), 6);
        QVERIFY(!t.view->CursorLine()->isVisible());

        // Without the focus.
        SendMouse(*t.view, QEvent::MouseButtonPress, nOriginX + 27, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(spy.count(), 7);
        t.view->clearFocus();
        QVERIFY(!t.view->hasFocus());
        SendMouse(*t.view, QEvent::MouseMove, nOriginX + 60, Qt::LeftButton);
        QCOMPARE(spy.count(), 7);
        QCOMPARE(t.view->CursorTime(), 27 / flScale);
    }

    // RefreshLayout re-lays out only when the height changed since the previous tick, and not
    // on the first tick; the first tick also scrolls to the left end.
    void refreshLayoutFollowsHeightChanges()
    {
        Timeline t;
        t.view->show();
        QVERIFY(QTest::qWaitForWindowExposed(t.view.get()));
        t.view->resize(500, 300); // viewHeight 240
        QCOMPARE(t.view->ViewHeight(), 240.0f);
        t.Load({MakeSample(0.001, 0.002), MakeSample(0.050, 0.001)});
        t.view->SetCursorTime(0.002, false, false);
        QCOMPARE(t.Bar(0)->rect(), QRectF(27, 28, 54, 182));

        t.view->horizontalScrollBar()->setValue(50);
        t.view->RefreshLayout(); // first tick: remembers the height only
        QCOMPARE(t.view->TickLine(0)->line().y2(), 200.0);
        QCOMPARE(t.view->horizontalScrollBar()->value(), 0);
        t.view->horizontalScrollBar()->setValue(50);
        t.view->RefreshLayout();
        QCOMPARE(t.view->horizontalScrollBar()->value(), 50); // only the first time

        // Same height: a bar moved behind the view's back stays where it is.
        t.Bar(0)->setRect(0, 0, 5, 5);
        t.view->RefreshLayout();
        QCOMPARE(t.Bar(0)->rect(), QRectF(0, 0, 5, 5));

        t.view->resize(500, 150); // viewHeight 120: nothing moves before the tick
        QCOMPARE(t.Bar(0)->rect(), QRectF(0, 0, 5, 5));
        t.view->RefreshLayout();
        QCOMPARE(t.Bar(0)->rect(), QRectF(27, 14, 54, 91));
        QCOMPARE(t.view->TickLine(5)->line(), QLineF(t.view->TickLine(5)->line().x1(), 0, t.view->TickLine(5)->line().x1(), 120));
        QCOMPARE(t.view->TickLabel(1)->pos().y(), -20.0);
        QCOMPARE(t.view->BackgroundBand()->rect().height(), 120.0);
        QCOMPARE(t.view->CursorLine()->line().y2(), 140.0);
        QCOMPARE(t.view->verticalScrollBar()->value(), 0);
        // The scene rectangle waits for the next frame.
        QCOMPARE(t.scene.sceneRect().height(), 240.0);
    }

    // Selecting no frame clears the bars and leaves band, scene rectangle and cursor alone.
    void clearSamplesHidesTheBarsOnly()
    {
        Timeline t;
        t.Load({MakeSample(0.001, 0.002), MakeSample(0.004, 0.001)});
        t.view->SetCursorTime(0.003, false, false);
        const QRectF sceneRect = t.scene.sceneRect();
        const QRectF band = t.view->BackgroundBand()->rect();
        t.view->ClearSamples();
        QCOMPARE(t.view->SampleCount(), 0);
        QCOMPARE(t.scene.sceneRect(), sceneRect);
        QCOMPARE(t.view->BackgroundBand()->rect(), band);
        QVERIFY(t.view->CursorLine()->isVisible());
        const QImage image = RenderScene(t.scene, QRect(0, 0, 200, 200));
        QCOMPARE(image.pixel(40, 100), kBandGrey);
        QCOMPARE(image.pixel(110, 100), kBandGrey);
        QCOMPARE(image.pixel(81, 100), kCursorRed);
    }

    // Bar items are kept for the next frames: repeated loads make no new scene items, a much
    // smaller frame lets the surplus beyond the spare bound go, and nothing hidden is found
    // under the mouse.
    void barItemsAreReused()
    {
        Timeline t;
        auto load = [&](int nCount) {
            t.view->ClearSamples();
            for (int i = 0; i < nCount; ++i)
                t.view->AddSample(MakeSample(i * 1e-5, 1e-5));
            t.view->maxEnd = nCount * 1e-5;
            t.view->BuildSampleItems();
        };
        const qsizetype nFixed = t.scene.items().size(); // axis, band, cursor
        load(100);
        QCOMPARE(t.scene.items().size(), nFixed + 100);
        QGraphicsRectItem *pFirst = t.Bar(0);
        load(100);
        load(50);
        QCOMPARE(t.scene.items().size(), nFixed + 100);
        QCOMPARE(t.Bar(0), pFirst);
        // Where bar 60 was, past the band of the 50-bar frame: nothing.
        QVERIFY(t.scene.items(QPointF(60 * 1e-5 * 27000 + 0.5, 100)).isEmpty());
        load(CQTimelineView::kMaxSpareBars + 300);
        load(10);
        QCOMPARE(t.scene.items().size(), nFixed + 10 + CQTimelineView::kMaxSpareBars);
        for (int i = 0; i < 10; ++i)
            QCOMPARE(static_cast<CQTimelineItem *>(t.Bar(i))->SampleIndex(), i);
    }

    // The scene may go before the view (it is the window's); the view then leaves it alone.
    void sceneGoingFirst()
    {
        auto pScene = std::make_unique<QGraphicsScene>();
        CQTimelineView view(pScene.get(), kOutline);
        view.AddSample(MakeSample(0.0, 0.001));
        view.BuildSampleItems();
        QVERIFY(view.Sample(0).item);
        pScene.reset();
        QVERIFY(!view.Sample(0).item);
        view.ClearSamples();
        view.AddSample(MakeSample(0.0, 0.001));
        view.BuildSampleItems();
        view.SetZoom(2.0f);
        view.SetCursorTime(0.001, true, true);
        view.RefreshLayout();
    }

    // A bar deleted by someone else is forgotten by the view and made anew when needed.
    void barDeletedElsewhere()
    {
        Timeline t;
        t.Load({MakeSample(0.0, 0.001), MakeSample(0.001, 0.001)});
        delete t.Bar(1);
        QVERIFY(!t.Bar(1));
        t.view->SetZoom(2.0f);
        t.Load({MakeSample(0.0, 0.001), MakeSample(0.001, 0.001)});
        QVERIFY(t.Bar(1));
        QCOMPARE(t.Bar(1)->rect(), QRectF(54, 24, 54, 152));
    }

    // Samples live in g_pMemAlloc storage: nothing stays behind, and a failing allocation drops
    // the sample without harm.
    void storageIsReleasedAndFailureIsSafe()
    {
        AllocationSnapshot snapshot;
        {
            // Without storage for the axis the view has none, and still works.
            g_pMemAlloc->SetAllocationLimit(16);
            QGraphicsScene scene;
            CQTimelineView view(&scene, kOutline);
            const bool bAdded = view.AddSample(MakeSample(0.0, 1e-5));
            g_pMemAlloc->SetAllocationLimit(0);
            QVERIFY(!bAdded);
            QCOMPARE(view.TickLabelCount(), 0);
            QCOMPARE(view.TickLineCount(), 0);
            view.BuildSampleItems();
            view.SetZoom(2.0f);
            view.RefreshLayout();
        }
        GPUPROF_COMPARE_NO_LEAKS(snapshot);
        {
            Timeline t;
            for (int k = 0; k < 3; ++k) {
                t.view->ClearSamples();
                for (int i = 0; i < 500; ++i)
                    QVERIFY(t.view->AddSample(MakeSample(i * 1e-5, 1e-5)));
                t.view->BuildSampleItems();
            }
            t.view->ClearSamples();
            g_pMemAlloc->SetAllocationLimit(16);
            const bool bAdded = t.view->AddSample(MakeSample(0.0, 1e-5));
            const bool bReserved = t.view->ReserveSamples(1 << 20);
            g_pMemAlloc->SetAllocationLimit(0);
            QVERIFY(bAdded); // the storage of the earlier frames is kept
            QVERIFY(!bReserved);
            t.view->BuildSampleItems();
            QCOMPARE(t.view->SampleCount(), 1);
        }
        GPUPROF_COMPARE_NO_LEAKS(snapshot);
    }
};

GPUPROF_TEST_MAIN(TestTimelineView)
#include "tst_timeline_view.moc"
