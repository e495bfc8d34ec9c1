#pragma once
// What the texture list and the buffer list build the same way: the start of the tool bar, the
// tree view and its settings, the status line, the view state a refresh must keep, and the
// road of a payload to the model.
//
// A large payload (kBackgroundDecodeBytes and up) is decoded and sorted on a worker thread, so
// that a list of a million entries never holds up the window; the user-interface thread only
// filters the sorted entries and hands them to the model. A smaller one is decoded at once.
// One decode runs at a time: a payload that arrives meanwhile waits, replacing any that waited
// before it, and a decode whose list has been overtaken by a newer one is thrown away.

#include "bedrock_api.h"
#include "growable_array.h"

#include <QWidget>

#include <memory>

class QAction;
class QLabel;
class QLineEdit;
class QStatusBar;
class QThread;
class QToolBar;
class QTreeView;
class CQResourceListModel;

// Payloads from this size on are decoded on the worker thread: below it, decoding and sorting
// take a few milliseconds.
inline constexpr uint32 kBackgroundDecodeBytes = 1u << 20;

// One payload on its way to a list: decoded into plain entries and sorted, on whichever thread
// runs it.
class CResourceListDecode
{
public:
    virtual ~CResourceListDecode() = default;
    // Decodes the payload and sorts its entries by nSortColumn and sortOrder into sorted; false
    // when memory ran out.
    virtual bool Decode(const void *pPayload, uint32 nSize) = 0;

    int nSortColumn = -1;
    Qt::SortOrder sortOrder = Qt::AscendingOrder;
    GrowableArray<int32> sorted;
    // A copy of the payload for a decode on the worker thread, freed once it is decoded.
    GrowableArray<uint8> payload;
    uint64 nSerial = 0;
    bool bDecoded = false;
};

class CQResourceListWidget : public QWidget
{
    Q_OBJECT

public:
    ~CQResourceListWidget() override;

    QTreeView *View() const { return m_pView; }
    QLineEdit *FilterEdit() const { return m_pFilterEdit; }
    QLabel *StatusLabel() const { return m_pStatusLabel; }
    // True while a payload is being decoded on the worker thread.
    bool IsDecoding() const { return m_pWorker != nullptr; }

public slots:
    virtual void UpdateStatusBar() = 0;

protected:
    // Builds the tool bar with "Refresh", the filter line and "Clear", the view and the status
    // line; the subclass adds its own tools to ToolBar() and places its body (the view, or
    // something that holds it) with LayOut().
    explicit CQResourceListWidget(QWidget *pParent);
    void LayOut(QWidget *pBody);
    QToolBar *ToolBar() const { return m_pToolBar; }
    QAction *RefreshAction() const { return m_pRefresh; }
    // The model the view shows; set once by the subclass.
    void SetListModel(CQResourceListModel *pModel);

    // Replaces the list with the one in the payload, now or once the worker has decoded it.
    // Nothing of the payload is kept after the call.
    void LoadPayload(const void *pPayload, uint32 nSize);
    virtual std::unique_ptr<CResourceListDecode> MakeDecode() const = 0;
    // Hands a decoded list to the model (in its current sort order) and takes over its totals;
    // false when memory ran out, leaving the shown list as it was.
    virtual bool Install(CResourceListDecode &decode) = 0;

private:
    void StartDecode(std::unique_ptr<CResourceListDecode> pDecode);
    void DecodeFinished();
    void Show(CResourceListDecode &decode);

    QToolBar *m_pToolBar = nullptr;
    QAction *m_pRefresh = nullptr;
    QLineEdit *m_pFilterEdit = nullptr;
    QTreeView *m_pView = nullptr;
    QStatusBar *m_pStatusBar = nullptr;
    QLabel *m_pStatusLabel = nullptr;
    CQResourceListModel *m_pListModel = nullptr;

    QThread *m_pWorker = nullptr;
    std::unique_ptr<CResourceListDecode> m_pRunning;
    std::unique_ptr<CResourceListDecode> m_pWaiting;
    // Serial of the newest payload: only its list is shown.
    uint64 m_nLatestSerial = 0;
    // The name column is fitted to the names once, when the list first has rows; after that
    // the width the user gives it survives every refresh.
    bool m_bNameColumnFitted = false;
};
