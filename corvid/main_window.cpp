#include "main_window.h"

#include "corvid_host.h"
#include "tool_log_relay.h"

#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QFileDialog>
#include <QFormLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>

namespace {

// Host and port of a target to connect to.
class CConnectDialog final : public QDialog
{
public:
    CConnectDialog(const QString &sHost, int nPort, QWidget *pParent) : QDialog(pParent)
    {
        setWindowTitle(QStringLiteral("Connect to Target"));
        auto *pForm = new QFormLayout(this);
        m_pHost = new QLineEdit(sHost, this);
        m_pHost->setMinimumWidth(220);
        m_pPort = new QSpinBox(this);
        m_pPort->setRange(1, 65535);
        m_pPort->setValue(nPort);
        pForm->addRow(QStringLiteral("Host:"), m_pHost);
        pForm->addRow(QStringLiteral("Port:"), m_pPort);
        auto *pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        pButtons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Connect"));
        pForm->addRow(pButtons);
        connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        // An empty host is no address.
        connect(m_pHost, &QLineEdit::textChanged, this,
                [pButtons](const QString &sText) { pButtons->button(QDialogButtonBox::Ok)->setEnabled(!sText.trimmed().isEmpty()); });
    }

    QString Host() const { return m_pHost->text().trimmed(); }
    quint16 Port() const { return quint16(m_pPort->value()); }

private:
    QLineEdit *m_pHost;
    QSpinBox *m_pPort;
};

} // namespace

