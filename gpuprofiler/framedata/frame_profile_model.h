#pragma once
// The item model behind the samples tree, the inspector and the CSV export: one frame's samples
// as a flat table or as runs grouped by view and layer, plus the frame's totals and the one-row
// statistics model of the "Frame Stats" panel.
//
// Every cell is a plain QStandardItem filled when the rows are built; nothing is computed when a
// view asks for data. Rows can be built at once (Rebuild) or on first use (RebuildDeferred): the
// deferred form computes the totals and the statistics model at once and leaves the rows until
// anything looks at the model, which then sees exactly what Rebuild would have built. A frame
// shown live is replaced every timer tick without anyone reading its rows, so it never pays for
// them.

#include "bedrock/growable_array.h"
#include "gpuprofiler/framedata/frame_record.h"
#include "gpuprofiler/framedata/gpu_frame.h"
#include "gpuprofiler/framedata/sample_columns.h"

#include <QBrush>
#include <QColor>
#include <QStandardItemModel>

class CGpuFrameProfileModel : public QStandardItemModel
{
    Q_OBJECT

public:
    enum
    {
        kSampleColumnCount = 55,
        kFirstResourceStatColumn = 55,
        kFirstTexDimHistColumn = 64,
        kFrameStatsColumnCount = 80, // with resource statistics
    };

    explicit CGpuFrameProfileModel(QObject *pParent = nullptr);
    ~CGpuFrameProfileModel() override;

    // The frame to show, not owned. Read only by Rebuild and RebuildDeferred (which copy the
    // records they need) and by SampleIndexAtTime; null means no frame.
    GpuFrame *frame() const { return m_pFrame; }
    void SetFrame(GpuFrame *pFrame) { m_pFrame = pFrame; }

    // The layout last asked for; true at construction. Rebuild takes its layout as an argument,
    // so callers set this flag and pass it on.
    bool hierarchical() const { return m_bHierarchical; }
    void SetHierarchical(bool bHierarchical) { m_bHierarchical = bHierarchical; }

    // Removes all rows and header items, and any rows still waiting to be built.
    void clear();

    // Builds the header items and the rows of the current frame in the given layout, computes the
    // frame totals and the statistics model, then resets the model. The caller clears first.
    void Rebuild(bool bHierarchical);
    // The same result as Rebuild, except that the rows are built when the model is first read
    // through any of its operations. A later RebuildDeferred, Rebuild or clear drops rows that
    // were never built. The frame's records are copied, so the frame may change or go away in
    // between.
    void RebuildDeferred(bool bHierarchical);
    // True while rows of a RebuildDeferred have not been built yet.
    bool HasDeferredRows() const { return m_bDeferred; }

    // Sums every record of the frame into frameTotals and refills frameStatsModel.
    void ComputeFrameTotals();

    // The column-0 index of the first sample, in sample order, whose GPU interval contains the
    // time (seconds from the GPU start of record 0; start included, end excluded); invalid when
    // there is none.
    QModelIndex SampleIndexAtTime(double flTime) const;

    const GpuSampleRecord &frameTotals() const { return m_frameTotals; }
    QStandardItemModel *frameStatsModel() { return &m_frameStatsModel; }
    const QStandardItemModel *frameStatsModel() const { return &m_frameStatsModel; }
    // Entry i is the column-0 item of the row of sample i.
    const GrowableArray<QStandardItem *> &sampleItems() const;

    // The cells of a record (a sample, a group totals record or frameTotals), as one row shows
    // them. nSampleIndex is what the "Index" column shows and what decides the row shading.
    static QString SampleColumnHeader(int nColumn);
    QVariant SampleColumnValue(const GpuSampleRecord *pRecord, int nSampleIndex, int nColumn) const;
    QString SampleColumnText(const GpuSampleRecord *pRecord, int nSampleIndex, int nColumn) const;
    QColor SampleRowColor(const GpuSampleRecord *pRecord) const;
    QStandardItem *MakeSampleItem(QStandardItem *pItem, const GpuSampleRecord *pRecord, int nSampleIndex,
                                  int nColumn) const;

