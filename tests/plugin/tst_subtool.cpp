// The subtool object: the connection records and their lifecycle, windows opened and closed with
// their commands, the tool action, the chunk registrations and command chunks, and the module's
// export answers. Its tables as a host
// reaches them through the loaded library are tst_module_load's.

#include "device_window.h"
#include "fake_host.h"
#include "gpuprofiler_tool.h"
#include "interface_registry.h"
#include "module_info.h"
#include "test_support.h"
#include "wire_profiler.h"

#include <QAction>
#include <QPointer>

#include <memory>

namespace {

CGPUProfilerTool &Tool()
{
    return CGPUProfilerTool::Get();
}

// The window ids of the table's records, in table order, relative to nBase.
QList<int> RecordIds(uint32 nBase)
{
    QList<int> ids;
    for (int32 i = 0; i < Tool().GetConnectionCount(); ++i)
        ids << int(Tool().GetConnectionRecord(i)->windowId - nBase);
    return ids;
}

} // namespace

class TestSubTool : public QObject
{
    Q_OBJECT

    CFakeCorvidHost host;
    std::unique_ptr<QAction> action;
    QList<CFakeCorvidConnection *> opened;
    AllocationSnapshot *pSnapshot = nullptr;

    CFakeCorvidConnection *Open(const char *pszName, int32 nState = CORVID_CONNECTION_READY)
    {
        auto *pConnection = new CFakeCorvidConnection(pszName, nState);
        opened << pConnection;
        host.current = pConnection;
        return pConnection;
    }

private slots:
    void init()
    {
        action = std::make_unique<QAction>(QStringLiteral("GPU Profiler"));
        Tool().SetHost(&host, action.get());
        host.current = nullptr;
        pSnapshot = new AllocationSnapshot;
    }

    void cleanup()
    {
        for (CFakeCorvidConnection *pConnection : opened)
            Tool().OnConnectionClosed(pConnection);
        QCOMPARE(Tool().GetConnectionCount(), 0);
        GPUPROF_COMPARE_NO_LEAKS(*pSnapshot);
        delete pSnapshot;
        qDeleteAll(opened);
        opened.clear();
    }

    // Only a connected target (state 3) gets a window and enables the tool action, whether the
    // tool asks its state (once) or is told it; a state told of a connection that is not the
    // current one, or with no current connection, changes nothing.
    void connectionStateDecides_data()
    {
        // clang-format off
        QTest::addColumn<int>("state");
        for (int state : {0, 1, 2, 3, 4, 7, -1, 1000})
            QTest::addRow("state %d", state) << state;
        // clang-format on
    }

    void connectionStateDecides()
    {
        QFETCH(int, state);
        const bool bReady = state == CORVID_CONNECTION_READY;
        const uint32 nNextId = Tool().GetNextWindowId();
        CFakeCorvidConnection *pOther = Open("Other");
        CFakeCorvidConnection *pConnection = Open("Target", state);
        action->setEnabled(!bReady);
        Tool().UpdateToolAction(pConnection);
        QCOMPARE(action->isEnabled(), bReady);
        QCOMPARE(pConnection->stateQueries, 1);
        Tool().OnConnectionStateChanged(pOther, bReady ? CORVID_CONNECTION_DISCONNECTED : CORVID_CONNECTION_READY);
        QCOMPARE(action->isEnabled(), bReady);
        action->setEnabled(!bReady);
        Tool().OnConnectionStateChanged(pConnection, state);
        QCOMPARE(action->isEnabled(), bReady);
        QCOMPARE(pConnection->stateQueries, 1);
        QVERIFY(Tool().ShowForCurrentConnection());
        QCOMPARE(Tool().GetConnectionCount(), bReady ? 1 : 0);
        QCOMPARE(Tool().GetNextWindowId(), nNextId + (bReady ? 1 : 0));
        QCOMPARE(pConnection->nameQueries, bReady ? 1 : 0);
        host.current = nullptr;
        action->setEnabled(false);
        Tool().OnConnectionStateChanged(pConnection, CORVID_CONNECTION_READY);
        QVERIFY(!action->isEnabled());
    }

