// The sample model: grouping runs, cell values, texts and colours, sorting, the time lookup, the
// frame statistics model and the layout switch.

#include "frame_profile_model.h"
#include "model_dump.h"
#include "test_frame.h"
#include "test_support.h"

#include <QAbstractItemModelTester>

#include <cmath>
#include <limits>
#include <memory>

namespace {

using model_dump::Full;
using model_dump::Texts;
using model_dump::VariantText;

constexpr int kName = 0, kIndex = 1, kView = 2, kLayer = 3, kContext = 4, kGpuStart = 5, kGpuTime = 6, kCpuTime = 7, kDraws = 8, kPrims = 9;

// Samples named by a list "#A/x/1 #A/x/2 ..." (a single '_' stands for the empty name).
void AddNamed(CTestFrame &frame, const QString &names)
{
    const QStringList list = names.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &name : list) {
        const QByteArray bytes = name == QLatin1String("_") ? QByteArray() : name.toLatin1();
        frame.Add(std::string_view(bytes.constData(), size_t(bytes.size())));
    }
}

// A model with a tester attached before it is first filled.
struct TestedModel
{
    TestedModel()
        : tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest),
          statsTester(model.frameStatsModel(), QAbstractItemModelTester::FailureReportingMode::QtTest)
    {}
    // Filled with pFrame in one layout, as the window does when a frame is shown.
    TestedModel(GpuFrame *pFrame, bool bHierarchical) : TestedModel()
    {
        model.SetFrame(pFrame);
        model.clear();
        model.Rebuild(bHierarchical);
    }
    CGpuFrameProfileModel model;
    QAbstractItemModelTester tester;
    QAbstractItemModelTester statsTester;
};

QString ColorName(const QVariant &brush)
{
    return brush.value<QBrush>().color().name();
}

} // namespace

class TestFrameProfileModel : public QObject
{
    Q_OBJECT

private slots:
    void grouping_data()
    {
        // clang-format off
        QTest::addColumn<QString>("names");
        QTest::addColumn<QString>("tree");
        QTest::newRow("runs of views and layers")
            << "#A/x/1 #A/x/2 #A/y/3 #B/y/4 #A/x/5"
            << "A [0..2]\n x [0..1]\n  1 0\n  2 1\n y 2\n  3 2\nB 3\n y 3\n  4 3\nA 4\n x 4\n  5 4";
        QTest::newRow("views without a name stay apart")
            << "#/x/1 #/x/2 #A/x/3"
            << "n/a 0\n x 0\n  1 0\nn/a 1\n x 1\n  2 1\nA 2\n x 2\n  3 2";
        QTest::newRow("plain names share a run") << "Shadow Shadow Blur"
                                                 << "Shadow [0..1]\n Shadow [0..1]\n  Shadow 0\n  Shadow 1\n"
                                                    "Blur 2\n Blur 2\n  Blur 2";
        QTest::newRow("missing layers share a run")
            << "#A #A #A/x" << "A [0..2]\n n/a [0..1]\n  n/a 0\n  n/a 1\n x 2\n  n/a 2";
        QTest::newRow("a layer that comes back opens a new row")
            << "#A/x/1 #A/y/2 #A/x/3 #A/x/4" << "A [0..3]\n x 0\n  1 0\n y 1\n  2 1\n x [2..3]\n  3 2\n  4 3";
        QTest::newRow("same layer name under another view")
            << "#A/x/1 #B/x/2" << "A 0\n x 0\n  1 0\nB 1\n x 1\n  2 1";
        QTest::newRow("empty and bare names have no view")
            << "_ # _" << "n/a 0\n n/a 0\n  n/a 0\nn/a 1\n n/a 1\n  n/a 1\nn/a 2\n n/a 2\n  n/a 2";
        QTest::newRow("a plain name n/a counts as no view") << "n/a n/a" << "n/a 0\n n/a 0\n  n/a 0\nn/a 1\n n/a 1\n  n/a 1";
        QTest::newRow("one sample") << "#Main/Opaque/Draw" << "Main 0\n Opaque 0\n  Draw 0";
        // clang-format on
    }

