// A target that plays foul, scripted byte by byte over loopback against the real console and
// the real plug-in: resource lists that claim two billion entries in 64 MiB, a link that stops
// in the middle of a message, and hellos that try to smuggle lines into the log or rename a
// connected target. Each scenario ends with no g_pMemAlloc block left alive.

#include "printable_text.h"
#include "profiler_test_support.h"
#include "test_support.h"
#include "wire_profiler.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>

namespace {

// The longest time the event loop went without serving a 5 ms timer: how long the window was
// frozen at worst. Reported with the peak memory, not asserted: speed is the benchmarks' to judge.
struct StallMeter
{
    QTimer timer;
    QElapsedTimer clock;
    qint64 nLongestMs = 0;
    StallMeter()
    {
        clock.start();
        QObject::connect(&timer, &QTimer::timeout, [this] { nLongestMs = std::max(nLongestMs, clock.restart()); });
        timer.start(5);
    }
};

// The status line of the resource list whose widget class is pszList.
QString ListStatus(QWidget *pResourceWindow, const char *pszList)
{
    for (QWidget *pWidget : pResourceWindow->findChildren<QWidget *>()) {
        if (pWidget->inherits(pszList))
            return StatusLine(pWidget);
    }
    return QString();
}

} // namespace

class TestHostileTarget : public QObject
{
    Q_OBJECT

private slots:
    // One 64 MiB list of zeros that claims 2^31 - 1 entries, with the resource window open on
    // its tab: the list is cut at a million entries and says so, and the process stays under
    // 1 GiB; its peak memory and the longest the window went unserved are reported.
    void hugeResourceLists_data()
    {
        // clang-format off
        QTest::addColumn<uint>("chunkId");
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("counts");
        QTest::newRow("buffers") << GPU_PROFILER_CHUNK_BUFFERS << 1 << "CQGPUBufferListWidget" << "1000000/1000000 Buffers";
        // Blank textures have no kind, so no kind filter shows them.
        QTest::newRow("textures") << GPU_PROFILER_CHUNK_TEXTURES << 0 << "CQTextureListWidget" << "0/1000000 Textures";
        // clang-format on
    }

    void hugeResourceLists()
    {
        QFETCH(uint, chunkId);
        QFETCH(int, tab);
        QFETCH(QString, list);
        QFETCH(QString, counts);
        AllocationSnapshot before;
        {
            ScriptedTarget target;
            QVERIFY(target.Connect("Hostile Lists", true));
            Action(target.pWindow, QStringLiteral("GPU Resource List"))->trigger();
            QWidget *pResources = nullptr;
            QVERIFY(WaitFor([&] { return (pResources = TopLevel("CQGPUResourceWidget")) != nullptr; }));
            pResources->findChild<QTabWidget *>()->setCurrentIndex(tab);
            Pump(100);

            QByteArray payload(64 << 20, '\0');
            StoreLittleEndian32(payload.data(), 0x7fffffff); // as targets write it
            // The most resident memory this process has had since: Linux keeps the peak, and
            // writing 5 to clear_refs resets it.
            QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
            QVERIFY(clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1);
            clearRefs.close();
            StallMeter stalls;
            target.pSocket->write(LinkMessage(chunkId, payload));
            payload.clear();
            const QString sCut = QStringLiteral("(list cut: 2,147,483,647 announced, 1,000,000 kept)");
            QVERIFY2(WaitFor([&] { return ListStatus(pResources, qPrintable(list)).endsWith(sCut); }, 120000),
                     qPrintable(ListStatus(pResources, qPrintable(list))));
            Pump(200);
            QFile status(QStringLiteral("/proc/self/status"));
            QVERIFY(status.open(QIODevice::ReadOnly));
            const QByteArray text = status.readAll();
            const qint64 nPeak = text.mid(text.indexOf("VmHWM:") + 6).trimmed().split(' ').first().toLongLong() * 1024;
            qInfo("%s: peak resident memory %lld MiB; longest event-loop stall %lld ms", qPrintable(list), nPeak >> 20, stalls.nLongestMs);
            QVERIFY2(nPeak > 0 && nPeak < (qint64(1) << 30), qPrintable(QString::number(nPeak >> 20)));
            QVERIFY(ListStatus(pResources, qPrintable(list)).startsWith(counts));
            ShutDown(target.pHost);
        }
        GPUPROF_COMPARE_NO_LEAKS(before);
    }