    // A window opens with its two commands and repeats them when its target is back; when its
    // user closes it or its connection closes, it says goodbye while the record still knows the
    // connection. A window its user closed goes once the event loop runs.
    void windowsOpenAndCloseWithTheirCommands_data()
    {
        // clang-format off
        QTest::addColumn<bool>("userCloses");
        QTest::newRow("connection closed") << false;
        QTest::newRow("closed by its user") << true;
        // clang-format on
    }

    void windowsOpenAndCloseWithTheirCommands()
    {
        QFETCH(bool, userCloses);
        CFakeCorvidConnection *pConnection = Open("Demo Target");
        QVERIFY(Tool().ShowForCurrentConnection());
        QPointer<CQCGPUProfilerDeviceWindow> pWindow(Tool().FindRecordByConnection(pConnection)->window);
        QVERIFY(pWindow && pWindow->isVisible());
        Tool().OnConnectionStateChanged(pConnection, CORVID_CONNECTION_DISCONNECTED);
        Tool().OnConnectionStateChanged(pConnection, CORVID_CONNECTION_READY);
        if (userCloses)
            QVERIFY(pWindow->close());
        else
            Tool().OnConnectionClosed(pConnection);
        const QList<QPair<uint32, uint64>> commands({{1, 1}, {0, 1}, {1, 1}, {0, 1}, {1, 0}, {0, 0}});
        QCOMPARE(pConnection->Commands(), commands);
        QCOMPARE(Tool().GetConnectionCount(), 0);
        QCOMPARE(pWindow.isNull(), !userCloses);
        QTRY_VERIFY(pWindow.isNull());
        QCOMPARE(pConnection->Commands(), commands);

        // Opening the target again makes a new window with a new id.
        const uint32 nNextId = Tool().GetNextWindowId();
        QVERIFY(Tool().ShowForCurrentConnection());
        QVERIFY(Tool().FindRecordByConnection(pConnection)->window);
        QCOMPARE(Tool().FindRecordByConnection(pConnection)->windowId, nNextId);
    }

    void commandsAreTwelveBigEndianBytes_data()
    {
        // clang-format off
        QTest::addColumn<uint>("code");
        QTest::addColumn<uint>("value");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("resource request") << 4u << 0u << QByteArray("000000040000000000000000");
        QTest::newRow("flushing on") << 1u << 1u << QByteArray("000000010000000000000001");
        QTest::newRow("wide value") << 0x01020304u << 0xFFFFFFFFu << QByteArray("0102030400000000ffffffff");
        // clang-format on
    }

    void commandsAreTwelveBigEndianBytes()
    {
        QFETCH(uint, code);
        QFETCH(uint, value);
        QFETCH(QByteArray, bytes);
        const uint32 nBase = Tool().GetNextWindowId();
        CFakeCorvidConnection *pConnection = Open("Target");
        QVERIFY(Tool().ShowForCurrentConnection());
        pConnection->sent.clear();
        QVERIFY(CGPUProfilerTool::SendTargetCommand(nBase, code, value));
        QCOMPARE(pConnection->sent.size(), 1);
        QCOMPARE(pConnection->sent[0].nChunkId, GPU_PROFILER_CHUNK_COMPRESSED);
        QCOMPARE(pConnection->sent[0].nVersion, uint16(1));
        QCOMPARE(pConnection->sent[0].payload.toHex(), bytes);

        // The host's answer is passed back.
        pConnection->sendResult = false;
        QVERIFY(!CGPUProfilerTool::SendTargetCommand(nBase, code, value));
        // No record, no command.
        QVERIFY(!CGPUProfilerTool::SendTargetCommand(nBase + 1, code, value));
        QCOMPARE(pConnection->sent.size(), 2);
    }