    void grouping()
    {
        QFETCH(QString, names);
        QFETCH(QString, tree);
        CTestFrame frame;
        AddNamed(frame, names);
        TestedModel t(&frame.frame, true);
        QCOMPARE(Texts(&t.model, {kName, kIndex}), tree);

        // Every sample row is reachable by its sample and shows its own index.
        for (int32 i = 0; i < frame.samples.Count(); ++i) {
            const QModelIndex index = t.model.SampleIndex(i);
            QCOMPARE(index.column(), 0);
            QCOMPARE(index.siblingAtColumn(kIndex).data(Qt::UserRole), QVariant(int(i)));
            QVERIFY(index.parent().parent().isValid());
        }
    }

    // Indices are plain decimals, single ones as well as the ranges of group rows; the flat layout;
    // group rows.
    void indexTextsFlatLayoutAndGroupRows()
    {
        CTestFrame frame;
        for (int i = 0; i < 1001; ++i)
            frame.Add("#A/x/d");
        frame.Add("#B/y/e");
        TestedModel t(&frame.frame, true);
        const QStringList lines = Texts(&t.model, {kName, kIndex}).split(QLatin1Char('\n'));
        QCOMPARE(lines.first(), QString("A [0..1000]"));
        QCOMPARE(lines.mid(lines.size() - 3).join(QLatin1Char('|')), QString("B 1001| y 1001|  e 1001"));
        t.model.SetHierarchicalMode(false);
        QCOMPARE(t.model.index(1001, kIndex).data().toString(), QString("1001"));

        // The flat layout: view, layer and context of each sample, a plain name in all three.
        CTestFrame flat;
        AddNamed(flat, "#A/x/1 #A/x/2 Plain #B");
        TestedModel f(&flat.frame, false);
        QCOMPARE(Texts(&f.model, {kIndex, kView, kLayer, kContext, kName}),
                 QString("0 A x 1 1\n1 A x 2 2\n2 Plain Plain Plain Plain\n3 B n/a n/a n/a"));
        QCOMPARE(f.model.SampleIndex(2), f.model.index(2, 0));
        // Nothing outside the table.
        QVERIFY(!SampleColumnValue(flat.samples[0], 0, 55, 0.0).isValid());
        QVERIFY(!SampleColumnValue(flat.samples[0], 0, -1, 0.0).isValid());
        QVERIFY(SampleColumnText(flat.samples[0], 0, 55, 0.0).isNull());
        QVERIFY(SampleColumnHeader(55).isNull());
        QVERIFY(!f.model.index(0, 55).isValid());
        QVERIFY(!f.model.index(4, 0).isValid());

        // Group rows carry the sums of their samples and the texts of their totals names.
        CTestFrame sums;
        sums.Add("#Main/Opaque/Draw A", 10.0, 0.001).SetDraws(40000);
        sums.Add("#Main/Opaque/Draw B", 10.001, 0.002).SetDraws(30000);
        sums.Add("#Main/Alpha/Draw C", 10.004, 0.0005).SetDraws(5);
        sums.samples[0].SetCpuTime(0.0001);
        sums.samples[2].SetCpuTime(0.0002);
        TestedModel g(&sums.frame, true);
        QCOMPARE(Texts(&g.model, {kName, kIndex, kView, kLayer, kContext, kGpuStart, kGpuTime, kCpuTime, kDraws}),
                 QString("Main [0..2] Main <View Totals> <View Totals> 0.00 3.500 0.300 4,469\n"
                         " Opaque [0..1] Main Opaque <Layer Totals> 0.00 3.000 0.100 4,464\n"
                         "  Draw A 0 Main Opaque Draw A 0.00 1.000 0.100 40,000\n"
                         "  Draw B 1 Main Opaque Draw B 1.00 2.000 0.000 30,000\n"
                         " Alpha 2 Main Alpha <Layer Totals> 4.00 0.500 0.200 5\n"
                         "  Draw C 2 Main Alpha Draw C 4.00 0.500 0.200 5"));

        // Group rows have their own backgrounds, whatever the parity of their first sample.
        const QModelIndex view = g.model.index(0, 0);
        const QModelIndex alpha = g.model.index(1, 0, view);
        for (int c = 0; c < kSampleColumnCount; ++c) {
            QCOMPARE(ColorName(g.model.index(0, c).data(Qt::BackgroundRole)), QString("#ffffff"));
            QCOMPARE(ColorName(g.model.index(1, c, view).data(Qt::BackgroundRole)), QString("#f5f5f5"));
        }
        // The range replaces only the text; the raw value stays the first sample's index.
        QCOMPARE(g.model.index(0, kIndex).data(Qt::UserRole), QVariant(0));
        QCOMPARE(alpha.siblingAtColumn(kIndex).data(Qt::UserRole), QVariant(2));
        QCOMPARE(alpha.siblingAtColumn(kDraws).data(Qt::UserRole), QVariant(5));
        QCOMPARE(g.model.index(0, kDraws).data(Qt::UserRole), QVariant(4469));
        // The group item itself: the View part, left aligned, not editable.
        QCOMPARE(view.data(Qt::UserRole), QVariant(QString("Main")));
        QCOMPARE(view.data(Qt::TextAlignmentRole).toInt(), 129);
        QVERIFY(!(view.flags() & Qt::ItemIsEditable));
    }

