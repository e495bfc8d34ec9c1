#pragma once
// The console's end of the link as the layer's tests need it: connects to the layer, says
// hello, sends commands, and assembles the frames and lists that come back (packed sample
// chunks unpacked by the plug-in's own decompressor).

#include "chunk_decompression.h"
#include "frame_builder.h"
#include "target_command.h"
#include "wire_link.h"
#include "wire_profiler.h"

#include <QTcpSocket>
#include <QThread>

class CLayerConsole
{
public:
    bool Connect(uint16 nPort)
    {
        for (int nTry = 0; nTry < 100; ++nTry) {
            m_Socket.connectToHost(QHostAddress::LocalHost, nPort);
            if (m_Socket.waitForConnected(1000)) {
                Write(CORVID_LINK_HELLO, {'t', 'e', 's', 't'});
                return true;
            }
            m_Socket.abort();
            QThread::msleep(50);
        }
        return false;
    }

    void Command(uint32 nCode, uint64 nValue) { Write(GPU_PROFILER_CHUNK_COMPRESSED, EncodeTargetCommand(nCode, nValue)); }

    // Reads what has arrived, waiting at most nTimeoutMs for the first bytes.
    void Pump(int nTimeoutMs)
    {
        while (m_Socket.waitForReadyRead(nTimeoutMs)) {
            const QByteArray bytes = m_Socket.readAll();
            m_Incoming.insert(m_Incoming.end(), bytes.begin(), bytes.end());
            nTimeoutMs = 0;
        }
        size_t nOffset = 0;
        while (m_Incoming.size() - nOffset >= CORVID_LINK_HEADER_SIZE) {
            const CorvidLinkHeader header = ReadCorvidLinkHeader(m_Incoming.data() + nOffset);
            if (m_Incoming.size() - nOffset - CORVID_LINK_HEADER_SIZE < header.nSize)
                break;
            Chunk(header.nChunkId, m_Incoming.data() + nOffset + CORVID_LINK_HEADER_SIZE, header.nSize);
            nOffset += CORVID_LINK_HEADER_SIZE + header.nSize;
        }
        m_Incoming.erase(m_Incoming.begin(), m_Incoming.begin() + std::ptrdiff_t(nOffset));
    }

    std::vector<TargetFrame> frames;
    std::vector<uint8> textures, buffers;

private:
    void Write(uint32 nId, const std::vector<uint8> &payload)
    {
        std::vector<uint8> message(CORVID_LINK_HEADER_SIZE);
        WriteCorvidLinkHeader(message.data(), {nId, 1, uint32(payload.size())});
        message.insert(message.end(), payload.begin(), payload.end());
        m_Socket.write(reinterpret_cast<const char *>(message.data()), qint64(message.size()));
        m_Socket.flush();
    }

    void Chunk(uint32 nId, const uint8 *pPayload, uint32 nSize)
    {
        if (nId == GPU_PROFILER_CHUNK_FRAME && nSize == sizeof(GpuFrameHeader)) {
            m_Frame = TargetFrame();
            std::memcpy(&m_Frame.header, pPayload, nSize);
        } else if (nId == GPU_PROFILER_CHUNK_DATA || nId == GPU_PROFILER_CHUNK_COMPRESSED) {
            std::vector<uint8> data(pPayload, pPayload + nSize);
            if (nId == GPU_PROFILER_CHUNK_COMPRESSED) {
                data.resize(ChunkDataSize(pPayload, nSize));
                data.resize(DecompressChunk(pPayload, nSize, data.data(), uint32(data.size())));
            }
            const auto *pRecords = reinterpret_cast<const GpuSampleRecord *>(data.data());
            m_Frame.samples.insert(m_Frame.samples.end(), pRecords, pRecords + data.size() / sizeof(GpuSampleRecord));
        } else if (nId == GPU_PROFILER_CHUNK_TEXTURES) {
            textures.assign(pPayload, pPayload + nSize);
        } else if (nId == GPU_PROFILER_CHUNK_BUFFERS) {
            buffers.assign(pPayload, pPayload + nSize);
        }
        if ((nId == GPU_PROFILER_CHUNK_FRAME || nId == GPU_PROFILER_CHUNK_DATA || nId == GPU_PROFILER_CHUNK_COMPRESSED) &&
            m_Frame.samples.size() == m_Frame.header.SampleCount())
            frames.push_back(m_Frame);
    }

    QTcpSocket m_Socket;
    std::vector<uint8> m_Incoming;
    TargetFrame m_Frame;
};
