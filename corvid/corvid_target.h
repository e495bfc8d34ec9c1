#pragma once
// A target in the console's list as the tools and the list see it: a live target over the
// console link (CCorvidConnection) or a capture file played back (CCaptureConnection). Both keep
// their name, state, the chunk types that tools registered and the traffic counters alike, and
// hand a received chunk to its tool the same way.

#include "corvid_interfaces.h"
#include "wire_link.h"

#include <QByteArray>
#include <QList>
#include <QObject>

class CCorvidTarget : public QObject, public ICorvidConnection
{
    Q_OBJECT

public:
    explicit CCorvidTarget(QObject *pParent = nullptr) : QObject(pParent) {}

    // ICorvidConnection
    const CorvidNameHolder *GetName() override;
    bool RegisterDataType(uint32 nChunkId, uint16 nVersion, ICorvidDataReceived *pReceiver) override;
    int32 GetState() override { return m_nState; }
    int32 State() const { return m_nState; }

    // Starts the target: connecting (retried every nRetryMs), or opening the file.
    virtual void Open(int nRetryMs) = 0;
    virtual void Close() = 0;
    // The state as the target list shows it.
    virtual QString StatusText() const = 0;
    // Where the target is: host and port, or the capture file.
    virtual QString Address() const = 0;
    // True while a target that had been connected is gone and being retried.
    virtual bool IsLost() const { return false; }
    // Whether the console tries to keep this target connected (Open() without a later Close()).
    virtual bool IsWanted() const { return false; }

    // Why the console closed the link or stopped reading the file itself; empty unless it did.
    QString CloseReason() const { return m_sCloseReason; }
    // The target's own name once known, else its address.
    QString DisplayName() const;
    quint64 ChunksReceived() const { return m_nChunksReceived; }
    quint64 BytesReceived() const { return m_nBytesReceived; }
    quint64 ChunksDropped() const { return m_nChunksDropped; }

signals:
    void StateChanged(int nState);
    void NameChanged();
    // Something worth a line in the console's log.
    void LogMessage(const QString &sText);

protected:
    void SetState(int32 nState);
    void SetName(const QByteArray &name);
    // Hands one complete chunk (link header and payload in a g_pMemAlloc buffer) to the tool
    // that registered its id, which frees it; frees it here when none did or the target is not
    // ready.
    void Deliver(uint8 *pBuffer, const CorvidLinkHeader &header);

    QString m_sCloseReason;
    QByteArray m_Name;
    quint64 m_nChunksReceived = 0;
    quint64 m_nBytesReceived = 0;
    quint64 m_nChunksDropped = 0;

private:
    struct Registration
    {
        uint32 nChunkId;
        ICorvidDataReceived *pReceiver;
    };

    int32 m_nState = CORVID_CONNECTION_DISCONNECTED;
    CorvidNameHolder m_NameHolder{nullptr};
    QList<Registration> m_Registrations;
};
