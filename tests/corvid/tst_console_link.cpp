// The console link end to end over loopback: the console's connection against the target's end,
// and against a raw socket playing a broken target.

#include "corvid_connection.h"
#include "profiler_test_support.h"
#include "test_support.h"
#include "wire_profiler.h"

#include <QSignalSpy>

#include <cstring>

namespace {

struct Received
{
    uint32 nChunkId;
    uint16 nVersion;
    QByteArray hostBytes;
    QByteArray payload;
};

class CRecordingReceiver final : public ICorvidDataReceived
{
public:
    bool OnDataReceived(ICorvidConnection *, uint32 nChunkId, uint16 nVersion, uint32 nSize, void *pBuffer) override
    {
        const char *p = static_cast<const char *>(pBuffer);
        chunks.append(
            {nChunkId, nVersion, QByteArray(p, CORVID_CHUNK_HEADER_SIZE), QByteArray(p + CORVID_CHUNK_HEADER_SIZE, qsizetype(nSize))});
        g_pMemAlloc->Free(pBuffer);
        return true;
    }
    QList<Received> chunks;
};

QByteArray Pattern(int nSize, int nSeed)
{
    QByteArray bytes(nSize, Qt::Uninitialized);
    for (int i = 0; i < nSize; ++i)
        bytes[i] = char((i * 31 + nSeed) & 0xFF);
    return bytes;
}

} // namespace

class TestConsoleLink : public QObject
{
    Q_OBJECT

private slots:
    // The console's connection against the target's end: the hello names the target, chunks
    // reach the receiver registered for their id with the link header in front of them, a
    // command goes the other way, and nothing leaks.
    void chunksTravelBothWaysWithoutLeaks()
    {
        AllocationSnapshot before;
        CTargetLink link("Demo Game");
        QVERIFY(link.Listen(0, true, nullptr));
        CCorvidConnection connection(QStringLiteral("127.0.0.1"), link.Port());
        QSignalSpy states(&connection, &CCorvidConnection::StateChanged);
        QCOMPARE(connection.GetName()->m_pszName, nullptr); // no name before the hello
        // Not ready yet: refused, but the buffer is still taken.
        QVERIFY(!connection.SendData(GPU_PROFILER_CHUNK_COMPRESSED, 1, 12, g_pMemAlloc->Alloc(12)));
        CRecordingReceiver frames, data;
        connection.RegisterDataType(GPU_PROFILER_CHUNK_FRAME, 1, &frames);
        connection.RegisterDataType(GPU_PROFILER_CHUNK_DATA, 1, &data);
        connection.Open();
        QVERIFY(PumpUntil(&link, [&] { return link.IsConnected() && connection.GetState() == CORVID_CONNECTION_READY; }));
        QList<int> sequence;
        for (const QList<QVariant> &args : states)
            sequence << args.first().toInt();
        QCOMPARE(sequence, QList<int>({1, 2, 3}));
        QCOMPARE(QByteArray(connection.GetName()->m_pszName), QByteArray("Demo Game"));
        QVERIFY(link.TakeNewConsole());
        QVERIFY(!link.TakeNewConsole());

        const QByteArray header = Pattern(188, 1);
        const QByteArray big = Pattern(3 << 20, 2); // several socket reads per chunk
        QVERIFY(link.Send(GPU_PROFILER_CHUNK_FRAME, 1, header.constData(), uint32(header.size())));
        QVERIFY(link.Send(0x58585858, 1, "nobody", 6));
        QVERIFY(link.Send(GPU_PROFILER_CHUNK_DATA, 2, big.constData(), uint32(big.size())));
        QVERIFY(link.Send(GPU_PROFILER_CHUNK_DATA, 1, nullptr, 0));
        QVERIFY(PumpUntil(&link, [&] { return data.chunks.size() == 2; }));
        QCOMPARE(frames.chunks.size(), 1);
        QCOMPARE(frames.chunks[0].payload, header);
        // The host data in front of the payload is the link header itself.
        QCOMPARE(frames.chunks[0].hostBytes.toHex(),
                 QByteArray("47505246000100000000"
                            "00bc"));
        QCOMPARE(data.chunks[0].nVersion, uint16(2)); // versions are passed on, not judged
        QVERIFY(data.chunks[0].payload == big);
        QCOMPARE(data.chunks[1].payload.size(), 0);
        QCOMPARE(connection.ChunksDropped(), quint64(1));

        auto *pCommand = static_cast<uint8 *>(g_pMemAlloc->Alloc(12));
        std::memcpy(pCommand, "\0\0\0\x04\0\0\0\0\0\0\0\0", 12);
        QVERIFY(connection.SendData(GPU_PROFILER_CHUNK_COMPRESSED, 1, 12, pCommand));
        std::vector<ReceivedChunk> received;
        QVERIFY(PumpUntil(
            &link, [&] { return !received.empty(); }, &received));
        QCOMPARE(received[0].nChunkId, GPU_PROFILER_CHUNK_COMPRESSED);
        QCOMPARE(received[0].nVersion, uint16(1));
        QCOMPARE(Bytes(received[0].payload.data(), 12).toHex(), QByteArray("000000040000000000000000"));
        connection.Close();
        link.Poll(0, nullptr);
        GPUPROF_COMPARE_NO_LEAKS(before);
    }

