// Loading a frame onto the timeline: origin and range, hairlines for early samples, tooltip
// texts, colours per name, frames without samples, and hostile times and names.

#include "gpuprofiler/timeline/timeline_frame.h"
#include "gpuprofiler/timeline/timeline_item.h"
#include "gpuprofiler/timeline/timeline_view.h"
#include "tests/support/test_support.h"
#include "tests/timeline/timeline_frames.h"

#include <QGraphicsScene>
#include <QHelpEvent>
#include <QRandomGenerator>
#include <QToolTip>

#include <QPainter>

#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>

namespace {

struct Sample
{
    const char *name;
    double start; // seconds
    double length;
};

// "start+length=rect" per bar in ms and scene units, then the range.
QString Dump(const CQTimelineView &view)
{
    QStringList parts;
    for (int32 i = 0; i < view.SampleCount(); ++i) {
        const TimelineSample &sample = view.Sample(i);
        const QRectF rect = sample.item ? sample.item->rect() : QRectF();
        parts << QStringLiteral("%1+%2=%3,%4")
                     .arg(sample.start * 1000, 0, 'g', 6)
                     .arg(sample.length * 1000, 0, 'g', 6)
                     .arg(rect.left())
                     .arg(rect.width());
    }
    parts << QStringLiteral("range %1..%2").arg(view.minStart * 1000, 0, 'g', 6).arg(view.maxEnd * 1000, 0, 'g', 6);
    return parts.join(QLatin1String(" | "));
}

QRgb ColourOf(std::string_view sName)
{
    uint8 colour[4];
    TimelineColourOfName(sName, colour);
    return qRgba(colour[0], colour[1], colour[2], colour[3]);
}

} // namespace

class TestTimelineFrame : public QObject
{
    Q_OBJECT

private slots:
    void originAndRange_data()
    {
        QTest::addColumn<QList<Sample>>("samples");
        QTest::addColumn<double>("origin");
        QTest::addColumn<QString>("dump");

        QTest::newRow("relative to sample 0")
            << QList<Sample>{{"A", 5.0, 0.004}, {"B", 5.001, 0.002}, {"C", 5.0035, 0.0001}} << 5.0
            << "0+4=0,108 | 1+2=27,54 | 3.5+0.1=94,3 | range 0..4";
        QTest::newRow("earlier sample is a hairline at the origin")
            << QList<Sample>{{"A", 1.0, 0.001}, {"early", 0.999, 0.005}, {"B", 1.002, 0.0}} << 1.0
            << "0+1=0,27 | 0+0.0001=0,1 | 2+0=54,1 | range 0..2";
        QTest::newRow("one sample of length 0") << QList<Sample>{{"A", 1.0, 0.0}} << 1.0 << "0+0=0,1 | range 0..0";
        QTest::newRow("NaN start is a hairline")
            << QList<Sample>{{"A", 1.0, 0.001}, {"nan", std::nan(""), 0.004}} << 1.0
            << "0+1=0,27 | 0+0.0001=0,1 | range 0..1";
        QTest::newRow("NaN origin makes every bar a hairline")
            << QList<Sample>{{"A", std::nan(""), 0.001}, {"B", 1.0, 0.004}} << std::nan("")
            << "0+0.0001=0,1 | 0+0.0001=0,1 | range 0..0.0001";
        QTest::newRow("negative length") << QList<Sample>{{"A", 0.5, 0.003}, {"B", 0.501, -0.002}} << 0.5
                                         << "0+3=0,81 | 1+-2=27,1 | range 0..3";
        // 2.002 - 2 is 0.0019999999999998: 53.99999 units, truncated.
        QTest::newRow("left is truncated, not rounded") << QList<Sample>{{"A", 2.0, 0.001}, {"B", 2.002, 0.001}} << 2.0
                                                        << "0+1=0,27 | 2+1=53,27 | range 0..3";
        QTest::newRow("NaN length") << QList<Sample>{{"A", 1.0, std::nan("")}} << 1.0
                                    << "0+nan=0,1 | range 0..-1e+28";
    }
    void originAndRange()
    {
        QFETCH(QList<Sample>, samples);
        QFETCH(double, origin);
        QFETCH(QString, dump);

        TestFrame frame;
        for (const Sample &sample : samples)
            QVERIFY(frame.Add(sample.name, sample.start, sample.length));
        QGraphicsScene scene;
        CQTimelineView view(&scene, Qt::black);
        double flOrigin = -1.0;
        LoadFrameOnTimeline(&view, &frame.frame, &flOrigin);
        QCOMPARE(Dump(view), dump);
        if (std::isnan(origin))
            QVERIFY(std::isnan(flOrigin));
        else
            QCOMPARE(flOrigin, origin);
    }

