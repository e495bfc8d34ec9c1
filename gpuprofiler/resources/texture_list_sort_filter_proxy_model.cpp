#include "gpuprofiler/resources/texture_list_sort_filter_proxy_model.h"

#include "gpuprofiler/resources/image_format_info.h"
#include "gpuprofiler/resources/resource_list_format.h"
#include "gpuprofiler/resources/resource_list_roles.h"

#include <algorithm>
#include <cstring>

namespace {

QString FlagMark(uint32 nFlags, uint32 nFlag)
{
    return (nFlags & nFlag) ? QStringLiteral("X") : QString();
}

} // namespace

bool CTextureListSortKeys::SortsAsText(int nColumn) const
{
    switch (nColumn) {
    case kTextureColDiskMips:
    case kTextureColDiskSize:
    case kTextureColResMips:
    case kTextureColResSize:
        return false;
    default:
        return true;
    }
}

uint64 CTextureListSortKeys::SortNumber(int32 nEntry, int nColumn) const
{
    const TextureListEntry &entry = m_List.entries[nEntry];
    switch (nColumn) {
    case kTextureColDiskMips:
        return entry.record.diskMips;
    case kTextureColDiskSize:
        return entry.diskBytes;
    case kTextureColResMips:
        return entry.record.resMips;
    case kTextureColResSize:
        return entry.resBytes;
    default:
        return 0;
    }
}

int32 CTextureListSortKeys::SortText(int32 nEntry, int nColumn, char *pText) const
{
    const TextureListEntry &entry = m_List.entries[nEntry];
    if (nColumn == kTextureColName)
        return CopyShownName(m_List.Name(entry), entry.nameLength, pText);
    // The other texts are short and made of 8-bit characters.
    const QByteArray text = CQTextureListSortFilterProxyModel::CellText(m_List, nEntry, nColumn).toLatin1();
    const int32 nLength = std::min(int32(text.size()), kSortTextCapacity);
    std::memcpy(pText, text.constData(), size_t(nLength));
    return nLength;
}

CQTextureListSortFilterProxyModel::CQTextureListSortFilterProxyModel(QObject *pParent)
    : CQResourceListModel({tr("Name"), tr("Format"), tr("Type"), tr("Disk Dim"), tr("Disk Mips"), tr("Disk Size"),
                           tr("Res Dim"), tr("Res Mips"), tr("Res Size"), tr("FB"), tr("RT"), tr("Pinned")},
                          pParent)
{
}

void CQTextureListSortFilterProxyModel::SetList(TextureList &list, GrowableArray<int32> &sorted)
{
    beginResetModel();
    m_List.Swap(list);
    AdoptSortedEntries(sorted);
    endResetModel();
}

bool CQTextureListSortFilterProxyModel::filterAcceptsRow(int nSourceRow) const
{
    const TextureListEntry &entry = m_List.entries[nSourceRow];
    if (!filterText.IsEmpty() && !filterText.MatchesName(m_List.Name(entry), entry.nameLength))
        return false;
    const uint32 nBits = entry.record.Flags();
    return (nBits & uint32(typeMask)) != 0 && (nBits & uint32(requiredFlags)) == uint32(requiredFlags) &&
           (nBits & uint32(excludedFlags)) == 0;
}

QString CQTextureListSortFilterProxyModel::KindText(uint32 nFlags)
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

QString CQTextureListSortFilterProxyModel::DimensionText(uint16 nWidth, uint16 nHeight, uint16 nDepth)
{
    if (nDepth < 2)
        return QStringLiteral("%1x%2").arg(nWidth).arg(nHeight);
    return QStringLiteral("%1x%2x%3").arg(nWidth).arg(nHeight).arg(nDepth);
}

QString CQTextureListSortFilterProxyModel::FormatText(int nFormat)
{
    if (const ImageFormatInfo *pInfo = FindImageFormatInfo(nFormat))
        return QString::fromLatin1(pInfo->name);
    // Outside the table: named by its number, and taking no memory (as UNKNOWN does).
    return QStringLiteral("UNKNOWN (%1)").arg(nFormat);
}

QString CQTextureListSortFilterProxyModel::CellText(const TextureList &list, int32 nEntry, int nColumn)
{
    const TextureListEntry &entry = list.entries[nEntry];
    const GpuTextureRecord &rec = entry.record;
    switch (nColumn) {
    case kTextureColName:
        return ResourceDisplayName(list.Name(entry), entry.nameLength);
    case kTextureColFormat:
        return FormatText(rec.Format());
    case kTextureColType:
        return KindText(rec.Flags());
    case kTextureColDiskDim:
        return DimensionText(rec.DiskWidth(), rec.DiskHeight(), rec.DiskDepth());
    case kTextureColDiskMips:
        return QString::number(rec.diskMips);
    case kTextureColDiskSize:
        return FormatKilobytes(ResourceSizeLocale(), entry.diskBytes);
    case kTextureColResDim:
        return DimensionText(rec.ResWidth(), rec.ResHeight(), rec.ResDepth());
    case kTextureColResMips:
        return QString::number(rec.resMips);
    case kTextureColResSize:
        return FormatKilobytes(ResourceSizeLocale(), entry.resBytes);
    case kTextureColFallback:
        return FlagMark(rec.Flags(), kTextureFlagFallback);
    case kTextureColRenderTarget:
        return FlagMark(rec.Flags(), kTextureFlagRenderTarget);
    case kTextureColPinned:
        return FlagMark(rec.Flags(), kTextureFlagPinned);
    default:
        return QString();
    }
}

QVariant CQTextureListSortFilterProxyModel::CellData(int32 nEntry, int nColumn, int nRole) const
{
    const TextureListEntry &entry = m_List.entries[nEntry];
    switch (nRole) {
    case Qt::DisplayRole:
        return CellText(m_List, nEntry, nColumn);
    case SortRole:
        switch (nColumn) {
        case kTextureColDiskMips:
            return int(entry.record.diskMips);
        case kTextureColResMips:
            return int(entry.record.resMips);
        case kTextureColDiskSize:
            return qulonglong(entry.diskBytes);
        case kTextureColResSize:
            return qulonglong(entry.resBytes);
        default:
            return CellText(m_List, nEntry, nColumn);
        }
    case TypeBitsRole:
        if (nColumn == kTextureColName)
            return uint(entry.record.Flags());
        break;
    case Qt::TextAlignmentRole:
        switch (nColumn) {
        case kTextureColDiskMips:
        case kTextureColDiskSize:
        case kTextureColResMips:
        case kTextureColResSize:
            return int(Qt::AlignRight | Qt::AlignVCenter);
        case kTextureColDiskDim:
        case kTextureColResDim:
        case kTextureColFallback:
        case kTextureColRenderTarget:
        case kTextureColPinned:
            return int(Qt::AlignCenter);
        default:
            break;
        }
        break;
    default:
        break;
    }
    return QVariant();
}
