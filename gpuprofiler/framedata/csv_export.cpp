#include "csv_export.h"

#include "gpu_frame.h"
#include "sample_columns.h"

#include <cfloat>

QString CsvValueText(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
        return QString::number(value.toDouble(), 'g', DBL_DIG);
    case QMetaType::Float:
        return QString::number(double(value.toFloat()), 'g', FLT_DIG);
    default:
        return value.toString();
    }
}

QString BuildFrameCsvText(const GpuFrame *pFrame)
{
    const int32 nRows = pFrame ? pFrame->SampleCount() : 0;
    const GpuSampleRecord *pRecords = nRows > 0 ? pFrame->Samples() : nullptr;
    const double flFirstGpuStart = pRecords ? pRecords[0].GpuStartTime() : 0.0;
    QString sText;
    sText.reserve(qsizetype(nRows + 1) * kSampleColumnCount * 8);
    for (int32 r = -1; r < nRows; ++r) {
        for (int c = 1; c < kSampleColumnCount; ++c) {
            sText += r < 0 ? SampleColumnHeader(c) : CsvValueText(SampleColumnValue(pRecords[r], r, c, flFirstGpuStart));
            if (c != kSampleColumnCount - 1)
                sText += QLatin1String(", ");
        }
        sText += QLatin1Char('\n');
    }
    return sText;
}
