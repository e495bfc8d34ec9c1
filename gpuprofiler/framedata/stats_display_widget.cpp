#include "stats_display_widget.h"

#include "single_row_model.h"

#include <QHeaderView>

#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// Rows 1 to 5 of a sample row: "Index", "View", "Layer", "Context", "GPU Start Time".
constexpr int kFirstSampleOnlyRow = 1;
constexpr int kLastSampleOnlyRow = 5;

} // namespace

CQStatsDisplayWidget::CQStatsDisplayWidget(QWidget *pParent, Qt::WindowFlags flags) : QWidget(pParent, flags)
{
    m_pModel = new CSingleRowModel(this);

    auto *pLayout = new QVBoxLayout(this);
    m_pTableView = new QTableView(this);
    m_pTableView->horizontalHeader()->setStretchLastSection(true);
    m_pTableView->horizontalHeader()->hide();
    m_pTableView->setShowGrid(false);
    m_pTableView->setAlternatingRowColors(true);
    m_pTableView->setSelectionMode(QAbstractItemView::NoSelection);
    m_pTableView->setModel(m_pModel);
    pLayout->addWidget(m_pTableView, 0, Qt::Alignment());
}

CQStatsDisplayWidget::~CQStatsDisplayWidget() = default;

void CQStatsDisplayWidget::UpdateRowVisibility()
{
    m_pTableView->setRowHidden(0, true);
    const bool bHideSampleRows = m_nDisplayMode == kFrameStatsMode;
    for (int nRow = kFirstSampleOnlyRow; nRow <= kLastSampleOnlyRow; ++nRow)
        m_pTableView->setRowHidden(nRow, bHideSampleRows);
}

void CQStatsDisplayWidget::ResizeRowsToContents()
{
    const int nRows = m_pModel->rowCount();
    const int nWidth = m_pTableView->columnWidth(0);
    int nLongestText = 0;
    size_t nLabels = size_t(nRows);
    for (int nRow = 0; nRow < nRows; ++nRow) {
        nLongestText = std::max(nLongestText, int(m_pModel->index(nRow, 0).data().toString().size()));
        nLabels = nLabels * 31 + qHash(m_pModel->headerData(nRow, Qt::Vertical).toString());
    }
    if (nRows == m_nSizedRows && nWidth == m_nSizedWidth && nLabels == m_nSizedLabels && m_bSizedSingleLine &&
        nLongestText <= m_nSizedLongestText)
        return;

    m_pTableView->resizeRowsToContents();
    m_nSizedRows = nRows;
    m_nSizedWidth = nWidth;
    m_nSizedLabels = nLabels;
    m_nSizedLongestText = nLongestText;
    // One line everywhere when no row is taller than its label alone.
    QHeaderView *pLabels = m_pTableView->verticalHeader();
    m_bSizedSingleLine = true;
    for (int nRow = 0; nRow < nRows && m_bSizedSingleLine; ++nRow)
        m_bSizedSingleLine = pLabels->sectionSize(nRow) <= pLabels->sectionSizeHint(nRow);
}

void ShowPanelRow(CQStatsDisplayWidget *pPanel, const QModelIndex &index)
{
    if (!pPanel)
        return;
    pPanel->model()->SetSourceRow(index);
    pPanel->ResizeRowsToContents();
    pPanel->UpdateRowVisibility();
}
