#include "corvid/main_window.h"

#include "corvid/corvid_host.h"

#include <QDateTime>
#include <QDockWidget>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>

CCorvidMainWindow::CCorvidMainWindow(CCorvidHost *pHost, QWidget *pParent) : QMainWindow(pParent), m_pHost(pHost)
{
    setWindowTitle(QStringLiteral("Corvid - Developer Console"));
    setWindowIcon(QIcon(QStringLiteral("toolimages:gpuprofilertool/appicon.png")));
    resize(900, 420);

    QToolBar *pBar = addToolBar(QStringLiteral("Targets"));
    pBar->addWidget(new QLabel(QStringLiteral(" Target: "), pBar));
    m_pAddress = new QLineEdit(QStringLiteral("localhost:%1").arg(CORVID_LINK_DEFAULT_PORT), pBar);
    m_pAddress->setFixedWidth(220);
    pBar->addWidget(m_pAddress);
    QAction *pConnect = pBar->addAction(QStringLiteral("Connect"), this, &CCorvidMainWindow::ConnectClicked);
    connect(m_pAddress, &QLineEdit::returnPressed, pConnect, &QAction::trigger);
    pBar->addAction(QStringLiteral("Remove Target"), this, &CCorvidMainWindow::RemoveClicked);
    pBar->addSeparator();
    pBar->addAction(m_pHost->ToolAction());

    QMenu *pTools = menuBar()->addMenu(QStringLiteral("Tools"));
    pTools->addAction(m_pHost->ToolAction());

    m_pTargets = new QTableWidget(0, 5, this);
    m_pTargets->setHorizontalHeaderLabels({QStringLiteral("Target"), QStringLiteral("Address"), QStringLiteral("State"),
                                           QStringLiteral("Chunks"), QStringLiteral("Received")});
    m_pTargets->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTargets->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pTargets->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTargets->verticalHeader()->hide();
    m_pTargets->horizontalHeader()->setStretchLastSection(true);
    m_pTargets->setColumnWidth(0, 220);
    m_pTargets->setColumnWidth(1, 160);
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
    connect(m_pHost, &CCorvidHost::TargetsChanged, this, &CCorvidMainWindow::RefreshTargets);
    connect(m_pHost, &CCorvidHost::CurrentChanged, this, &CCorvidMainWindow::RefreshTargets);
    connect(m_pHost, &CCorvidHost::TargetStateChanged, this, &CCorvidMainWindow::RefreshTargets);
    auto *pRefresh = new QTimer(this);
    connect(pRefresh, &QTimer::timeout, this, &CCorvidMainWindow::RefreshTargets);
    pRefresh->start(500);
}

bool CCorvidMainWindow::ConnectTo(const QString &sAddress)
{
    const QString sText = sAddress.trimmed();
    const int nColon = sText.lastIndexOf(QLatin1Char(':'));
    QString sHost = nColon > 0 ? sText.left(nColon) : sText;
    quint16 nPort = CORVID_LINK_DEFAULT_PORT;
    if (nColon > 0) {
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

void CCorvidMainWindow::ConnectClicked()
{
    if (!ConnectTo(m_pAddress->text()))
        AppendLog(QStringLiteral("\"%1\" is not an address (host or host:port)").arg(m_pAddress->text()));
}

void CCorvidMainWindow::RemoveClicked()
{
    if (CCorvidConnection *pConnection = m_pHost->CurrentConnection())
        m_pHost->RemoveTarget(pConnection);
}

void CCorvidMainWindow::AppendLog(const QString &sText)
{
    m_pLog->appendPlainText(QStringLiteral("%1  %2").arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), sText));
}

QString CCorvidMainWindow::StateText(int nState)
{
    switch (nState) {
    case CORVID_CONNECTION_DISCONNECTED:
        return QStringLiteral("Disconnected");
    case CORVID_CONNECTION_CONNECTING:
        return QStringLiteral("Connecting");
    case CORVID_CONNECTION_HANDSHAKE:
        return QStringLiteral("Handshake");
    case CORVID_CONNECTION_READY:
        return QStringLiteral("Connected");
    default:
        return QString::number(nState);
    }
}

void CCorvidMainWindow::RefreshTargets()
{
    m_bRefreshing = true;
    const QList<CCorvidConnection *> &targets = m_pHost->Targets();
    m_pTargets->setRowCount(int(targets.size()));
    int nCurrentRow = -1;
    for (int row = 0; row < targets.size(); ++row) {
        CCorvidConnection *pConnection = targets[row];
        const QStringList cells = {pConnection->DisplayName(), pConnection->Address(), StateText(pConnection->GetState()),
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
        }
        if (pConnection == m_pHost->CurrentConnection())
            nCurrentRow = row;
    }
    if (nCurrentRow >= 0 && m_pTargets->currentRow() != nCurrentRow)
        m_pTargets->selectRow(nCurrentRow);
    m_bRefreshing = false;
}

void CCorvidMainWindow::SelectionChanged()
{
    if (m_bRefreshing)
        return;
    const int nRow = m_pTargets->currentRow();
    const QList<CCorvidConnection *> &targets = m_pHost->Targets();
    m_pHost->SetCurrentConnection(nRow >= 0 && nRow < targets.size() ? targets[nRow] : nullptr);
}
