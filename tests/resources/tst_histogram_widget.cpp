// The stacked-bar histogram: layout arithmetic, segment geometry and colours as rendered
// pixels, the hover highlight, the tooltip's HTML and the click rules.

#include "histogram_widget.h"
#include "test_support.h"

#include <QCursor>
#include <QHelpEvent>
#include <QImage>
#include <QToolTip>

namespace {

bool Near(QColor actual, QColor expected, int nTolerance = 3)
{
    return qAbs(actual.red() - expected.red()) <= nTolerance && qAbs(actual.green() - expected.green()) <= nTolerance &&
        qAbs(actual.blue() - expected.blue()) <= nTolerance;
}

QImage Render(CQHistogramWidget &widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::magenta);
    widget.render(&image);
    return image;
}

// A cursor far away from every widget, so that nothing is hovered.
const QPoint kParkedCursor(-5000, -5000);

struct Fixture
{
    CQHistogramWidget widget;
    BucketHandle_t small = nullptr;
    BucketHandle_t large = nullptr;
    CategoryHandle_t vb = nullptr;
    CategoryHandle_t ib = nullptr;

    // Two buckets in a 228-pixel-high widget; with a largest total of 200 the scale is 1.0.
    Fixture()
    {
        widget.resize(400, 228);
        small = widget.AddBucket("<= 4 KB", "<= 4 KB");
        large = widget.AddBucket("<= 8 KB", "<= 8 KB");
        vb = widget.AddCategory("VB", "Vertex Buffers");
        ib = widget.AddCategory("IB", "Index Buffers");
        widget.SetBucketValue(small, vb, 5);
        widget.SetBucketValue(small, ib, 3);
        widget.SetBucketValue(large, vb, 150);
        widget.SetBucketValue(large, ib, 50);
    }
};

} // namespace

class TestHistogramWidget : public QObject
{
    Q_OBJECT

private slots:
    void init() { QCursor::setPos(kParkedCursor); }

    void bucketWidth_data()
    {
        // clang-format off
        QTest::addColumn<int>("buckets");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("bucketWidth");
        QTest::newRow("14 in 400") << 14 << 400 << 26;
        QTest::newRow("1 in 1000, at most 160") << 1 << 1000 << 160;
        QTest::newRow("14 in 100, at least 10") << 14 << 100 << 10;
        QTest::newRow("2 in 400") << 2 << 400 << 160;
        QTest::newRow("3 in 38") << 3 << 38 << 10;
        QTest::newRow("3 in 50") << 3 << 50 << 14;
        // clang-format on
    }

    void bucketWidth()
    {
        QFETCH(int, buckets);
        QFETCH(int, width);
        QFETCH(int, bucketWidth);
        CQHistogramWidget widget;
        widget.resize(width, 200);
        for (int i = 0; i < buckets; ++i)
            widget.AddBucket("b", nullptr);
        QCOMPARE(widget.BucketWidth(), bucketWidth);
        QCOMPARE(widget.BucketLeft(0), 2);
        QCOMPARE(widget.BucketLeft(1), 2 + bucketWidth + 2);
        // The margin left of the first bar and the gap right of each bar belong to that bar.
        const int nStep = bucketWidth + 2;
        const std::pair<int, int> cases[] = {
            {-nStep - 3, -1},         {0, 0}, {nStep + 1, 0}, {nStep + 2, buckets > 1 ? 1 : -1}, {1 + buckets * nStep, buckets - 1},
            {2 + buckets * nStep, -1}};
        for (const auto &[nX, nIndex] : cases)
            QVERIFY2(widget.BucketIndexAt(nX) == nIndex, qPrintable(QString::number(nX)));
    }

