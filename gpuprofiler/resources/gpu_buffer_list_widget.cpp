#include "gpuprofiler/resources/gpu_buffer_list_widget.h"

#include "bedrock/str_tools.h"
#include "gpuprofiler/resources/buffer_list_sort_filter_proxy_model.h"
#include "gpuprofiler/resources/resource_list_format.h"
#include "gpuprofiler/resources/resource_list_item.h"
#include "gpuprofiler/resources/resource_list_roles.h"
#include "gpuprofiler/resources/resource_list_view.h"

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

enum BufferColumn
{
    kColName,
    kColType,
    kColSize,
    kColCapacity,
    kColElemSize,
    kColElemCount,
    kColUsage,
    kColCount
};

// The locale that formats sizes: the default locale as it was at the first list update, kept
// for the life of the process.
const QLocale &SizeLocale()
{
    static const QLocale s_Locale;
    return s_Locale;
}

constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;

} // namespace

CQGPUBufferListWidget::CQGPUBufferListWidget(QWidget *pParent)
    : QWidget(pParent)
{
    auto *pLayout = new QVBoxLayout(this);
    auto *pToolBar = new QToolBar(this);
    auto *pSplitter = new QSplitter(Qt::Vertical, this);
    auto *pStatusBar = new QStatusBar(this);
    pLayout->addWidget(pToolBar);
    pLayout->addWidget(pSplitter);
    pLayout->addWidget(pStatusBar);

    const ListFilterTools tools = AddListFilterTools(pToolBar);
    connect(tools.pRefresh, &QAction::triggered, this, &CQGPUBufferListWidget::RequestBufferListUpdate);
    m_pFilterEdit = tools.pFilterEdit;
    pToolBar->addSeparator();
    m_pVBsBox = new QCheckBox(tr("VBs"), pToolBar);
    m_pIBsBox = new QCheckBox(tr("IBs"), pToolBar);
    pToolBar->addWidget(m_pVBsBox);
    pToolBar->addWidget(m_pIBsBox);

    connect(m_pFilterEdit, &QLineEdit::textChanged, this, &CQGPUBufferListWidget::UpdateFilter);
    connect(m_pVBsBox, &QCheckBox::stateChanged, this, &CQGPUBufferListWidget::UpdateFilter);
    connect(m_pIBsBox, &QCheckBox::stateChanged, this, &CQGPUBufferListWidget::UpdateFilter);

    m_pView = new QTreeView(pSplitter);
    ConfigureListView(m_pView);
    pSplitter->addWidget(m_pView);
    m_pHistogram = new CQHistogramWidget();
    pSplitter->addWidget(m_pHistogram);

    char szLabel[256];
    for (int i = 0; i < kBufferSizeClassCount; ++i) {
        FormatSizeClassLabel(g_BufferSizeClassLimits[i], szLabel, sizeof(szLabel));
        sizeBuckets[i] = m_pHistogram->AddBucket(szLabel, szLabel);
    }
    // Vertex buffers first, so that they get the first category colour.
    m_hVertexBuffers = m_pHistogram->AddCategory("VB", "Vertex Buffers");
    m_hIndexBuffers = m_pHistogram->AddCategory("IB", "Index Buffers");

    m_pModel = new QStandardItemModel(this);
    m_pModel->setHorizontalHeaderLabels(
        {tr("Name"), tr("Type"), tr("Size"), tr("Capacity"), tr("Elem Size"), tr("Elem Count"), tr("Usage")});
    m_pProxy = new CQBufferListSortFilterProxyModel(this);
    m_pProxy->setSourceModel(m_pModel);
    m_pProxy->setSortRole(SortRole);
    m_pView->setModel(m_pProxy);

    connect(m_pProxy, &QAbstractItemModel::rowsInserted, this, &CQGPUBufferListWidget::UpdateStatusBar);
    connect(m_pProxy, &QAbstractItemModel::rowsRemoved, this, &CQGPUBufferListWidget::UpdateStatusBar);
    connect(m_pProxy, &QAbstractItemModel::modelReset, this, &CQGPUBufferListWidget::UpdateStatusBar);

    m_pStatusLabel = AddListStatusLabel(pStatusBar);

    UpdateFilter();
    UpdateStatusBar();
}

CQGPUBufferListWidget::~CQGPUBufferListWidget() = default;

void CQGPUBufferListWidget::UpdateFilter()
{
    int32 nMask = (m_pVBsBox->isChecked() ? 1 : 0) | (m_pIBsBox->isChecked() ? 2 : 0);
    // Neither box (like both) shows every kind.
    if (nMask == 0)
        nMask = 3;
    m_pProxy->SetFilterText(m_pFilterEdit->text());
    m_pProxy->SetTypeMask(nMask);

    // One pass over the rows with both settings in place, and one status computation after it.
    m_bStatusDeferred = true;
    m_pProxy->ApplyFilter();
    m_bStatusDeferred = false;
    UpdateStatusBar();
}

