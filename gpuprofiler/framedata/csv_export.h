#pragma once
// The text of "Save as CSV...": the frame's samples in frame order, one line per sample, every
// column but "Name", values as the sample columns' raw values. Needs no widget, so a tool
// without a window writes the same file byte for byte.

#include <QString>
#include <QVariant>

struct GpuFrame;

// Header line and one line per sample; fields are joined by ", " and every line ends in "\n".
// Values are neither quoted nor escaped. A null frame or one without samples gives the header
// line alone.
QString BuildFrameCsvText(const GpuFrame *pFrame);

// A raw value as the export writes it: doubles with up to 15 significant digits and floats with
// up to 6, as the toolkit's variant conversion has always written them; everything else as its
// plain text.
QString CsvValueText(const QVariant &value);
