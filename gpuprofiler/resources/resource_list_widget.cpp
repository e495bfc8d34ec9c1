#include "resource_list_widget.h"

#include "resource_list_format.h"
#include "resource_list_model.h"

#include <QAction>
#include <QCoreApplication>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QStatusBar>
#include <QThread>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <cstring>

CQResourceListWidget::CQResourceListWidget(QWidget *pParent) : QWidget(pParent)
{
    auto tr = [](const char *pszText) { return QCoreApplication::translate("CQResourceList", pszText); };
    m_pToolBar = new QToolBar(this);
    m_pRefresh = m_pToolBar->addAction(QIcon(QStringLiteral("toolimages:common/repeat.png")), tr("Refresh"));
    m_pToolBar->addSeparator();
    m_pToolBar->addWidget(new QLabel(tr("<b>Filter:</b>"), m_pToolBar));
    m_pFilterEdit = new QLineEdit(m_pToolBar);
    m_pFilterEdit->setFixedWidth(160);
    m_pToolBar->addWidget(m_pFilterEdit);
    QAction *pClear = m_pToolBar->addAction(QIcon(QStringLiteral("toolimages:common/remove.png")), tr("Clear"));
    connect(pClear, &QAction::triggered, m_pFilterEdit, &QLineEdit::clear);

    m_pView = new QTreeView(this);
    m_pView->setSortingEnabled(true);
    m_pView->setAlternatingRowColors(true);
    m_pView->setUniformRowHeights(true);
    m_pView->setAllColumnsShowFocus(true);
    m_pView->header()->setStretchLastSection(false);

    m_pStatusBar = new QStatusBar(this);
    m_pStatusLabel = new QLabel(m_pStatusBar);
    m_pStatusBar->addPermanentWidget(m_pStatusLabel);
    m_pStatusBar->setSizeGripEnabled(false);
}

CQResourceListWidget::~CQResourceListWidget()
{
    // The worker reads only its own copy of the payload, but it must be done before its
    // decode is freed; a decode is bounded, so this wait is short.
    if (m_pWorker) {
        m_pWorker->wait();
        delete m_pWorker;
    }
}

void CQResourceListWidget::LayOut(QWidget *pBody)
{
    auto *pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pToolBar);
    pLayout->addWidget(pBody);
    pLayout->addWidget(m_pStatusBar);
}

void CQResourceListWidget::SetListModel(CQResourceListModel *pModel)
{
    m_pListModel = pModel;
    m_pView->setModel(pModel);
}

void CQResourceListWidget::LoadPayload(const void *pPayload, uint32 nSize)
{
    ResourceSizeLocale(); // the sizes' locale is the default one of the first list update

    std::unique_ptr<CResourceListDecode> pDecode = MakeDecode();
    pDecode->nSortColumn = m_pListModel->SortColumn();
    pDecode->sortOrder = m_pListModel->SortOrder();
    pDecode->nSerial = ++m_nLatestSerial;
    if (nSize < kBackgroundDecodeBytes || !pPayload) {
        // Anything still waiting is older than this list.
        m_pWaiting.reset();
        pDecode->bDecoded = pDecode->Decode(pPayload, nSize);
        Show(*pDecode);
        return;
    }

    // The payload is the host's only for this call: the worker decodes a copy.
    if (nSize > 0x7fffffffu || !pDecode->payload.SetCount(int32(nSize)))
        return; // out of memory: the shown list stays
    std::memcpy(pDecode->payload.Base(), pPayload, nSize);
    if (m_pWorker)
        m_pWaiting = std::move(pDecode);
    else
        StartDecode(std::move(pDecode));
}

void CQResourceListWidget::StartDecode(std::unique_ptr<CResourceListDecode> pDecode)
{
    m_pRunning = std::move(pDecode);
    CResourceListDecode *pJob = m_pRunning.get();
    m_pWorker = QThread::create([pJob] {
        pJob->bDecoded = pJob->Decode(pJob->payload.Base(), uint32(pJob->payload.Count()));
        pJob->payload.Purge();
    });
    // Delivered on this widget's thread once the worker has ended.
    connect(m_pWorker, &QThread::finished, this, &CQResourceListWidget::DecodeFinished);
    m_pWorker->start(QThread::LowPriority);
}

void CQResourceListWidget::DecodeFinished()
{
    m_pWorker->wait();
    delete m_pWorker;
    m_pWorker = nullptr;
    std::unique_ptr<CResourceListDecode> pDone = std::move(m_pRunning);
    if (m_pWaiting)
        StartDecode(std::move(m_pWaiting));
    if (pDone->nSerial == m_nLatestSerial)
        Show(*pDone);
}

void CQResourceListWidget::Show(CResourceListDecode &decode)
{
    if (!decode.bDecoded)
        return; // out of memory: the shown list stays

    // What the user set up in the view: the model reset below would put it back to defaults.
    const QByteArray headerState = m_pView->header()->saveState();
    const int nHorizontal = m_pView->horizontalScrollBar()->value();
    const int nVertical = m_pView->verticalScrollBar()->value();

    if (!Install(decode))
        return;

    m_pView->header()->restoreState(headerState);
    if (!m_bNameColumnFitted && m_pListModel->rowCount() > 0) {
        m_pView->resizeColumnToContents(0);
        m_bNameColumnFitted = true;
    }
    // Scroll ranges follow the new rows only once the view has laid them out.
    m_pView->doItemsLayout();
    m_pView->horizontalScrollBar()->setValue(nHorizontal);
    m_pView->verticalScrollBar()->setValue(nVertical);
    UpdateStatusBar();
}
