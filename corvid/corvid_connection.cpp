#include "corvid_connection.h"

#include "mem_alloc.h"
#include "printable_text.h"

#include <QLocale>

#include <cstring>

CCorvidConnection::CCorvidConnection(const QString &sHost, quint16 nPort, QObject *pParent)
    : CCorvidTarget(pParent), m_sHost(sHost), m_nPort(nPort)
{
    m_RetryTimer.setSingleShot(true);
    connect(&m_RetryTimer, &QTimer::timeout, this, &CCorvidConnection::Reconnect);
    m_HandshakeTimer.setSingleShot(true);
    m_HandshakeTimer.setInterval(5000);
    connect(&m_HandshakeTimer, &QTimer::timeout, this, [this] {
        if (GetState() != CORVID_CONNECTION_HANDSHAKE)
            return;
        m_sDownReason = QStringLiteral("no hello within %1 s").arg(m_HandshakeTimer.interval() / 1000.0);
        m_Socket.abort(); // emits disconnected, which schedules the retry
    });
    m_StallTimer.setSingleShot(true);
    connect(&m_StallTimer, &QTimer::timeout, this, &CCorvidConnection::CheckStall);
    connect(&m_Socket, &QTcpSocket::connected, this, &CCorvidConnection::OnSocketConnected);
    connect(&m_Socket, &QTcpSocket::readyRead, this, &CCorvidConnection::OnSocketReadyRead);
    connect(&m_Socket, &QTcpSocket::disconnected, this, &CCorvidConnection::OnSocketDisconnected);
    connect(&m_Socket, &QTcpSocket::errorOccurred, this, &CCorvidConnection::OnSocketError);
    m_Socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

CCorvidConnection::~CCorvidConnection()
{
    m_bWanted = false;
    m_Socket.disconnect(this);
    m_Socket.abort();
    ResetIncoming();
}

bool CCorvidConnection::SendData(uint32 nChunkId, uint16 nVersion, uint32 nSize, void *pBuffer)
{
    // The buffer is ours from here on, whatever happens to it.
    bool bSent = false;
    if (GetState() == CORVID_CONNECTION_READY && nSize <= CORVID_LINK_MAX_PAYLOAD) {
        WriteMessage(nChunkId, nVersion, pBuffer, nSize);
        bSent = true;
    }
    g_pMemAlloc->Free(pBuffer);
    return bSent;
}

void CCorvidConnection::Open(int nRetryMs)
{
    m_bWanted = true;
    m_bFailureLogged = false;
    m_sCloseReason.clear();
    m_RetryTimer.setInterval(nRetryMs);
    Reconnect();
}

void CCorvidConnection::Close()
{
    m_HandshakeTimer.stop();
    m_StallTimer.stop();
    m_bWanted = false;
    m_bLost = false;
    m_RetryTimer.stop();
    m_Socket.abort();
    ResetIncoming();
    SetState(CORVID_CONNECTION_DISCONNECTED);
}

QString CCorvidConnection::StatusText() const
{
    switch (State()) {
    case CORVID_CONNECTION_READY:
        return QStringLiteral("Connected");
    case CORVID_CONNECTION_HANDSHAKE:
        return QStringLiteral("Handshake");
    case CORVID_CONNECTION_CONNECTING:
        return m_bLost ? QStringLiteral("Lost, reconnecting") : QStringLiteral("Connecting");
    default:
        break;
    }
    if (!m_sCloseReason.isEmpty())
        return QStringLiteral("Closed: %1").arg(m_sCloseReason);
    if (m_bLost)
        return QStringLiteral("Lost, retrying");
    if (m_bWanted)
        return QStringLiteral("Not reachable, retrying");
    return QStringLiteral("Disconnected");
}

QString CCorvidConnection::Address() const
{
    return QStringLiteral("%1:%2").arg(m_sHost).arg(m_nPort);
}

void CCorvidConnection::Reconnect()
{
    if (!m_bWanted || m_Socket.state() != QAbstractSocket::UnconnectedState)
        return;
    SetState(CORVID_CONNECTION_CONNECTING);
    m_Socket.connectToHost(m_sHost, m_nPort);
}

void CCorvidConnection::OnSocketConnected()
{
    static const QByteArray kConsoleName = QByteArrayLiteral("corvid");
    WriteMessage(CORVID_LINK_HELLO, CORVID_LINK_HELLO_VERSION, kConsoleName.constData(), uint32(kConsoleName.size()));
    m_bRenameLogged = false;
    m_HandshakeTimer.start();
    SetState(CORVID_CONNECTION_HANDSHAKE);
}

void CCorvidConnection::OnSocketDisconnected()
{
    const QString sWhy = m_sDownReason.isEmpty() ? QStringLiteral("the target closed the link") : m_sDownReason;
    m_sDownReason.clear();
    LinkDown(sWhy);
}

void CCorvidConnection::OnSocketError(QAbstractSocket::SocketError /*eError*/)
{
    // A refused or failed connect never reaches disconnected(); retry from here.
    if (m_Socket.state() == QAbstractSocket::UnconnectedState)
        LinkDown(m_Socket.errorString());
}

void CCorvidConnection::LinkDown(const QString &sWhy)
{
    ResetIncoming();
    m_HandshakeTimer.stop();
    m_StallTimer.stop();
    // Only a target that had said hello was there to be lost.
    const bool bWasUp = GetState() == CORVID_CONNECTION_READY;
    if (bWasUp && m_bWanted)
        m_bLost = true;
    // The state changes before the log line, so whoever reads the line sees the new state.
    SetState(CORVID_CONNECTION_DISCONNECTED);
    if (!m_bWanted)
        return;
    if (bWasUp) {
        emit LogMessage(
            QStringLiteral("%1: target lost (%2); retrying every %3 s").arg(DisplayName(), sWhy).arg(m_RetryTimer.interval() / 1000.0));
        m_bFailureLogged = true;
    } else if (!m_bFailureLogged) {
        emit LogMessage(
            QStringLiteral("%1: not reachable (%2); retrying every %3 s").arg(Address(), sWhy).arg(m_RetryTimer.interval() / 1000.0));
        m_bFailureLogged = true;
    }
    if (!m_RetryTimer.isActive())
        m_RetryTimer.start();
}

void CCorvidConnection::DropLink(const QString &sReason)
{
    emit LogMessage(QStringLiteral("%1: %2; link closed").arg(DisplayName(), sReason));
    m_sCloseReason = sReason;
    m_bWanted = false;
    m_bLost = false;
    m_RetryTimer.stop();
    ResetIncoming();
    m_Socket.abort(); // emits disconnected, which reports the new state
    SetState(CORVID_CONNECTION_DISCONNECTED);
}

void CCorvidConnection::ResetIncoming()
{
    g_pMemAlloc->Free(m_pIncoming);
    m_pIncoming = nullptr;
    m_nHeaderBytes = 0;
    m_nPayloadBytes = 0;
}

void CCorvidConnection::WriteMessage(uint32 nChunkId, uint16 nVersion, const void *pPayload, uint32 nSize)
{
    uint8 header[CORVID_LINK_HEADER_SIZE];
    WriteCorvidLinkHeader(header, {nChunkId, nVersion, nSize});
    m_Socket.write(reinterpret_cast<const char *>(header), CORVID_LINK_HEADER_SIZE);
    if (nSize)
        m_Socket.write(static_cast<const char *>(pPayload), qint64(nSize));
}

void CCorvidConnection::OnSocketReadyRead()
{
    m_LastProgress.restart();
    ReadMessages();
    // Watched only while a message is half received: between messages a target may be idle
    // for as long as it likes.
    if (m_nHeaderBytes > 0 || m_pIncoming) {
        if (!m_StallTimer.isActive())
            m_StallTimer.start(m_nStallTimeoutMs);
    } else {
        m_StallTimer.stop();
    }
}

void CCorvidConnection::CheckStall()
{
    if (m_nHeaderBytes == 0 && !m_pIncoming)
        return;
    const qint64 nIdleMs = m_LastProgress.elapsed();
    if (nIdleMs < m_nStallTimeoutMs) {
        m_StallTimer.start(int(m_nStallTimeoutMs - nIdleMs));
        return;
    }
    const QString sWhere = m_pIncoming ? QStringLiteral("a chunk (%1 of %2 bytes received)")
                                             .arg(QLocale().toString(m_nPayloadBytes), QLocale().toString(m_IncomingHeader.nSize))
                                       : QStringLiteral("a link header");
    m_sDownReason = QStringLiteral("nothing received for %1 s inside %2").arg(m_nStallTimeoutMs / 1000.0).arg(sWhere);
    m_Socket.abort(); // emits disconnected, which frees the partial message and schedules the retry
}

void CCorvidConnection::ReadMessages()
{
    // Messages are read straight into the buffer that is handed over: the 12-byte link header
    // becomes the host data in front of the payload, so nothing is copied twice.
    while (m_Socket.state() == QAbstractSocket::ConnectedState) {
        if (!m_pIncoming) {
            const qint64 nGot =
                m_Socket.read(reinterpret_cast<char *>(m_Header) + m_nHeaderBytes, CORVID_LINK_HEADER_SIZE - m_nHeaderBytes);
            if (nGot <= 0)
                return;
            m_nHeaderBytes += uint32(nGot);
            if (m_nHeaderBytes < CORVID_LINK_HEADER_SIZE)
                return;
            m_IncomingHeader = ReadCorvidLinkHeader(m_Header);
            if (m_IncomingHeader.nSize > CORVID_LINK_MAX_PAYLOAD) {
                DropLink(QStringLiteral("the target announced a chunk of %1 bytes, over the limit of %2 MiB")
                             .arg(QLocale().toString(m_IncomingHeader.nSize))
                             .arg(CORVID_LINK_MAX_PAYLOAD >> 20));
                return;
            }
            m_pIncoming = static_cast<uint8 *>(g_pMemAlloc->Alloc(CORVID_LINK_HEADER_SIZE + m_IncomingHeader.nSize));
            if (!m_pIncoming) {
                DropLink(QStringLiteral("out of memory for a chunk of %1 bytes").arg(m_IncomingHeader.nSize));
                return;
            }
            std::memcpy(m_pIncoming, m_Header, CORVID_LINK_HEADER_SIZE);
            m_nPayloadBytes = 0;
        }

        if (m_nPayloadBytes < m_IncomingHeader.nSize) {
            const qint64 nGot = m_Socket.read(reinterpret_cast<char *>(m_pIncoming) + CORVID_LINK_HEADER_SIZE + m_nPayloadBytes,
                                              qint64(m_IncomingHeader.nSize - m_nPayloadBytes));
            if (nGot <= 0)
                return;
            m_nPayloadBytes += uint32(nGot);
            if (m_nPayloadBytes < m_IncomingHeader.nSize)
                return;
        }

        uint8 *pBuffer = m_pIncoming;
        const CorvidLinkHeader header = m_IncomingHeader;
        m_pIncoming = nullptr;
        m_nHeaderBytes = 0;
        m_nPayloadBytes = 0;
        Dispatch(pBuffer, header);
    }
}

void CCorvidConnection::Dispatch(uint8 *pBuffer, const CorvidLinkHeader &header)
{
    ++m_nChunksReceived;
    m_nBytesReceived += CORVID_LINK_HEADER_SIZE + header.nSize;

    if (header.nChunkId == CORVID_LINK_HELLO) {
        TakeHello(pBuffer + CORVID_LINK_HEADER_SIZE, header.nSize);
        g_pMemAlloc->Free(pBuffer);
        return;
    }

    Deliver(pBuffer, header);
}

void CCorvidConnection::TakeHello(const uint8 *pName, uint32 nSize)
{
    const uint32 nNameSize = nSize < CORVID_LINK_MAX_NAME ? nSize : CORVID_LINK_MAX_NAME;
    // The name reaches the log, the target list and window titles: one line of printable text.
    const QByteArray name =
        PrintableText(QString::fromUtf8(reinterpret_cast<const char *>(pName), qsizetype(nNameSize)), kMaxTargetNameChars).toUtf8();
    if (GetState() == CORVID_CONNECTION_READY) {
        // A connected target keeps the name it said hello with: a second hello could otherwise
        // make one target pass for another in the middle of a session.
        if (name != m_Name && !m_bRenameLogged) {
            m_bRenameLogged = true;
            emit LogMessage(QStringLiteral("%1: refused a second hello that would rename the target to \"%2\"")
                                .arg(DisplayName(), QString::fromUtf8(name)));
        }
        return;
    }
    SetName(name);
    if (GetState() == CORVID_CONNECTION_HANDSHAKE) {
        m_HandshakeTimer.stop();
        m_bLost = false;
        m_bFailureLogged = false;
        emit LogMessage(QStringLiteral("%1: connected to \"%2\"").arg(Address(), DisplayName()));
        SetState(CORVID_CONNECTION_READY);
    }
}