CCorvidMainWindow::CCorvidMainWindow(CCorvidHost *pHost, QWidget *pParent)
    : QMainWindow(pParent), m_pHost(pHost), m_sLastHost(QStringLiteral("localhost")), m_nLastPort(CORVID_LINK_DEFAULT_PORT)
{
    setWindowTitle(QStringLiteral("Corvid - Developer Console"));
    setWindowIcon(QIcon(QStringLiteral("toolimages:gpuprofilertool/appicon.png")));
    resize(900, 420);

    m_pConnectAction = new QAction(QStringLiteral("Connect to Target..."), this);
    m_pConnectAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    connect(m_pConnectAction, &QAction::triggered, this, &CCorvidMainWindow::ConnectToTarget);
    m_pDisconnectAction = new QAction(QStringLiteral("Disconnect"), this);
    m_pDisconnectAction->setToolTip(QStringLiteral("Close the link to the selected target; it stays in the list"));
    connect(m_pDisconnectAction, &QAction::triggered, this, &CCorvidMainWindow::DisconnectTarget);
    m_pReconnectAction = new QAction(QStringLiteral("Reconnect"), this);
    m_pReconnectAction->setToolTip(QStringLiteral("Connect to the selected target again"));
    connect(m_pReconnectAction, &QAction::triggered, this, &CCorvidMainWindow::ReconnectTarget);
    m_pRemoveAction = new QAction(QStringLiteral("Remove Target"), this);
    connect(m_pRemoveAction, &QAction::triggered, this, &CCorvidMainWindow::RemoveTarget);

    m_pOpenCaptureAction = new QAction(QStringLiteral("Open Capture..."), this);
    m_pOpenCaptureAction->setShortcut(QKeySequence::Open);
    m_pOpenCaptureAction->setToolTip(QStringLiteral("Open a capture file (.gpucap) as a target, with its profiler window"));
    connect(m_pOpenCaptureAction, &QAction::triggered, this, [this] {
        const QString sPath = QFileDialog::getOpenFileName(this, QStringLiteral("Open Capture..."), QString(),
                                                           QStringLiteral("GPU Captures (*.gpucap);;All Files (*)"));
        if (!sPath.isEmpty())
            OpenCapture(sPath);
    });
    QMenu *pFileMenu = menuBar()->addMenu(QStringLiteral("File"));
    pFileMenu->addAction(m_pOpenCaptureAction);

    QMenu *pTargetMenu = menuBar()->addMenu(QStringLiteral("Target"));
    pTargetMenu->addAction(m_pConnectAction);
    pTargetMenu->addAction(m_pDisconnectAction);
    pTargetMenu->addAction(m_pReconnectAction);
    pTargetMenu->addAction(m_pRemoveAction);
    pTargetMenu->addSeparator();
    pTargetMenu->addAction(QStringLiteral("Quit"), QKeySequence::Quit, this, &QWidget::close);

    QMenu *pTools = menuBar()->addMenu(QStringLiteral("Tools"));
    pTools->addAction(m_pHost->ToolAction());

    QToolBar *pBar = addToolBar(QStringLiteral("Targets"));
    pBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    pBar->addAction(m_pConnectAction);
    pBar->addAction(m_pDisconnectAction);
    pBar->addAction(m_pReconnectAction);
    pBar->addAction(m_pRemoveAction);
    pBar->addSeparator();
    pBar->addAction(m_pHost->ToolAction());

    m_pTargets = new QTableWidget(0, 5, this);
    m_pTargets->setHorizontalHeaderLabels({QStringLiteral("Target"), QStringLiteral("Address"), QStringLiteral("State"),
                                           QStringLiteral("Chunks"), QStringLiteral("Received")});
    m_pTargets->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTargets->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pTargets->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTargets->verticalHeader()->hide();
    m_pTargets->horizontalHeader()->setStretchLastSection(true);
    m_pTargets->setColumnWidth(0, 200);
    m_pTargets->setColumnWidth(1, 150);
    m_pTargets->setColumnWidth(2, 260);
    setCentralWidget(m_pTargets);
    connect(m_pTargets, &QTableWidget::itemSelectionChanged, this, &CCorvidMainWindow::SelectionChanged);
    // Double-clicking a target opens the tool for it, as the toolbar action does.
    connect(m_pTargets, &QTableWidget::cellDoubleClicked, m_pHost->ToolAction(), &QAction::trigger);

    auto *pLogDock = new QDockWidget(QStringLiteral("Log"), this);
    m_pLog = new QPlainTextEdit(pLogDock);
    m_pLog->setReadOnly(true);
    m_pLog->setMaximumBlockCount(2000);
    pLogDock->setWidget(m_pLog);
    addDockWidget(Qt::BottomDockWidgetArea, pLogDock);

    connect(m_pHost, &CCorvidHost::LogMessage, this, &CCorvidMainWindow::AppendLog);
    // Queued: a message can be logged on any thread, or from inside a widget that is busy.
    m_pToolLog = new CToolLogRelay(this);
    connect(m_pToolLog, &CToolLogRelay::ToolMessage, this, &CCorvidMainWindow::AppendLog, Qt::QueuedConnection);
    connect(m_pHost, &CCorvidHost::TargetsChanged, this, &CCorvidMainWindow::RefreshTargets);
    connect(m_pHost, &CCorvidHost::CurrentChanged, this, &CCorvidMainWindow::RefreshTargets);
    connect(m_pHost, &CCorvidHost::TargetStateChanged, this, &CCorvidMainWindow::RefreshTargets);
    // The traffic counters move without state changes.
    auto *pRefresh = new QTimer(this);
    connect(pRefresh, &QTimer::timeout, this, &CCorvidMainWindow::RefreshTargets);
    pRefresh->start(500);
    UpdateTargetActions();
}

bool CCorvidMainWindow::ConnectTo(const QString &sAddress)
{
    const QString sText = sAddress.trimmed();
    const int nColon = sText.lastIndexOf(QLatin1Char(':'));
    const QString sHost = nColon >= 0 ? sText.left(nColon) : sText;
    quint16 nPort = CORVID_LINK_DEFAULT_PORT;
    if (nColon >= 0) {
        bool bOk = false;
        const uint nParsed = sText.mid(nColon + 1).toUInt(&bOk);
        if (!bOk || nParsed == 0 || nParsed > 65535)
            return false;
        nPort = quint16(nParsed);
    }
    if (sHost.isEmpty())
        return false;
    m_pHost->AddTarget(sHost, nPort);
    return true;
}

