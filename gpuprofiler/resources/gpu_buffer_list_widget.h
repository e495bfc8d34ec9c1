#pragma once
// The "GPU Buffers" tab: a sortable, filterable table of the target's GPU buffers, a histogram
// of buffer counts per size class and kind, and a status line with the visible and total
// counts and megabytes.

#include "bedrock/bedrock_api.h"
#include "gpuprofiler/resources/buffer_list_payload.h"
#include "gpuprofiler/resources/histogram_widget.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QStandardItemModel;
class QTreeView;
class CQBufferListSortFilterProxyModel;

class CQGPUBufferListWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CQGPUBufferListWidget(QWidget *pParent = nullptr);
    ~CQGPUBufferListWidget() override;

    // Replaces the list with the one in the payload. Nothing of the payload is kept.
    void UpdateBufferList(const void *pPayload, uint32 nSize);

    // For the device window's wiring and for inspection.
    QTreeView *View() const { return m_pView; }
    QStandardItemModel *Model() const { return m_pModel; }
    CQBufferListSortFilterProxyModel *Proxy() const { return m_pProxy; }
    QLineEdit *FilterEdit() const { return m_pFilterEdit; }
    QCheckBox *VertexBuffersBox() const { return m_pVBsBox; }
    QCheckBox *IndexBuffersBox() const { return m_pIBsBox; }
    QLabel *StatusLabel() const { return m_pStatusLabel; }
    CQHistogramWidget *Histogram() const { return m_pHistogram; }
    BucketHandle_t SizeBucket(int nClass) const { return sizeBuckets[nClass]; }
    CategoryHandle_t VertexBufferCategory() const { return m_hVertexBuffers; }
    CategoryHandle_t IndexBufferCategory() const { return m_hIndexBuffers; }
    int64 TotalBufferCount() const { return m_nTotalBufferCount; }
    uint64 TotalBufferBytes() const { return m_nTotalBufferBytes; }

signals:
    void RequestBufferListUpdate();

public slots:
    void UpdateFilter();
    void UpdateStatusBar();

private:
    QTreeView *m_pView = nullptr;
    QStandardItemModel *m_pModel = nullptr;
    CQBufferListSortFilterProxyModel *m_pProxy = nullptr;
    QLineEdit *m_pFilterEdit = nullptr;
    QCheckBox *m_pVBsBox = nullptr;
    QCheckBox *m_pIBsBox = nullptr;
    QLabel *m_pStatusLabel = nullptr;
    int64 m_nTotalBufferCount = 0;
    uint64 m_nTotalBufferBytes = 0;
    CQHistogramWidget *m_pHistogram = nullptr;
    CategoryHandle_t m_hVertexBuffers = nullptr;
    CategoryHandle_t m_hIndexBuffers = nullptr;
    BucketHandle_t sizeBuckets[kBufferSizeClassCount] = {};

    // While set, the proxy's row signals do not recompute the status line: a rebuild or a
    // filter change can emit one signal per changed range of rows, and the line is computed
    // once at the end instead.
    bool m_bStatusDeferred = false;
};
