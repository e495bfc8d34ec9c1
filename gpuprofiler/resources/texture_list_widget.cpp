#include "gpuprofiler/resources/texture_list_widget.h"

#include "gpuprofiler/resources/image_format_info.h"
#include "gpuprofiler/resources/resource_list_format.h"
#include "gpuprofiler/resources/resource_list_item.h"
#include "gpuprofiler/resources/resource_list_roles.h"
#include "gpuprofiler/resources/resource_list_view.h"
#include "gpuprofiler/resources/texture_list_payload.h"
#include "gpuprofiler/resources/texture_list_sort_filter_proxy_model.h"
#include "gpuprofiler/resources/tri_state_check_box.h"

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

enum TextureColumn
{
    kColName,
    kColFormat,
    kColType,
    kColDiskDim,
    kColDiskMips,
    kColDiskSize,
    kColResDim,
    kColResMips,
    kColResSize,
    kColFallback,
    kColRenderTarget,
    kColPinned,
    kColCount
};

const QLocale &SizeLocale()
{
    static const QLocale s_Locale;
    return s_Locale;
}

constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;
constexpr Qt::Alignment kCentre = Qt::AlignCenter;

QString FlagMark(uint32 nFlags, uint32 nFlag)
{
    return (nFlags & nFlag) ? QStringLiteral("X") : QString();
}

CQTriStateCheckBox *MakeTriStateBox(const QString &text, QWidget *pParent)
{
    auto *pBox = new CQTriStateCheckBox(text, pParent);
    pBox->setTristate(true);
    // Partially checked: the flag may be set or clear.
    pBox->setCheckState(Qt::PartiallyChecked);
    return pBox;
}

} // namespace

CQTextureListWidget::CQTextureListWidget(QWidget *pParent)
    : QWidget(pParent)
{
    auto *pLayout = new QVBoxLayout(this);
    auto *pToolBar = new QToolBar(this);
    m_pView = new QTreeView(this);
    auto *pStatusBar = new QStatusBar(this);
    pLayout->addWidget(pToolBar);
    pLayout->addWidget(m_pView);
    pLayout->addWidget(pStatusBar);

    const ListFilterTools tools = AddListFilterTools(pToolBar);
    connect(tools.pRefresh, &QAction::triggered, this, &CQTextureListWidget::RequestTextureListUpdate);
    m_pFilterEdit = tools.pFilterEdit;
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
    for (QCheckBox *pBox : {static_cast<QCheckBox *>(m_pArrayBox), static_cast<QCheckBox *>(m_pFallbackBox),
                            static_cast<QCheckBox *>(m_pRenderTargetBox), static_cast<QCheckBox *>(m_pNoLodBox),
                            static_cast<QCheckBox *>(m_pAutoGenMipsBox)})
        pToolBar->addWidget(pBox);

    connect(m_pFilterEdit, &QLineEdit::textChanged, this, &CQTextureListWidget::UpdateFilter);
    for (QCheckBox *pBox : {m_p2DBox, m_pVolumeBox, static_cast<QCheckBox *>(m_pArrayBox), m_pCubemapBox,
                            static_cast<QCheckBox *>(m_pFallbackBox), static_cast<QCheckBox *>(m_pRenderTargetBox),
                            static_cast<QCheckBox *>(m_pNoLodBox), static_cast<QCheckBox *>(m_pAutoGenMipsBox)})
        connect(pBox, &QCheckBox::stateChanged, this, &CQTextureListWidget::UpdateFilter);

    ConfigureListView(m_pView);

    m_pModel = new QStandardItemModel(this);
    m_pModel->setHorizontalHeaderLabels({tr("Name"), tr("Format"), tr("Type"), tr("Disk Dim"), tr("Disk Mips"),
                                         tr("Disk Size"), tr("Res Dim"), tr("Res Mips"), tr("Res Size"), tr("FB"),
                                         tr("RT"), tr("Pinned")});
    m_pProxy = new CQTextureListSortFilterProxyModel(this);
    m_pProxy->setSourceModel(m_pModel);
    m_pProxy->setSortRole(SortRole);
    m_pView->setModel(m_pProxy);
    connect(m_pProxy, &QAbstractItemModel::rowsInserted, this, &CQTextureListWidget::UpdateStatusBar);
    connect(m_pProxy, &QAbstractItemModel::rowsRemoved, this, &CQTextureListWidget::UpdateStatusBar);
    connect(m_pProxy, &QAbstractItemModel::modelReset, this, &CQTextureListWidget::UpdateStatusBar);

    m_pStatusLabel = AddListStatusLabel(pStatusBar);

    UpdateFilter();
    UpdateStatusBar();
}

