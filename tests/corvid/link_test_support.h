#pragma once
// What the console's tests share: running the console's event loop (and a target's end of the
// link, when there is one) until something holds, and link messages written by hand.

#include "target_link.h"
#include "wire_link.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <functional>
#include <vector>

// Runs the console's event loop and the target's poll in turns until the condition holds; false
// after nTimeoutMs. Chunks that the target receives go to pReceived.
inline bool PumpUntil(CTargetLink *pLink, const std::function<bool()> &condition,
                      std::vector<ReceivedChunk> *pReceived = nullptr, int nTimeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > nTimeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (pLink)
            pLink->Poll(1, pReceived);
        else
            QThread::msleep(1);
    }
    return true;
}

// One message as a peer puts it on the link, announcing nAnnounced payload bytes whatever
// follows.
inline QByteArray LinkMessage(uint32 nId, uint16 nVersion, const QByteArray &payload, uint32 nAnnounced)
{
    QByteArray message(int(CORVID_LINK_HEADER_SIZE), 0);
    WriteCorvidLinkHeader(message.data(), {nId, nVersion, nAnnounced});
    return message + payload;
}

inline QByteArray LinkMessage(uint32 nId, const QByteArray &payload)
{
    return LinkMessage(nId, 1, payload, uint32(payload.size()));
}
