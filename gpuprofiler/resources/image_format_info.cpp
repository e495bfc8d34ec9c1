#include "image_format_info.h"

namespace {

// Name, bytes per pixel, bytes per 4x4 block, flags; indexed by format + 1.
const ImageFormatInfo s_ImageFormats[kImageFormatCount] = {
    {"UNKNOWN", 0, 0, 0}, // -1
    {"RGBA8888", 4, 0, 0}, // 0
    {"ABGR8888", 4, 0, 0}, // 1
    {"RGB888", 3, 0, 0}, // 2
    {"BGR888", 3, 0, 0}, // 3
    {"RGB565", 2, 0, 0}, // 4
    {"I8", 1, 0, 0}, // 5
    {"IA88", 2, 0, 0}, // 6
    {"P8", 1, 0, 0}, // 7
    {"A8", 1, 0, 0}, // 8
    {"RGB888_BLUESCREEN", 3, 0, 0}, // 9
    {"BGR888_BLUESCREEN", 3, 0, 0}, // 10
    {"ARGB8888", 4, 0, 0}, // 11
    {"BGRA8888", 4, 0, 0}, // 12
    {"DXT1", 0, 8, ImageFormatInfo::kBlockCompressed}, // 13
    {"DXT3", 0, 16, ImageFormatInfo::kBlockCompressed}, // 14
    {"DXT5", 0, 16, ImageFormatInfo::kBlockCompressed}, // 15
    {"BGRX8888", 4, 0, 0}, // 16
    {"BGR565", 2, 0, 0}, // 17
    {"BGRX5551", 2, 0, 0}, // 18
    {"BGRA4444", 2, 0, 0}, // 19
    {"DXT1_ONEBITALPHA", 0, 8, ImageFormatInfo::kBlockCompressed}, // 20
    {"BGRA5551", 2, 0, 0}, // 21
    {"UV88", 2, 0, 0}, // 22
    {"UVWQ8888", 4, 0, 0}, // 23
    {"RGBA16161616F", 8, 0, 0}, // 24
    {"RGBA16161616", 8, 0, 0}, // 25
    {"UVLX8888", 4, 0, 0}, // 26
    {"R32F", 4, 0, 0}, // 27
    {"RGB323232F", 12, 0, 0}, // 28
    {"RGBA32323232F", 16, 0, 0}, // 29
    {"NV_DST16", 2, 0, 0}, // 30
    {"NV_DST24", 4, 0, 0}, // 31
    {"NV_INTZ", 4, 0, 0}, // 32
    {"NV_RAWZ", 4, 0, 0}, // 33
    {"ATI_DST16", 2, 0, 0}, // 34
    {"ATI_DST24", 4, 0, 0}, // 35
    {"ATI2N", 0, 16, ImageFormatInfo::kBlockCompressed}, // 36
    {"ATI1N", 0, 8, ImageFormatInfo::kBlockCompressed}, // 37
    {"X360_DST16", 2, 0, 0}, // 38
    {"X360_DST24", 4, 0, 0}, // 39
    {"X360_DST24F", 4, 0, 0}, // 40
    {"LINEAR_BGRX8888", 4, 0, 0}, // 41
    {"LINEAR_RGBA8888", 4, 0, 0}, // 42
    {"LINEAR_ABGR8888", 4, 0, 0}, // 43
    {"LINEAR_ARGB8888", 4, 0, 0}, // 44
    {"LINEAR_BGRA8888", 4, 0, 0}, // 45
    {"LINEAR_RGB888", 3, 0, 0}, // 46
    {"LINEAR_BGR888", 3, 0, 0}, // 47
    {"LINEAR_BGRX5551", 2, 0, 0}, // 48
    {"LINEAR_I8", 1, 0, 0}, // 49
    {"LINEAR_RGBA16161616", 8, 0, 0}, // 50
    {"LE_BGRX8888", 4, 0, 0}, // 51
    {"LE_BGRA8888", 4, 0, 0}, // 52
    {"RG1616F", 4, 0, 0}, // 53
    {"RG3232F", 8, 0, 0}, // 54
    {"RGBX8888", 4, 0, 0}, // 55
    {"NV_NULL", 4, 0, 0}, // 56
    {"RGBA1010102", 4, 0, 0}, // 57
    {"BGRA1010102", 4, 0, 0}, // 58
    {"R16F", 2, 0, 0}, // 59
    {"D16", 2, 0, 0}, // 60
    {"D15S1", 2, 0, 0}, // 61
    {"D32", 4, 0, 0}, // 62
    {"D24S8", 4, 0, 0}, // 63
    {"LINEAR_D24S8", 4, 0, 0}, // 64
    {"D24X8", 4, 0, 0}, // 65
    {"D24X4S4", 4, 0, 0}, // 66
    {"D24FS8", 4, 0, 0}, // 67
    {"D16_SHADOW", 2, 0, 0}, // 68
    {"D24X8_SHADOW", 4, 0, 0}, // 69
    {"RGBA16161616_EDRAM", 8, 0, 0}, // 70
    {"RGBA1010102F_EDRAM", 4, 0, 0}, // 71
    {"R16F_EXPAND", 2, 0, 0}, // 72
    {"RG1616F_EXPAND", 4, 0, 0}, // 73
    {"RGBA16161616F_EXPAND", 8, 0, 0}, // 74
    {"RGBA16161616F_EDRAM_RGBA1010102F", 8, 0, 0}, // 75
    {"RGBA16161616F_EXPAND_EDRAM_RGBA1010102F", 8, 0, 0}, // 76
    {"RGBA16161616_EDRAM_RGBA16161616", 8, 0, 0}, // 77
    {"DXT5_NM", 0, 16, ImageFormatInfo::kBlockCompressed}, // 78
    {"RG1616", 4, 0, 0}, // 79
    {"R16", 2, 0, 0}, // 80
    {"RGBA8888_LINEAR", 4, 0, 0}, // 81
    {"BGRA8888_LINEAR", 4, 0, 0}, // 82
    {"BGRX8888_LINEAR", 4, 0, 0}, // 83
    {"RGBX555", 2, 0, 0}, // 84
    {"BC6H", 0, 16, ImageFormatInfo::kBlockCompressed}, // 85
    {"BC7", 0, 16, ImageFormatInfo::kBlockCompressed}, // 86
    {"R32_UINT", 4, 0, 0}, // 87
    {"R8G8B8_ETC2", 0, 8, ImageFormatInfo::kBlockCompressed}, // 88
    {"R8G8B8A8_ETC2_EAC", 0, 16, ImageFormatInfo::kBlockCompressed}, // 89
    {"R11_EAC", 0, 8, ImageFormatInfo::kBlockCompressed}, // 90
    {"RG11_EAC", 0, 16, ImageFormatInfo::kBlockCompressed}, // 91
};

} // namespace