    // A hello with control characters cannot put lines of its own into the log, and a second
    // hello cannot rename a connected target: it is refused, and said so once. Then the target
    // stops in the middle of a message: the link is closed with the reason once the stall time
    // has passed, what had arrived of the message is freed at once, and the target is tried
    // again like any lost one.
    void renamingHelloThenStalledLink_data()
    {
        // clang-format off
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QByteArray header(int(CORVID_LINK_HEADER_SIZE), '\0');
        WriteCorvidLinkHeader(header.data(), {GPU_PROFILER_CHUNK_DATA, 1, CORVID_LINK_MAX_PAYLOAD});
        QTest::newRow("half a link header") << header.left(6) << "inside a link header";
        QTest::newRow("64 MiB announced, 4 KiB sent")
            << header + QByteArray(4096, 'x') << "inside a chunk (4,096 of 67,108,864 bytes received)";
        // clang-format on
    }

    void renamingHelloThenStalledLink()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        AllocationSnapshot before;
        {
            ScriptedTarget target;
            QVERIFY(target.Connect("Game\n12:00:00  fake line\xe2\x80\xae\x01"));
            const QString sName = QStringLiteral("Game\uFFFD12:00:00  fake line\uFFFD\uFFFD");
            QCOMPARE(target.pTarget->DisplayName(), sName);
            QWidget *pWindow = OpenProfiler(*target.pHost, target.pTarget, sName);
            QVERIFY(pWindow);
            for (int i = 0; i < 3; ++i)
                target.pSocket->write(Hello(i == 2 ? "Third\nname" : "Other Game"));
            Pump(300);
            QCOMPARE(target.pTarget->DisplayName(), sName);
            QCOMPARE(ProfilerWindow(sName), pWindow);
            QCOMPARE(target.log.filter(QStringLiteral("refused a second hello")),
                     QStringList(sName + QStringLiteral(": refused a second hello that would rename the target to \"Other Game\"")));

            target.pTarget->SetStallTimeout(300);
            const AllocationSnapshot connected;
            target.pSocket->write(bytes);
            QElapsedTimer clock;
            clock.start();
            QVERIFY(WaitFor([&] { return target.pTarget->IsLost(); }, 5000));
            QVERIFY2(clock.elapsed() >= 250, qPrintable(QString::number(clock.elapsed())));
            QVERIFY(connected.LeakedBytes() < 4096);
            const QString sLost = sName + ": target lost (nothing received for 0.3 s " + reason + "); retrying every 0.1 s";
            QCOMPARE(target.log.filter(sLost).size(), 1);
            QVERIFY(WaitFor([&] { return target.server.hasPendingConnections(); }));
            for (const QString &sLine : std::as_const(target.log))
                QVERIFY2(!sLine.contains(QLatin1Char('\n')), qPrintable(sLine));
            ShutDown(target.pHost);
        }
        GPUPROF_COMPARE_NO_LEAKS(before);
    }

    void namesArePrintable_data()
    {
        // clang-format off
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << "Demo Game (PID 42)" << "Demo Game (PID 42)";
        QTest::newRow("line breaks") << "a\nb\r\nc" << "a\uFFFDb\uFFFD\uFFFDc";
        QTest::newRow("separators") << "a\u2028b\u2029c\u0085" << "a\uFFFDb\uFFFDc\uFFFD";
        QTest::newRow("bidi and zero width") << "abc\u202Edef\u200B" << "abc\uFFFDdef\uFFFD";
        QTest::newRow("private and unassigned") << "\uE000x\U000E0001" << "\uFFFDx\uFFFD";
        QTest::newRow("outer blanks") << "  x y \t" << "x y \uFFFD";
        QTest::newRow("cut at 64") << QString(100, QLatin1Char('n')) << QString(64, QLatin1Char('n'));
        QTest::newRow("cut between characters") << QString(63, QLatin1Char('a')) + "\U0001F600\U0001F600"
                                                << QString(63, QLatin1Char('a')) + "\U0001F600";
        // clang-format on
    }

    void namesArePrintable()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(PrintableText(text, kMaxTargetNameChars), shown);
    }
};

GPUPROF_TEST_MAIN(TestHostileTarget)
#include "tst_hostile_target.moc"
