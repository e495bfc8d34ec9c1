// The console as its user drives it: the target list and its actions, and where the console
// finds its tools.

#include "main_window.h"
#include "profiler_test_support.h"
#include "test_support.h"

#include <QDialog>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

namespace {

const char *const kInterface = "Corvid_SubTool_001_GPUProfilerTool";

// What the target list shows in a column of the current target's row.
QString Cell(CCorvidMainWindow &window, int nColumn)
{
    QTableWidget *pTable = window.TargetTable();
    const QTableWidgetItem *pItem = pTable->item(pTable->currentRow(), nColumn);
    return pItem ? pItem->text() : QString();
}

} // namespace

class TestConsoleWindow : public QObject
{
    Q_OBJECT

private slots:
    void connectDisconnectReconnectRemoveAndLog()
    {
        AllocationSnapshot before;
        auto pLink = std::make_unique<CTargetLink>("Window Test");
        QVERIFY(pLink->Listen(0, true, nullptr));
        {
            CCorvidHost host;
            host.SetRetryInterval(50);
            QString sError;
            QVERIFY(!host.LoadSubTool(QStringLiteral("/nonexistent/libnothing.so"), kInterface, &sError));
            QVERIFY(!sError.isEmpty());
            QVERIFY(!host.LoadSubTool(QStringLiteral(GPUPROFILER_MODULE_PATH), "Corvid_SubTool_001_Other", &sError));
            QVERIFY2(host.LoadSubTool(GPUPROFILER_MODULE_PATH, kInterface, &sError), qPrintable(sError));
            CCorvidMainWindow window(&host);
            window.show();
            QVERIFY(!window.DisconnectAction()->isEnabled());
            QVERIFY(!window.RemoveAction()->isEnabled());

            // "Connect to Target..." asks for host and port.
            bool bDialogSeen = false;
            QTimer::singleShot(0, this, [&] {
                auto *pDialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
                if (!pDialog)
                    return;
                bDialogSeen = pDialog->windowTitle() == QLatin1String("Connect to Target");
                pDialog->findChild<QLineEdit *>()->setText(QStringLiteral("127.0.0.1"));
                pDialog->findChild<QSpinBox *>()->setValue(pLink->Port());
                pDialog->accept();
            });
            window.ConnectAction()->trigger();
            QVERIFY(bDialogSeen);
            QCOMPARE(host.Targets().size(), 1);
            CCorvidTarget *pTarget = host.Targets().first();
            QCOMPARE(pTarget->Address(), QStringLiteral("127.0.0.1:%1").arg(pLink->Port()));
            QVERIFY(PumpUntil(pLink.get(), [&] { return Cell(window, 2) == QLatin1String("Connected"); }));
            QCOMPARE(Cell(window, 0), QStringLiteral("Window Test"));
            QVERIFY(host.ToolAction()->isEnabled());
            QVERIFY(window.DisconnectAction()->isEnabled());
            QVERIFY(!window.ReconnectAction()->isEnabled());
            QCOMPARE(host.GetCurrentConnection(), pTarget);

            // Another target selected: the tool action follows that one's state.
            CCorvidTarget *pOther = host.AddTarget(QStringLiteral("127.0.0.1"), 1);
            QVERIFY(!host.ToolAction()->isEnabled());
            host.SetCurrentConnection(pTarget);
            QVERIFY(host.ToolAction()->isEnabled());
            host.RemoveTarget(pOther);

            // Disconnect keeps the target in the list, and nothing retries it.
            window.DisconnectAction()->trigger();
            QVERIFY(PumpUntil(pLink.get(), [&] { return Cell(window, 2) == QLatin1String("Disconnected"); }));
            QVERIFY(!host.ToolAction()->isEnabled());
            QVERIFY(!window.DisconnectAction()->isEnabled());
            QVERIFY(window.ReconnectAction()->isEnabled());
            PumpUntil(
                pLink.get(), [] { return false; }, nullptr, 200);
            QCOMPARE(pTarget->GetState(), int32(CORVID_CONNECTION_DISCONNECTED));

            window.ReconnectAction()->trigger();
            QVERIFY(PumpUntil(pLink.get(), [&] { return Cell(window, 2) == QLatin1String("Connected"); }));
            QVERIFY(host.ToolAction()->isEnabled());

            // The target goes away: shown as lost, in red, and found again when it is back.
            const uint16 nPort = pLink->Port();
            pLink.reset();
            QVERIFY(PumpUntil(nullptr, [&] { return Cell(window, 2).startsWith(QLatin1String("Lost")); }));
            QCOMPARE(window.TargetTable()->item(0, 2)->foreground().color(), QColor(190, 30, 30));
            pLink = std::make_unique<CTargetLink>("Window Test, again");
            QVERIFY(pLink->Listen(nPort, true, nullptr));
            QVERIFY(PumpUntil(pLink.get(), [&] { return Cell(window, 2) == QLatin1String("Connected"); }));
            QCOMPARE(Cell(window, 0), QStringLiteral("Window Test, again"));
            QCOMPARE(window.TargetTable()->item(0, 2)->foreground(), QBrush());

            window.RemoveAction()->trigger();
            QVERIFY(host.Targets().isEmpty());
            QCOMPARE(window.TargetTable()->rowCount(), 0);
            QVERIFY(!host.ToolAction()->isEnabled());

            // What a tool logs under a "corvid.tool.*" category becomes one printable line of the
            // console's log, from any thread; other categories stay out of the log.
            static const QLoggingCategory tool("corvid.tool.gpuprofiler");
            static const QLoggingCategory other("corvid.toolbox");
            QTest::ignoreMessage(QtWarningMsg, "Hostile: 3 malformed chunks dropped\n12:00:00  fake");
            QTest::ignoreMessage(QtInfoMsg, "from a worker");
            QTest::ignoreMessage(QtWarningMsg, "not a tool");
            qCWarning(tool, "Hostile: 3 malformed chunks dropped\n12:00:00  fake");
            std::unique_ptr<QThread> pWorker(QThread::create([] { qCInfo(tool, "from a worker"); }));
            pWorker->start();
            pWorker->wait();
            qCWarning(other, "not a tool");
            QTRY_VERIFY(window.LogView()->toPlainText().contains(QStringLiteral("from a worker")));
            const QString sLog = window.LogView()->toPlainText();
            const QString sLine = QStringLiteral("  Hostile: 3 malformed chunks dropped\uFFFD12:00:00  fake\n");
            QVERIFY2(sLog.contains(sLine), qPrintable(sLog));
            QVERIFY(!sLog.contains(QStringLiteral("not a tool")));
            host.Shutdown();
        }
        GPUPROF_COMPARE_NO_LEAKS(before);
    }

