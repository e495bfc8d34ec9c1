#pragma once
// The "GPU Buffers" tab: a sortable, filterable table of the target's GPU buffers, a histogram
// of buffer counts per size class and kind, and a status line with the visible and total
// counts and megabytes.

#include "bedrock_api.h"
#include "buffer_list_payload.h"
#include "histogram_widget.h"
#include "resource_list_widget.h"

class QCheckBox;
class CQBufferListSortFilterProxyModel;

class CQGPUBufferListWidget : public CQResourceListWidget
{
    Q_OBJECT

public:
    explicit CQGPUBufferListWidget(QWidget *pParent = nullptr);
    ~CQGPUBufferListWidget() override;

    // Replaces the list with the one in the payload (a large one once the worker thread has
    // decoded it). Nothing of the payload is kept.
    void UpdateBufferList(const void *pPayload, uint32 nSize);

    // For the device window's wiring and for inspection.
    CQBufferListSortFilterProxyModel *Model() const { return m_pModel; }
    QCheckBox *VertexBuffersBox() const { return m_pVBsBox; }
    QCheckBox *IndexBuffersBox() const { return m_pIBsBox; }
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
    void UpdateStatusBar() override;

protected:
    std::unique_ptr<CResourceListDecode> MakeDecode() const override;
    bool Install(CResourceListDecode &decode) override;

private:
    CQBufferListSortFilterProxyModel *m_pModel = nullptr;
    QCheckBox *m_pVBsBox = nullptr;
    QCheckBox *m_pIBsBox = nullptr;
    int64 m_nTotalBufferCount = 0;
    uint64 m_nTotalBufferBytes = 0;
    CQHistogramWidget *m_pHistogram = nullptr;
    CategoryHandle_t m_hVertexBuffers = nullptr;
    CategoryHandle_t m_hIndexBuffers = nullptr;
    BucketHandle_t sizeBuckets[kBufferSizeClassCount] = {};
};
