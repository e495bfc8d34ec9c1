#pragma once
// The item model behind the samples tree and the inspector: one frame's samples as a flat table
// or as runs grouped by view and layer, plus the frame's totals and the one-row statistics model
// of the "Frame Stats" panel.
//
// Cells are computed when a view asks for them, straight from the frame's records (the sample
// columns of sample_columns.h), so a rebuild costs the frame totals and, for the grouped layout,
// one pass that finds the runs: a frame of 100,000 samples is as cheap to show as one of 100,
// and a frame shown live, replaced every timer tick, never pays for rows nobody reads.
//
// The frame's records are read where the frame keeps them: whoever owns the frame keeps them
// unchanged from a Rebuild until the next Rebuild or clear().

#include "gpu_frame.h"
#include "growable_array.h"
#include "sample_columns.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QStandardItemModel>

class CGpuFrameProfileModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    explicit CGpuFrameProfileModel(QObject *pParent = nullptr);
    ~CGpuFrameProfileModel() override;

    // The frame to show, not owned; read by Rebuild, which takes its records. Null means no
    // frame.
    GpuFrame *frame() const { return m_pFrame; }
    void SetFrame(GpuFrame *pFrame) { m_pFrame = pFrame; }

    // The layout last asked for; true at construction. Rebuild takes its layout as an argument,
    // so callers set this flag and pass it on.
    bool hierarchical() const { return m_bHierarchical; }
    void SetHierarchical(bool bHierarchical) { m_bHierarchical = bHierarchical; }

    // No rows and no columns until the next Rebuild; the frame's records are let go.
    void clear();
    // Shows the current frame's records in the given layout, in frame order, and computes the
    // frame totals and the statistics model; one reset of the model.
    void Rebuild(bool bHierarchical);
    // Sums every record of the frame into frameTotals and refills frameStatsModel.
    void ComputeFrameTotals();

    // The column-0 index of the first sample, in sample order, whose GPU interval contains the
    // time (seconds from the GPU start of record 0; start included, end excluded); invalid when
    // there is none.
    QModelIndex SampleIndexAtTime(double flTime) const;
    // The index of the row that shows sample nSample, in the given column; invalid outside.
    QModelIndex SampleIndex(int32 nSample, int nColumn = 0) const;

    const GpuSampleRecord &frameTotals() const { return m_frameTotals; }
    QStandardItemModel *frameStatsModel() { return &m_frameStatsModel; }
    const QStandardItemModel *frameStatsModel() const { return &m_frameStatsModel; }

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    QModelIndex sibling(int row, int column, const QModelIndex &idx) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    void multiData(const QModelIndex &index, QModelRoleDataSpan roleDataSpan) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Orders the rows of the flat layout by the raw values of a column, keeping the current order
    // of equal values. The grouped layout stays in frame order: its runs are what it shows.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

public slots:
    // Stores the flag and rebuilds the current frame in that layout.
    void SetHierarchicalMode(bool bHierarchical);

private:
    enum class NodeKind : uint8
    {
        Sample,
        View,
        Layer,
    };
    struct Node
    {
        NodeKind kind = NodeKind::Sample;
        int32 n = 0; // the sample, or the view or layer group
    };

    Node NodeOf(const QModelIndex &index) const;
    int32 LayerOfSample(int32 nSample) const;
    const GpuSampleRecord &GroupTotals(NodeKind kind, int32 nGroup) const;
    int32 RootRowCount() const;

    GpuFrame *m_pFrame = nullptr;
    bool m_bHierarchical = true;
    GpuSampleRecord m_frameTotals{};
    QStandardItemModel m_frameStatsModel;

    // What the rows show, taken at the last Rebuild.
    bool m_bBuilt = false;
    bool m_bGrouped = false;
    const GpuSampleRecord *m_pRecords = nullptr;
    int32 m_nRecords = 0;
    GpuFrameHeader m_frameHeader{};
    double m_flFirstGpuStart = 0.0; // gpuStartTime of record 0, the origin of "GPU Start Time"
    // The grouped layout's runs, and the first layer of each view (views' layers lie together).
    GrowableArray<SampleGroup> m_views;
    GrowableArray<SampleGroup> m_layers;
    GrowableArray<int32> m_viewFirstLayer;
    // The flat layout once sorted: row r shows sample m_rowSample[r]; empty while in frame order.
    GrowableArray<int32> m_rowSample;
    GrowableArray<int32> m_sampleRow;
    // Totals of the groups that were looked at, by group (views first, then layers). Bounded,
    // so that a frame of a hundred thousand groups keeps only the ones on screen.
    static constexpr int kMaxCachedTotals = 4096;
    mutable QHash<int32, GpuSampleRecord> m_groupTotals;
};