    void addressesFromTheCommandLine_data()
    {
        // clang-format off
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("added"); // empty: refused
        QTest::newRow("host and port") << "example.test:4242" << "example.test:4242";
        QTest::newRow("host alone takes the default port") << "example.test" << "example.test:29100";
        QTest::newRow("spaces around") << "  localhost:7  " << "localhost:7";
        QTest::newRow("IPv6 with port") << "::1:5000" << "::1:5000";
        QTest::newRow("port 0") << "localhost:0" << "";
        QTest::newRow("port too large") << "localhost:65536" << "";
        QTest::newRow("port not a number") << "localhost:http" << "";
        QTest::newRow("no host") << ":4242" << "";
        QTest::newRow("empty") << "" << "";
        // clang-format on
    }

    void addressesFromTheCommandLine()
    {
        QFETCH(QString, address);
        QFETCH(QString, added);
        CCorvidHost host;
        host.SetRetryInterval(60000);
        CCorvidMainWindow window(&host);
        QCOMPARE(window.ConnectTo(address), !added.isEmpty());
        QCOMPARE(host.Targets().size(), added.isEmpty() ? 0 : 1);
        if (!added.isEmpty())
            QCOMPARE(host.Targets().first()->Address(), added);
        host.Shutdown();
        QVERIFY(host.Targets().isEmpty());
    }

    // The console takes the first library in its plug-in folder that serves the tool; other
    // files and other libraries there are passed over.
    void toolsAreLoadedFromThePluginFolder_data()
    {
        // clang-format off
        QTest::addColumn<QStringList>("files"); // "tool", "other library", or a plain file name
        QTest::addColumn<bool>("loaded");
        QTest::newRow("empty folder") << QStringList() << false;
        QTest::newRow("only other files") << QStringList{"readme.txt"} << false;
        QTest::newRow("a library that is no tool") << QStringList{"other library"} << false;
        QTest::newRow("the tool among others") << QStringList{"readme.txt", "other library", "tool"} << true;
        // clang-format on
    }

    void toolsAreLoadedFromThePluginFolder()
    {
        QFETCH(QStringList, files);
        QFETCH(bool, loaded);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        for (const QString &sFile : files) {
            if (sFile == QLatin1String("tool"))
                QVERIFY(QFile::copy(QStringLiteral(GPUPROFILER_MODULE_PATH), folder.filePath(QStringLiteral("libz_tool.so"))));
            else if (sFile == QLatin1String("other library"))
                QVERIFY(QFile::copy(QStringLiteral(OTHER_LIBRARY_PATH), folder.filePath(QStringLiteral("liba_other.so"))));
            else
                QVERIFY(QFile(folder.filePath(sFile)).open(QIODevice::WriteOnly));
        }
        CCorvidHost host;
        QString sPath, sError;
        QCOMPARE(host.LoadSubToolFromFolder(folder.path(), kInterface, &sPath, &sError), loaded);
        QCOMPARE(host.SubTool() != nullptr, loaded);
        if (loaded) {
            QCOMPARE(sPath, folder.filePath(QStringLiteral("libz_tool.so")));
        } else {
            QVERIFY(sPath.isEmpty());
            QVERIFY2(sError.startsWith(QStringLiteral("no plug-in in ") + folder.path()), qPrintable(sError));
        }
        host.Shutdown();
    }
};

GPUPROF_TEST_MAIN(TestConsoleWindow)
#include "tst_console_window.moc"