    // One cell of the second sample of a frame whose first sample starts at 10 s.
    void cells_data()
    {
        // clang-format off
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("expected"); // text, raw value, alignment, foreground

        QTest::newRow("gpu time light grey") << "gpuTime=0.000005" << 6 << "0.005 d:0.0050000000000000001 i:130 #c0c0c0";
        QTest::newRow("gpu time dark grey") << "gpuTime=0.00005" << 6 << "0.050 d:0.050000000000000003 i:130 #808080";
        QTest::newRow("gpu time black") << "gpuTime=0.0005" << 6 << "0.500 d:0.5 i:130 #000000";
        QTest::newRow("gpu time zero") << "" << 6 << "0.000 d:0 i:130 #c0c0c0";
        QTest::newRow("cpu time") << "cpuTime=0.0012346" << 7 << "1.235 d:1.2345999999999999 i:130 #ff0000";
        QTest::newRow("start relative to the first sample") << "gpuStart=10.0015" << 5 << "1.50 d:1.5000000000000568 i:130 #000000";
        QTest::newRow("start before the first sample") << "gpuStart=9.999" << 5 << "-1.00 d:-0.99999999999944578 i:130 #000000";
        QTest::newRow("culled a third") << "iaPrims=3 cPrims=2" << 12 << "33.33% f:33.329998 i:130 #000000";
        QTest::newRow("culled all") << "iaPrims=3" << 12 << "100.00% f:100 i:130 #000000";
        QTest::newRow("culled none when clipper adds") << "iaPrims=3 cPrims=5" << 12 << "0.00% f:0 i:130 #a0a0a4";
        QTest::newRow("culled without input") << "cPrims=5" << 12 << "0.00% f:0 i:130 #a0a0a4";
        QTest::newRow("acmr rounded up") << "vsInvokes=5 iaPrims=3" << 16 << "1.67 f:1.66999996 i:130 #000000";
        QTest::newRow("acmr half rounds up") << "vsInvokes=1 iaPrims=8" << 16 << "0.13 f:0.129999995 i:130 #000000";
        QTest::newRow("acmr without input") << "vsInvokes=5" << 16 << "0.00 f:0 i:130 #a0a0a4";
        QTest::newRow("limit cmr") << "verts=10 iaPrims=4" << 17 << "2.50 f:2.5 i:130 #000000";
        QTest::newRow("limit cmr large") << "verts=4294967295 iaPrims=1" << 17 << "4,294,967,296.00 f:4.2949673e+09 i:130 #000000";
        QTest::newRow("u32 grouped") << "verts=1234567" << 13 << "1,234,567 u:1234567 i:130 #000000";
        QTest::newRow("u32 full range") << "psInvokes=4294967295" << 18 << "4,294,967,295 u:4294967295 i:130 #000000";
        QTest::newRow("u16 full range") << "draws=65535" << 8 << "65,535 i:65535 i:130 #000000";
        QTest::newRow("u16 zero is grey") << "" << 20 << "0 i:0 i:130 #a0a0a4";
        QTest::newRow("last histogram bin") << "ppd11=7" << 54 << "7 i:7 i:130 #000000";
        QTest::newRow("first histogram bin") << "inst0=4096" << 31 << "4,096 i:4096 i:130 #000000";
        QTest::newRow("upload") << "texUpload=65536" << 29 << "65,536 u:65536 i:130 #000000";
        QTest::newRow("index") << "" << 1 << "1 i:1 i:130 #000000";
        QTest::newRow("name") << "" << 0 << "Draw s:Draw i:129 #000000";
        QTest::newRow("view") << "" << 2 << "Main s:Main i:129 #000000";
        QTest::newRow("layer") << "" << 3 << "Opaque s:Opaque i:129 #000000";
        QTest::newRow("context") << "" << 4 << "Draw s:Draw i:129 #000000";
        QTest::newRow("not-a-number time") << "gpuTime=nan" << 6 << "nan d:nan i:130 #ff0000";
        QTest::newRow("huge start") << "gpuStart=1e306" << 5 << "inf d:inf i:130 #000000";
        // clang-format on
    }