    // The frame's scene: ten milliseconds at zoom 1 make two 7 ms steps of 189 units plus 20.
    void tenMillisecondFrame()
    {
        TestFrame frame;
        frame.Add("First", 0.5, 0.004);
        frame.Add("Second", 0.504, 0.006);
        QGraphicsScene scene;
        CQTimelineView view(&scene, Qt::black);
        view.resize(300, 250);
        double flOrigin = 0.0;
        LoadFrameOnTimeline(&view, &frame.frame, &flOrigin);
        QVERIFY(std::fabs(scene.sceneRect().width() - 398.0) < 0.01);
        QVERIFY(std::fabs(view.BackgroundBand()->rect().width() - 270.0) < 1e-6);
        QCOMPARE(view.Sample(1).item->rect(), QRectF(108, 24, 162, 152));
    }

    // "[%u], \"%s\", Start: %3.3fms, Len: %3.3fms" with the index, the name and the true times,
    // cut to 95 characters.
    void tooltipText_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("length");
        QTest::addColumn<QString>("text");

        QTest::newRow("Shadow") << QByteArray("Shadow") << 0.00125 << 0.0005
                                << R"([3], "Shadow", Start: 1.250ms, Len: 0.500ms)";
        QTest::newRow("path name") << QByteArray("#Main/Opaque/Draw") << 0.0 << 0.0123456
                                   << R"([3], "#Main/Opaque/Draw", Start: 0.000ms, Len: 12.346ms)";
        QTest::newRow("starts before the first: true start")
            << QByteArray("Early") << -0.002 << 0.001 << R"([3], "Early", Start: -2.000ms, Len: 1.000ms)";
        QTest::newRow("percent signs are text") << QByteArray("%s%n%d") << 0.001 << 0.001
                                                << R"([3], "%s%n%d", Start: 1.000ms, Len: 1.000ms)";
        QTest::newRow("8-bit name") << QByteArray("Ombr\xe9") << 0.001 << 0.001
                                    << QString::fromUtf8(R"([3], "Ombré", Start: 1.000ms, Len: 1.000ms)");
        QTest::newRow("long name is cut") << QByteArray(200, 'n') << 0.001 << 0.001
                                          << QStringLiteral("[3], \"") + QString(89, QLatin1Char('n'));
        QTest::newRow("255 bytes without terminator")
            << QByteArray(255, 'x') << 0.001 << 0.001 << QStringLiteral("[3], \"") + QString(89, QLatin1Char('x'));
        QTest::newRow("huge length") << QByteArray("H") << 0.001 << 1e300
                                     << R"([3], "H", Start: 1.000ms, Len: 1000000000000000000161765076786456438212668646231659438295495017)";
    }
    void tooltipText()
    {
        QFETCH(QByteArray, name);
        QFETCH(double, start);
        QFETCH(double, length);
        QFETCH(QString, text);

        TestFrame frame;
        frame.Add("S0", 10.0, 0.001);
        frame.Add("S1", 10.001, 0.001);
        frame.Add("S2", 10.002, 0.001);
        frame.Add("", 10.0 + start, length);
        // The name field filled to its last byte, as a target may send it.
        std::memcpy(frame.samples[3].name, name.constData(), size_t(qMin<qsizetype>(name.size(), 255)));
        QGraphicsScene scene;
        CQTimelineView view(&scene, Qt::black);
        double flOrigin = 0.0;
        LoadFrameOnTimeline(&view, &frame.frame, &flOrigin);

        QCOMPARE(QString::fromLatin1(view.Sample(3).text), text);
        QCOMPARE(view.Sample(3).item->toolTip(), text);
        QVERIFY(qstrlen(view.Sample(3).text) <= 95);
    }

    // The toolkit's help event finds the bar under the mouse and shows its text.
    void tooltipShownOverTheBar()
    {
        TestFrame frame;
        frame.Add("Base", 1.0, 0.002);
        frame.Add("Shadow", 1.00325, 0.0005);
        QGraphicsScene scene;
        CQTimelineView view(&scene, Qt::black);
        view.resize(400, 250);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        double flOrigin = 0.0;
        LoadFrameOnTimeline(&view, &frame.frame, &flOrigin);

        const QPoint pos = view.mapFromScene(view.Sample(1).item->rect().center());
        QHelpEvent event(QEvent::ToolTip, pos, view.viewport()->mapToGlobal(pos));
        QApplication::sendEvent(view.viewport(), &event);
        QTRY_COMPARE(QToolTip::text(), QStringLiteral(R"([1], "Shadow", Start: 3.250ms, Len: 0.500ms)"));
        QToolTip::hideText();
    }

    // Red, green and blue from the hash's three low bytes, each scaled into 55..255; values
    // worked out with an independent MurmurHash2.
    void colourOfName_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QRgb>("colour");
        QTest::newRow("Shadow") << QByteArray("Shadow") << qRgb(120, 85, 209);
        QTest::newRow("path") << QByteArray("#Main/Opaque/Draw") << qRgb(111, 210, 150);
        QTest::newRow("empty") << QByteArray("") << qRgb(97, 128, 218);
        QTest::newRow("one byte tail") << QByteArray("a") << qRgb(164, 193, 117);
        QTest::newRow("two byte tail") << QByteArray("ab") << qRgb(241, 117, 231);
        QTest::newRow("three byte tail") << QByteArray("abc") << qRgb(206, 252, 183);
        QTest::newRow("254 bytes") << QByteArray(254, 'x') << qRgb(163, 154, 206);
    }
    void colourOfName()
    {
        QFETCH(QByteArray, name);
        QFETCH(QRgb, colour);
        QCOMPARE(ColourOf(std::string_view(name.constData(), size_t(name.size()))), colour);
    }

    // The same name has the same colour in every frame, whatever its position; the bar's
    // brush is the diagonal gradient from that colour made lighter to made darker.
    void sameNameSameColourInEveryFrame()
    {
        TestFrame first;
        first.Add("Shadow", 1.0, 0.001);
        first.Add("Opaque", 1.001, 0.001);
        first.Add("Shadow", 1.002, 0.001);
        TestFrame second;
        second.Add("Post", 7.0, 0.002);
        second.Add("Shadow", 7.003, 0.001);

        QGraphicsScene scene;
        CQTimelineView view(&scene, Qt::black);
        double flOrigin = 0.0;
        auto stops = [&](int i) { return view.Sample(i).item->brush().gradient()->stops(); };
        LoadFrameOnTimeline(&view, &first.frame, &flOrigin);
        const QGradientStops shadow = stops(0);
        QCOMPARE(stops(2), shadow);
        QVERIFY(stops(1) != shadow);
        LoadFrameOnTimeline(&view, &second.frame, &flOrigin);
        QCOMPARE(stops(1), shadow);

        const QColor base = QColor(ColourOf("Shadow"));
        QCOMPARE(shadow.size(), 2);
        QCOMPARE(shadow.at(0), QGradientStop(0.0, base.lighter(130)));
        QCOMPARE(shadow.at(1), QGradientStop(1.0, base.darker(190)));
        const QGradient *pGradient = view.Sample(1).item->brush().gradient();
        QCOMPARE(pGradient->type(), QGradient::LinearGradient);
        QCOMPARE(pGradient->coordinateMode(), QGradient::ObjectBoundingMode);
        QCOMPARE(static_cast<const QLinearGradient *>(pGradient)->start(), QPointF(0, 0));
        QCOMPARE(static_cast<const QLinearGradient *>(pGradient)->finalStop(), QPointF(1, 1));
        QCOMPARE(view.Sample(1).item->pen().color(), QColor(Qt::black));
    }

    // No frame, or one without samples, removes the bars and changes nothing else.
    void frameWithoutSamples_data()
    {
        QTest::addColumn<bool>("nullFrame");
        QTest::newRow("no frame") << true;
        QTest::newRow("no samples") << false;
    }
    void frameWithoutSamples()
    {
        QFETCH(bool, nullFrame);
        TestFrame frame;
        frame.Add("A", 4.0, 0.003);
        frame.Add("B", 4.003, 0.002);
        QGraphicsScene scene;
        CQTimelineView view(&scene, Qt::black);
        double flOrigin = 0.0;
        LoadFrameOnTimeline(&view, &frame.frame, &flOrigin);
        const QRectF sceneRect = scene.sceneRect();
        const QRectF band = view.BackgroundBand()->rect();
        const double flMaxEnd = view.maxEnd;
        QVERIFY(std::fabs(flMaxEnd - 0.005) < 1e-12);

        GpuFrame empty;
        LoadFrameOnTimeline(&view, nullFrame ? nullptr : &empty, &flOrigin);
        QCOMPARE(view.SampleCount(), 0);
        QCOMPARE(flOrigin, 4.0);
        QCOMPARE(view.minStart, 0.0);
        QCOMPARE(view.maxEnd, flMaxEnd);
        QCOMPARE(scene.sceneRect(), sceneRect);
        QCOMPARE(view.BackgroundBand()->rect(), band);
        for (QGraphicsItem *pItem : scene.items()) {
            if (dynamic_cast<CQTimelineItem *>(pItem))
                QVERIFY(!pItem->isVisible());
        }
    }

    // Random times (NaN, infinities, huge and tiny values) and random name bytes: every bar
    // lands inside the clamped scene range, at least one unit wide, and nothing leaks.
    void hostileFrames()
    {
        AllocationSnapshot snapshot;
        {
            QGraphicsScene scene;
            CQTimelineView view(&scene, Qt::black);
            QRandomGenerator random(20240611);
            const double specials[] = {std::nan(""), std::numeric_limits<double>::infinity(),
                                       -std::numeric_limits<double>::infinity(), 1e300, -1e300, 5e-324, 0.0, -0.0,
                                       std::numeric_limits<double>::max()};
            auto value = [&]() {
                const quint32 k = random.bounded(4);
                if (k == 0)
                    return specials[random.bounded(int(std::size(specials)))];
                if (k == 1) {
                    quint64 bits = random.generate64();
                    double v;
                    std::memcpy(&v, &bits, sizeof(v));
                    return v;
                }
                return random.generateDouble() * 0.02 - 0.001;
            };
            for (int round = 0; round < 12; ++round) {
                TestFrame frame;
                const int nCount = 1 + int(random.bounded(600));
                for (int i = 0; i < nCount; ++i) {
                    QVERIFY(frame.Add("", value(), value()));
                    for (char &c : frame.samples[i].name)
                        c = char(random.bounded(256));
                }
                double flOrigin = 0.0;
                LoadFrameOnTimeline(&view, &frame.frame, &flOrigin);
                view.SetZoom(float(random.generateDouble() * 10));
                view.SetCursorTime(value(), true, true);
                view.RefreshLayout();
                QCOMPARE(view.SampleCount(), nCount);
                for (int32 i = 0; i < nCount; ++i) {
                    const QRectF rect = view.Sample(i).item->rect();
                    QVERIFY(std::isfinite(rect.left()) && std::fabs(rect.left()) <= 1e9);
                    QVERIFY(rect.width() >= 1 && rect.width() <= 1e9);
                    QVERIFY(qstrlen(view.Sample(i).text) <= 95);
                }
                const QRectF sceneRect = scene.sceneRect();
                QVERIFY(std::isfinite(sceneRect.width()) && sceneRect.width() <= 1e9);
                QVERIFY(std::isfinite(view.CursorLine()->line().x1()));
            }
            // Paint what came of it.
            QImage image(300, 200, QImage::Format_RGB32);
            QPainter painter(&image);
            scene.render(&painter, QRectF(image.rect()), QRectF(0, 0, 300, 200));
        }
        GPUPROF_COMPARE_NO_LEAKS(snapshot);
    }

    void repeatedLoadsLeaveNothingBehind()
    {
        AllocationSnapshot snapshot;
        {
            QGraphicsScene scene;
            CQTimelineView view(&scene, Qt::black);
            for (int k = 0; k < 5; ++k) {
                TestFrame frame;
                for (int i = 0; i < 300 * (k + 1); ++i)
                    frame.Add("#V/L/N", 1.0 + i * 1e-5, 1e-5);
                double flOrigin = 0.0;
                LoadFrameOnTimeline(&view, &frame.frame, &flOrigin);
            }
            LoadFrameOnTimeline(&view, nullptr, nullptr);
        }
        GPUPROF_COMPARE_NO_LEAKS(snapshot);
    }
};

GPUPROF_TEST_MAIN(TestTimelineFrame)
#include "tst_timeline_frame.moc"
