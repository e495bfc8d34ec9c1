#pragma once
// A capture file (.gpucap) in the console's list, played back as a target: its chunks reach the
// tools through OnDataReceived exactly as a live target's do, read one at a time from the file.
//
// A live target starts streaming when a profiler window opens for it (the window's "window open"
// command); a capture plays its whole file back at that moment instead, so that every window
// opened for it, also one opened again after it was closed, gets every frame. Nothing a tool
// sends goes anywhere, and the log says so once per window. The file is played back in slices of
// kPlaybackSliceMs, so that the console keeps answering while a large one is read.

#include "corvid_target.h"

#include <memory>

class CCaptureReader;

class CCaptureConnection final : public CCorvidTarget
{
    Q_OBJECT

public:
    explicit CCaptureConnection(const QString &sPath, QObject *pParent = nullptr);
    ~CCaptureConnection() override;

    // The longest the console is kept busy at a time by a playback.
    static constexpr int kPlaybackSliceMs = 50;

    // ICorvidConnection
    bool SendData(uint32 nChunkId, uint16 nVersion, uint32 nSize, void *pBuffer) override;
    bool IsCapture() override { return true; }

    // Reads the file's header: the target's name and when it was taken. A file that is not a
    // capture this build reads stays closed, with the reason in the log and the state.
    void Open(int nRetryMs = 0) override;
    void Close() override;
    QString StatusText() const override;
    QString Address() const override { return m_sPath; }

    // Frames (frame header chunks) handed out by the last playback that finished.
    quint32 FramesPlayed() const { return m_nFramesPlayed; }

private:
    // Reads the file from its start again and hands every chunk to the tool that registered
    // its id, a slice at a time; stops at the first fault, which goes to the log and the state
    // with the file name and byte offset.
    void PlayBack();
    void PlaySlice();

    QString m_sPath;
    // What the last playback came to: empty before it, else "499 frames" and how it ended.
    QString m_sPlayed;
    quint32 m_nFramesPlayed = 0;
    // The playback under way, if any.
    std::unique_ptr<CCaptureReader> m_pPlayback;
};
