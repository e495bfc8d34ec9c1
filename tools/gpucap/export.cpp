// gpucap frames and gpucap samples: a capture's frames as CSV. "samples" writes one frame exactly
// as the profiler's "Save as CSV..." does, with the same code: the sample columns and the CSV
// text of the plug-in, over the records a capture's window records for the frame.

#include "capture_frames.h"
#include "csv_export.h"
#include "frame_history.h"
#include "gpucap.h"
#include "sample_columns.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// Writes the text to the file ("-": standard output); false with a message when it cannot.
bool WriteText(const std::string &sPath, const QString &sText)
{
    const QByteArray bytes = sText.toUtf8();
    const bool bStdout = sPath == "-";
    std::FILE *pFile = bStdout ? stdout : std::fopen(sPath.c_str(), "wb");
    bool bWritten = pFile && std::fwrite(bytes.constData(), 1, size_t(bytes.size()), pFile) == size_t(bytes.size());
    if (pFile && !bStdout)
        bWritten = std::fclose(pFile) == 0 && bWritten;
    if (!bWritten)
        std::fprintf(stderr, "gpucap: cannot write %s: %s\n", sPath.c_str(), std::strerror(errno));
    return bWritten;
}

// The frame totals in the order of the line: times first, then the counters of the sample
// columns from "Draws" to the last one before the histograms.
constexpr int kTotalsColumns[] = {SAMPLE_COLUMN_GPU_TIME, SAMPLE_COLUMN_CPU_TIME};
constexpr int kFirstCounterColumn = SAMPLE_COLUMN_CPU_TIME + 1;

// A swap chain's name as one field: printable, and without the separator.
QString NameField(std::string_view sName)
{
    QString sField = QString::fromLatin1(sName.data(), qsizetype(sName.size()));
    for (QChar &c : sField) {
        if (c == QLatin1Char(',') || c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = c == QLatin1Char(',') ? QLatin1Char(';') : QLatin1Char('?');
    }
    return sField;
}

} // namespace

int RunFrames(const ExportOptions &options)
{
    const QLatin1String kSeparator(", ");
    QString sText = QStringLiteral("Frame, Swap Chain, Swap Chain Id");
    for (int c : kTotalsColumns)
        sText += kSeparator + SampleColumnHeader(c);
    sText += QStringLiteral(", Samples");
    for (int c = kFirstCounterColumn; c < SAMPLE_COLUMN_FIRST_HISTOGRAM; ++c)
        sText += kSeparator + SampleColumnHeader(c);
    sText += QLatin1Char('\n');

    uint64 nFrame = 0;
    GpuSampleRecord totals;
    std::string sProblems;
    const bool bRead = ReadCaptureFrames(
        options.sCapture,
        [&](const GpuFrameHeader &header, const GpuSampleRecord *pSamples, size_t nCount) {
            ComputeFrameTotals(pSamples, int32(nCount), &totals);
            sText += QString::number(nFrame++) + kSeparator + NameField(header.SwapChainName()) + kSeparator + QStringLiteral("0x") +
                QString::number(header.SwapChainId(), 16);
            for (int c : kTotalsColumns)
                sText += kSeparator + CsvValueText(SampleColumnValue(totals, 0, c, 0.0));
            sText += kSeparator + QString::number(nCount);
            for (int c = kFirstCounterColumn; c < SAMPLE_COLUMN_FIRST_HISTOGRAM; ++c)
                sText += kSeparator + CsvValueText(SampleColumnValue(totals, 0, c, 0.0));
            sText += QLatin1Char('\n');
        },
        &sProblems);
    std::fputs(sProblems.c_str(), stderr);
    if (!bRead || !WriteText(options.sOutput, sText))
        return GPUCAP_EXIT_FAILED;
    return GPUCAP_EXIT_DONE;
}

int RunSamples(const ExportOptions &options)
{
    uint64 nFrame = 0;
    bool bFound = false;
    QString sText;
    GpuSampleArray samples;
    std::string sProblems;
    const bool bRead = ReadCaptureFrames(
        options.sCapture,
        [&](const GpuFrameHeader &header, const GpuSampleRecord *pSamples, size_t nCount) {
            if (nFrame++ != options.nFrame)
                return;
            // The records as a capture's window records and shows them.
            if (!samples.SetCount(int32(nCount)))
                return;
            if (nCount)
                std::memcpy(static_cast<void *>(samples.Base()), pSamples, nCount * sizeof(GpuSampleRecord));
            PrepareFrameRecords(header, samples);
            const GpuFrame frame{header, &samples};
            sText = BuildFrameCsvText(&frame);
            bFound = true;
        },
        &sProblems);
    std::fputs(sProblems.c_str(), stderr);
    if (!bRead)
        return GPUCAP_EXIT_FAILED;
    if (!bFound) {
        std::fprintf(stderr, "gpucap: %s has no frame %llu (it holds %llu, counted from 0)\n", options.sCapture.c_str(),
                     static_cast<unsigned long long>(options.nFrame), static_cast<unsigned long long>(nFrame));
        return GPUCAP_EXIT_FAILED;
    }
    return WriteText(options.sOutput, sText) ? GPUCAP_EXIT_DONE : GPUCAP_EXIT_FAILED;
}
