// The intake rules without a window: the waiting queue and its bounds, swap chains listed,
// shown, kept and picked, bubble removal and totals, the records as the history keeps them, and a
// capture recording every frame as it arrives. The ring giving frames back is the history row's.

#include "frame_generator.h"
#include "frame_intake.h"
#include "test_support.h"
#include "window_test_support.h"

namespace {

void HandOver(CFrameIntake &intake, const TargetFrame &frame)
{
    GpuSampleArray samples;
    samples.SetCount(int32(frame.samples.size()));
    if (!frame.samples.empty())
        std::memcpy(samples.Base(), frame.samples.data(), frame.samples.size() * sizeof(GpuSampleRecord));
    intake.Receive(frame.header, &samples);
}

// A frame handed over and, live, the tick that records it.
void Feed(CFrameIntake &intake, const TargetFrame &frame)
{
    HandOver(intake, frame);
    GpuSampleArray shown;
    intake.RecordNewest(&shown);
    intake.DropPending();
}

QList<double> Totals(const FrameHistory *pHistory)
{
    QList<double> totals;
    for (int32 p = 0; pHistory && p < pHistory->Count(); ++p)
        totals << qRound(pHistory->EntryAt(p)->totalGpuTime * 1e6) / 1000.0;
    return totals;
}

} // namespace

class TestFrameIntake : public QObject
{
    Q_OBJECT

private slots:
    // Frames of the given swap chains, one a tick: what is listed, shown and kept.
    void swapChains_data()
    {
        // clang-format off
        QTest::addColumn<QList<qulonglong>>("chains");
        QTest::addColumn<int>("listed"); // and the rest unlisted
        QTest::addColumn<QList<double>>("shown");
        QTest::addColumn<QList<double>>("kept"); // of the second listed swap chain
        const qulonglong nA = 0x1'0000'0005ull, nB = 0x2'0000'0005ull; // differ only above bit 31
        QTest::newRow("the first seen is shown") << QList<qulonglong>({nB, nA, nB}) << 2 << QList<double>({1, 3})
                                                 << QList<double>({2});
        QList<qulonglong> many;
        for (qulonglong n = 1; n <= 66; ++n)
            many << n;
        QTest::newRow("past the limit") << many << 64 << QList<double>({1}) << QList<double>({2});
        // clang-format on
    }

    void swapChains()
    {
        QFETCH(QList<qulonglong>, chains);
        QFETCH(int, listed);
        QFETCH(QList<double>, shown);
        QFETCH(QList<double>, kept);
        CFrameIntake intake(false);
        for (int i = 0; i < chains.size(); ++i)
            Feed(intake, TimedFrame(chains[i], {double(i + 1)}));
        QCOMPARE(intake.SwapChainCount(), listed);
        QCOMPARE(intake.SwapChainId(0), chains[0]);
        QCOMPARE(intake.SwapChainName(0), std::string("Main"));
        QCOMPARE(intake.SelectedSwapChain(), chains[0]);
        QCOMPARE(intake.UnlistedSwapChainFrames(), quint64(chains.size() == 66 ? 2 : 0));
        QCOMPARE(Totals(intake.SwapChainHistory(0)), shown);
        QCOMPARE(Totals(intake.SwapChainHistory(1)), kept);
        QCOMPARE(intake.SwapChainHistory(listed), nullptr);
    }

    // Swap chain A shows 3 frames, B keeps 2; then a pick.
    void pickingASwapChain_data()
    {
        // clang-format off
        QTest::addColumn<bool>("capture");
        QTest::addColumn<int>("pick");
        QTest::addColumn<bool>("picked");
        QTest::addColumn<QList<double>>("shown");
        QTest::newRow("past the end") << false << 2 << false << QList<double>({1, 2, 3});
        QTest::newRow("negative") << false << -1 << false << QList<double>({1, 2, 3});
        QTest::newRow("the shown one") << false << 0 << false << QList<double>({1, 2, 3});
        QTest::newRow("another, live: starts afresh") << false << 1 << true << QList<double>();
        QTest::newRow("another, capture: shows its frames") << true << 1 << true << QList<double>({4, 5});
        // clang-format on
    }

