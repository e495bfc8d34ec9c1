#include "capture_connection.h"

#include "capture_reader.h"
#include "corvid_connection.h"
#include "mem_alloc.h"
#include "printable_text.h"
#include "wire_profiler.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QTimer>

CCaptureConnection::CCaptureConnection(const QString &sPath, QObject *pParent) : CCorvidTarget(pParent), m_sPath(sPath) {}

CCaptureConnection::~CCaptureConnection() = default;

void CCaptureConnection::Open(int /*nRetryMs*/)
{
    m_sCloseReason.clear();
    m_sPlayed.clear();
    CCaptureReader reader;
    if (!reader.Open(m_sPath.toStdString())) {
        m_sCloseReason = QString::fromStdString(reader.Error());
        SetState(CORVID_CONNECTION_DISCONNECTED);
        emit LogMessage(m_sCloseReason);
        return;
    }
    // The header is the file's word, not ours: shown as printable text like a hello's name.
    const CaptureInfo &info = reader.Info();
    QString sName = PrintableText(QString::fromUtf8(info.sTargetName.data(), qsizetype(info.sTargetName.size())), kMaxTargetNameChars);
    if (sName.isEmpty())
        sName = QFileInfo(m_sPath).fileName();
    SetName(sName.toUtf8());
    emit LogMessage(QStringLiteral("%1: a capture of \"%2\", taken %3 by %4")
                        .arg(m_sPath, sName, QString::fromStdString(FormatCaptureTime(info.nTakenAtUs)),
                             PrintableText(QString::fromUtf8(info.sWriterVersion.data(), qsizetype(info.sWriterVersion.size())),
                                           int(kCaptureMaxVersionText))));
    SetState(CORVID_CONNECTION_READY);
}

void CCaptureConnection::Close()
{
    m_pPlayback.reset();
    SetState(CORVID_CONNECTION_DISCONNECTED);
}

bool CCaptureConnection::SendData(uint32 nChunkId, uint16 /*nVersion*/, uint32 nSize, void *pBuffer)
{
    const auto *pCommand = static_cast<const GpuProfilerCommandRecord *>(pBuffer);
    const bool bWindowOpen = pCommand && nChunkId == GPU_PROFILER_CHUNK_COMPRESSED && nSize == GPU_PROFILER_COMMAND_SIZE &&
        pCommand->Code() == GPU_PROFILER_COMMAND_WINDOW_OPEN && pCommand->Value() == 1;
    g_pMemAlloc->Free(pBuffer);
    if (bWindowOpen && GetState() == CORVID_CONNECTION_READY)
        PlayBack();
    return false;
}

void CCaptureConnection::PlayBack()
{
    emit LogMessage(QStringLiteral("%1: a capture, played back to the profiler window just opened; what the window sends "
                                   "to a target (pipeline flushing, resource list requests) goes nowhere")
                        .arg(DisplayName()));
    // A new window wants the whole file, also when another playback was under way.
    m_pPlayback = std::make_unique<CCaptureReader>();
    m_pPlayback->Open(m_sPath.toStdString());
    // The window asks from its constructor, before its tool has it: the first slice is read
    // once the window stands.
    QTimer::singleShot(0, this, &CCaptureConnection::PlaySlice);
}

void CCaptureConnection::PlaySlice()
{
    if (!m_pPlayback || GetState() != CORVID_CONNECTION_READY)
        return;
    CCaptureReader &reader = *m_pPlayback;
    QElapsedTimer slice;
    slice.start();
    CCaptureReader::Result result = CCaptureReader::Result::Error;
    CaptureChunk chunk;
    while (reader.Error().empty() && (result = reader.ReadChunk(&chunk)) == CCaptureReader::Result::Chunk) {
        ++m_nChunksReceived;
        m_nBytesReceived += CORVID_LINK_HEADER_SIZE + chunk.nSize;
        Deliver(chunk.pBuffer, {chunk.nChunkId, chunk.nVersion, chunk.nSize});
        if (slice.hasExpired(kPlaybackSliceMs)) {
            QTimer::singleShot(0, this, &CCaptureConnection::PlaySlice);
            return;
        }
    }
    m_nFramesPlayed = reader.FramesRead();
    const QString sFrames = QStringLiteral("%1 frames").arg(QLocale().toString(m_nFramesPlayed));
    if (result == CCaptureReader::Result::Error) {
        // What came before the fault stands; the rest of the file is not read.
        m_sCloseReason = QString::fromStdString(reader.Error());
        m_sPlayed = QStringLiteral("%1, damaged: %2").arg(sFrames, m_sCloseReason);
        emit LogMessage(m_sCloseReason);
    } else if (!reader.IsComplete()) {
        m_sPlayed = sFrames + QStringLiteral(", cut short");
        emit LogMessage(QString::fromStdString(reader.Warning()));
    } else {
        m_sPlayed = sFrames;
        emit LogMessage(QStringLiteral("%1: played back %2").arg(m_sPath, sFrames));
    }
    m_pPlayback.reset();
}

QString CCaptureConnection::StatusText() const
{
    if (State() != CORVID_CONNECTION_READY)
        return m_sCloseReason.isEmpty() ? QStringLiteral("Capture, closed") : QStringLiteral("Closed: %1").arg(m_sCloseReason);
    return m_sPlayed.isEmpty() ? QStringLiteral("Capture") : QStringLiteral("Capture: %1").arg(m_sPlayed);
}