    // A raw socket plays a broken or hostile target.
    void brokenTargetsAreCutOff_data()
    {
        // clang-format off
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("delivered");
        const QByteArray hello = LinkMessage(CORVID_LINK_HELLO, 1, "evil", 4);
        QTest::newRow("largest chunk announced")
            << hello + LinkMessage(GPU_PROFILER_CHUNK_DATA, 1, "x", 0xFFFFFFFFu) << false;
        QTest::newRow("chunk before hello") << LinkMessage(GPU_PROFILER_CHUNK_DATA, 1, "abcd", 4) + hello << false;
        QTest::newRow("header cut short") << hello + QByteArray("\x47\x50\x52", 3) << false;
        QTest::newRow("payload cut short") << hello + LinkMessage(GPU_PROFILER_CHUNK_DATA, 1, Pattern(1000, 3), 5000) << false;
        QTest::newRow("well formed") << hello + LinkMessage(GPU_PROFILER_CHUNK_DATA, 1, "abcd", 4) << true;
        // clang-format on
    }

    void brokenTargetsAreCutOff()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, delivered);
        AllocationSnapshot before;
        {
            QTcpServer server;
            QVERIFY(server.listen(QHostAddress::LocalHost));
            CCorvidConnection connection(QStringLiteral("127.0.0.1"), server.serverPort());
            CRecordingReceiver data;
            connection.RegisterDataType(GPU_PROFILER_CHUNK_DATA, 1, &data);
            connection.Open(60000);
            QVERIFY(server.waitForNewConnection(5000));
            QTcpSocket *pTarget = server.nextPendingConnection();
            pTarget->write(bytes);
            pTarget->flush();
            QVERIFY(PumpUntil(nullptr, [&] { return connection.ChunksReceived() >= 1; }));
            QTest::qWait(50);
            pTarget->disconnectFromHost();
            QVERIFY(PumpUntil(nullptr, [&] { return connection.GetState() == CORVID_CONNECTION_DISCONNECTED; }));
            QCOMPARE(data.chunks.size(), delivered ? 1 : 0);
            connection.Close();
        }
        GPUPROF_COMPARE_NO_LEAKS(before);
    }

    // A peer that takes the link but never says hello (another service on the port, a hung
    // target) is dropped after a while and tried again, without ever counting as ready.
    void aSilentPeerIsDroppedAndRetried()
    {
        AllocationSnapshot before;
        {
            QTcpServer server;
            QVERIFY(server.listen(QHostAddress::LocalHost));
            CCorvidConnection connection(QStringLiteral("127.0.0.1"), server.serverPort());
            QStringList log;
            connect(&connection, &CCorvidConnection::LogMessage, this, [&](const QString &sLine) { log << sLine; });
            QSignalSpy states(&connection, &CCorvidConnection::StateChanged);
            connection.SetHandshakeTimeout(100);
            connection.Open(50);
            QVERIFY(PumpUntil(nullptr, [&] { return server.hasPendingConnections(); }));
            QTcpSocket *pFirst = server.nextPendingConnection();
            pFirst->write(LinkMessage(GPU_PROFILER_CHUNK_DATA, 1, "data", 4)); // not a hello
            QVERIFY(PumpUntil(nullptr, [&] { return server.hasPendingConnections(); }));
            QVERIFY(
                PumpUntil(nullptr, [&] { return pFirst->state() != QAbstractSocket::ConnectedState || pFirst->waitForDisconnected(1); }));
            for (const QList<QVariant> &args : states)
                QVERIFY(args.first().toInt() != CORVID_CONNECTION_READY);
            QVERIFY(!connection.IsLost());
            QCOMPARE(log.filter(QStringLiteral("not reachable (no hello within 0.1 s)")).size(), 1);
            connection.Close();
        }
        GPUPROF_COMPARE_NO_LEAKS(before);
    }
};

GPUPROF_TEST_MAIN(TestConsoleLink)
#include "tst_console_link.moc"
