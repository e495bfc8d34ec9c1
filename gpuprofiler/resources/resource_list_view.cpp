#include "gpuprofiler/resources/resource_list_view.h"

#include <QAction>
#include <QCoreApplication>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeView>

ListFilterTools AddListFilterTools(QToolBar *pToolBar)
{
    auto tr = [](const char *pszText) { return QCoreApplication::translate("CQResourceList", pszText); };
    ListFilterTools tools;
    tools.pRefresh = pToolBar->addAction(QIcon(QStringLiteral("toolimages:common/repeat.png")), tr("Refresh"));
    pToolBar->addSeparator();
    pToolBar->addWidget(new QLabel(tr("<b>Filter:</b>"), pToolBar));
    tools.pFilterEdit = new QLineEdit(pToolBar);
    tools.pFilterEdit->setFixedWidth(160);
    pToolBar->addWidget(tools.pFilterEdit);
    QAction *pClear = pToolBar->addAction(QIcon(QStringLiteral("toolimages:common/remove.png")), tr("Clear"));
    QObject::connect(pClear, &QAction::triggered, tools.pFilterEdit, &QLineEdit::clear);
    return tools;
}

void ConfigureListView(QTreeView *pView)
{
    pView->setSortingEnabled(true);
    pView->setAlternatingRowColors(true);
    pView->setUniformRowHeights(true);
    pView->setAllColumnsShowFocus(true);
    pView->header()->setStretchLastSection(false);
}

QLabel *AddListStatusLabel(QStatusBar *pStatusBar)
{
    auto *pLabel = new QLabel(pStatusBar);
    pStatusBar->addPermanentWidget(pLabel);
    pStatusBar->setSizeGripEnabled(false);
    return pLabel;
}

ListViewState SaveListViewState(QTreeView *pView, bool bHasRows)
{
    ListViewState state;
    state.nHorizontal = pView->horizontalScrollBar()->value();
    state.nVertical = pView->verticalScrollBar()->value();
    if (bHasRows)
        state.headerState = pView->header()->saveState();
    return state;
}

void RestoreListViewState(QTreeView *pView, const ListViewState &state)
{
    if (!state.headerState.isEmpty())
        pView->header()->restoreState(state.headerState);
    // Scroll ranges follow the new rows only once the view has laid them out.
    pView->doItemsLayout();
    pView->horizontalScrollBar()->setValue(state.nHorizontal);
    pView->verticalScrollBar()->setValue(state.nVertical);
}
