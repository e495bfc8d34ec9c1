#include "texture_list_widget.h"

#include "resource_list_format.h"
#include "texture_list_payload.h"
#include "texture_list_sort_filter_proxy_model.h"
#include "tri_state_check_box.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QToolBar>
#include <QTreeView>

namespace {

struct TextureListDecode final : CResourceListDecode
{
    bool Decode(const void *pPayload, uint32 nSize) override
    {
        return ParseTextureList(pPayload, nSize, &list) &&
            SortEntries(CTextureListSortKeys(list), nSortColumn, sortOrder == Qt::DescendingOrder, &sorted);
    }
    TextureList list;
};

CQTriStateCheckBox *MakeTriStateBox(const QString &text, QWidget *pParent)
{
    auto *pBox = new CQTriStateCheckBox(text, pParent);
    pBox->setTristate(true);
    // Partially checked: the flag may be set or clear.
    pBox->setCheckState(Qt::PartiallyChecked);
    return pBox;
}

} // namespace

CQTextureListWidget::CQTextureListWidget(QWidget *pParent) : CQResourceListWidget(pParent)
{
    connect(RefreshAction(), &QAction::triggered, this, &CQTextureListWidget::RequestTextureListUpdate);
    QToolBar *pToolBar = ToolBar();
    pToolBar->addSeparator();
    m_p2DBox = new QCheckBox(tr("2D"), pToolBar);
    m_pVolumeBox = new QCheckBox(tr("Volume"), pToolBar);
    m_pCubemapBox = new QCheckBox(tr("Cubemap"), pToolBar);
    pToolBar->addWidget(m_p2DBox);
    pToolBar->addWidget(m_pVolumeBox);
    pToolBar->addWidget(m_pCubemapBox);
    pToolBar->addSeparator();
    m_pArrayBox = MakeTriStateBox(tr("Texture Array"), pToolBar);
    m_pFallbackBox = MakeTriStateBox(tr("Fallback Texture"), pToolBar);
    m_pRenderTargetBox = MakeTriStateBox(tr("Render Target"), pToolBar);
    m_pNoLodBox = MakeTriStateBox(tr("No Lod"), pToolBar);
    m_pAutoGenMipsBox = MakeTriStateBox(tr("Auto-gen Mipmaps"), pToolBar);
    for (QCheckBox *pBox :
         {static_cast<QCheckBox *>(m_pArrayBox), static_cast<QCheckBox *>(m_pFallbackBox), static_cast<QCheckBox *>(m_pRenderTargetBox),
          static_cast<QCheckBox *>(m_pNoLodBox), static_cast<QCheckBox *>(m_pAutoGenMipsBox)})
        pToolBar->addWidget(pBox);

    connect(FilterEdit(), &QLineEdit::textChanged, this, &CQTextureListWidget::UpdateFilter);
    for (QCheckBox *pBox :
         {m_p2DBox, m_pVolumeBox, static_cast<QCheckBox *>(m_pArrayBox), m_pCubemapBox, static_cast<QCheckBox *>(m_pFallbackBox),
          static_cast<QCheckBox *>(m_pRenderTargetBox), static_cast<QCheckBox *>(m_pNoLodBox), static_cast<QCheckBox *>(m_pAutoGenMipsBox)})
        connect(pBox, &QCheckBox::stateChanged, this, &CQTextureListWidget::UpdateFilter);

    LayOut(View());
    m_pModel = new CQTextureListSortFilterProxyModel(this);
    SetListModel(m_pModel);

    UpdateFilter();
}

CQTextureListWidget::~CQTextureListWidget() = default;

void CQTextureListWidget::UpdateFilter()
{
    int32 nTypeMask = (m_p2DBox->isChecked() ? kTextureFlag2D : 0) | (m_pVolumeBox->isChecked() ? kTextureFlagVolume : 0) |
        (m_pCubemapBox->isChecked() ? kTextureFlagCubemap : 0);
    // No kind box checked shows every kind the boxes know.
    if (nTypeMask == 0)
        nTypeMask = kTextureFlag2D | kTextureFlagVolume | kTextureFlagCubemap;

    const struct
    {
        const QCheckBox *pBox;
        uint32 nFlag;
    } triStates[] = {
        {m_pArrayBox, kTextureFlagArray}, {m_pFallbackBox, kTextureFlagFallback},       {m_pRenderTargetBox, kTextureFlagRenderTarget},
        {m_pNoLodBox, kTextureFlagNoLod}, {m_pAutoGenMipsBox, kTextureFlagAutoGenMips},
    };
    int32 nRequired = 0;
    int32 nExcluded = 0;
    for (const auto &triState : triStates) {
        if (triState.pBox->checkState() == Qt::Checked)
            nRequired |= int32(triState.nFlag);
        else if (triState.pBox->checkState() == Qt::Unchecked)
            nExcluded |= int32(triState.nFlag);
    }

    m_pModel->SetFilterText(FilterEdit()->text());
    m_pModel->SetTypeMask(nTypeMask);
    m_pModel->SetRequiredFlags(nRequired);
    m_pModel->SetExcludedFlags(nExcluded);
    m_pModel->ApplyFilter();
    UpdateStatusBar();
}

void CQTextureListWidget::UpdateTextureList(const void *pPayload, uint32 nSize)
{
    LoadPayload(pPayload, nSize);
}

std::unique_ptr<CResourceListDecode> CQTextureListWidget::MakeDecode() const
{
    return std::make_unique<TextureListDecode>();
}

bool CQTextureListWidget::Install(CResourceListDecode &decode)
{
    auto &textures = static_cast<TextureListDecode &>(decode);
    if (!m_pModel->SortLike(CTextureListSortKeys(textures.list), decode.nSortColumn, decode.sortOrder, &decode.sorted))
        return false;
    m_pModel->SetList(textures.list, decode.sorted);
    const TextureList &list = m_pModel->List();
    m_nTotalTextureCount = list.entries.Count();
    m_nTotalDiskBytes = list.totalDiskBytes;
    m_nTotalResidentBytes = list.totalResBytes;
    return true;
}

void CQTextureListWidget::UpdateStatusBar()
{
    const TextureList &list = m_pModel->List();
    const int nVisible = m_pModel->rowCount();
    uint64 nVisibleDisk = 0;
    uint64 nVisibleResident = 0;
    for (int nRow = 0; nRow < nVisible; ++nRow) {
        const TextureListEntry &entry = list.entries[m_pModel->SourceRow(nRow)];
        nVisibleDisk = SaturatingAdd(nVisibleDisk, entry.diskBytes);
        nVisibleResident = SaturatingAdd(nVisibleResident, entry.resBytes);
    }
    StatusLabel()->setText(tr("%1/%2 Textures, %3/%4 MB Disk Texture Data, %5/%6 MB GPU-Resident Texture Data")
                               .arg(nVisible)
                               .arg(qulonglong(m_nTotalTextureCount))
                               .arg(FormatStatusMegabytes(nVisibleDisk))
                               .arg(FormatStatusMegabytes(m_nTotalDiskBytes))
                               .arg(FormatStatusMegabytes(nVisibleResident))
                               .arg(FormatStatusMegabytes(m_nTotalResidentBytes)) +
                           FormatListCut(list.announcedCount, list.entries.Count()));
}