    void cells()
    {
        QFETCH(QString, setup);
        QFETCH(int, column);
        QFETCH(QString, expected);

        CTestFrame frame;
        frame.Add("#Main/Opaque/First", 10.0, 0.001);
        GpuSampleRecord &s = frame.Add("#Main/Opaque/Draw", 10.0, 0.0);
        for (const QString &assignment : setup.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString key = assignment.section(QLatin1Char('='), 0, 0);
            const QString text = assignment.section(QLatin1Char('='), 1);
            const uint32 n = text.toUInt();
            const double d = text == QLatin1String("nan") ? std::numeric_limits<double>::quiet_NaN() : text.toDouble();
            // A table, one field a line.
            // clang-format off
            if (key == "gpuTime") s.SetGpuTime(d);
            else if (key == "cpuTime") s.SetCpuTime(d);
            else if (key == "gpuStart") s.SetGpuStartTime(d);
            else if (key == "iaPrims") s.SetIaPrims(n);
            else if (key == "cPrims") s.SetCPrims(n);
            else if (key == "vsInvokes") s.SetVsInvokes(n);
            else if (key == "verts") s.SetVerts(n);
            else if (key == "psInvokes") s.SetPsInvokes(n);
            else if (key == "draws") s.SetDraws(uint16(n));
            else if (key == "texUpload") s.SetTexUpload(n);
            else if (key == "ppd11") s.SetPrimsPerDrawHist(11, uint16(n));
            else if (key == "inst0") s.SetInstHist(0, uint16(n));
            else QFAIL(qPrintable(key));
            // clang-format on
        }

        TestedModel t(&frame.frame, false);
        const QModelIndex index = t.model.index(1, column);
        const QString cell = QStringList{index.data().toString(), VariantText(index.data(Qt::UserRole)),
                                         VariantText(index.data(Qt::TextAlignmentRole)), ColorName(index.data(Qt::ForegroundRole))}
                                 .join(QLatin1Char(' '));
        QCOMPARE(cell, expected);
        QVERIFY(!(index.flags() & Qt::ItemIsEditable));
        // The widget-free cell functions say the same as the model.
        QCOMPARE(SampleColumnText(frame.samples[1], 1, column, 10.0), index.data().toString());
        QCOMPARE(VariantText(SampleColumnValue(frame.samples[1], 1, column, 10.0)), VariantText(index.data(Qt::UserRole)));
    }

    void rowColors_data()
    {
        // clang-format off
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("color");
        // Expected hash colours worked out from the published MurmurHash2 with seed 1.
        QTest::newRow("leaf cut at its first space") << QByteArray("#Main/Opaque/Draw Call 12") << "#b7cee0";
        QTest::newRow("same leaf, other path") << QByteArray("#Post/Blur/Draw") << "#b7cee0";
        QTest::newRow("plain name") << QByteArray("Shadow Pass") << "#b1a5d1";
        QTest::newRow("two parts") << QByteArray("#A/B") << "#9bb3a2";
        QTest::newRow("one part is white") << QByteArray("#Main") << "#ffffff";
        QTest::newRow("bare hash is white") << QByteArray("#") << "#ffffff";
        QTest::newRow("leaf after the last slash") << QByteArray("#A/x/y/B") << "#9bb3a2";
        QTest::newRow("plus prefix is grey") << QByteArray("#Main/Opaque/+Batch 3") << "#e6e6e6";
        QTest::newRow("empty name") << QByteArray("") << "#a9b4d4";
        QTest::newRow("empty leaf") << QByteArray("#A/B/") << "#a9b4d4";
        // clang-format on
    }