    // Segments painted with gradients; the value scale and the segments' rectangles; the font.
    void segmentsPaintedAndScaled()
    {
        Fixture f;
        const QImage image = Render(f.widget);
        const QRect vb = f.widget.SegmentRect(1, f.vb);
        const QRect ib = f.widget.SegmentRect(1, f.ib);
        const QColor vbColor = CQHistogramWidget::CategoryColor(0);
        const QColor ibColor = CQHistogramWidget::CategoryColor(1);
        const int nMid = vb.center().x();
        QVERIFY(Near(image.pixelColor(nMid, vb.top()), vbColor));
        QVERIFY(Near(image.pixelColor(nMid, vb.bottom()), vbColor.darker(150)));
        QVERIFY(Near(image.pixelColor(nMid, ib.top()), ibColor));
        QVERIFY(Near(image.pixelColor(nMid, ib.bottom()), ibColor.darker(150)));
        // Segments fill their bar's full width and nothing beyond it.
        QVERIFY(Near(image.pixelColor(vb.left(), vb.top() + 1), vbColor, 6));
        QVERIFY(Near(image.pixelColor(vb.right(), vb.top() + 1), vbColor, 6));
        const QColor background = image.pixelColor(vb.right() + 1, vb.top() + 1);
        QVERIFY(!Near(background, vbColor, 20));
        QCOMPARE(image.pixelColor(nMid, ib.top() - 1), background);
        // Nothing is drawn above the tallest bar but the background.
        QCOMPARE(image.pixelColor(vb.left() + 1, 2), background);

        // Bucket names are written in the label band; past the last bar it stays empty.
        auto darkPixels = [&](int nLeft, int nRight) {
            int n = 0;
            for (int y = 208; y < 228; ++y)
                for (int x = nLeft; x <= nRight; ++x)
                    n += qGray(image.pixel(x, y)) < 100;
            return n;
        };
        QVERIFY(darkPixels(f.widget.BucketLeft(0), f.widget.BucketLeft(0) + f.widget.BucketWidth() - 1) > 5);
        QCOMPARE(darkPixels(f.widget.BucketLeft(2), 399), 0);

        QCOMPARE(f.widget.ValueScale(), 1.0f);
        // Entries stack in the order their categories first got a value: VB at the bottom.
        const int nLabelTop = 228 - 20;
        QCOMPARE(f.widget.BucketWidth(), 160);
        QCOMPARE(f.widget.SegmentRect(1, f.vb), QRect(164, nLabelTop - 150, 160, 150));
        QCOMPARE(f.widget.SegmentRect(1, f.ib), QRect(164, nLabelTop - 200, 160, 50));
        // Hit testing agrees: VB covers d in [0, 150), IB [150, 200) above the label line.
        QCOMPARE(f.widget.HitTestCategory(f.large, nLabelTop), f.vb);
        QCOMPARE(f.widget.HitTestCategory(f.large, nLabelTop - 149), f.vb);
        QCOMPARE(f.widget.HitTestCategory(f.large, nLabelTop - 150), f.ib);
        QCOMPARE(f.widget.HitTestCategory(f.large, nLabelTop - 199), f.ib);
        QCOMPARE(f.widget.HitTestCategory(f.large, nLabelTop - 200), CategoryHandle_t(nullptr));
        QCOMPARE(f.widget.HitTestCategory(f.large, nLabelTop + 1), CategoryHandle_t(nullptr));

        // A value of 1 is still 2 pixels high, and a 0 takes no room at all.
        f.widget.SetBucketValue(f.small, f.vb, 1);
        f.widget.SetBucketValue(f.small, f.ib, 0);
        QCOMPARE(f.widget.SegmentRect(0, f.vb).height(), 2);
        QVERIFY(f.widget.SegmentRect(0, f.ib).isEmpty());

        // A short widget clamps the scale at 0; segments keep their minimum height. (A hidden
        // widget gets its resize event only when shown.)
        f.widget.show();
        f.widget.resize(400, 20);
        QCOMPARE(f.widget.ValueScale(), 0.0f);
        QCOMPARE(f.widget.SegmentRect(1, f.vb).height(), 2);

        // Fonts are fitted to the widest text.
        CQHistogramWidget widget;
        const char *texts[] = {"<= 256 KB", nullptr, "IB"};
        QCOMPARE(widget.FitFontPixelSize(nullptr, 0, 1), 16);
        QCOMPARE(widget.FitFontPixelSize(texts, 3, 0), 6);
        QCOMPARE(widget.FitFontPixelSize(texts, 3, 1000), 16);
        // The widest text decides: the fitted size is the largest whose width is below the
        // limit, so a limit of exactly that width needs one size less.
        QFont font = widget.font();
        font.setPixelSize(10);
        const int nWidthAt10 = QFontMetrics(font).horizontalAdvance(QStringLiteral("<= 256 KB"));
        QCOMPARE(widget.FitFontPixelSize(texts, 3, nWidthAt10 + 1), 10);
        QVERIFY(widget.FitFontPixelSize(texts, 3, nWidthAt10) < 10);

        // The layout applies it to bucket names with the bar width less 2.
        widget.resize(14 * 28 + 2, 200);
        for (int i = 0; i < 14; ++i)
            widget.AddBucket("<= 256 KB", nullptr);
        const char *bucketTexts[] = {"<= 256 KB"};
        QCOMPARE(widget.BucketFont().pixelSize(), widget.FitFontPixelSize(bucketTexts, 1, 26 - 2));
    }