    // Every read below first builds rows that a RebuildDeferred left for later.
    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    QModelIndex sibling(int row, int column, const QModelIndex &idx) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    void multiData(const QModelIndex &index, QModelRoleDataSpan roleDataSpan) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    bool clearItemData(const QModelIndex &index) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant &value,
                       int role = Qt::EditRole) override;
    bool insertRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;
    bool insertColumns(int column, int count, const QModelIndex &parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;
    bool removeColumns(int column, int count, const QModelIndex &parent = QModelIndex()) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QMap<int, QVariant> itemData(const QModelIndex &index) const override;
    bool setItemData(const QModelIndex &index, const QMap<int, QVariant> &roles) override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;
    QModelIndexList match(const QModelIndex &start, int role, const QVariant &value, int hits = 1,
                          Qt::MatchFlags flags = Qt::MatchFlags(Qt::MatchStartsWith | Qt::MatchWrap)) const override;
    QModelIndex buddy(const QModelIndex &index) const override;
    QSize span(const QModelIndex &index) const override;

    // The item accessors and setters of QStandardItemModel, which are not virtual; through this
    // class they build deferred rows first as well. (Called through a QStandardItemModel pointer
    // they cannot: read the model once before changing it that way.)
    QStandardItem *item(int row, int column = 0) const;
    QStandardItem *itemFromIndex(const QModelIndex &index) const;
    QModelIndex indexFromItem(const QStandardItem *pItem) const;
    QStandardItem *invisibleRootItem() const;
    QStandardItem *horizontalHeaderItem(int column) const;
    QStandardItem *verticalHeaderItem(int row) const;
    QList<QStandardItem *> findItems(const QString &text, Qt::MatchFlags flags = Qt::MatchExactly,
                                     int column = 0) const;
    QStandardItem *takeItem(int row, int column = 0);
    QList<QStandardItem *> takeRow(int row);
    QList<QStandardItem *> takeColumn(int column);
    QStandardItem *takeHorizontalHeaderItem(int column);
    void setItem(int row, int column, QStandardItem *pItem);
    void appendRow(const QList<QStandardItem *> &items);
    void insertRow(int row, const QList<QStandardItem *> &items);
    void appendColumn(const QList<QStandardItem *> &items);
    void setRowCount(int rows);
    void setColumnCount(int columns);
    void setHorizontalHeaderItem(int column, QStandardItem *pItem);
    void setHorizontalHeaderLabels(const QStringList &labels);

public slots:
    // Clears, stores the flag and rebuilds the current frame in that layout.
    void SetHierarchicalMode(bool bHierarchical);

private:
    struct GroupState;
    class RowCellFactory;
    class RowCellFactories;

    void EnsureRows() const
    {
        if (m_bDeferred)
            const_cast<CGpuFrameProfileModel *>(this)->BuildDeferredRows();
    }
    void BuildDeferredRows();
    void OnAboutToBeReset();
    void TakeFrameRecords();
    void SetHeaderItems();
    void BuildRows(bool bHierarchical);
    void BuildFlatRows();
    void BuildHierarchicalRows();
    void FillRow(QStandardItem **ppItems, const GpuSampleRecord *pRecord, int nSampleIndex,
                 RowCellFactories &factories) const;
    void OpenGroup(GroupState &group, int nSample, int nNameColumn, const QBrush &background,
                   const char *pszTotalsName) const;
    void FinishGroupRow(GroupState &group, int nLastSample, bool bLayer, RowCellFactory &cells,
                        QStandardItem *pParent) const;

    GpuFrame *m_pFrame = nullptr;
    GrowableArray<QStandardItem *> m_sampleItems;
    GpuSampleRecord m_frameTotals{};
    QStandardItemModel m_frameStatsModel;
    bool m_bHierarchical = true;

    // The records the rows were (or will be) built from, copied from the frame so that rows built
    // later still show the frame as it was at the rebuild.
    GrowableArray<GpuSampleRecord> m_records;
    GpuFrameHeader m_frameHeader{};
    double m_flFirstGpuStart = 0.0; // gpuStartTime of record 0, the origin of "GPU Start Time"
    bool m_bDeferred = false;
    bool m_bDeferredHierarchical = false;
    bool m_bInOwnReset = false;
};
