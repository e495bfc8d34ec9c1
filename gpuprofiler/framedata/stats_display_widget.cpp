#include "gpuprofiler/framedata/stats_display_widget.h"

#include "gpuprofiler/framedata/single_row_model.h"

#include <QHeaderView>
#include <QTableView>
#include <QVBoxLayout>

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

void ShowPanelRow(CQStatsDisplayWidget *pPanel, const QModelIndex &index)
{
    if (!pPanel)
        return;
    pPanel->model()->SetSourceRow(index);
    pPanel->tableView()->resizeRowsToContents();
    pPanel->UpdateRowVisibility();
}
