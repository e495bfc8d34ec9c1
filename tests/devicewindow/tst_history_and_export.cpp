// Frame intake and history: the pending queue, the ring and its wrap, bubble removal and totals,
// the placeholder sample, the bar delegate's pixels, the CSV text and its failure message, and
// memory across window lifetimes.

#include "bar_graph_item_delegate.h"
#include "csv_export.h"
#include "device_window.h"
#include "frame_generator.h"
#include "frame_profile_model.h"
#include "test_support.h"
#include "window_test_support.h"

#include <QItemSelectionModel>
#include <QAbstractButton>
#include <QMessageBox>
#include <QPainter>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

namespace {

std::unique_ptr<CQCGPUProfilerDeviceWindow> MakeWindow()
{
    return std::make_unique<CQCGPUProfilerDeviceWindow>("Game", 1);
}

QList<double> StartTimesMs(const std::vector<GpuSampleRecord> &samples)
{
    QList<double> starts;
    for (const GpuSampleRecord &sample : samples)
        starts << qRound(sample.GpuStartTime() * 1e6) / 1000.0;
    return starts;
}

// Paints one history cell of the given value into an image and returns, per row of the cell,
// 'B' where the bar colour is, 'H' for highlight, '.' for anything else, read at the cell's
// middle column.
QString PaintCell(FrameHistory &history, const QVariant &value, bool bSelected, QColor *pBarColour = nullptr)
{
    QStandardItemModel model(1, 1);
    if (value.isValid())
        model.setData(model.index(0, 0), value, CQBarGraphItemDelegate::kTotalGpuTimeRole);
    CQBarGraphItemDelegate delegate(nullptr, &history);
    QImage image(16, 80, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 16, 80);
    option.palette.setBrush(QPalette::Highlight, QColor(1, 2, 3));
    if (bSelected)
        option.state |= QStyle::State_Selected;
    {
        QPainter painter(&image);
        delegate.paint(&painter, option, model.index(0, 0));
    }
    const QColor bar = CQBarGraphItemDelegate::BudgetColor(value.toDouble());
    if (pBarColour)
        *pBarColour = QColor(image.pixel(8, 78));
    QString column;
    for (int y = 0; y < 80; ++y) {
        const QColor c(image.pixel(8, y));
        column += c == bar ? QLatin1Char('B') : c == QColor(1, 2, 3) ? QLatin1Char('H') : QLatin1Char('.');
    }
    // The bar keeps one pixel of margin on the left and right.
    const bool bMargins = QColor(image.pixel(0, 78)) != bar && QColor(image.pixel(15, 78)) != bar &&
                          QColor(image.pixel(1, 78)) == bar && QColor(image.pixel(14, 78)) == bar;
    return bMargins ? column : QStringLiteral("margins wrong");
}

} // namespace

class TestHistoryAndExport : public QObject
{
    Q_OBJECT

private slots:
    void bubbleRemovalLaysSamplesEndToEnd_data()
    {
        QTest::addColumn<bool>("removeBubbles");
        QTest::addColumn<QList<double>>("starts");
        QTest::newRow("on") << true << QList<double>({0.0, 1.0, 3.0});
        QTest::newRow("off") << false << QList<double>({10.0, 20.0, 30.0});
    }

    void bubbleRemovalLaysSamplesEndToEnd()
    {
        QFETCH(bool, removeBubbles);
        QFETCH(QList<double>, starts);
        CommandRecorder recorder;
        auto pWindow = MakeWindow();
        pWindow->RemoveBubblesAction()->setChecked(removeBubbles);
        Record(*pWindow, TimedFrame(1, {1.0, 2.0, 3.0}, {10.0, 20.0, 30.0}));
        const FrameHistoryEntry *pEntry = pWindow->History().EntryAt(0);
        QCOMPARE(StartTimesMs(RecordedSamples(pWindow->History(), pEntry)), starts);
        QCOMPARE(qRound(pEntry->totalGpuTime * 1e6), 6000);
        QCOMPARE(pWindow->TimelineOrigin(), starts[0] / 1000.0);
    }

    void emptyFramesGetOnePlaceholder()
    {
        CommandRecorder recorder;
        auto pWindow = MakeWindow();
        TargetFrame frame;
        frame.header = MakeFrameHeader(1, "Main", 0);
        Record(*pWindow, frame);
        const FrameHistoryEntry *pEntry = pWindow->History().EntryAt(0);
        GpuSampleRecord dummy{};
        dummy.SetName("Dummy");
        const std::vector<GpuSampleRecord> recorded = RecordedSamples(pWindow->History(), pEntry);
        QCOMPARE(recorded.size(), size_t(1));
        QVERIFY(std::memcmp(&recorded[0], &dummy, sizeof(dummy)) == 0);
        QCOMPARE(pEntry->header.SampleCount(), 0u);
        QCOMPARE(pEntry->totalGpuTime, 0.0);
        // Shown like any other frame.
        QCOMPARE(pWindow->SampleModel()->rowCount(), 1);
        QCOMPARE(pWindow->SampleModel()->index(0, 4).data().toString(), QStringLiteral("Dummy"));
    }

