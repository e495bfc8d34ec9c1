// The timeline: axis and bar geometry on rendered pixels, what the view paints against the
// toolkit's own items, the scene rectangle, zoom, the cursor's signal rules, the per-tick
// re-layout, frame loading (origin, hairlines, tooltips, colours), hostile input and ownership.

#include "str_tools.h"
#include "test_frame.h"
#include "test_support.h"
#include "timeline_frame.h"
#include "timeline_item.h"
#include "timeline_view.h"

#include <QGraphicsLineItem>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QPainter>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QToolTip>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

namespace {

const QRgb kCursorRed = qRgb(255, 20, 20);
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

struct Bar
{
    const char *name;
    double start; // seconds; for frames the gpuStartTime
    double length;
};

// The scene at 1:1 from scene point source.topLeft(), on white.
QImage RenderScene(QGraphicsScene &scene, const QRect &source)
{
    QImage image(source.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    scene.render(&painter, QRectF(image.rect()), QRectF(source));
    return image;
}

QImage Grab(QGraphicsView &view)
{
    QCoreApplication::processEvents(); // the scroll area shows or hides its bars later
    return view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// A view on its own scene, 250 high so that the drawing keeps its first height of 200 also
// once the view is shown (SetZoom and RefreshLayout show it).
struct Timeline
{
    QGraphicsScene scene;
    std::unique_ptr<CQTimelineView> view = std::make_unique<CQTimelineView>(&scene, QColor(20, 20, 20));
    CTestFrame frame;
    double origin = -1.0;

    explicit Timeline(int nWidth = 400, int nHeight = 250) { view->resize(nWidth, nHeight); }
    void Show()
    {
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    }
    void Load(const QList<Bar> &bars)
    {
        frame.samples.RemoveAll();
        for (const Bar &bar : bars)
            frame.Add(bar.name, bar.start, bar.length);
        LoadFrameOnTimeline(view.get(), &frame.frame, &origin);
    }
    QGraphicsRectItem *Item(int i) const { return view->Sample(i).item; }
};

void SendWheel(CQTimelineView &view, int nDelta)
{
    const QPointF pos(view.viewport()->width() / 2, 10);
    QWheelEvent event(pos, view.viewport()->mapToGlobal(pos), QPoint(), QPoint(0, nDelta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(view.viewport(), &event);
}

void SendMouse(CQTimelineView &view, QEvent::Type type, int x, Qt::MouseButtons buttons)
{
    const QPointF pos(x, 30);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::MouseButton(int(buttons));
    QMouseEvent event(type, pos, view.viewport()->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &event);
}

// Time under the viewport's centre pixel, as the zoom takes it.
double CentreTime(const CQTimelineView &view)
{
    const QRect rect = view.viewport()->rect();
    return view.mapToScene(QPoint(int((rect.left() + rect.right()) * 0.5), 0)).x() / view.Scale();
}

} // namespace

class TestTimeline : public QObject
{
    Q_OBJECT

private slots:
    // The tooltip text is put together without printf; it must read exactly as the printf
    // format writes it, for every value a target can send and with the same cut at 95.
    void tooltipTextMatchesItsFormat()
    {
        QRandomGenerator random(7);
        const double inf = std::numeric_limits<double>::infinity();
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double tiny = std::numeric_limits<double>::denorm_min();
        const double special[] = {0.0,    -0.0, 0.0005, 0.0015, 0.0025, 1.25, 0.5, 999.9995, -1.0005,
                                  1e-300, 1e15, 1e300,  -1e300, inf,    -inf, nan, -nan,     tiny};
        const std::string names[] = {"Shadow", "", std::string(80, 'x'), std::string(300, 'y'), "#Main/Opaque/Draw 12", "%s%n", "Ombr\xe9"};
        for (int n = 0; n < 5000; ++n) {
            const double flStart = n < 18 * 18 ? special[n % 18] : (random.generateDouble() - 0.3) * std::pow(10.0, random.bounded(-8, 12));
            const double flLength = n < 18 * 18 ? special[n / 18] : random.generateDouble() * std::pow(10.0, random.bounded(-8, 6));
            const std::string &sName = names[size_t(n) % 7];
            const uint32 nIndex = n % 3 ? uint32(n) : 4294967295u;
            char expected[96];
            StrFormat(expected, sizeof(expected), "[%u], \"%.*s\", Start: %3.3fms, Len: %3.3fms", nIndex, int(sName.size()), sName.data(),
                      flStart, flLength);
            char actual[96];
            std::memset(actual, 'Z', sizeof(actual));
            FormatTimelineSampleText(actual, sizeof(actual), nIndex, sName, flStart, flLength);
            QCOMPARE(QByteArray(actual), QByteArray(expected));
        }

        // A bar's tooltip, shown by the toolkit's help event over it: its true start (also before
        // sample 0), its name's bytes as Latin-1.
        Timeline t;
        t.Show();
        t.Load({{"S0", 10.0, 0.001}, {"S1", 10.001, 0.001}, {"Early", 9.998, 0.0123456}, {"Ombr\xe9", 10.003, 0.001}});
        // The earlier one is a hairline at the origin, too thin to point at.
        QCOMPARE(t.Item(2)->toolTip(), QStringLiteral(R"([2], "Early", Start: -2.000ms, Len: 12.346ms)"));
        const QString text = QString::fromUtf8(R"([3], "Ombré", Start: 3.000ms, Len: 1.000ms)");
        QCOMPARE(t.Item(3)->toolTip(), text);
        const QPoint pos = t.view->mapFromScene(t.Item(3)->rect().center());
        QHelpEvent event(QEvent::ToolTip, pos, t.view->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(t.view->viewport(), &event);
        QCOMPARE(QToolTip::text(), text);
        QToolTip::hideText();
    }

    // Tick m: label "m ms" and a solid line at x = m x 0.001 x scale, dotted lines at the three
    // quarters. Aliased one-pixel lines light column floor(x); dotted ones every third pixel.
    void axis_data()
    {
        // clang-format off
        QTest::addColumn<float>("zoom");
        QTest::addColumn<int>("tick");
        QTest::addColumn<QList<int>>("columns");
        QTest::addColumn<double>("labelY");
        QTest::newRow("10 ms, as built") << 1.0f << 10 << QList<int>{270, 276, 283, 290} << -15.0;
        QTest::newRow("150 ms, as built") << 1.0f << 150 << QList<int>{4050, 4056, 4063, 4070} << -15.0;
        QTest::newRow("3 ms at zoom 2") << 2.0f << 3 << QList<int>{162, 175, 189, 202} << -20.0;
        QTest::newRow("1 ms at zoom 0.5") << 0.5f << 1 << QList<int>{13, 16, 20, 23} << -20.0;
        // clang-format on
    }
    void axis()
    {
        QFETCH(float, zoom);
        QFETCH(int, tick);
        QFETCH(QList<int>, columns);
        QFETCH(double, labelY);
        Timeline t;
        QCOMPARE(t.view->TickLabelCount(), 151);
        QCOMPARE(t.view->TickLineCount(), 604);
        if (zoom != 1.0f)
            t.view->SetZoom(zoom);
        QCOMPARE(t.view->TickLabel(tick)->toPlainText(), QStringLiteral("%1ms").arg(tick));
        QCOMPARE(t.view->TickLabel(tick)->pos(), QPointF(t.view->TickLine(4 * tick)->line().x1(), labelY));

        const int x0 = columns.first() - 2, x1 = columns.last() + 2;
        const QImage image = RenderScene(t.scene, QRect(x0, 0, x1 - x0 + 1, 200));
        for (int x = x0; x <= x1; ++x) {
            int nDark = 0;
            for (int y = 0; y < 200; ++y)
                nDark += qGray(image.pixel(x - x0, y)) < 100;
            const int nExpected = x == columns[0] ? 200 : columns.contains(x) ? 67 : 0;
            QVERIFY2(nDark == nExpected, qPrintable(QStringLiteral("column %1: %2").arg(x).arg(nDark)));
        }
    }

    // Bars that a later bar covers completely get no item, and the view paints bars from shared
    // pictures without the painter's save and restore. What it shows must still be every sample
    // drawn as a plain item in sample order, with an outline and a diagonal gradient of its own
    // colour, over the axis and under the cursor: few bars in every size and colour combination
    // and thousands of them, many to a pixel, long ones under short ones and the other way round.
    void paintsEverySampleAsAPlainItem_data()
    {
        // clang-format off
        QTest::addColumn<int>("height");
        QTest::addColumn<float>("zoom");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("maxItems");
        QTest::newRow("200 high") << 200 << 1.0f << 60 << 60;
        QTest::newRow("odd height, zoomed in") << 333 << 3.7f << 60 << 60;
        QTest::newRow("low, bars wider than a picture") << 120 << 60.0f << 60 << 60;
        QTest::newRow("thousands at zoom 1") << 200 << 1.0f << 4000 << 1200;
        QTest::newRow("thousands zoomed out") << 200 << 0.3f << 4000 << 400;
        QTest::newRow("thousands zoomed in") << 200 << 9.0f << 4000 << 4000;
        // clang-format on
    }
    void paintsEverySampleAsAPlainItem()
    {
        QFETCH(int, height);
        QFETCH(float, zoom);
        QFETCH(int, count);
        QFETCH(int, maxItems);
        Timeline t(700, height);
        t.Show();
        t.view->RefreshLayout();
        t.view->resize(700, height + 1); // one re-layout of the axis at the next tick
        t.view->RefreshLayout();
        t.view->SetZoom(zoom);
        // A first frame whose items the second one reuses, in their old stacking order.
        t.Load({{"a", 0.0, 0.003}, {"Shadow", 0.001, 0.002}, {"B", 0.002, 0.002}});
        // Five names over seven lengths: bars share colours and sizes in every combination.
        static const char *const names[] = {"Shadow", "Opaque", "#Main/Post/Bloom", "a", "Sky"};
        t.frame.samples.RemoveAll();
        double flStart = 1.0;
        for (int i = 0; i < count; ++i) {
            if (count < 100) {
                t.frame.Add(names[i % 5], 1.0 + i * 0.0002 / zoom, (i % 7) * 0.00007 / zoom * (i == 30 ? 400 : 1));
                continue;
            }
            // Mostly end to end and shorter than a unit, now and then a long one over the next.
            const double flLength = i % 97 == 0 ? 4e-4 : (i % 13 == 0 ? 6e-5 : 3e-6 * (1 + i % 5));
            t.frame.Add(names[i % 5], i % 31 == 0 ? flStart - 2e-5 : flStart, flLength);
            flStart += 3e-6 * (1 + i % 4);
        }
        LoadFrameOnTimeline(t.view.get(), &t.frame.frame, &t.origin);
        QVERIFY2(t.view->VisibleBarCount() <= maxItems, qPrintable(QString::number(t.view->VisibleBarCount())));
        t.view->SetCursorTime(0.0031 / zoom, false, false);
        t.view->horizontalScrollBar()->setValue(0);
        const QImage drawn = Grab(*t.view);

        QGraphicsScene plainScene;
        plainScene.setSceneRect(t.scene.sceneRect());
        for (QGraphicsItem *pItem : t.scene.items(Qt::AscendingOrder)) {
            QGraphicsItem *pCopy = nullptr;
            if (auto *pLine = qgraphicsitem_cast<QGraphicsLineItem *>(pItem))
                pCopy = plainScene.addLine(pLine->line(), pLine->pen());
            else if (auto *pText = qgraphicsitem_cast<QGraphicsTextItem *>(pItem))
                pCopy = plainScene.addText(pText->toPlainText(), pText->font());
            else if (pItem == t.view->BackgroundBand())
                pCopy = plainScene.addRect(t.view->BackgroundBand()->rect(), t.view->BackgroundBand()->pen(),
                                           t.view->BackgroundBand()->brush());
            else
                continue; // a bar: drawn from its sample below
            pCopy->setPos(pItem->pos());
            pCopy->setZValue(pItem->zValue());
            pCopy->setVisible(pItem->isVisible());
        }
        QPen pen(QColor(20, 20, 20));
        pen.setWidth(0);
        for (int32 i = 0; i < t.view->SampleCount(); ++i) {
            const TimelineSample &sample = t.view->Sample(i);
            const QColor base(sample.colour[0], sample.colour[1], sample.colour[2]);
            QLinearGradient gradient(0.0, 0.0, 1.0, 1.0);
            gradient.setCoordinateMode(QGradient::ObjectBoundingMode);
            gradient.setColorAt(0.0, base.lighter(130));
            gradient.setColorAt(1.0, base.darker(190));
            plainScene.addRect(t.view->BarRect(sample.start, sample.length), pen, QBrush(gradient));
        }
        const QRect region(0, 0, int(std::min(t.scene.sceneRect().width(), 5000.0)), 200);
        QCOMPARE(RenderScene(t.scene, region), RenderScene(plainScene, region));
        QGraphicsView plainView(&plainScene);
        plainView.resize(t.view->size());
        plainView.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plainView));
        QCoreApplication::processEvents();
        plainView.horizontalScrollBar()->setValue(t.view->horizontalScrollBar()->value());
        plainView.verticalScrollBar()->setValue(t.view->verticalScrollBar()->value());
        QCOMPARE(drawn, Grab(plainView));
    }

    // Width: the frame's end rounded up to whole 7 ms steps in scene units, plus 20, or the
    // view's width when larger. The band spans the frame.
    void sceneRectangle_data()
    {
        // clang-format off
        QTest::addColumn<double>("end");
        QTest::addColumn<float>("zoom");
        QTest::addColumn<int>("viewWidth");
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("band");
        QTest::newRow("10 ms frame") << 0.010 << 1.0f << 300 << 398.0 << 270.0;
        QTest::newRow("view wider") << 0.010 << 1.0f << 1500 << 1500.0 << 270.0;
        QTest::newRow("exactly 7 ms") << 0.007 << 1.0f << 100 << 209.0 << 189.0;
        QTest::newRow("infinite end") << kInf << 1.0f << 250 << 1e9 << 1e9;
        QTest::newRow("negative end") << -0.5 << 1.0f << 250 << 250.0 << 0.0;
        // clang-format on
    }
    void sceneRectangle()
    {
        QFETCH(double, end);
        QFETCH(float, zoom);
        QFETCH(int, viewWidth);
        QFETCH(double, width);
        QFETCH(double, band);
        Timeline t(viewWidth, 250);
        t.view->SetZoom(zoom);
        t.Load({{"a", 0.0, end}});
        QVERIFY2(std::fabs(t.scene.sceneRect().width() - width) < 0.01, qPrintable(QString::number(t.scene.sceneRect().width())));
        QCOMPARE(t.scene.sceneRect().height(), 200.0);
        QVERIFY(std::fabs(t.view->BackgroundBand()->rect().width() - band) < 0.01);
        QVERIFY(t.view->BackgroundBand()->isVisible());
    }

    // A wheel step multiplies the zoom by 1.05 (up) or 0.95 (down or zero), kept within 0.01
    // and 100; SetZoom keeps to the same limits.
    void zoomSteps_data()
    {
        // clang-format off
        QTest::addColumn<QList<int>>("deltas");
        QTest::addColumn<float>("set");
        QTest::addColumn<float>("zoom");
        QTest::newRow("ten up") << QList<int>(10, 120) << 0.0f << 1.6288946f;
        QTest::newRow("zero delta zooms out") << QList<int>{0} << 0.0f << 0.95f;
        QTest::newRow("in stops at 100") << QList<int>(200, 120) << 0.0f << 100.0f;
        QTest::newRow("out stops at 0.01") << QList<int>(200, -120) << 0.0f << 0.01f;
        QTest::newRow("out from the top") << (QList<int>(200, 120) << -1) << 0.0f << 95.0f;
        QTest::newRow("set NaN") << QList<int>{} << float(kNaN) << 0.01f;
        QTest::newRow("set huge") << QList<int>{} << 1e30f << 100.0f;
        // clang-format on
    }
    void zoomSteps()
    {
        QFETCH(QList<int>, deltas);
        QFETCH(float, set);
        QFETCH(float, zoom);
        Timeline t;
        if (set != 0.0f)
            t.view->SetZoom(set);
        for (int nDelta : deltas)
            SendWheel(*t.view, nDelta);
        QVERIFY2(std::fabs(t.view->Zoom() - zoom) < zoom * 1e-5f, qPrintable(QString::number(t.view->Zoom(), 'g', 9)));
        QCOMPARE(t.view->Scale(), t.view->Zoom() * 27000.0f);
    }

    // Same time: nothing at all. Time >= 0: the line from (x, -20) to (x, h + 20). Negative:
    // hidden, the old time kept. The signal only when asked, negative times included.
    void setCursorTime_data()
    {
        // clang-format off
        QTest::addColumn<QList<double>>("times");
        QTest::addColumn<bool>("notify");
        QTest::addColumn<QList<double>>("signalled");
        QTest::addColumn<double>("cursorTime");
        QTest::addColumn<bool>("shown");
        QTest::newRow("zero at start") << QList<double>{0.0} << true << QList<double>{} << 0.0 << false;
        QTest::newRow("positive") << QList<double>{0.002} << true << QList<double>{0.002} << 0.002 << true;
        QTest::newRow("silent") << QList<double>{0.002, 0.003} << false << QList<double>{} << 0.003 << true;
        QTest::newRow("same twice") << QList<double>{0.002, 0.002} << true << QList<double>{0.002} << 0.002 << true;
        QTest::newRow("negative") << QList<double>{0.002, -0.001} << true << QList<double>{0.002, -0.001} << 0.002 << false;
        QTest::newRow("kept time again") << QList<double>{0.002, -0.001, 0.002} << true << QList<double>{0.002, -0.001}
                                         << 0.002 << false;
        QTest::newRow("NaN ignored") << QList<double>{0.002, kNaN} << true << QList<double>{0.002} << 0.002 << true;
        QTest::newRow("huge") << QList<double>{1e300} << false << QList<double>{} << 1e300 << true;
        // clang-format on
    }
    void setCursorTime()
    {
        QFETCH(QList<double>, times);
        QFETCH(bool, notify);
        QFETCH(QList<double>, signalled);
        QFETCH(double, cursorTime);
        QFETCH(bool, shown);
        Timeline t;
        QSignalSpy spy(t.view.get(), &CQTimelineView::cursorTimeChanged);
        for (double flTime : times)
            t.view->SetCursorTime(flTime, true, notify);
        QList<double> got;
        for (const QList<QVariant> &args : spy)
            got << args.at(0).toDouble();
        QCOMPARE(got, signalled);
        QCOMPARE(t.view->CursorLine()->isVisible(), shown);
        QCOMPARE(t.view->CursorTime(), cursorTime);
        if (shown) {
            const double x = cursorTime > 1e6 ? 1e9 : double(t.view->Scale() * float(cursorTime));
            QCOMPARE(t.view->CursorLine()->line(), QLineF(x, -20, x, 220));
        }
    }

    // Any button puts the cursor at the time under it and reports it; at the cursor's own time
    // nothing; left of 0 the line hides and the negative time is still reported. Moves drag it
    // only with the focus, a visible line and the left button. The line is red, above the bars,
    // and followed when asked.
    void mouseRulesAndCursorLine()
    {
        Timeline t(600, 250);
        t.Show();
        t.Load({{"a", 0.0, 0.010}});
        t.scene.setSceneRect(-100, 0, 1000, 200); // room left of time 0
        t.view->horizontalScrollBar()->setValue(-100);
        const int x0 = t.view->mapFromScene(QPointF(0, 0)).x();
        QCOMPARE(x0, 100);
        QSignalSpy spy(t.view.get(), &CQTimelineView::cursorTimeChanged);
        auto expectSignals = [&](int nCount, double flLast) {
            QCOMPARE(spy.count(), nCount);
            if (nCount)
                QCOMPARE(spy.last().at(0).toDouble(), flLast / 27000.0);
        };

        SendMouse(*t.view, QEvent::MouseButtonPress, x0, Qt::LeftButton); // time 0: the cursor's own
        expectSignals(0, 0);
        SendMouse(*t.view, QEvent::MouseButtonPress, x0 + 54, Qt::RightButton);
        expectSignals(1, 54);
        QVERIFY(t.view->CursorLine()->isVisible());
        SendMouse(*t.view, QEvent::MouseButtonPress, x0 + 54, Qt::LeftButton);
        expectSignals(1, 54);
        SendMouse(*t.view, QEvent::MouseButtonPress, x0 - 27, Qt::LeftButton);
        expectSignals(2, -27);
        QVERIFY(!t.view->CursorLine()->isVisible());
        QCOMPARE(t.view->CursorTime(), 54 / 27000.0);
        SendMouse(*t.view, QEvent::MouseButtonPress, x0 - 27, Qt::LeftButton); // still differs
        expectSignals(3, -27);

        t.view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(t.view.get()));
        t.view->setFocus();
        SendMouse(*t.view, QEvent::MouseMove, x0 + 81, Qt::LeftButton); // line hidden
        expectSignals(3, -27);
        SendMouse(*t.view, QEvent::MouseButtonPress, x0 + 27, Qt::LeftButton);
        SendMouse(*t.view, QEvent::MouseMove, x0 + 81, Qt::LeftButton);
        expectSignals(5, 81);
        QVERIFY(std::fabs(t.view->CursorLine()->line().x1() - 81) < 1e-3);
        SendMouse(*t.view, QEvent::MouseMove, x0 + 81, Qt::LeftButton); // same time
        SendMouse(*t.view, QEvent::MouseMove, x0 + 100, Qt::RightButton);
        SendMouse(*t.view, QEvent::MouseMove, x0 + 110, Qt::NoButton);
        SendMouse(*t.view, QEvent::MouseButtonRelease, x0 + 120, Qt::NoButton);
        expectSignals(5, 81);
        SendMouse(*t.view, QEvent::MouseMove, x0 - 10, Qt::LeftButton);
        expectSignals(6, -10);
        QVERIFY(!t.view->CursorLine()->isVisible());

        SendMouse(*t.view, QEvent::MouseButtonPress, x0 + 27, Qt::LeftButton);
        t.view->clearFocus();
        SendMouse(*t.view, QEvent::MouseMove, x0 + 60, Qt::LeftButton);
        expectSignals(7, 27);

        // The cursor is red, above the bars, and followed only when asked.
        Timeline red(400, 200);
        red.Show();
        red.Load({{"a", 0.0, 0.100}});
        red.view->RefreshLayout();
        red.view->SetCursorTime(0.002, false, false);
        const QImage image = RenderScene(red.scene, QRect(0, -20, 120, 200));
        for (int y : {0, 20, 100, 199})
            QCOMPARE(image.pixel(54, y), kCursorRed);
        QVERIFY(image.pixel(55, 100) != kCursorRed);

        QCOMPARE(red.view->horizontalScrollBar()->value(), 0);
        red.view->SetCursorTime(0.080, false, false); // x = 2160, not followed
        QCOMPARE(red.view->horizontalScrollBar()->value(), 0);
        red.view->SetCursorTime(0.081, true, false); // x = 2187, kept 100 units from the edge
        const int nLeft = red.view->horizontalScrollBar()->value();
        QVERIFY(nLeft >= 2187 + 100 - red.view->viewport()->width() && nLeft <= 2187 - 100);
    }

    // Re-layout only when the height changed since the previous tick, never on the first;
    // the first tick also scrolls to the left end. The scene rectangle waits for a frame. Zoom
    // around the centre.
    void refreshLayout()
    {
        Timeline t(500, 300); // drawing 240 high
        t.Show();
        t.Load({{"a", 0.0, 0.001}, {"b", 0.001, 0.002}, {"c", 0.050, 0.001}});
        t.view->SetCursorTime(0.002, false, false);
        QCOMPARE(t.Item(1)->rect(), QRectF(27, 28, 54, 182));
        t.view->horizontalScrollBar()->setValue(50);
        t.view->RefreshLayout();
        QCOMPARE(t.view->horizontalScrollBar()->value(), 0);
        QCOMPARE(t.view->TickLine(0)->line().y2(), 200.0);
        t.view->horizontalScrollBar()->setValue(50);
        t.Item(1)->setRect(0, 0, 5, 5); // moved behind the view's back
        t.view->RefreshLayout();
        QCOMPARE(t.view->horizontalScrollBar()->value(), 50);
        QCOMPARE(t.Item(1)->rect(), QRectF(0, 0, 5, 5));

        t.view->resize(500, 150); // drawing 120 high, laid out at the next tick
        QCOMPARE(t.Item(1)->rect(), QRectF(0, 0, 5, 5));
        t.view->RefreshLayout();
        QCOMPARE(t.Item(1)->rect(), QRectF(27, 14, 54, 91));
        QCOMPARE(t.view->TickLine(5)->line().y2(), 120.0);
        QCOMPARE(t.view->TickLabel(1)->pos().y(), -20.0);
        QCOMPARE(t.view->BackgroundBand()->rect().height(), 120.0);
        QCOMPARE(t.view->CursorLine()->line().y2(), 140.0);
        QCOMPARE(t.scene.sceneRect().height(), 240.0);

        // Zooming keeps the time under the centre there (within the pixel that the centre's
        // truncation costs per step), does not scroll otherwise, and everything follows the scale.
        Timeline zoomed(600, 250);
        zoomed.Show();
        zoomed.Load({{"a", 0.0, 0.004}, {"b", 0.030, 0.002}});
        zoomed.view->SetCursorTime(0.031, false, false);
        zoomed.view->horizontalScrollBar()->setValue(300);
        const double flCentre = CentreTime(*zoomed.view);
        for (int i = 1; i <= 8; ++i) {
            SendWheel(*zoomed.view, 120);
            QVERIFY(std::fabs(CentreTime(*zoomed.view) - flCentre) < 2.0 * i / zoomed.view->Scale());
        }
        const float s = zoomed.view->Scale();
        QCOMPARE(zoomed.Item(1)->rect(), QRectF(int(0.030 * s), 24, std::floor(s * 0.002 + 0.5), 152));
        QVERIFY(std::fabs(zoomed.view->TickLine(120)->line().x1() - 0.030 * s) < 0.01);
        QVERIFY(std::fabs(zoomed.view->BackgroundBand()->rect().width() - 0.032 * s) < 0.01);
        QVERIFY(std::fabs(zoomed.view->CursorLine()->line().x1() - 0.031 * s) < 0.01);
        QVERIFY(std::fabs(zoomed.scene.sceneRect().width() - (5 * 0.007000000216066837 * s + 20)) < 0.01);
    }

    // Times relative to sample 0; earlier (or NaN) starts become 1e-7 s hairlines at the
    // origin; the range covers every bar. Bars: left = trunc((start - minStart) x scale), top =
    // trunc(0.12 h), width = max(floor(scale x length + 0.5), 1), height = trunc(h - 0.24 h);
    // coordinates clamped to 1e9.
    void frameLoading_data()
    {
        // clang-format off
        QTest::addColumn<QList<Bar>>("samples");
        QTest::addColumn<float>("zoom");
        QTest::addColumn<QString>("dump");
        QTest::newRow("relative to sample 0") << QList<Bar>{{"A", 5.0, 0.004}, {"B", 5.001, 0.002}, {"C", 5.0035, 0.0001}}
                                              << 1.0f << "0+4=0,108 | 1+2=27,54 | 3.5+0.1=94,3 | 0..4";
        QTest::newRow("earlier is a hairline") << QList<Bar>{{"A", 1.0, 0.001}, {"early", 0.999, 0.005}, {"B", 1.002, 0}}
                                               << 1.0f << "0+1=0,27 | 0+0.0001=0,1 | 2+0=54,1 | 0..2";
        QTest::newRow("NaN start") << QList<Bar>{{"A", 1.0, 0.001}, {"nan", kNaN, 0.004}} << 1.0f << "0+1=0,27 | 0+0.0001=0,1 | 0..1";
        QTest::newRow("NaN origin") << QList<Bar>{{"A", kNaN, 0.001}, {"B", 1.0, 0.004}}
                                    << 1.0f << "0+0.0001=covered | 0+0.0001=0,1 | 0..0.0001";
        QTest::newRow("negative length") << QList<Bar>{{"A", 0.5, 0.003}, {"B", 0.501, -0.002}} << 1.0f << "0+3=0,81 | 1+-2=27,1 | 0..3";
        QTest::newRow("NaN length") << QList<Bar>{{"A", 1.0, kNaN}} << 1.0f << "0+nan=0,1 | 0..-1e+28";
        QTest::newRow("length 0 is one unit") << QList<Bar>{{"A", 0.0, 0.0}, {"B", 0.001, 0.0}} << 1.0f << "0+0=0,1 | 1+0=27,1 | 0..1";
        QTest::newRow("0.1 ms") << QList<Bar>{{"A", 0.0, 0.0001}} << 1.0f << "0+0.1=0,3 | 0..0.1";
        QTest::newRow("left truncates") << QList<Bar>{{"A", 0.0, 0.0}, {"B", 0.00999, 0.001}} << 1.0f
                                        << "0+0=0,1 | 9.99+1=269,27 | 0..10.99";
        QTest::newRow("infinite length") << QList<Bar>{{"A", 0.0, 0.0}, {"B", 0.0, kInf}} << 1.0f
                                         << "0+0=covered | 0+inf=0,1e+09 | 0..inf";
        QTest::newRow("huge start") << QList<Bar>{{"A", 0.0, 0.0}, {"B", 1e300, 0.001}} << 1.0f
                                    << "0+0=0,1 | 1e+303+1=1e+09,27 | 0..1e+303";
        // clang-format on
    }

    void frameLoading()
    {
        QFETCH(QList<Bar>, samples);
        QFETCH(float, zoom);
        QFETCH(QString, dump);
        Timeline t;
        t.view->SetZoom(zoom);
        t.Load(samples);
        auto ms = [](double v) { return QString::number(v * 1000, 'g', 6); };
        QStringList parts;
        for (int32 i = 0; i < t.view->SampleCount(); ++i) {
            const TimelineSample &s = t.view->Sample(i);
            parts << QStringLiteral("%1+%2=").arg(ms(s.start), ms(s.length)) +
                    (s.item ? QStringLiteral("%1,%2").arg(s.item->rect().left()).arg(s.item->rect().width()) : QStringLiteral("covered"));
            QVERIFY(!s.item || (s.item->rect().top() == 24 && s.item->rect().height() == 152));
        }
        parts << ms(t.view->minStart) + QStringLiteral("..") + ms(t.view->maxEnd);
        QCOMPARE(parts.join(" | "), dump);
        QCOMPARE(QByteArray::number(t.origin), QByteArray::number(samples[0].start));
    }

    // Channels from the hash's three low bytes scaled into 55..255 (expected values from an
    // independent MurmurHash2); the same name gets the same gradient in every frame.
    void colours_data()
    {
        // clang-format off
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QRgb>("colour");
        QTest::newRow("Shadow") << QByteArray("Shadow") << qRgb(120, 85, 209);
        QTest::newRow("path") << QByteArray("#Main/Opaque/Draw") << qRgb(111, 210, 150);
        QTest::newRow("empty") << QByteArray("") << qRgb(97, 128, 218);
        QTest::newRow("one byte tail") << QByteArray("a") << qRgb(164, 193, 117);
        QTest::newRow("two byte tail") << QByteArray("ab") << qRgb(241, 117, 231);
        QTest::newRow("three byte tail") << QByteArray("abc") << qRgb(206, 252, 183);
        // clang-format on
    }
    void colours()
    {
        QFETCH(QByteArray, name);
        QFETCH(QRgb, colour);
        Timeline t;
        t.Load({{"Post", 7.0, 0.002}, {name.constData(), 7.003, 0.001}, {"x", 7.004, 0.001}, {name.constData(), 7.006, 0.001}});
        const QGradientStops stops = t.Item(1)->brush().gradient()->stops();
        QCOMPARE(stops, (QGradientStops{{0.0, QColor(colour).lighter(130)}, {1.0, QColor(colour).darker(190)}}));
        QCOMPARE(t.Item(3)->brush().gradient()->stops(), stops);
        t.Load({{name.constData(), 1.0, 0.001}});
        QCOMPARE(t.Item(0)->brush().gradient()->stops(), stops);
        const auto *pGradient = static_cast<const QLinearGradient *>(t.Item(0)->brush().gradient());
        QCOMPARE(pGradient->coordinateMode(), QGradient::ObjectBoundingMode);
        QCOMPARE(QLineF(pGradient->start(), pGradient->finalStop()), QLineF(0, 0, 1, 1));
        QCOMPARE(t.Item(0)->pen().color(), QColor(20, 20, 20));
    }

    // The scene is the window's and may go first, or delete a bar itself: the view forgets
    // those items and goes on. Samples live in g_pMemAlloc storage: released with the view;
    // when storage runs out the view has no axis or drops the sample, and keeps working. No
    // frame, or one without samples, takes the bars only. Hostile frames; bar items are reused.
    void itemsDeletedElsewhereStorageRunningOutAndNoFrame()
    {
        AllocationSnapshot snapshot;
        {
            Timeline t;
            t.Load({{"a", 0.0, 0.001}, {"b", 0.001, 0.001}});
            delete t.Item(1);
            QVERIFY(!t.Item(1));
            t.view->SetZoom(2.0f);
            t.Load({{"a", 0.0, 0.001}, {"b", 0.001, 0.001}});
            QCOMPARE(t.Item(1)->rect(), QRectF(54, 24, 54, 152));

            auto pScene = std::make_unique<QGraphicsScene>();
            CQTimelineView view(pScene.get(), Qt::black);
            LoadFrameOnTimeline(&view, &t.frame.frame, nullptr);
            pScene.reset();
            QVERIFY(!view.Sample(0).item);
            LoadFrameOnTimeline(&view, &t.frame.frame, nullptr);
            view.SetZoom(2.0f);
            view.SetCursorTime(0.001, true, true);
            view.RefreshLayout();

            g_pMemAlloc->SetAllocationLimit(16);
            QGraphicsScene scene;
            CQTimelineView starved(&scene, Qt::black);
            LoadFrameOnTimeline(&starved, &t.frame.frame, nullptr);
            g_pMemAlloc->SetAllocationLimit(0);
            QCOMPARE(starved.TickLineCount(), 0);
            QCOMPARE(starved.SampleCount(), 0);
            starved.SetZoom(2.0f);
            starved.RefreshLayout();
            LoadFrameOnTimeline(&starved, &t.frame.frame, nullptr);
            QCOMPARE(starved.SampleCount(), 2);

            // No frame, or one without samples: the bars go, origin, range, band, scene rectangle
            // and cursor stay.
            for (bool bNull : {true, false}) {
                Timeline t;
                t.Load({{"A", 4.0, 0.003}, {"B", 4.003, 0.002}});
                t.view->SetCursorTime(0.003, false, false);
                const QRectF sceneRect = t.scene.sceneRect(), band = t.view->BackgroundBand()->rect();
                const double flEnd = t.view->maxEnd;
                GpuFrame empty;
                LoadFrameOnTimeline(t.view.get(), bNull ? nullptr : &empty, &t.origin);
                QCOMPARE(t.view->SampleCount(), 0);
                QCOMPARE(t.origin, 4.0);
                QCOMPARE(t.view->maxEnd, flEnd);
                QCOMPARE(t.scene.sceneRect(), sceneRect);
                QCOMPARE(t.view->BackgroundBand()->rect(), band);
                const QImage image = RenderScene(t.scene, QRect(0, 0, 200, 200));
                QCOMPARE(image.pixel(44, 100), qRgb(130, 130, 130));
                QCOMPARE(image.pixel(81, 100), kCursorRed);
            }

            // Random times (NaN, infinities, random bit patterns) and name bytes: every bar within
            // the clamped range and at least one unit wide, texts terminated, painted, nothing leaked.
            Timeline ht;
            QRandomGenerator random(20240611);
            const double specials[] = {kNaN, kInf, -kInf, 1e300, -1e300, 5e-324, -0.0, std::numeric_limits<double>::max()};
            auto value = [&]() {
                switch (random.bounded(4)) {
                case 0:
                    return specials[random.bounded(8)];
                case 1: {
                    const quint64 bits = random.generate64();
                    double v;
                    std::memcpy(&v, &bits, sizeof(v));
                    return v;
                }
                default:
                    return random.generateDouble() * 0.02 - 0.001;
                }
            };
            for (int round = 0; round < 12; ++round) {
                const int nCount = 1 + int(random.bounded(600));
                ht.frame.samples.RemoveAll();
                for (int i = 0; i < nCount; ++i) {
                    ht.frame.Add("", value(), value());
                    for (char &c : ht.frame.samples[i].name)
                        c = char(random.bounded(256));
                }
                LoadFrameOnTimeline(ht.view.get(), &ht.frame.frame, &ht.origin);
                ht.view->SetZoom(float(random.generateDouble() * 10));
                ht.view->SetCursorTime(value(), true, true);
                QCOMPARE(ht.view->SampleCount(), nCount);
                for (int32 i = 0; i < nCount; ++i) {
                    if (!ht.Item(i))
                        continue; // covered by a later bar
                    const QRectF rect = ht.Item(i)->rect();
                    QVERIFY(std::fabs(rect.left()) <= 1e9 && rect.width() >= 1 && rect.width() <= 1e9);
                    QVERIFY(ht.Item(i)->toolTip().size() <= 95);
                }
                QVERIFY(ht.view->VisibleBarCount() >= 1);
                QVERIFY(ht.scene.sceneRect().width() <= 1e9 && std::isfinite(ht.view->CursorLine()->line().x1()));
                RenderScene(ht.scene, QRect(0, 0, 300, 200));
            }
        }
        GPUPROF_COMPARE_NO_LEAKS(snapshot);

        // Bar items are kept for the next frames: reloads make no new items, a much smaller frame
        // lets the surplus beyond the spare bound go, and hidden bars are not under the mouse.
        Timeline reused;
        // Bars 2.7 units apart and 3 wide: they overlap, but none covers another.
        auto load = [&](int nCount) {
            reused.frame.samples.RemoveAll();
            for (int i = 0; i < nCount; ++i)
                reused.frame.Add("n", i * 1e-4, 1e-4);
            LoadFrameOnTimeline(reused.view.get(), &reused.frame.frame, &reused.origin);
        };
        const qsizetype nFixed = reused.scene.items().size(); // axis, band, cursor
        load(100);
        QCOMPARE(reused.view->VisibleBarCount(), 100);
        QGraphicsRectItem *pFirst = reused.Item(0);
        load(50);
        QCOMPARE(reused.scene.items().size(), nFixed + 100);
        QCOMPARE(reused.Item(0), pFirst);
        QVERIFY(reused.scene.items(QPointF(60 * 2.7 + 1.5, 100)).isEmpty()); // bar 60, past the band
        load(CQTimelineView::kMaxSpareBars + 300);
        load(10);
        QCOMPARE(reused.scene.items().size(), nFixed + 10 + CQTimelineView::kMaxSpareBars);
        QCOMPARE(static_cast<CQTimelineItem *>(reused.Item(9))->SampleIndex(), 9);
    }
};

GPUPROF_TEST_MAIN(TestTimeline)
#include "tst_timeline.moc"