void CCorvidMainWindow::OpenCapture(const QString &sPath)
{
    m_pHost->OpenCapture(sPath);
}

void CCorvidMainWindow::ConnectToTarget()
{
    CConnectDialog dialog(m_sLastHost, m_nLastPort, this);
    if (dialog.exec() != QDialog::Accepted || dialog.Host().isEmpty())
        return;
    m_sLastHost = dialog.Host();
    m_nLastPort = dialog.Port();
    m_pHost->AddTarget(m_sLastHost, dialog.Port());
}

void CCorvidMainWindow::DisconnectTarget()
{
    if (CCorvidTarget *pConnection = m_pHost->CurrentConnection()) {
        pConnection->Close();
        AppendLog(QStringLiteral("%1: disconnected").arg(pConnection->DisplayName()));
    }
}

void CCorvidMainWindow::ReconnectTarget()
{
    if (CCorvidTarget *pConnection = m_pHost->CurrentConnection()) {
        pConnection->Close();
        AppendLog(QStringLiteral("%1: connecting").arg(pConnection->Address()));
        pConnection->Open(m_pHost->RetryInterval());
    }
}

void CCorvidMainWindow::RemoveTarget()
{
    if (CCorvidTarget *pConnection = m_pHost->CurrentConnection())
        m_pHost->RemoveTarget(pConnection);
}

void CCorvidMainWindow::AppendLog(const QString &sText)
{
    m_pLog->appendPlainText(QStringLiteral("%1  %2").arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), sText));
}

void CCorvidMainWindow::RefreshTargets()
{
    m_bRefreshing = true;
    const QList<CCorvidTarget *> &targets = m_pHost->Targets();
    m_pTargets->setRowCount(int(targets.size()));
    int nCurrentRow = -1;
    for (int row = 0; row < targets.size(); ++row) {
        CCorvidTarget *pConnection = targets[row];
        const QStringList cells = {pConnection->DisplayName(), pConnection->Address(), pConnection->StatusText(),
                                   QLocale().toString(pConnection->ChunksReceived()),
                                   QStringLiteral("%1 MB").arg(double(pConnection->BytesReceived()) / (1024.0 * 1024.0), 0, 'f', 1)};
        for (int column = 0; column < cells.size(); ++column) {
            QTableWidgetItem *pItem = m_pTargets->item(row, column);
            if (!pItem) {
                pItem = new QTableWidgetItem;
                m_pTargets->setItem(row, column, pItem);
            }
            if (pItem->text() != cells[column])
                pItem->setText(cells[column]);
            // A target that went away, or that the console cut off, stands out in the list.
            const bool bTrouble = pConnection->IsLost() || !pConnection->CloseReason().isEmpty();
            const QBrush brush = bTrouble ? QBrush(QColor(190, 30, 30)) : QBrush();
            if (pItem->foreground() != brush)
                pItem->setForeground(brush);
        }
        if (pConnection == m_pHost->CurrentConnection())
            nCurrentRow = row;
    }
    if (nCurrentRow >= 0 && m_pTargets->currentRow() != nCurrentRow)
        m_pTargets->selectRow(nCurrentRow);
    m_bRefreshing = false;
    UpdateTargetActions();
}

void CCorvidMainWindow::UpdateTargetActions()
{
    CCorvidTarget *pConnection = m_pHost->CurrentConnection();
    m_pDisconnectAction->setEnabled(pConnection && pConnection->IsWanted());
    m_pReconnectAction->setEnabled(pConnection != nullptr && pConnection->GetState() != CORVID_CONNECTION_READY);
    m_pRemoveAction->setEnabled(pConnection != nullptr);
}

void CCorvidMainWindow::SelectionChanged()
{
    if (m_bRefreshing)
        return;
    const int nRow = m_pTargets->currentRow();
    const QList<CCorvidTarget *> &targets = m_pHost->Targets();
    m_pHost->SetCurrentConnection(nRow >= 0 && nRow < targets.size() ? targets[nRow] : nullptr);
}