    void rowColors()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, color);
        CTestFrame frame;
        frame.Add(std::string_view(name.constData(), size_t(name.size())));
        frame.Add(std::string_view(name.constData(), size_t(name.size())));
        TestedModel t(&frame.frame, false);
        QCOMPARE(QColor::fromRgba(SampleRowRgb(frame.samples[0])).name(), color);
        const QString odd = QColor(color).darker(103).name();
        for (int c = 0; c < kSampleColumnCount; ++c) {
            QCOMPARE(ColorName(t.model.index(0, c).data(Qt::BackgroundRole)), color);
            QCOMPARE(ColorName(t.model.index(1, c).data(Qt::BackgroundRole)), odd);
        }
    }

    void sortsByRawValue_data()
    {
        // clang-format off
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("order");
        QTest::addColumn<QString>("indices");
        QTest::newRow("gpu time ascending") << kGpuTime << int(Qt::AscendingOrder) << "2 1 3 0";
        QTest::newRow("gpu time descending") << kGpuTime << int(Qt::DescendingOrder) << "0 3 1 2";
        QTest::newRow("prims ascending") << kPrims << int(Qt::AscendingOrder) << "3 2 1 0";
        QTest::newRow("culled ascending") << 12 << int(Qt::AscendingOrder) << "3 0 2 1";
        QTest::newRow("index descending") << kIndex << int(Qt::DescendingOrder) << "3 2 1 0";
        // clang-format on
    }

    void sortsByRawValue()
    {
        QFETCH(int, column);
        QFETCH(int, order);
        QFETCH(QString, indices);
        CTestFrame frame;
        // Texts "10.100", "2.000", "0.900", "3.000" and "1,000", "200", "30", "9": text order
        // differs from number order in both columns.
        frame.Add("a", 0, 0.0101).SetPrims(1000);
        frame.Add("b", 0, 0.002).SetPrims(200);
        frame.Add("c", 0, 0.0009).SetPrims(30);
        frame.Add("d", 0, 0.003).SetPrims(9);
        frame.samples[0].SetIaPrims(100);
        frame.samples[0].SetCPrims(20); // 80%
        frame.samples[1].SetIaPrims(100); // 100%
        frame.samples[2].SetIaPrims(100);
        frame.samples[2].SetCPrims(10); // 90%
        TestedModel t(&frame.frame, false);
        t.model.sort(kPrims, Qt::AscendingOrder); // the sort starts from another order
        const QPersistentModelIndex current = t.model.SampleIndex(2, kGpuTime);
        t.model.sort(column, Qt::SortOrder(order));
        QCOMPARE(Texts(&t.model, {kIndex}).replace(QLatin1Char('\n'), QLatin1Char(' ')), indices);
        // Sample lookups and persistent indexes (the inspector's row) follow the rows.
        QCOMPARE(t.model.SampleIndex(0).siblingAtColumn(kView).data().toString(), QString("a"));
        QCOMPARE(current.sibling(current.row(), kView).data().toString(), QString("c"));
        // The tree keeps the samples' order: a sort leaves it and its persistent indexes as they are.
        t.model.SetHierarchicalMode(true);
        const QPersistentModelIndex inTree = t.model.SampleIndex(2, kGpuTime);
        const QString sTree = Full(&t.model);
        t.model.sort(column, Qt::SortOrder(order));
        QCOMPARE(Full(&t.model), sTree);
        QCOMPARE(QModelIndex(inTree), t.model.SampleIndex(2, kGpuTime));
    }

    void sampleIndexAtTime_data()
    {
        // clang-format off
        QTest::addColumn<bool>("hierarchical");
        QTest::addColumn<double>("time");
        QTest::addColumn<int>("sample");
        // Samples at 0..1, 1..3, 5..6 and, overlapping the first, 0.5..4 (ms from the first).
        for (bool bHierarchical : {false, true}) {
            const char *pszLayout = bHierarchical ? "tree" : "flat";
            QTest::addRow("%s start of the first", pszLayout) << bHierarchical << 0.0 << 0;
            QTest::addRow("%s end of a sample is the next one", pszLayout) << bHierarchical << 0.001 << 1;
            QTest::addRow("%s overlap takes the first in order", pszLayout) << bHierarchical << 0.0007 << 0;
            QTest::addRow("%s only the overlapping one", pszLayout) << bHierarchical << 0.0035 << 3;
            QTest::addRow("%s gap", pszLayout) << bHierarchical << 0.0045 << -1;
            QTest::addRow("%s end of the last", pszLayout) << bHierarchical << 0.006 << -1;
            QTest::addRow("%s before the first", pszLayout) << bHierarchical << -0.0001 << -1;
            QTest::addRow("%s not a number", pszLayout) << bHierarchical << std::nan("") << -1;
        }
        // clang-format on
    }

    void sampleIndexAtTime()
    {
        QFETCH(bool, hierarchical);
        QFETCH(double, time);
        QFETCH(int, sample);
        CTestFrame frame;
        frame.Add("#A/x/0", 2.0, 0.001);
        frame.Add("#A/x/1", 2.001, 0.002);
        frame.Add("#A/y/2", 2.005, 0.001);
        frame.Add("#B/x/3", 2.0005, 0.0035);
        TestedModel t(&frame.frame, hierarchical);
        const QModelIndex index = t.model.SampleIndexAtTime(time);
        if (sample < 0) {
            QVERIFY(!index.isValid());
            return;
        }
        QVERIFY(index.isValid());
        QCOMPARE(index.column(), 0);
        QCOMPARE(index, t.model.SampleIndex(sample));
        QCOMPARE(index.siblingAtColumn(kIndex).data(Qt::UserRole), QVariant(sample));
    }

    // No frame or an empty one, in either layout: the headers, no rows, zero totals. Layout
    // switches over changing frames.
    void emptyFramesAndLayoutSwitches()
    {
        CTestFrame frame;
        GpuSampleRecord zero{};
        zero.SetName("#Frame Totals/Frame Totals/Frame Totals");
        for (int i = 0; i < 4; ++i) {
            TestedModel t((i & 2) ? nullptr : &frame.frame, (i & 1) != 0);
            QCOMPARE(t.model.rowCount(), 0);
            QCOMPARE(DumpHeader(&t.model, QLatin1Char(',')),
                     QString("Name,Index,View,Layer,Context,GPU Start Time,GPU Time [ms],CPU Time [ms],Draws,Prims,"
                             "IAPrims,CPrims,% Prims Culled,Verts,IAVerts,VSInvokes,VS ACMR,VS Limit CMR,PSInvokes,"
                             "CInvokes,Clears,Resolves,VB Updates,VB Upload,IB Updates,IB Upload,CB Updates,"
                             "CB Upload,TEX Updates,TEX Upload,FB TEX Updates,InstHist0,InstHist1,InstHist2,"
                             "InstHist3,InstHist4,InstHist5,InstHist6,InstHist7,InstHist8,InstHist16,InstHist32,"
                             "InstHistJumbo,Prims/Draw 0-16,Prims/Draw 17-128,Prims/Draw 129-256,Prims/Draw 257-512,"
                             "Prims/Draw 513-1k,Prims/Draw 1k-2k,Prims/Draw 2k-4k,Prims/Draw 4k-8k,"
                             "Prims/Draw 8k-16k,Prims/Draw 16k-64k,Prims/Draw 64k-256k,Prims/Draw 256k+"));
            QVERIFY(!t.model.SampleIndex(0).isValid());
            QVERIFY(!t.model.SampleIndexAtTime(0.0).isValid());
            QCOMPARE(std::memcmp(&t.model.frameTotals(), &zero, sizeof(zero)), 0);
            QCOMPARE(t.model.frameStatsModel()->rowCount(), 1);
            QCOMPARE(t.model.frameStatsModel()->columnCount(), 55);
            QCOMPARE(t.model.frameStatsModel()->index(0, kDraws).data().toString(), QString("0"));
        }

        // The layout switch used by the window's "Hierarchy" action, repeated over changing frames,
        // with a view-like tester watching throughout.
        CTestFrame big;
        big.Generate(300, 3);
        CTestFrame small;
        AddNamed(small, "#A/x/1 #B/y/2");
        TestedModel switched;
        QCOMPARE(switched.model.hierarchical(), true);
        for (int nRound = 0; nRound < 6; ++nRound) {
            GpuFrame *pFrame = (nRound % 2) ? &small.frame : &big.frame;
            switched.model.SetFrame(pFrame);
            switched.model.SetHierarchicalMode(nRound % 3 == 0);
            QCOMPARE(switched.model.hierarchical(), nRound % 3 == 0);
            const TestedModel eager(pFrame, nRound % 3 == 0);
            QCOMPARE(Full(&switched.model), Full(&eager.model));
        }
    }

    void frameStats_data()
    {
        // clang-format off
        QTest::addColumn<bool>("resources");
        QTest::addColumn<QString>("tail"); // headers and texts of the last columns
        QTest::newRow("without resource statistics") << false << "Prims/Draw 256k+=3";
        QString sTail = "Prims/Draw 256k+=3|Unique Bound VBs=1|Bound VB Size=1,001|Unique Bound IBs=2|"
                        "Bound IB Size=1,002|Unique Bound CBs=3|Bound CB Size=1,003|FB Tex Pool=4|Unique Bound TEXs=5|"
                        "Bound TEX Size=4,294,967,295";
        // Dimension bins from 1 to 32768, holding the values frameStats() gives them.
        for (int i = 0; i < 16; ++i) {
            const QString value = i == 15 ? QStringLiteral("1,234,567") : QString::number(10 * i);
            sTail += QStringLiteral("|Bound TEX Dim Hist (%1)=%2").arg(1 << i).arg(value);
        }
        QTest::newRow("with resource statistics") << true << sTail;
        // clang-format on
    }

    void frameStats()
    {
        QFETCH(bool, resources);
        QFETCH(QString, tail);
        CTestFrame frame;
        frame.Add("#A/x/1", 5.0, 0.001).SetDraws(40000);
        frame.Add("#A/x/2", 5.001, 0.001).SetDraws(30000);
        frame.samples[0].SetPrimsPerDrawHist(11, 1);
        frame.samples[1].SetPrimsPerDrawHist(11, 2);
        frame.frame.header.hasResourceStats = resources ? 1 : 0;
        // The fields hold values either way: only the flag decides.
        const uint32 stats[] = {1, 1001, 2, 1002, 3, 1003, 4, 5, 4294967295u};
        for (int i = 0; i < GpuFrameHeader::kResourceStatCount; ++i)
            frame.frame.header.SetResourceStat(i, stats[i]);
        for (int i = 0; i < GpuFrameHeader::kTexDimHistBins; ++i)
            frame.frame.header.SetBoundTexDimHist(i, i == 15 ? 1234567u : uint32(10 * i));

        TestedModel t;
        t.model.SetFrame(&frame.frame);
        for (bool bHierarchical : {false, true}) {
            t.model.clear();
            t.model.Rebuild(bHierarchical);
            const QStandardItemModel *pStats = t.model.frameStatsModel();
            QCOMPARE(pStats->rowCount(), 1);
            QCOMPARE(pStats->columnCount(), resources ? 80 : 55);
            QStringList cells;
            for (int c = 54; c < pStats->columnCount(); ++c)
                cells << pStats->headerData(c, Qt::Horizontal).toString() + "=" + pStats->index(0, c).data().toString();
            QCOMPARE(cells.join(QLatin1Char('|')), tail);

            // The sample columns are the totals as a tree row shows them: sums, "n/a"-free names
            // from the totals name, a white background and the usual colours.
            QCOMPARE(Texts(pStats, {0, 1, 2, 3, 4, kGpuTime, kDraws}),
                     QString("Frame Totals 0 Frame Totals Frame Totals Frame Totals 2.000 4,464"));
            QCOMPARE(pStats->index(0, kDraws).data(Qt::UserRole), QVariant(4464));
            QCOMPARE(ColorName(pStats->index(0, kGpuTime).data(Qt::ForegroundRole)), QString("#ff0000"));
            QCOMPARE(ColorName(pStats->index(0, kPrims).data(Qt::ForegroundRole)), QString("#a0a0a4"));
            QCOMPARE(ColorName(pStats->index(0, kDraws).data(Qt::BackgroundRole)), QString("#ffffff"));
            QCOMPARE(t.model.frameTotals().GpuTime(), 0.002);
            for (int c = 55; c < pStats->columnCount(); ++c) {
                const QModelIndex cell = pStats->index(0, c);
                QCOMPARE(cell.data(Qt::TextAlignmentRole).toInt(), 130);
                QVERIFY(!cell.data(Qt::UserRole).isValid());
                QVERIFY(!cell.data(Qt::ForegroundRole).isValid());
                QVERIFY(!cell.data(Qt::BackgroundRole).isValid());
            }
        }
    }

    // Records of random bytes (times that are NaN or infinite, counters that wrap), with names
    // drawn from a few path pieces so that runs form and break, after a name of 255 slashes
    // without a terminator, a record of 0xFF bytes and infinite times: both layouts hold every
    // sample once, in order, every cell can be shown, the view rows add up to the frame totals,
    // and nothing is left allocated.
    void randomRecords()
    {
        for (uint seed = 1; seed <= 12; ++seed) {
            uint32 nState = seed * 2654435761u;
            auto next = [&nState] {
                nState ^= nState << 13;
                nState ^= nState >> 17;
                nState ^= nState << 5;
                return nState;
            };
            static const char *const kPieces[] = {"#", "A", "B", "/", "/", "x", "+", " ", "", "n/a"};
            AllocationSnapshot before;
            CTestFrame frame;
            GpuSampleRecord &slashes = frame.Add("");
            std::memset(slashes.name, '/', sizeof(slashes.name));
            slashes.name[0] = '#';
            std::memset(static_cast<void *>(&frame.Add("")), 0xFF, sizeof(GpuSampleRecord));
            frame.Add("#A/B/C", std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity())
                .SetCpuTime(std::numeric_limits<double>::max());
            const int nCount = 3 + int(next() % 150);
            for (int i = 3; i < nCount; ++i) {
                GpuSampleRecord &sample = frame.Add("");
                auto *pBytes = reinterpret_cast<uint8 *>(&sample);
                for (size_t b = 0; b < sizeof(sample); ++b)
                    pBytes[b] = uint8(next());
                if (next() % 4 != 0) {
                    QByteArray name;
                    for (int nPieces = int(next() % 6); nPieces >= 0; --nPieces)
                        name += kPieces[next() % 10];
                    sample.SetName(std::string_view(name.constData(), size_t(name.size())));
                }
            }
            frame.frame.header.hasResourceStats = uint8(next());

            for (bool bHierarchical : {false, true}) {
                TestedModel t(&frame.frame, bHierarchical);
                for (int i = 0; i < nCount; ++i)
                    QCOMPARE(t.model.SampleIndex(i).siblingAtColumn(kIndex).data(Qt::UserRole), QVariant(i));
                QVERIFY(!Full(&t.model).isEmpty());
                t.model.SampleIndexAtTime(0.0);
                t.model.SampleIndexAtTime(std::numeric_limits<double>::infinity());
                if (bHierarchical) {
                    uint32 nDraws = 0;
                    for (int r = 0; r < t.model.rowCount(); ++r)
                        nDraws += t.model.index(r, kDraws).data(Qt::UserRole).toUInt();
                    QCOMPARE(nDraws % 65536, uint32(t.model.frameTotals().Draws()));
                } else {
                    QCOMPARE(t.model.rowCount(), nCount);
                    t.model.sort(kGpuTime, Qt::DescendingOrder);
                }
            }
            frame.samples.Purge();
            GPUPROF_COMPARE_NO_LEAKS(before);
        }
    }
};

GPUPROF_TEST_MAIN(TestFrameProfileModel)
#include "tst_frame_profile_model.moc"
