#pragma once
// The text of "Save as CSV...": the frame in the sample model's flat layout, one line per row,
// every column but "Name", values as the model's raw sort values.

#include <QString>
#include <QVariant>

struct GpuFrame;

// Header line and one line per top-level row of a flat model of the frame; fields are joined by
// ", " and every line ends in "\n". Values are neither quoted nor escaped.
QString BuildFrameCsvText(GpuFrame *pFrame);

// A raw value as the export writes it: doubles with up to 15 significant digits and floats with
// up to 6, as the toolkit's variant conversion has always written them; everything else as its
// plain text.
QString CsvValueText(const QVariant &value);
