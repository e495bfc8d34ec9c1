#pragma once
// The sample columns without any widget: each column's header text, raw value and text for a
// record, its alignment and text colour, a record's row colour, and the frame and group totals.
// The sample model shows these, "Save as CSV..." writes the raw values, and a tool without
// widgets can write the same file byte for byte. Links QtCore at most (QString, QVariant,
// QLocale), no QtGui.

#include "frame_record.h"
#include "growable_array.h"

#include <QString>
#include <QVariant>

inline constexpr int kSampleColumnCount = 55;
// The columns of "Frame Stats" with resource statistics: the sample columns, the nine resource
// statistics from 55 and the sixteen texture-dimension bins from 64.
inline constexpr int kFirstResourceStatColumn = 55;
inline constexpr int kFirstTexDimHistColumn = 64;
inline constexpr int kFrameStatsColumnCount = 80;

// Column numbers the code refers to by name.
enum SampleColumn
{
    SAMPLE_COLUMN_NAME = 0,
    SAMPLE_COLUMN_INDEX = 1,
    SAMPLE_COLUMN_VIEW = 2,
    SAMPLE_COLUMN_LAYER = 3,
    SAMPLE_COLUMN_CONTEXT = 4,
    SAMPLE_COLUMN_GPU_START = 5,
    SAMPLE_COLUMN_GPU_TIME = 6,
    SAMPLE_COLUMN_CPU_TIME = 7,
    SAMPLE_COLUMN_FIRST_HISTOGRAM = 31,
};

// The names the totals records carry; their parts are what group rows show in "Layer" and
// "Context".
inline constexpr const char *kViewTotalsName = "#View Totals/<View Totals>/<View Totals>";
inline constexpr const char *kLayerTotalsName = "#Layer Totals/Layer Totals/<Layer Totals>";
inline constexpr const char *kFrameTotalsName = "#Frame Totals/Frame Totals/Frame Totals";

// The text colour of a cell, one of the toolkit's standard colours.
enum SampleForeground : uint8
{
    SAMPLE_FG_BLACK,
    SAMPLE_FG_GRAY,
    SAMPLE_FG_LIGHT_GRAY,
    SAMPLE_FG_DARK_GRAY,
    SAMPLE_FG_RED,
    SAMPLE_FG_COUNT
};

// What one cell shows: its raw value (sort and export value), its text and the value as a number
// for the colour rules.
struct SampleCell
{
    QVariant value;
    QString text;
    double flNumber = 0.0;
};

// Header text of a sample column; null outside 0..54.
QString SampleColumnHeader(int nColumn);
// Header text of a "Frame Stats" column (0..79); null outside.
QString FrameStatsColumnHeader(int nColumn);

// One cell of a record (a sample, a group totals record or the frame totals). nSampleIndex is
// what "Index" shows; flFirstGpuStart is the gpuStartTime of the frame's record 0, the origin of
// "GPU Start Time". Without bText the text is left alone (formatting numbers is the dearest
// part of a cell). False (and nothing filled) for a column outside 0..54.
bool SampleColumnCell(const GpuSampleRecord &record, int nSampleIndex, int nColumn, double flFirstGpuStart, SampleCell *pCell,
                      bool bText = true);
QVariant SampleColumnValue(const GpuSampleRecord &record, int nSampleIndex, int nColumn, double flFirstGpuStart);
QString SampleColumnText(const GpuSampleRecord &record, int nSampleIndex, int nColumn, double flFirstGpuStart);

// Alignment flags as the alignment role holds them: left for the name columns, right for the
// numbers, both vertically centred.
int SampleColumnAlignment(int nColumn);
// Text colour of a cell by column and value.
SampleForeground SampleColumnForeground(int nColumn, double flNumber);

// Background of a sample's row as 0xAARRGGBB, before the shading of odd rows: white for a path
// name of fewer than two parts, light grey for a leaf name starting with '+', otherwise a light
// colour by the hash of the leaf name (the text after the last '/', cut at its first space).
uint32 SampleRowRgb(const GpuSampleRecord &record);

// Zero counters and times and the frame-totals name, then the sum of all records.
void ComputeFrameTotals(const GpuSampleRecord *pRecords, int32 nCount, GpuSampleRecord *pTotals);
// The totals of a view group (bLayer false) or layer group of samples nFirst..nLast: zero
// counters, the group's totals name, the start times of sample nFirst, then the sum of its
// samples.
void ComputeGroupTotals(const GpuSampleRecord *pRecords, int32 nFirst, int32 nLast, bool bLayer, GpuSampleRecord *pTotals);

// A run of samples with the same view (a view group) or, inside one, the same layer.
struct SampleGroup
{
    int32 nFirst = 0;
    int32 nLast = 0;
    int32 nParent = -1; // a layer's view group; -1 for a view group
};

// Cuts the frame into runs: a new view group whenever the View part changes, and for every
// sample whose View part is "n/a" (samples without a view have nothing in common); within a
// view group a new layer group whenever the Layer part changes. Groups come in frame order.
// False when the groups cannot be stored (the arrays are then empty).
bool BuildSampleGroups(const GpuSampleRecord *pRecords, int32 nCount, GrowableArray<SampleGroup> *pViews,
                       GrowableArray<SampleGroup> *pLayers);