    void pickingASwapChain()
    {
        QFETCH(bool, capture);
        QFETCH(int, pick);
        QFETCH(bool, picked);
        QFETCH(QList<double>, shown);
        AllocationSnapshot before;
        {
            CFrameIntake intake(capture);
            for (double flMs : {1.0, 2.0, 3.0})
                Feed(intake, TimedFrame(0xA, {flMs}));
            for (double flMs : {4.0, 5.0})
                Feed(intake, TimedFrame(0xB, {flMs}));
            QCOMPARE(intake.SelectSwapChain(pick), picked);
            QCOMPARE(intake.SelectedSwapChain(), picked ? 0xBull : 0xAull);
            QCOMPARE(Totals(&intake.Shown()), shown);
            // The swap chain shown before keeps its frames for saving.
            QCOMPARE(Totals(intake.SwapChainHistory(0)), QList<double>({1, 2, 3}));
            if (picked) {
                Feed(intake, TimedFrame(0xB, {6.0}));
                QCOMPARE(Totals(&intake.Shown()), shown << 6.0);
            }
        }
        GPUPROF_COMPARE_NO_LEAKS(before);
    }

    void bubbleRemovalLaysSamplesEndToEnd_data()
    {
        // clang-format off
        QTest::addColumn<bool>("capture");
        QTest::addColumn<bool>("removeBubbles");
        QTest::addColumn<QList<double>>("starts");
        QTest::newRow("on") << false << true << QList<double>({0.0, 1.0, 3.0});
        QTest::newRow("off") << false << false << QList<double>({10.0, 20.0, 30.0});
        // A capture's frames were recorded once already.
        QTest::newRow("capture, as it starts") << true << false << QList<double>({10.0, 20.0, 30.0});
        // clang-format on
    }

    void bubbleRemovalLaysSamplesEndToEnd()
    {
        QFETCH(bool, capture);
        QFETCH(bool, removeBubbles);
        QFETCH(QList<double>, starts);
        CFrameIntake intake(capture);
        QCOMPARE(intake.RemovesBubbles(), !capture);
        if (!capture)
            intake.SetRemoveBubbles(removeBubbles);
        Feed(intake, TimedFrame(1, {1.0, 2.0, 3.0}, {10.0, 20.0, 30.0}));
        QList<double> recorded;
        for (const GpuSampleRecord &sample : RecordedSamples(intake.Shown(), intake.Shown().EntryAt(0)))
            recorded << qRound(sample.GpuStartTime() * 1e6) / 1000.0;
        QCOMPARE(recorded, starts);
        QCOMPARE(Totals(&intake.Shown()), QList<double>({6.0}));
    }

    // A frame's records as the history keeps them: no more than its header announces, and a
    // frame without any gets the one placeholder "Dummy".
    void recordsAsKept_data()
    {
        // clang-format off
        QTest::addColumn<int>("announced");
        QTest::addColumn<int>("given");
        QTest::addColumn<int>("kept");
        QTest::newRow("more than announced") << 2 << 3 << 2;
        QTest::newRow("none") << 0 << 0 << 1;
        QTest::newRow("announced but none given") << 4 << 0 << 1;
        // clang-format on
    }

    void recordsAsKept()
    {
        QFETCH(int, announced);
        QFETCH(int, given);
        QFETCH(int, kept);
        CFrameIntake intake(false);
        TargetFrame frame = TimedFrame(1, QList<double>(given, 1.0));
        frame.header.SetSampleCount(uint32(announced));
        Feed(intake, frame);
        const std::vector<GpuSampleRecord> recorded = RecordedSamples(intake.Shown(), intake.Shown().EntryAt(0));
        QCOMPARE(int(recorded.size()), kept);
        QCOMPARE(intake.Shown().EntryAt(0)->header.SampleCount(), uint32(announced));
        if (given == 0) {
            GpuSampleRecord dummy{};
            dummy.SetName("Dummy");
            QVERIFY(std::memcmp(&recorded[0], &dummy, sizeof(dummy)) == 0);
        }
    }