    // The five chunks a target is asked for; connects nest, a reconnect counts as one more, and
    // one disconnect ends them all; schema bindings; the table of records.
    void registrationsConnectsSchemaBindingsAndRecords()
    {
        // The five chunks are registered, version 1, with the tool as receiver.
        CFakeCorvidConnection *pConnection = Open("Target");
        Tool().RegisterDataTypes(pConnection);
        QStringList ids;
        for (const auto &r : pConnection->registrations) {
            ids << QString::fromLatin1(ChunkIdText(r.nChunkId));
            QCOMPARE(r.nVersion, uint16(1));
            QCOMPARE(r.pReceiver, static_cast<ICorvidDataReceived *>(&Tool()));
        }
        QCOMPARE(ids.join(' '), QStringLiteral("GPRF GPRD GPRC GPRT GPRB"));

        IAppSystem *pApp = &Tool();
        const int32 nNesting = Tool().GetConnectNesting();
        QVERIFY(pApp->Connect(nullptr));
        QVERIFY(pApp->Connect(nullptr));
        pApp->Reconnect(nullptr, "Anything_001");
        QCOMPARE(Tool().GetConnectNesting(), nNesting + 3);
        pApp->Disconnect();
        QCOMPARE(Tool().GetConnectNesting(), 0);

        // Schema bindings are taken from the schema system only, and once.
        auto *pSchema = reinterpret_cast<ISchemaSystem *>(this);
        auto *pOtherSchema = reinterpret_cast<ISchemaSystem *>(&host);
        QVERIFY(!InstallModuleSchemaBindings("SchemaSystem_002", pSchema));
        QVERIFY(!InstallModuleSchemaBindings(nullptr, pSchema));
        QCOMPARE(GetModuleSchemaSystem(), nullptr);
        QVERIFY(InstallModuleSchemaBindings("SchemaSystem_001", pSchema));
        QVERIFY(InstallModuleSchemaBindings("SchemaSystem_001", pOtherSchema));
        QCOMPARE(GetModuleSchemaSystem(), pSchema);

        // Records keep creation order; removal moves later ones down, also in a grown table; ids
        // are never reused.
        const uint32 nBase = Tool().GetNextWindowId();
        CFakeCorvidConnection *pFirstTarget = Open("first");
        QVERIFY(Tool().ShowForCurrentConnection());
        // Showing a target again shows its window; the name is taken once, for the new window.
        QVERIFY(Tool().ShowForCurrentConnection());
        QCOMPARE(RecordIds(nBase), QList<int>({0}));
        QCOMPARE(pFirstTarget->nameQueries, 1);
        CFakeCorvidConnection *pSecond = Open("second");
        QVERIFY(Tool().ShowForCurrentConnection());
        CFakeCorvidConnection *pThird = Open("third");
        QVERIFY(Tool().ShowForCurrentConnection());
        QCOMPARE(RecordIds(nBase), QList<int>({0, 1, 2}));

        Tool().ForgetWindow(nBase + 1);
        QCOMPARE(RecordIds(nBase), QList<int>({0, 2}));
        QCOMPARE(Tool().GetConnectionRecord(0)->connection, pFirstTarget);
        QCOMPARE(Tool().GetConnectionRecord(1)->connection, pThird);

        // The same target opened again is a new record with a new id.
        host.current = pSecond;
        QVERIFY(Tool().ShowForCurrentConnection());
        QCOMPARE(RecordIds(nBase), QList<int>({0, 2, 3}));

        Tool().OnConnectionClosed(pFirstTarget);
        QCOMPARE(RecordIds(nBase), QList<int>({2, 3}));
        // Unknown keys change nothing.
        Tool().ForgetWindow(nBase + 1);
        Tool().ForgetWindow(CGPUProfilerConnection::kUnassignedWindowId);
        Tool().OnConnectionClosed(nullptr);
        QCOMPARE(RecordIds(nBase), QList<int>({2, 3}));

        // Many more grow the table; cleanup() closes the rest and checks that no storage is left.
        for (int i = 0; i < 40; ++i) {
            Open("target");
            QVERIFY(Tool().ShowForCurrentConnection());
            Tool().GetConnectionRecord(i + 2)->assembly.samples.SetCount(3000); // storage beyond the reserve
        }
        QCOMPARE(Tool().GetConnectionCount(), 42);
        for (int i = 43; i >= 4; i -= 2)
            Tool().ForgetWindow(nBase + uint32(i));
        QCOMPARE(RecordIds(nBase).first(), 2);
        QCOMPARE(RecordIds(nBase).last(), 42);
    }
};

GPUPROF_TEST_MAIN(TestSubTool)
#include "tst_subtool.moc"
