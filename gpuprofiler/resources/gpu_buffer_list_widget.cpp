#include "gpu_buffer_list_widget.h"

#include "buffer_list_sort_filter_proxy_model.h"
#include "resource_list_format.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSplitter>
#include <QToolBar>
#include <QTreeView>

namespace {

struct BufferListDecode final : CResourceListDecode
{
    bool Decode(const void *pPayload, uint32 nSize) override
    {
        return ParseBufferList(pPayload, nSize, &list) &&
            SortEntries(CBufferListSortKeys(list), nSortColumn, sortOrder == Qt::DescendingOrder, &sorted);
    }
    BufferList list;
};

} // namespace

CQGPUBufferListWidget::CQGPUBufferListWidget(QWidget *pParent) : CQResourceListWidget(pParent)
{
    connect(RefreshAction(), &QAction::triggered, this, &CQGPUBufferListWidget::RequestBufferListUpdate);
    ToolBar()->addSeparator();
    m_pVBsBox = new QCheckBox(tr("VBs"), ToolBar());
    m_pIBsBox = new QCheckBox(tr("IBs"), ToolBar());
    ToolBar()->addWidget(m_pVBsBox);
    ToolBar()->addWidget(m_pIBsBox);

    connect(FilterEdit(), &QLineEdit::textChanged, this, &CQGPUBufferListWidget::UpdateFilter);
    connect(m_pVBsBox, &QCheckBox::stateChanged, this, &CQGPUBufferListWidget::UpdateFilter);
    connect(m_pIBsBox, &QCheckBox::stateChanged, this, &CQGPUBufferListWidget::UpdateFilter);

    auto *pSplitter = new QSplitter(Qt::Vertical, this);
    pSplitter->addWidget(View());
    m_pHistogram = new CQHistogramWidget();
    pSplitter->addWidget(m_pHistogram);
    LayOut(pSplitter);

    char szLabel[256];
    for (int i = 0; i < kBufferSizeClassCount; ++i) {
        FormatSizeClassLabel(g_BufferSizeClassLimits[i], szLabel, sizeof(szLabel));
        sizeBuckets[i] = m_pHistogram->AddBucket(szLabel, szLabel);
    }
    // Vertex buffers first, so that they get the first category colour.
    m_hVertexBuffers = m_pHistogram->AddCategory("VB", "Vertex Buffers");
    m_hIndexBuffers = m_pHistogram->AddCategory("IB", "Index Buffers");

    m_pModel = new CQBufferListSortFilterProxyModel(this);
    SetListModel(m_pModel);

    UpdateFilter();
}

CQGPUBufferListWidget::~CQGPUBufferListWidget() = default;

void CQGPUBufferListWidget::UpdateFilter()
{
    int32 nMask = (m_pVBsBox->isChecked() ? 1 : 0) | (m_pIBsBox->isChecked() ? 2 : 0);
    // Neither box (like both) shows every kind.
    if (nMask == 0)
        nMask = 3;
    m_pModel->SetFilterText(FilterEdit()->text());
    m_pModel->SetTypeMask(nMask);
    m_pModel->ApplyFilter();
    UpdateStatusBar();
}

void CQGPUBufferListWidget::UpdateBufferList(const void *pPayload, uint32 nSize)
{
    LoadPayload(pPayload, nSize);
}

std::unique_ptr<CResourceListDecode> CQGPUBufferListWidget::MakeDecode() const
{
    return std::make_unique<BufferListDecode>();
}

bool CQGPUBufferListWidget::Install(CResourceListDecode &decode)
{
    auto &buffers = static_cast<BufferListDecode &>(decode);
    if (!m_pModel->SortLike(CBufferListSortKeys(buffers.list), decode.nSortColumn, decode.sortOrder, &decode.sorted))
        return false;
    m_pModel->SetList(buffers.list, decode.sorted);

    const BufferList &list = m_pModel->List();
    m_nTotalBufferCount = list.entries.Count();
    m_nTotalBufferBytes = list.totalBytes;
    // Every buffer of the list is counted, whatever the filter shows; all 28 values are set.
    for (int i = 0; i < kBufferSizeClassCount; ++i)
        m_pHistogram->SetBucketValue(sizeBuckets[i], m_hVertexBuffers, list.classCounts[i][kBufferKindVertex]);
    for (int i = 0; i < kBufferSizeClassCount; ++i)
        m_pHistogram->SetBucketValue(sizeBuckets[i], m_hIndexBuffers, list.classCounts[i][kBufferKindIndex]);
    return true;
}

void CQGPUBufferListWidget::UpdateStatusBar()
{
    const BufferList &list = m_pModel->List();
    const int nVisible = m_pModel->rowCount();
    uint64 nVisibleBytes = 0;
    for (int nRow = 0; nRow < nVisible; ++nRow)
        nVisibleBytes += list.entries[m_pModel->SourceRow(nRow)].record.SizeBytes();

    StatusLabel()->setText(tr("%1/%2 Buffers, %3/%4 MB Buffer Data")
                               .arg(nVisible)
                               .arg(qulonglong(m_nTotalBufferCount))
                               .arg(FormatStatusMegabytes(nVisibleBytes))
                               .arg(FormatStatusMegabytes(m_nTotalBufferBytes)) +
                           FormatListCut(list.announcedCount, list.entries.Count()));
}
