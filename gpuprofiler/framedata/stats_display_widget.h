#pragma once
// A panel that lists one row of an item model as name and value pairs: the "Frame Stats" panel
// (the frame totals and resource statistics) and the "Inspector" (the current sample or group
// row) of the device window.

#include <QWidget>

class QTableView;
class CSingleRowModel;

class CQStatsDisplayWidget : public QWidget
{
    Q_OBJECT

public:
    enum
    {
        kInspectorMode = 0,
        kFrameStatsMode = 1,
    };

    explicit CQStatsDisplayWidget(QWidget *pParent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~CQStatsDisplayWidget() override;

    // 1 for the frame statistics, 0 for the inspector; takes effect at UpdateRowVisibility.
    int displayMode() const { return m_nDisplayMode; }
    void SetDisplayMode(int nDisplayMode) { m_nDisplayMode = nDisplayMode; }

    QTableView *tableView() const { return m_pTableView; }
    CSingleRowModel *model() const { return m_pModel; }

    // The "Name" row is never shown (the row labels carry the names); the frame statistics also
    // hide "Index" to "GPU Start Time", which mean nothing for a whole frame. A model reset
    // forgets hidden rows, so this follows every change of the shown row.
    void UpdateRowVisibility();

    // Sizes the rows to their contents. Measuring every row is the dearest part of showing a new
    // frame's statistics, so it is skipped when no height can have changed: same rows and labels,
    // same column width, every row on one line at the last sizing and no value text longer now.
    void ResizeRowsToContents();

private:
    int m_nDisplayMode = kInspectorMode;
    QTableView *m_pTableView = nullptr;
    CSingleRowModel *m_pModel = nullptr;

    // What the rows were last sized for.
    int m_nSizedRows = -1;
    int m_nSizedWidth = -1;
    int m_nSizedLongestText = 0;
    size_t m_nSizedLabels = 0;
    bool m_bSizedSingleLine = false;
};

class QModelIndex;

// Points a panel at a row (an invalid index empties it): the model is reset onto the row, the
// rows are sized to their contents and the row visibility is applied again.
void ShowPanelRow(CQStatsDisplayWidget *pPanel, const QModelIndex &index);