void CQGPUBufferListWidget::UpdateBufferList(const void *pPayload, uint32 nSize)
{
    const QLocale &locale = SizeLocale();

    // Decoded first: when memory runs out the list on screen stays as it was.
    BufferList list;
    if (!ParseBufferList(pPayload, nSize, &list))
        return;

    const ListViewState viewState = SaveListViewState(m_pView, m_pModel->rowCount() > 0);

    m_bStatusDeferred = true;
    m_pProxy->setSourceModel(nullptr);
    m_pModel->removeRows(0, m_pModel->rowCount());

    const int nSortSection = m_pView->header()->sortIndicatorSection();
    const Qt::SortOrder sortOrder = m_pView->header()->sortIndicatorOrder();

    const int32 nRows = list.entries.Count();
    m_nTotalBufferCount = nRows;
    m_nTotalBufferBytes = list.totalBytes;

    // Rows are made whole before they enter the model, and enter it while nothing watches it.
    QList<QStandardItem *> row(kColCount);
    for (int32 nRow = 0; nRow < nRows; ++nRow) {
        const BufferListEntry &entry = list.entries[nRow];
        const GpuBufferRecord &rec = entry.record;
        const uint32 nSizeBytes = rec.SizeBytes();
        const uint32 nCapacity = rec.Capacity();
        const uint32 nElemCount = rec.ElemCount();
        // Capacity 0 makes this infinite or not a number; it is shown and sorted as such.
        const float flUsage = float(nElemCount) / float(nCapacity) * 100.0f;

        auto *pName = new CQResourceListItem(ResourceDisplayName(list.Name(entry), entry.nameLength));
        // The kind filter's bit: 1 for vertex buffers, 2 for type 1; other types match no box.
        pName->SetTypeBits(1u << (rec.bufferType % 32));
        row[kColName] = pName;
        row[kColType] = new CQResourceListItem(rec.bufferType == 0 ? QStringLiteral("VB") : QStringLiteral("IB"));
        row[kColSize] = new CQResourceListItem(FormatKilobytes(locale, nSizeBytes), uint(nSizeBytes), kRight);
        row[kColCapacity] = new CQResourceListItem(QString::number(nCapacity), uint(nCapacity), kRight);
        row[kColElemSize] = new CQResourceListItem(QString::number(rec.ElemSize()), int(rec.ElemSize()), kRight);
        row[kColElemCount] = new CQResourceListItem(QString::number(nElemCount), uint(nElemCount), kRight);
        row[kColUsage] = new CQResourceListItem(QStringLiteral("%1%").arg(double(flUsage), 0, 'f', 1), flUsage, kRight);
        m_pModel->appendRow(row);
    }

    m_pProxy->setSourceModel(m_pModel);
    m_pProxy->sort(nSortSection, sortOrder);
    RestoreListViewState(m_pView, viewState);
    m_bStatusDeferred = false;

    for (int i = 0; i < kBufferSizeClassCount; ++i)
        m_pHistogram->SetBucketValue(sizeBuckets[i], m_hVertexBuffers, list.classCounts[i][kBufferKindVertex]);
    for (int i = 0; i < kBufferSizeClassCount; ++i)
        m_pHistogram->SetBucketValue(sizeBuckets[i], m_hIndexBuffers, list.classCounts[i][kBufferKindIndex]);

    UpdateStatusBar();
}

void CQGPUBufferListWidget::UpdateStatusBar()
{
    if (m_bStatusDeferred)
        return;
    const int nVisible = m_pProxy->rowCount();
    uint64 nVisibleBytes = 0;
    for (int nRow = 0; nRow < nVisible; ++nRow) {
        const int nSourceRow = m_pProxy->mapToSource(m_pProxy->index(nRow, 0)).row();
        if (const CQResourceListItem *pItem = ResourceListItemAt(m_pModel, nSourceRow, kColSize))
            nVisibleBytes += pItem->SortNumber();
        else
            nVisibleBytes += m_pProxy->index(nRow, kColSize).data(SortRole).toULongLong();
    }

    m_pStatusLabel->setText(tr("%1/%2 Buffers, %3/%4 MB Buffer Data")
                                .arg(nVisible)
                                .arg(qulonglong(m_nTotalBufferCount))
                                .arg(FormatStatusMegabytes(nVisibleBytes))
                                .arg(FormatStatusMegabytes(m_nTotalBufferBytes)));
}