    // Hovering highlights the bucket and segment; tooltips and clicks.
    void hoverToolTipsAndClicks()
    {
        Fixture h;
        h.widget.move(0, 0);
        const QRect hvb = h.widget.SegmentRect(1, h.vb);
        const QRect hib = h.widget.SegmentRect(1, h.ib);

        QCursor::setPos(h.widget.mapToGlobal(QPoint(hvb.center().x(), hvb.center().y())));
        const QImage hovered = Render(h.widget);
        // The hovered bar's column is light grey above its segments...
        QCOMPARE(hovered.pixelColor(hvb.center().x(), 3), QColor(Qt::lightGray));
        // ...the hovered segment is outlined in black, fades from white to grey...
        QCOMPARE(hovered.pixelColor(hvb.left(), hvb.center().y()), QColor(Qt::black));
        QCOMPARE(hovered.pixelColor(hvb.right(), hvb.center().y()), QColor(Qt::black));
        QCOMPARE(hovered.pixelColor(hvb.left() + 3, hvb.bottom()), QColor(Qt::black));
        QVERIFY(Near(hovered.pixelColor(hvb.left() + 1, hvb.top() + 1), Qt::white, 4));
        QVERIFY(Near(hovered.pixelColor(hvb.left() + 1, hvb.bottom() - 1), Qt::gray, 4));
        // ...and the other segment keeps its colours.
        QVERIFY(Near(hovered.pixelColor(hib.center().x(), hib.top()), CQHistogramWidget::CategoryColor(1)));
        // The other bar is not highlighted.
        const QColor background = hovered.pixelColor(h.widget.BucketLeft(0) + 3, 3);
        QVERIFY(background != QColor(Qt::lightGray));

        // Leaving the widget takes the highlight away.
        QCursor::setPos(kParkedCursor);
        const QImage after = Render(h.widget);
        QCOMPARE(after.pixelColor(hvb.center().x(), 3), background);

        // Hovering an empty bucket shows only its column.
        CQHistogramWidget widget;
        widget.resize(200, 228);
        BucketHandle_t hEmpty = widget.AddBucket("e", nullptr);
        CategoryHandle_t hCat = widget.AddCategory("c", nullptr);
        widget.SetBucketValue(hEmpty, hCat, 0);
        widget.move(0, 0);
        QCursor::setPos(widget.mapToGlobal(QPoint(widget.BucketLeft(0) + 3, 200)));
        const QImage empty = Render(widget);
        for (int y : {0, 100, 207})
            QCOMPARE(empty.pixelColor(widget.BucketLeft(0) + 3, y), QColor(Qt::lightGray));
        QVERIFY(empty.pixelColor(widget.BucketLeft(0) + 3, 215) != QColor(Qt::lightGray));

        Fixture f;
        const QRect vb = f.widget.SegmentRect(0, f.vb);
        QCOMPARE(f.widget.ToolTipTextAt(vb.center()),
                 QStringLiteral("<u><b>&lt;= 4 KB</b></u><br><em>&lt;= 4 KB</em><br><br>"
                                "<u><b>VB</b></u><br><em>Vertex Buffers</em><br><br>"
                                "IB = 3<br><b><font color=red>VB = 5</font></b><br>"));
        // Over the bar but above its segments: the bucket and its entries, nothing bold.
        QCOMPARE(f.widget.ToolTipTextAt(QPoint(vb.center().x(), 5)),
                 QStringLiteral("<u><b>&lt;= 4 KB</b></u><br><em>&lt;= 4 KB</em><br><br>IB = 3<br>VB = 5<br>"));
        QCOMPARE(f.widget.ToolTipTextAt(QPoint(380, 100)), QString());

        // Through the event: shown for a bar, hidden and ignored elsewhere.
        f.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.widget));
        QHelpEvent onBar(QEvent::ToolTip, vb.center(), f.widget.mapToGlobal(vb.center()));
        QVERIFY(QApplication::sendEvent(&f.widget, &onBar));
        QVERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), f.widget.ToolTipTextAt(vb.center()));
        QHelpEvent offBar(QEvent::ToolTip, QPoint(380, 100), f.widget.mapToGlobal(QPoint(380, 100)));
        QApplication::sendEvent(&f.widget, &offBar);
        QVERIFY(!offBar.isAccepted());
        QTRY_VERIFY(!QToolTip::isVisible());

        // Left clicks on a segment report its bucket and category.
        QList<QPair<BucketHandle_t, CategoryHandle_t>> clicked;
        connect(&f.widget, &CQHistogramWidget::OnBucketCategoryClicked, this, [&](BucketHandle_t hBucket, CategoryHandle_t hCategory) {
            clicked.append({hBucket, hCategory});
        });
        const QRect ib = f.widget.SegmentRect(1, f.ib);
        QTest::mouseClick(&f.widget, Qt::RightButton, {}, ib.center());
        QVERIFY(clicked.isEmpty());
        QTest::mouseClick(&f.widget, Qt::LeftButton, {}, QPoint(ib.center().x(), ib.top() - 3));
        QVERIFY(clicked.isEmpty());
        QTest::mouseClick(&f.widget, Qt::LeftButton, {}, QPoint(390, 200));
        QVERIFY(clicked.isEmpty());
        QTest::mouseClick(&f.widget, Qt::LeftButton, {}, ib.center());
        QCOMPARE(clicked.size(), 1);
        QCOMPARE(clicked[0].first, f.large);
        QCOMPARE(clicked[0].second, f.ib);
        // The gap right of the first bar still belongs to it.
        QTest::mouseClick(&f.widget, Qt::LeftButton, {}, QPoint(f.widget.BucketLeft(1) - 1, 206));
        QCOMPARE(clicked.size(), 2);
        QCOMPARE(clicked[1].first, f.small);
        QCOMPARE(clicked[1].second, f.vb);
    }

    // Names and descriptions are copied when added and released with the widget; the tooltip
    // escapes them but not the entry lines. A negative value is drawn with the minimum height,
    // 2 pixels, and can be hovered. Totals follow the values; category colours.
    void ownsAndEscapesItsTextsTotalsAndColors()
    {
        AllocationSnapshot snapshot;
        {
            QByteArray texts("a<b>\0<i>\0x>y", 12);
            CQHistogramWidget widget;
            widget.resize(100, 100);
            BucketHandle_t hBucket = widget.AddBucket(texts.constData(), nullptr);
            CategoryHandle_t hCat = widget.AddCategory(texts.constData() + 5, texts.constData() + 9);
            for (int i = 0; i < 3; ++i)
                widget.AddCategory("more", "more");
            widget.SetBucketValue(hBucket, hCat, -4);
            texts.fill('x');
            const QRect rect = widget.SegmentRect(0, hCat);
            QCOMPARE(rect.height(), 2);
            QCOMPARE(widget.ToolTipTextAt(QPoint(rect.center().x(), rect.bottom())),
                     QStringLiteral("<u><b>a&lt;b&gt;</b></u><br><em></em><br><br><u><b>&lt;i&gt;</b></u><br>"
                                    "<em>x&gt;y</em><br><br><b><font color=red><i> = -4</font></b><br>"));
        }
        GPUPROF_COMPARE_NO_LEAKS(snapshot);

        // Totals follow the values; category colours come from their index.
        CQHistogramWidget widget;
        BucketHandle_t hBucket = widget.AddBucket("b", "b");
        CategoryHandle_t hA = widget.AddCategory("A", "a");
        CategoryHandle_t hB = widget.AddCategory("B", "b");
        widget.SetBucketValue(hBucket, hA, 5);
        widget.SetBucketValue(hBucket, hA, 5);
        QCOMPARE(hBucket->total, 5);
        widget.SetBucketValue(hBucket, hA, 2);
        QCOMPARE(hBucket->total, 2);
        widget.SetBucketValue(hBucket, hB, 7);
        QCOMPARE(hBucket->total, 9);
        QCOMPARE(hBucket->entries.Count(), 2);
        // Extreme values wrap instead of overflowing, and the total is still the sum.
        widget.SetBucketValue(hBucket, hA, 0x7fffffff);
        widget.SetBucketValue(hBucket, hB, -0x7fffffff);
        QCOMPARE(hBucket->total, 0);

        QCOMPARE(CQHistogramWidget::CategoryColor(0), QColor(150, 192, 203));
        QCOMPARE(CQHistogramWidget::CategoryColor(1), QColor(216, 221, 180));
        QCOMPARE(CQHistogramWidget::CategoryColor(2), QColor(183, 150, 157));
        // k = 5: m = 115; 115 % 3 = 1, 118 % 7 = 6, 122 % 13 = 5.
        QCOMPARE(CQHistogramWidget::CategoryColor(5), QColor(150 + 33, 150 + 85, 150 + 38));
        // That categories take them in the order they are added shows in the painted segments.
    }
};

GPUPROF_TEST_MAIN(TestHistogramWidget)
#include "tst_histogram_widget.moc"