    void onlyTheNewestPendingFrameIsRecorded()
    {
        CommandRecorder recorder;
        AllocationSnapshot before;
        {
            auto pWindow = MakeWindow();
            for (int i = 1; i <= 200; ++i)
                HandOver(*pWindow, TimedFrame(1, {double(i)}));
            QCOMPARE(pWindow->PendingFrameCount(), 129);
            pWindow->TimerCallback();
            QCOMPARE(pWindow->PendingFrameCount(), 0);
            QCOMPARE(pWindow->History().Count(), 1);
            QCOMPARE(pWindow->History().EntryAt(0)->totalGpuTime, 0.2);
            HandOver(*pWindow, TimedFrame(1, {1.0}));
            // A null header is ignored.
            pWindow->OnFrameReceived(nullptr, nullptr);
            QCOMPARE(pWindow->PendingFrameCount(), 1);
        }
        GPUPROF_COMPARE_NO_LEAKS(before);
    }

    void bigWaitingFramesAreLetGoEarly()
    {
        CommandRecorder recorder;
        AllocationSnapshot before;
        {
            auto pWindow = MakeWindow();
            const TargetFrame big = MakeNumberedFrame(1, "s", 50000); // 20 MB of samples
            for (int i = 0; i < 10; ++i)
                HandOver(*pWindow, big);
            // At most the byte bound waits besides the newest frame.
            QVERIFY(pWindow->PendingFrameCount() <= 4);
            QVERIFY(pWindow->PendingFrameCount() >= 3);
            HandOver(*pWindow, TimedFrame(1, {2.0}));
            pWindow->TimerCallback();
            QCOMPARE(pWindow->History().Count(), 1);
            QCOMPARE(pWindow->History().EntryAt(0)->sampleCount, 1); // the newest, small one
        }
        GPUPROF_COMPARE_NO_LEAKS(before);
    }

    void ringWrapsAt499WithTheNewestSelected()
    {
        CommandRecorder recorder;
        auto pWindow = MakeWindow();
        for (int i = 1; i <= 520; ++i)
            Record(*pWindow, TimedFrame(1, {i * 0.01}));
        FrameHistory &history = pWindow->History();
        QCOMPARE(history.Count(), 499);
        QCOMPARE(pWindow->HistoryModel()->columnCount(), 499);
        // Column p shows the frame at position p: the oldest is frame 22, the newest frame 520.
        for (int p : {0, 1, 250, 497, 498}) {
            const double flExpected = (p + 22) * 0.01 / 1000.0;
            QCOMPARE(pWindow->HistoryModel()->index(0, p).data(CQBarGraphItemDelegate::kTotalGpuTimeRole).toDouble(),
                     history.EntryAt(p)->totalGpuTime);
            QCOMPARE(qRound(history.EntryAt(p)->totalGpuTime * 1e9), qRound(flExpected * 1e9));
        }
        QCOMPARE(pWindow->SelectedFrame(), history.EntryAt(498));
        QCOMPARE(pWindow->HistoryTable()->currentIndex().column(), 498);
        // Every recording selects its column and nothing deselects them while live; the
        // selection is kept as one run of columns, not 499 ranges.
        QItemSelectionModel *pSelection = pWindow->HistoryTable()->selectionModel();
        for (int p : {0, 250, 498})
            QVERIFY(pSelection->isSelected(pWindow->HistoryModel()->index(0, p)));
        QCOMPARE(pSelection->selection().size(), 1);
        QCOMPARE(pWindow->HistoryTable()->columnWidth(498), 16);
        QCOMPARE(history.MaxTotalGpuTime(), 0.0052);
    }

