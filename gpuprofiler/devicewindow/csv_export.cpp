#include "gpuprofiler/devicewindow/csv_export.h"

#include "gpuprofiler/framedata/frame_profile_model.h"

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

QString BuildFrameCsvText(GpuFrame *pFrame)
{
    // A model of its own, always flat and in its own row order, so the export does not depend on
    // what the tree shows or how it is sorted.
    CGpuFrameProfileModel model;
    model.setSortRole(Qt::UserRole);
    model.SetFrame(pFrame);
    model.clear();
    model.SetHierarchical(false);
    model.Rebuild(false);

    const int nColumns = model.columnCount();
    const int nRows = model.rowCount();
    QString sText;
    sText.reserve((nRows + 1) * nColumns * 8);
    for (int r = -1; r < nRows; ++r) {
        for (int c = 1; c < nColumns; ++c) {
            const QVariant value = r < 0 ? model.headerData(c, Qt::Horizontal, Qt::DisplayRole)
                                         : model.data(model.index(r, c), Qt::UserRole);
            sText += CsvValueText(value);
            if (c != nColumns - 1)
                sText += QLatin1String(", ");
        }
        sText += QLatin1Char('\n');
    }
    return sText;
}