CQTextureListWidget::~CQTextureListWidget() = default;

QString CQTextureListWidget::KindText(uint32 nFlags)
{
    // Later kinds win: a texture flagged both 2D and cube map is a cube map.
    QString text;
    if (nFlags & kTextureFlag1D)
        text = QStringLiteral("1D");
    if (nFlags & kTextureFlag2D)
        text = QStringLiteral("2D");
    if (nFlags & kTextureFlagVolume)
        text = QStringLiteral("VOLUME");
    if (nFlags & kTextureFlagCubemap)
        text = QStringLiteral("CUBEMAP");
    if (nFlags & kTextureFlagArray)
        text = QStringLiteral("%1 ARRAY").arg(text);
    return text;
}

QString CQTextureListWidget::DimensionText(uint16 nWidth, uint16 nHeight, uint16 nDepth)
{
    if (nDepth < 2)
        return QStringLiteral("%1x%2").arg(nWidth).arg(nHeight);
    return QStringLiteral("%1x%2x%3").arg(nWidth).arg(nHeight).arg(nDepth);
}

QString CQTextureListWidget::FormatText(int nFormat)
{
    if (const ImageFormatInfo *pInfo = FindImageFormatInfo(nFormat))
        return QString::fromLatin1(pInfo->name);
    // Outside the table: named by its number, and taking no memory (as UNKNOWN does).
    return QStringLiteral("UNKNOWN (%1)").arg(nFormat);
}

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
        {m_pArrayBox, kTextureFlagArray},     {m_pFallbackBox, kTextureFlagFallback},
        {m_pRenderTargetBox, kTextureFlagRenderTarget}, {m_pNoLodBox, kTextureFlagNoLod},
        {m_pAutoGenMipsBox, kTextureFlagAutoGenMips},
    };
    int32 nRequired = 0;
    int32 nExcluded = 0;
    for (const auto &triState : triStates) {
        if (triState.pBox->checkState() == Qt::Checked)
            nRequired |= int32(triState.nFlag);
        else if (triState.pBox->checkState() == Qt::Unchecked)
            nExcluded |= int32(triState.nFlag);
    }

    m_pProxy->SetFilterText(m_pFilterEdit->text());
    m_pProxy->SetTypeMask(nTypeMask);
    m_pProxy->SetRequiredFlags(nRequired);
    m_pProxy->SetExcludedFlags(nExcluded);

    // One pass over the rows with every setting in place, and one status computation after it.
    m_bStatusDeferred = true;
    m_pProxy->ApplyFilter();
    m_bStatusDeferred = false;
    UpdateStatusBar();
}