    void clickedColumnKeepsItsPlaceAcrossTheWrap()
    {
        CommandRecorder recorder;
        auto pWindow = MakeWindow();
        for (int i = 1; i <= 499; ++i)
            Record(*pWindow, TimedFrame(1, {1.0}));
        pWindow->HistoryTable()->selectionModel()->setCurrentIndex(pWindow->HistoryModel()->index(0, 10),
                                                                    QItemSelectionModel::ClearAndSelect);
        QCOMPARE(pWindow->SelectedFrame(), pWindow->History().EntryAt(10));
        Record(*pWindow, TimedFrame(1, {2.0}));
        // Live, the new frame is selected; the clicked column stays highlighted where it was.
        QCOMPARE(pWindow->SelectedFrame(), pWindow->History().EntryAt(498));
        QItemSelectionModel *pSelection = pWindow->HistoryTable()->selectionModel();
        QVERIFY(pSelection->isSelected(pWindow->HistoryModel()->index(0, 10)));
        QVERIFY(pSelection->isSelected(pWindow->HistoryModel()->index(0, 498)));
        QVERIFY(!pSelection->isSelected(pWindow->HistoryModel()->index(0, 9)));
    }

    void maxTotalGpuTimeIsAtLeastOneMillisecond()
    {
        FrameHistory history;
        QCOMPARE(history.MaxTotalGpuTime(), 0.001);
        history.Slot(history.AddEntry()).totalGpuTime = 0.0004;
        QCOMPARE(history.MaxTotalGpuTime(), 0.001);
        history.Slot(history.AddEntry()).totalGpuTime = 0.02;
        QCOMPARE(history.MaxTotalGpuTime(), 0.02);
        history.Clear();
        QCOMPARE(history.Count(), 0);
        QCOMPARE(history.MaxTotalGpuTime(), 0.001);
    }

    void barHeightsAndColours_data()
    {
        QTest::addColumn<double>("max");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("barTop");
        QTest::addColumn<QColor>("colour");
        // Cell rows 0..79: the bar stands on row 78 and reaches row 1 at the maximum.
        QTest::newRow("longest frame") << 0.05 << QVariant(0.05) << 1 << QColor(255, 0, 0);
        QTest::newRow("half") << 0.02 << QVariant(0.01) << 39 << QColor(0, 255, 0);
        QTest::newRow("short frames scale to 1 ms") << 0.0005 << QVariant(0.0005) << 39 << QColor(0, 255, 0);
        QTest::newRow("exactly 1/60") << 0.1 << QVariant(1.0 / 60.0) << 65 << QColor(0, 255, 0);
        QTest::newRow("just above 1/60") << 0.1 << QVariant(1.0 / 60.0 + 1e-9) << 65 << QColor(0, 128, 0);
        QTest::newRow("yellow") << 0.1 << QVariant(0.04) << 47 << QColor(255, 255, 0);
        QTest::newRow("above 0.05") << 0.1 << QVariant(0.0500001) << 39 << QColor(100, 0, 200);
        QTest::newRow("no value") << 0.1 << QVariant() << 78 << QColor(0, 255, 0);
        QTest::newRow("negative") << 0.1 << QVariant(-1.0) << 78 << QColor(0, 255, 0);
        QTest::newRow("text value") << 0.02 << QVariant(QStringLiteral("0.01")) << 39 << QColor(0, 255, 0);
        QTest::newRow("over the maximum") << 0.01 << QVariant(0.5) << 1 << QColor(100, 0, 200);
    }

    void barHeightsAndColours()
    {
        QFETCH(double, max);
        QFETCH(QVariant, value);
        QFETCH(int, barTop);
        QFETCH(QColor, colour);
        FrameHistory history;
        history.Slot(history.AddEntry()).totalGpuTime = max;
        QColor painted;
        const QString cell = PaintCell(history, value, false, &painted);
        QCOMPARE(painted, colour);
        QCOMPARE(cell, QString(barTop, QLatin1Char('.')) + QString(79 - barTop, QLatin1Char('B')) + QLatin1Char('.'));
    }

    void selectedCellShowsTheHighlightAroundTheBar()
    {
        FrameHistory history;
        history.Slot(history.AddEntry()).totalGpuTime = 0.01;
        const QString cell = PaintCell(history, QVariant(0.005), true);
        QCOMPARE(cell, QString(39, QLatin1Char('H')) + QString(40, QLatin1Char('B')) + QLatin1Char('H'));
    }

    void csvTextHasTheHeaderAndOneLinePerSample()
    {
        TargetFrame frame = TimedFrame(1, {0.5, 1.0 / 3.0});
        frame.samples[0].SetIaPrims(3);
        frame.samples[0].SetCPrims(2);
        frame.samples[1].SetName("#Main/Opaque, Alpha/Draw");
        GpuSampleArray samples;
        samples.SetCount(2);
        std::memcpy(samples.Base(), frame.samples.data(), 2 * sizeof(GpuSampleRecord));
        GpuFrame gpuFrame{frame.header, &samples};

        const QStringList lines = BuildFrameCsvText(&gpuFrame).split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 4); // header, two samples, and the empty text after the last line end
        QCOMPARE(lines.last(), QString());
        const QStringList header = lines[0].split(QStringLiteral(", "));
        QCOMPARE(header.size(), 54);
        QCOMPARE(header.first(), QStringLiteral("Index"));
        QCOMPARE(header[4], QStringLiteral("GPU Start Time"));
        QCOMPARE(header.last(), QStringLiteral("Prims/Draw 256k+"));
        QVERIFY(!lines[0].endsWith(QLatin1Char(',')));