const ImageFormatInfo *FindImageFormatInfo(int nFormat)
{
    if (nFormat < kImageFormatFirst || nFormat > kImageFormatLast)
        return nullptr;
    return &s_ImageFormats[nFormat - kImageFormatFirst];
}

uint64 TextureMipChainSize(uint32 nWidth, uint32 nHeight, uint32 nMips, int nFormat)
{
    const ImageFormatInfo *pInfo = FindImageFormatInfo(nFormat);
    if (!pInfo)
        return 0;
    // A mip count of 0 means the whole chain; 100 levels is beyond any real texture, and the
    // 1x1 level ends the chain long before.
    const uint32 nLevels = nMips ? nMips : 100;
    const bool bBlocks = pInfo->IsBlockCompressed();
    uint64 nTotal = 0;
    uint64 nWidthNow = nWidth;
    uint64 nHeightNow = nHeight;
    for (uint32 nLevel = 0; nLevel < nLevels; ++nLevel) {
        if (bBlocks)
            nTotal += ((nWidthNow + 3) / 4) * ((nHeightNow + 3) / 4);
        else
            nTotal += uint64(pInfo->bytesPerPixel) * nWidthNow * nHeightNow;
        if (nWidthNow == 1 && nHeightNow == 1)
            break;
        nWidthNow = nWidthNow / 2 > 1 ? nWidthNow / 2 : 1;
        nHeightNow = nHeightNow / 2 > 1 ? nHeightNow / 2 : 1;
    }
    if (bBlocks)
        nTotal *= pInfo->blockBytes;
    return nTotal;
}
