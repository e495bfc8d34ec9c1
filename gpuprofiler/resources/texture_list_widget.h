#pragma once
// The "Textures" tab: a sortable, filterable table of the target's textures with their format,
// kind, dimensions, mip counts and computed memory sizes on disk and resident on the GPU, and a
// status line with the visible and total sums.

#include "bedrock/bedrock_api.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QStandardItemModel;
class QTreeView;
class CQTextureListSortFilterProxyModel;
class CQTriStateCheckBox;

class CQTextureListWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CQTextureListWidget(QWidget *pParent = nullptr);
    ~CQTextureListWidget() override;

    // Replaces the list with the one in the payload. Nothing of the payload is kept.
    void UpdateTextureList(const void *pPayload, uint32 nSize);

    // The "Type" column's text for a flags value.
    static QString KindText(uint32 nFlags);
    // "%1x%2", or "%1x%2x%3" from a depth of 2 up.
    static QString DimensionText(uint16 nWidth, uint16 nHeight, uint16 nDepth);
    // The "Format" column's text: the format's name, or for a value without a table entry
    // "UNKNOWN (n)".
    static QString FormatText(int nFormat);

    QTreeView *View() const { return m_pView; }
    QStandardItemModel *Model() const { return m_pModel; }
    CQTextureListSortFilterProxyModel *Proxy() const { return m_pProxy; }
    QLineEdit *FilterEdit() const { return m_pFilterEdit; }
    QCheckBox *TwoDBox() const { return m_p2DBox; }
    QCheckBox *VolumeBox() const { return m_pVolumeBox; }
    CQTriStateCheckBox *TextureArrayBox() const { return m_pArrayBox; }
    QCheckBox *CubemapBox() const { return m_pCubemapBox; }
    CQTriStateCheckBox *FallbackBox() const { return m_pFallbackBox; }
    CQTriStateCheckBox *RenderTargetBox() const { return m_pRenderTargetBox; }
    CQTriStateCheckBox *NoLodBox() const { return m_pNoLodBox; }
    CQTriStateCheckBox *AutoGenMipsBox() const { return m_pAutoGenMipsBox; }
    QLabel *StatusLabel() const { return m_pStatusLabel; }
    int64 TotalTextureCount() const { return m_nTotalTextureCount; }
    uint64 TotalDiskBytes() const { return m_nTotalDiskBytes; }
    uint64 TotalResidentBytes() const { return m_nTotalResidentBytes; }

signals:
    void RequestTextureListUpdate();

public slots:
    void UpdateFilter();
    void UpdateStatusBar();

private:
    QTreeView *m_pView = nullptr;
    QStandardItemModel *m_pModel = nullptr;
    CQTextureListSortFilterProxyModel *m_pProxy = nullptr;
    QLineEdit *m_pFilterEdit = nullptr;
    QCheckBox *m_p2DBox = nullptr;
    QCheckBox *m_pVolumeBox = nullptr;
    CQTriStateCheckBox *m_pArrayBox = nullptr;
    QCheckBox *m_pCubemapBox = nullptr;
    CQTriStateCheckBox *m_pFallbackBox = nullptr;
    CQTriStateCheckBox *m_pRenderTargetBox = nullptr;
    CQTriStateCheckBox *m_pNoLodBox = nullptr;
    CQTriStateCheckBox *m_pAutoGenMipsBox = nullptr;
    QLabel *m_pStatusLabel = nullptr;
    int64 m_nTotalTextureCount = 0;
    uint64 m_nTotalDiskBytes = 0;
    uint64 m_nTotalResidentBytes = 0;

    // See CQGPUBufferListWidget: the status line is computed once after a rebuild or a filter
    // change, not once per changed range of rows.
    bool m_bStatusDeferred = false;
};
