#pragma once
// The parts the texture list and the buffer list build the same way: the start of the tool bar,
// the tree view's settings, the status line, and the view state a refresh must keep.

#include <QByteArray>

class QAction;
class QLabel;
class QLineEdit;
class QStatusBar;
class QToolBar;
class QTreeView;

struct ListFilterTools
{
    QAction *pRefresh;
    QLineEdit *pFilterEdit;
};

// "Refresh", a separator, "<b>Filter:</b>", the filter line (160 pixels) and "Clear", which
// empties it; the caller connects "Refresh" and adds its own boxes after these.
ListFilterTools AddListFilterTools(QToolBar *pToolBar);

// Sortable, alternating rows of equal height, focus on whole rows, no stretched last column.
void ConfigureListView(QTreeView *pView);

// The status text's label, kept at the right of the status bar, without a size grip.
QLabel *AddListStatusLabel(QStatusBar *pStatusBar);

// What the user set up in a list's view: scroll positions and, once the list has rows, the
// header's state (column widths, order, sort indicator).
struct ListViewState
{
    int nHorizontal = 0;
    int nVertical = 0;
    QByteArray headerState;
};

ListViewState SaveListViewState(QTreeView *pView, bool bHasRows);
// Restores the header state (when one was saved), then the horizontal and vertical scroll
// positions, once the view has laid out its new rows.
void RestoreListViewState(QTreeView *pView, const ListViewState &state);
