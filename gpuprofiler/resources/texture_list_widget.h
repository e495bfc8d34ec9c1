#pragma once
// The "Textures" tab: a sortable, filterable table of the target's textures with their format,
// kind, dimensions, mip counts and computed memory sizes on disk and resident on the GPU, and a
// status line with the visible and total sums.

#include "bedrock_api.h"
#include "resource_list_widget.h"

class QCheckBox;
class CQTextureListSortFilterProxyModel;
class CQTriStateCheckBox;

class CQTextureListWidget : public CQResourceListWidget
{
    Q_OBJECT

public:
    explicit CQTextureListWidget(QWidget *pParent = nullptr);
    ~CQTextureListWidget() override;

    // Replaces the list with the one in the payload (a large one once the worker thread has
    // decoded it). Nothing of the payload is kept.
    void UpdateTextureList(const void *pPayload, uint32 nSize);

    CQTextureListSortFilterProxyModel *Model() const { return m_pModel; }
    QCheckBox *TwoDBox() const { return m_p2DBox; }
    QCheckBox *VolumeBox() const { return m_pVolumeBox; }
    CQTriStateCheckBox *TextureArrayBox() const { return m_pArrayBox; }
    QCheckBox *CubemapBox() const { return m_pCubemapBox; }
    CQTriStateCheckBox *FallbackBox() const { return m_pFallbackBox; }
    CQTriStateCheckBox *RenderTargetBox() const { return m_pRenderTargetBox; }
    CQTriStateCheckBox *NoLodBox() const { return m_pNoLodBox; }
    CQTriStateCheckBox *AutoGenMipsBox() const { return m_pAutoGenMipsBox; }
    int64 TotalTextureCount() const { return m_nTotalTextureCount; }
    uint64 TotalDiskBytes() const { return m_nTotalDiskBytes; }
    uint64 TotalResidentBytes() const { return m_nTotalResidentBytes; }

signals:
    void RequestTextureListUpdate();

public slots:
    void UpdateFilter();
    void UpdateStatusBar() override;

protected:
    std::unique_ptr<CResourceListDecode> MakeDecode() const override;
    bool Install(CResourceListDecode &decode) override;

private:
    CQTextureListSortFilterProxyModel *m_pModel = nullptr;
    QCheckBox *m_p2DBox = nullptr;
    QCheckBox *m_pVolumeBox = nullptr;
    CQTriStateCheckBox *m_pArrayBox = nullptr;
    QCheckBox *m_pCubemapBox = nullptr;
    CQTriStateCheckBox *m_pFallbackBox = nullptr;
    CQTriStateCheckBox *m_pRenderTargetBox = nullptr;
    CQTriStateCheckBox *m_pNoLodBox = nullptr;
    CQTriStateCheckBox *m_pAutoGenMipsBox = nullptr;
    int64 m_nTotalTextureCount = 0;
    uint64 m_nTotalDiskBytes = 0;
    uint64 m_nTotalResidentBytes = 0;
};
