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

private:
    int m_nDisplayMode = kInspectorMode;
    QTableView *m_pTableView = nullptr;
    CSingleRowModel *m_pModel = nullptr;
};

class QModelIndex;

// Points a panel at a row (an invalid index empties it): the model is reset onto the row, the
// rows are sized to their contents and the row visibility is applied again.
void ShowPanelRow(CQStatsDisplayWidget *pPanel, const QModelIndex &index);