        const QStringList first = lines[1].split(QStringLiteral(", "));
        QCOMPARE(first.size(), 54);
        QCOMPARE(first.mid(0, 7), QStringList({"0", "s0", "s0", "s0", "0", "0.5", "0.25"}));
        QCOMPARE(first[11], QStringLiteral("33.33")); // "% Prims Culled" as a float
        // Doubles keep up to 15 significant digits; a comma inside a name splits the field.
        const QStringList second = lines[2].split(QStringLiteral(", "));
        QCOMPARE(second.size(), 55);
        QCOMPARE(second.mid(0, 4), QStringList({"1", "Main", "Opaque", "Alpha"}));
        QCOMPARE(second[6], QStringLiteral("0.333333333333333"));
        QCOMPARE(second[5], QStringLiteral("0.5"));
    }

    void csvValueTexts_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("double, 15 digits") << QVariant(0.1 + 0.2) << "0.3";
        QTest::newRow("double, long") << QVariant(1.0 / 7.0) << "0.142857142857143";
        QTest::newRow("float, 6 digits") << QVariant(0.1f) << "0.1";
        QTest::newRow("float, truncated ratio") << QVariant(float(1.0 / 3.0)) << "0.333333";
        QTest::newRow("unsigned") << QVariant(4294967295u) << "4294967295";
        QTest::newRow("string") << QVariant(QStringLiteral("n/a")) << "n/a";
        QTest::newRow("large double") << QVariant(1e20) << "1e+20";
    }

    void csvValueTexts()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, text);
        QCOMPARE(CsvValueText(value), text);
    }

    void saveWritesTheSelectedFrameOrWarns()
    {
        CommandRecorder recorder;
        auto pWindow = MakeWindow();
        QTemporaryDir dir;
        QString sTarget = dir.filePath(QStringLiteral("frame.csv"));
        CQCGPUProfilerDeviceWindow::SetSaveFileNameProvider([&](QWidget *) { return sTarget; });

        // Nothing selected: nothing happens.
        pWindow->SaveCurrentProfileAsCSV();
        QVERIFY(!QFile::exists(sTarget));

        Record(*pWindow, TimedFrame(1, {1.0, 2.0, 3.0}));
        pWindow->PauseAction()->setChecked(true);
        pWindow->TimerCallback(); // hierarchical tree now; the file stays flat
        pWindow->SaveCurrentProfileAsCSV();
        QFile file(sTarget);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.count('\n'), 4);
        QVERIFY(!bytes.contains('\r'));
        QVERIFY(bytes.startsWith("Index, View, Layer, Context, GPU Start Time, GPU Time [ms], "));
        QVERIFY(bytes.contains("\n2, s2, s2, s2, 3, 3, 1.5, "));

        // A file that cannot be opened: a warning naming it, nothing written.
        sTarget = dir.filePath(QStringLiteral("missing/dir/frame.csv"));
        QString sMessage, sTitle;
        QTimer answer;
        answer.setInterval(10);
        connect(&answer, &QTimer::timeout, [&] {
            auto *pBox = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!pBox)
                return;
            answer.stop();
            sTitle = pBox->windowTitle();
            sMessage = pBox->text();
            pBox->button(QMessageBox::Ok)->click();
        });
        answer.start();
        pWindow->SaveCurrentProfileAsCSV();
        QCOMPARE(sTitle, QStringLiteral("GPU Profiler"));
        QCOMPARE(sMessage, QStringLiteral("Error writing to file %1.").arg(sTarget));

        // A cancelled dialog writes nothing.
        sTarget.clear();
        pWindow->SaveCurrentProfileAsCSV();
        CQCGPUProfilerDeviceWindow::SetSaveFileNameProvider({});
    }

    // Frames of another swap chain, kept for saving, share the window's memory bound and never
    // push out a shown frame: the shown history is what a window without them keeps.
    void otherSwapChainsKeptWithinTheBound()
    {
        CommandRecorder recorder;
        AllocationSnapshot before;
        {
            auto pShownOnly = MakeWindow(), pBoth = MakeWindow();
            pShownOnly->History().SetMaxBytes(4 << 20);
            pBoth->History().SetMaxBytes(4 << 20);
            CFrameGenerator generator(5);
            for (int i = 0; i < 70; ++i) {
                TargetFrame shown = generator.NextFrame(), other = generator.NextFrame();
                other.header.SetSwapChainId(2);
                // The other swap chain is listed once its frame is the newest of a tick.
                if (i > 0)
                    HandOver(*pBoth, other);
                if (i != 1)
                    HandOver(*pBoth, shown);
                pBoth->TimerCallback();
                if (i != 1)
                    Record(*pShownOnly, shown);
            }
            const FrameHistory *pOther = pBoth->SwapChainHistory(1);
            QVERIFY(pOther && pOther->Count() > 0 && pOther->Count() < 68); // what the shown frames leave
            QCOMPARE(pBoth->History().Count(), pShownOnly->History().Count());
            QVERIFY(pBoth->History().MemoryBytes() + pOther->MemoryBytes() <= pBoth->History().MaxBytes());
        }
        GPUPROF_COMPARE_NO_LEAKS(before);
    }

    // Frames kept compactly: 499 frames of 4,000 samples all stay (408-byte records would have
    // passed the memory bound at about 3,950), and when the bound is passed the oldest frames go
    // while the live selection keeps every recorded column.
    void liveSelectionCoversEveryRecordedColumn_data()
    {
        QTest::addColumn<int>("samples");
        QTest::addColumn<int>("frames");
        QTest::addColumn<qint64>("maxBytes"); // 0: the default bound
        QTest::newRow("4,000 samples a frame") << 4000 << 505 << qint64(0);
        QTest::newRow("over the memory bound") << 1000 << 60 << qint64(1 << 20);
    }

    void liveSelectionCoversEveryRecordedColumn()
    {
        QFETCH(int, samples);
        QFETCH(int, frames);
        QFETCH(qint64, maxBytes);
        CommandRecorder recorder;
        auto pWindow = MakeWindow();
        FrameHistory &history = pWindow->History();
        if (maxBytes)
            history.SetMaxBytes(maxBytes);
        FrameGeneratorOptions options;
        options.nSampleCount = uint32(samples);
        CFrameGenerator generator(11, options);
        std::vector<TargetFrame> variety(3);
        for (TargetFrame &frame : variety)
            generator.NextFrame(frame);
        for (int i = 0; i < frames; ++i)
            Record(*pWindow, variety[size_t(i) % variety.size()]);

        const int32 nKept = history.Count();
        QCOMPARE(nKept, maxBytes ? qMin(nKept, frames - 1) : 499);
        QVERIFY(nKept >= 2);
        QVERIFY(history.MemoryBytes() <= history.MaxBytes());
        QCOMPARE(pWindow->HistoryModel()->columnCount(), nKept);
        const QItemSelection selection = pWindow->HistoryTable()->selectionModel()->selection();
        QCOMPARE(selection.size(), 1);
        QCOMPARE(selection[0].left(), 0);
        QCOMPARE(selection[0].right(), nKept - 1);
        QCOMPARE(pWindow->SelectedFrame(), history.EntryAt(nKept - 1));
        // The newest frame's records, recorded and shown, are the frame as it arrived but for
        // the start times.
        const std::vector<GpuSampleRecord> recorded = RecordedSamples(history, history.EntryAt(nKept - 1));
        const TargetFrame &newest = variety[size_t(frames - 1) % variety.size()];
        QCOMPARE(recorded.size(), newest.samples.size());
        QVERIFY(std::memcmp(recorded.data(), pWindow->ShownFrame()->Samples(), recorded.size() * 408) == 0);
        QVERIFY(std::memcmp(reinterpret_cast<const char *>(&recorded.back()) + 8, reinterpret_cast<const char *>(&newest.samples.back()) + 8, 8) == 0);
    }

    void windowsReleaseEverythingTheyHeld()
    {
        CommandRecorder recorder;
        AllocationSnapshot before;
        for (int nRound = 0; nRound < 3; ++nRound) {
            auto pWindow = MakeWindow();
            CFrameGenerator generator(uint64(nRound + 1));
            for (int i = 0; i < 40; ++i) {
                HandOver(*pWindow, generator.NextFrame());
                if (i % 3)
                    pWindow->TimerCallback();
            }
            pWindow->PauseAction()->setChecked(true);
            HandOver(*pWindow, generator.NextFrame()); // still pending when the window goes
        }
        GPUPROF_COMPARE_NO_LEAKS(before);
    }
};

GPUPROF_TEST_MAIN(TestHistoryAndExport)
#include "tst_history_and_export.moc"
