// The history row and what leaves the window: the row as a view of the ring (its wrap, the live
// selection, a click kept in place), the bar delegate's pixels, the CSV text and file, "Save
// Capture...", and memory across window lifetimes.

#include "bar_graph_item_delegate.h"
#include "csv_export.h"
#include "frame_generator.h"
#include "test_support.h"
#include "window_test_support.h"

#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QPainter>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>

class TestHistoryAndExport : public QObject
{
    Q_OBJECT

private slots:
    void barHeightsAndColours_data()
    {
        // clang-format off
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
        // Selected: the highlight shows around the bar.
        QTest::newRow("selected") << 0.01 << QVariant(0.005) << 39 << QColor(0, 255, 0);
        // clang-format on
    }

    void barHeightsAndColours()
    {
        QFETCH(double, max);
        QFETCH(QVariant, value);
        QFETCH(int, barTop);
        QFETCH(QColor, colour);
        FrameHistory history;
        history.Slot(history.AddEntry()).totalGpuTime = max;
        // One history cell painted into an image, read at its middle column: 'B' where the bar
        // colour is, 'H' for highlight, '.' for anything else.
        QStandardItemModel model(1, 1);
        if (value.isValid())
            model.setData(model.index(0, 0), value, CQBarGraphItemDelegate::kTotalGpuTimeRole);
        CQBarGraphItemDelegate delegate(nullptr, &history);
        QImage image(16, 80, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QStyleOptionViewItem option;
        option.rect = QRect(0, 0, 16, 80);
        option.palette.setBrush(QPalette::Highlight, QColor(1, 2, 3));
        const bool bSelected = QTest::currentDataTag() == QByteArray("selected");
        if (bSelected)
            option.state |= QStyle::State_Selected;
        {
            QPainter painter(&image);
            delegate.paint(&painter, option, model.index(0, 0));
        }
        const QColor bar = CQBarGraphItemDelegate::BudgetColor(value.toDouble());
        QCOMPARE(QColor(image.pixel(8, 78)), colour);
        QString cell;
        for (int y = 0; y < 80; ++y) {
            const QColor c(image.pixel(8, y));
            cell += c == bar ? QLatin1Char('B') : c == QColor(1, 2, 3) ? QLatin1Char('H') : QLatin1Char('.');
        }
        const QLatin1Char background(bSelected ? 'H' : '.');
        QCOMPARE(cell, QString(barTop, background) + QString(79 - barTop, QLatin1Char('B')) + background);
        // The bar keeps one pixel of margin on the left and right.
        QVERIFY(QColor(image.pixel(0, 78)) != bar && QColor(image.pixel(15, 78)) != bar);
        QVERIFY(QColor(image.pixel(1, 78)) == bar && QColor(image.pixel(14, 78)) == bar);
    }

    void csvValueTexts_data()
    {
        // clang-format off
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("double, 15 digits") << QVariant(0.1 + 0.2) << "0.3";
        QTest::newRow("float, 6 digits") << QVariant(0.1f) << "0.1";
        QTest::newRow("float, truncated ratio") << QVariant(float(1.0 / 3.0)) << "0.333333";
        QTest::newRow("unsigned") << QVariant(4294967295u) << "4294967295";
        QTest::newRow("string") << QVariant(QStringLiteral("n/a")) << "n/a";
        QTest::newRow("large double") << QVariant(1e20) << "1e+20";
        // clang-format on
    }

    void csvValueTexts()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, text);
        QCOMPARE(CsvValueText(value), text);
    }

    // The CSV text has the header and one line per sample; saving writes the selected frame or
    // warns.
    void csvTextAndSaving()
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

        CommandRecorder recorder;
        CTestWindow window;
        const WindowParts ui(window);
        QTemporaryDir dir;
        window.sSaveFileName = dir.filePath(QStringLiteral("frame.csv"));

        // Nothing selected: nothing happens.
        window.SaveCurrentProfileAsCSV();
        QVERIFY(!QFile::exists(window.sSaveFileName));

        Record(window, TimedFrame(1, {1.0, 2.0, 3.0}));
        ui.Action("Pause")->setChecked(true);
        window.TimerCallback(); // hierarchical tree now; the file stays flat
        ui.Action("Save as CSV...")->trigger();
        QFile file(window.sSaveFileName);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.count('\n'), 4);
        QVERIFY(!bytes.contains('\r'));
        QVERIFY(bytes.startsWith("Index, View, Layer, Context, GPU Start Time, GPU Time [ms], "));
        QVERIFY(bytes.contains("\n2, s2, s2, s2, 3, 3, 1.5, "));

        // A file that cannot be opened: a warning naming it, nothing written.
        window.sSaveFileName = dir.filePath(QStringLiteral("missing/dir/frame.csv"));
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
        window.SaveCurrentProfileAsCSV();
        QCOMPARE(sTitle, QStringLiteral("GPU Profiler"));
        QCOMPARE(sMessage, QStringLiteral("Error writing to file %1.").arg(window.sSaveFileName));

        // "Save Capture..." writes where it is told, adding the extension a name lacks, and says so.
        window.sSaveFileName = dir.filePath(QStringLiteral("run"));
        ui.Action("Save Capture...")->trigger();
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("run.gpucap"))).size() > 0);
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Capture saved to %1.gpucap").arg(window.sSaveFileName));
        // A cancelled dialog writes nothing.
        window.sSaveFileName.clear();
        ui.Action("Save Capture...")->trigger();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({"frame.csv", "run.gpucap"}));
    }

    // The row is a view of the ring, watched by a tester from before the first frame, and holds
    // the newest frames as they came: 499 once the ring wraps, 499 frames of 4,000 samples (kept compactly;
    // 408-byte records would pass the memory bound at about 3,950), fewer when the bound is
    // passed. The live selection covers every column in one run and the newest frame is shown as
    // it was recorded.
    void rowShowsTheNewestFrames_data()
    {
        // clang-format off
        QTest::addColumn<int>("samples");
        QTest::addColumn<int>("frames");
        QTest::addColumn<qint64>("maxBytes"); // 0: the default bound
        QTest::newRow("the ring wraps") << 1 << 520 << qint64(0);
        QTest::newRow("4,000 samples a frame") << 4000 << 505 << qint64(0);
        QTest::newRow("over the memory bound") << 1000 << 60 << qint64(1 << 20);
        // clang-format on
    }

    void rowShowsTheNewestFrames()
    {
        QFETCH(int, samples);
        QFETCH(int, frames);
        QFETCH(qint64, maxBytes);
        CommandRecorder recorder;
        CTestWindow window;
        const WindowParts ui(window);
        QAbstractItemModel *pRow = ui.pHistory->model();
        QAbstractItemModelTester tester(pRow, QAbstractItemModelTester::FailureReportingMode::QtTest);
        FrameHistory &history = window.Intake().Shown();
        if (maxBytes)
            history.SetMaxBytes(maxBytes);
        FrameGeneratorOptions options;
        options.nSampleCount = uint32(samples);
        options.nSampleCountVariation = 0;
        CFrameGenerator generator(11, options);
        std::vector<TargetFrame> variety(3);
        for (size_t i = 0; i < variety.size(); ++i) {
            generator.SetSampleCount(uint32(samples) + 20 * uint32(i));
            generator.NextFrame(variety[i]);
        }
        // As they came, so that each frame can be compared with what the history gives back.
        ui.Action("Remove Timeline Bubbles")->setChecked(false);
        for (int i = 0; i < frames; ++i)
            Record(window, variety[size_t(i) % variety.size()]);

        const int32 nKept = history.Count();
        QCOMPARE(nKept, maxBytes ? qMin(nKept, frames - 1) : 499);
        QVERIFY(nKept >= 2 && history.MemoryBytes() <= history.MaxBytes());
        QCOMPARE(pRow->rowCount(), 1);
        QCOMPARE(pRow->columnCount(), nKept);
        for (int p : {0, 1, nKept / 2, nKept - 1}) {
            QCOMPARE(pRow->index(0, p).data(CQBarGraphItemDelegate::kTotalGpuTimeRole).toDouble(), history.EntryAt(p)->totalGpuTime);
            // Every kind of counter, names and times come back byte for byte, header and records.
            const TargetFrame &frame = variety[size_t(frames - nKept + p) % variety.size()];
            const std::vector<GpuSampleRecord> recorded = RecordedSamples(history, history.EntryAt(p));
            QCOMPARE(recorded.size(), frame.samples.size());
            QVERIFY(std::memcmp(recorded.data(), frame.samples.data(), recorded.size() * sizeof(GpuSampleRecord)) == 0);
            QVERIFY(std::memcmp(&history.EntryAt(p)->header, &frame.header, sizeof(frame.header)) == 0);
        }
        QCOMPARE(ui.pHistory->columnWidth(nKept - 1), 16);
        QCOMPARE(ui.pHistory->rowHeight(0), 80);
        const QItemSelection selection = ui.pHistory->selectionModel()->selection();
        QCOMPARE(selection.size(), 1);
        QCOMPARE(selection[0].left(), 0);
        QCOMPARE(selection[0].right(), nKept - 1);
        QCOMPARE(ui.pHistory->currentIndex().column(), nKept - 1);
        QCOMPARE(window.SelectedFrame(), history.EntryAt(nKept - 1));
        const TargetFrame &newest = variety[size_t(frames - 1) % variety.size()];
        QCOMPARE(window.ShownFrame()->SampleCount(), int32(newest.samples.size()));
        const size_t nNewestBytes = newest.samples.size() * sizeof(GpuSampleRecord);
        QVERIFY(std::memcmp(newest.samples.data(), window.ShownFrame()->Samples(), nNewestBytes) == 0);
        if (maxBytes)
            return;

        // Once the ring is full, a clicked column keeps its place as the frames move on under it;
        // live, the new frame is selected too.
        QItemSelectionModel *pSelection = ui.pHistory->selectionModel();
        pSelection->setCurrentIndex(pRow->index(0, 10), QItemSelectionModel::ClearAndSelect);
        QCOMPARE(window.SelectedFrame(), history.EntryAt(10));
        Record(window, variety[0]);
        QCOMPARE(window.SelectedFrame(), history.EntryAt(498));
        QVERIFY(pSelection->isSelected(pRow->index(0, 10)));
        QVERIFY(pSelection->isSelected(pRow->index(0, 498)));
        QVERIFY(!pSelection->isSelected(pRow->index(0, 9)));
    }
};

GPUPROF_TEST_MAIN(TestHistoryAndExport)
#include "tst_history_and_export.moc"