    // Frames of another swap chain, kept for saving, share the memory bound and never push out a
    // shown frame: the shown history is what an intake without them keeps. The waiting queue's
    // bounds; nothing left allocated.
    void otherSwapChainsKeptWithinTheBound()
    {
        AllocationSnapshot before;
        {
            CFrameIntake shownOnly(false), both(false);
            shownOnly.Shown().SetMaxBytes(4 << 20);
            both.Shown().SetMaxBytes(4 << 20);
            CFrameGenerator generator(5);
            GpuSampleArray shown;
            for (int i = 0; i < 70; ++i) {
                TargetFrame frame = generator.NextFrame(), other = generator.NextFrame();
                other.header.SetSwapChainId(2);
                // The other swap chain is listed once its frame is the newest of a tick.
                if (i > 0)
                    HandOver(both, other);
                if (i != 1)
                    HandOver(both, frame);
                both.RecordNewest(&shown);
                both.DropPending();
                if (i != 1)
                    Feed(shownOnly, frame);
            }
            const FrameHistory *pOther = both.SwapChainHistory(1);
            QVERIFY(pOther && pOther->Count() > 0 && pOther->Count() < 68); // what the shown frames leave
            QCOMPARE(both.Shown().Count(), shownOnly.Shown().Count());
            QVERIFY(both.Shown().MemoryBytes() + pOther->MemoryBytes() <= both.Shown().MaxBytes());

            // The waiting queue keeps the newest frames within its count and byte bounds.
            CFrameIntake intake(false);
            for (int i = 1; i <= 200; ++i)
                HandOver(intake, TimedFrame(1, {double(i)}));
            QCOMPARE(intake.PendingCount(), CFrameIntake::kMaxPendingFrames);
            const FrameHistoryEntry *pEntry = intake.RecordNewest(&shown);
            QVERIFY(pEntry);
            QCOMPARE(pEntry->totalGpuTime, 0.2);
            QCOMPARE(shown.Count(), 1);
            intake.DropPending();
            QCOMPARE(intake.PendingCount(), 0);
            QCOMPARE(intake.Shown().Count(), 1);

            // Frames of 20 MB: besides the newest, at most the byte bound waits.
            const TargetFrame big = MakeNumberedFrame(1, "s", 50000);
            for (int i = 0; i < 10; ++i)
                HandOver(intake, big);
            QVERIFY(intake.PendingCount() >= 3 && intake.PendingCount() <= 4);
            HandOver(intake, TimedFrame(1, {2.0}));
            QCOMPARE(intake.RecordNewest(&shown)->sampleCount, 1);
            HandOver(intake, big); // still waiting when the intake goes
        }
        GPUPROF_COMPARE_NO_LEAKS(before);

        // Of the frames that waited together, the shown swap chain records the newest, and every
        // other listed one its own newest; swap chains not listed yet are not listed by them.
        CFrameIntake intake(false);
        for (uint64 nChain : {1, 2, 3})
            Feed(intake, TimedFrame(nChain, {0.5}));
        for (const auto &[nChain, flMs] : std::initializer_list<std::pair<int, double>>{{2, 1.0}, {3, 2.0}, {9, 2.5}, {2, 3.0}, {1, 4.0}})
            HandOver(intake, TimedFrame(uint64(nChain), {flMs}));
        GpuSampleArray shown;
        QVERIFY(intake.RecordNewest(&shown));
        QCOMPARE(Totals(intake.SwapChainHistory(0)), QList<double>({0.5, 4.0}));
        QCOMPARE(Totals(intake.SwapChainHistory(1)), QList<double>({0.5, 3.0}));
        QCOMPARE(Totals(intake.SwapChainHistory(2)), QList<double>({0.5, 2.0}));
        QCOMPARE(intake.SwapChainCount(), 3);
        // A newest frame of another swap chain is kept, not shown.
        HandOver(intake, TimedFrame(3, {6.0}));
        QVERIFY(!intake.RecordNewest(&shown));
        QCOMPARE(Totals(intake.SwapChainHistory(2)), QList<double>({0.5, 2.0, 6.0}));
    }
};

GPUPROF_TEST_MAIN(TestFrameIntake)
#include "tst_frame_intake.moc"
