#pragma once
// A live target as the console sees it: a TCP link to the target, its state, the chunk types
// that tools registered for it, and the traffic counters shown in the target list.

#include "corvid_target.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>

// A target's name as the console shows it has at most this many characters (after the link
// has cut the hello to CORVID_LINK_MAX_NAME bytes): long enough for a game, a build and a
// machine, short enough for a window title and a column of the target list.
inline constexpr int kMaxTargetNameChars = 64;

// A target that stops sending in the middle of a message (a link header or a chunk) for this
// long is taken for lost: its link is closed, the part of the message already received is
// freed, and the console tries again as for any lost target. A healthy target finishes a
// 64 MiB chunk on a slow network in well under this time.
inline constexpr int kLinkStallTimeoutMs = 10000;

class CCorvidConnection final : public CCorvidTarget
{
    Q_OBJECT

public:
    CCorvidConnection(const QString &sHost, quint16 nPort, QObject *pParent = nullptr);
    ~CCorvidConnection() override;

    // ICorvidConnection
    bool SendData(uint32 nChunkId, uint16 nVersion, uint32 nSize, void *pBuffer) override;
    bool IsCapture() override { return false; }

    // A target that accepts the link but does not say hello within this time is dropped and
    // tried again later (5 s unless changed).
    void SetHandshakeTimeout(int nMs) { m_HandshakeTimer.setInterval(nMs); }
    // How long a message may stay half received (kLinkStallTimeoutMs unless changed).
    void SetStallTimeout(int nMs) { m_nStallTimeoutMs = nMs; }

    // Starts connecting; a link that drops is retried every nRetryMs until Close(). A link closed
    // for breaking the link protocol is not retried: the same target would only break it again.
    void Open(int nRetryMs = 2000) override;
    void Close() override;

    // Besides the four states, whether a target that was connected went away ("Lost") and why a
    // link was closed.
    QString StatusText() const override;
    bool IsLost() const override { return m_bLost; }
    bool IsWanted() const override { return m_bWanted; }
    QString Address() const override;

private slots:
    void OnSocketConnected();
    void OnSocketReadyRead();
    void OnSocketDisconnected();
    void OnSocketError(QAbstractSocket::SocketError eError);
    void Reconnect();
    void CheckStall();

private:
    void ResetIncoming();
    void ReadMessages();
    // A hello: names the target on a new link, and is refused on a connected one.
    void TakeHello(const uint8 *pName, uint32 nSize);
    // The target broke the link protocol: closes the link for good and says why.
    void DropLink(const QString &sReason);
    // The link is down: schedules the next attempt and reports what happened, once.
    void LinkDown(const QString &sWhy);
    void WriteMessage(uint32 nChunkId, uint16 nVersion, const void *pPayload, uint32 nSize);
    // Takes one complete message (header and payload in a g_pMemAlloc buffer): a hello, or a
    // chunk for a tool.
    void Dispatch(uint8 *pBuffer, const CorvidLinkHeader &header);

    QString m_sHost;
    quint16 m_nPort;
    QTcpSocket m_Socket;
    QTimer m_RetryTimer;
    QTimer m_HandshakeTimer;
    // Runs while a message is half received; m_LastProgress is restarted whenever bytes arrive.
    QTimer m_StallTimer;
    QElapsedTimer m_LastProgress;
    int m_nStallTimeoutMs = kLinkStallTimeoutMs;
    // A second hello on one link is logged once.
    bool m_bRenameLogged = false;
    // Why the console itself cut the link it is about to see go down; empty when the target did.
    QString m_sDownReason;
    bool m_bWanted = false;
    bool m_bLost = false;
    // A failed attempt is logged once, not every retry.
    bool m_bFailureLogged = false;

    // The message being read: its header, then its buffer as it fills.
    uint8 m_Header[CORVID_LINK_HEADER_SIZE];
    uint32 m_nHeaderBytes = 0;
    uint8 *m_pIncoming = nullptr;
    CorvidLinkHeader m_IncomingHeader{};
    uint32 m_nPayloadBytes = 0;
};