void CQTextureListWidget::UpdateTextureList(const void *pPayload, uint32 nSize)
{
    const QLocale &locale = SizeLocale();

    // Decoded first: when memory runs out the list on screen stays as it was.
    TextureList list;
    if (!ParseTextureList(pPayload, nSize, &list))
        return;

    // Unlike the buffer list, the sort column and order are taken before the model is detached.
    const int nSortSection = m_pView->header()->sortIndicatorSection();
    const Qt::SortOrder sortOrder = m_pView->header()->sortIndicatorOrder();
    const ListViewState viewState = SaveListViewState(m_pView, m_pModel->rowCount() > 0);

    m_bStatusDeferred = true;
    m_pProxy->setSourceModel(nullptr);
    m_pModel->removeRows(0, m_pModel->rowCount());

    const int32 nRows = list.entries.Count();
    m_nTotalTextureCount = nRows;
    m_nTotalDiskBytes = list.totalDiskBytes;
    m_nTotalResidentBytes = list.totalResBytes;

    // Rows are made whole before they enter the model, and enter it while nothing watches it.
    QList<QStandardItem *> row(kColCount);
    for (int32 nRow = 0; nRow < nRows; ++nRow) {
        const TextureListEntry &entry = list.entries[nRow];
        const GpuTextureRecord &rec = entry.record;
        const uint32 nFlags = rec.Flags();

        auto *pName = new CQResourceListItem(ResourceDisplayName(list.Name(entry), entry.nameLength));
        pName->SetTypeBits(nFlags);
        row[kColName] = pName;
        row[kColFormat] = new CQResourceListItem(FormatText(rec.Format()));
        row[kColType] = new CQResourceListItem(KindText(nFlags));
        row[kColDiskDim] = new CQResourceListItem(DimensionText(rec.DiskWidth(), rec.DiskHeight(), rec.DiskDepth()), kCentre);
        row[kColDiskMips] = new CQResourceListItem(QString::number(rec.diskMips), int(rec.diskMips), kRight);
        row[kColDiskSize] = new CQResourceListItem(FormatKilobytes(locale, entry.diskBytes), qulonglong(entry.diskBytes), kRight);
        row[kColResDim] = new CQResourceListItem(DimensionText(rec.ResWidth(), rec.ResHeight(), rec.ResDepth()), kCentre);
        row[kColResMips] = new CQResourceListItem(QString::number(rec.resMips), int(rec.resMips), kRight);
        row[kColResSize] = new CQResourceListItem(FormatKilobytes(locale, entry.resBytes), qulonglong(entry.resBytes), kRight);
        row[kColFallback] = new CQResourceListItem(FlagMark(nFlags, kTextureFlagFallback), kCentre);
        row[kColRenderTarget] = new CQResourceListItem(FlagMark(nFlags, kTextureFlagRenderTarget), kCentre);
        row[kColPinned] = new CQResourceListItem(FlagMark(nFlags, kTextureFlagPinned), kCentre);
        m_pModel->appendRow(row);
    }

    m_pProxy->setSourceModel(m_pModel);
    m_pProxy->sort(nSortSection, sortOrder);
    RestoreListViewState(m_pView, viewState);
    m_bStatusDeferred = false;

    UpdateStatusBar();
}

void CQTextureListWidget::UpdateStatusBar()
{
    if (m_bStatusDeferred)
        return;
    const int nVisible = m_pProxy->rowCount();
    uint64 nVisibleDisk = 0;
    uint64 nVisibleResident = 0;
    for (int nRow = 0; nRow < nVisible; ++nRow) {
        // List cells give their sizes directly; the sort values are the fallback for any
        // other cell.
        const int nSourceRow = m_pProxy->mapToSource(m_pProxy->index(nRow, 0)).row();
        const CQResourceListItem *pDisk = ResourceListItemAt(m_pModel, nSourceRow, kColDiskSize);
        const CQResourceListItem *pResident = ResourceListItemAt(m_pModel, nSourceRow, kColResSize);
        nVisibleDisk += pDisk ? pDisk->SortNumber() : m_pProxy->index(nRow, kColDiskSize).data(SortRole).toULongLong();
        nVisibleResident +=
            pResident ? pResident->SortNumber() : m_pProxy->index(nRow, kColResSize).data(SortRole).toULongLong();
    }
    m_pStatusLabel->setText(tr("%1/%2 Textures, %3/%4 MB Disk Texture Data, %5/%6 MB GPU-Resident Texture Data")
                                .arg(nVisible)
                                .arg(qulonglong(m_nTotalTextureCount))
                                .arg(FormatStatusMegabytes(nVisibleDisk))
                                .arg(FormatStatusMegabytes(m_nTotalDiskBytes))
                                .arg(FormatStatusMegabytes(nVisibleResident))
                                .arg(FormatStatusMegabytes(m_nTotalResidentBytes)));
}
