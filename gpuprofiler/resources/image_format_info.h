#pragma once
// The image formats a target can report for a texture, and the memory a mip chain takes in
// each of them.

#include "bedrock_api.h"

struct ImageFormatInfo
{
    enum : uint8
    {
        kBlockCompressed = 0x01, // stored in 4x4 blocks of blockBytes each
    };

    const char *name;
    uint8 bytesPerPixel; // uncompressed formats
    uint8 blockBytes; // block-compressed formats: bytes per 4x4 block
    uint8 flags;

    bool IsBlockCompressed() const { return (flags & kBlockCompressed) != 0; }
};

// Formats from -1 (unknown) to 91; the table is indexed by format + 1.
inline constexpr int kImageFormatFirst = -1;
inline constexpr int kImageFormatLast = 91;
inline constexpr int kImageFormatCount = kImageFormatLast - kImageFormatFirst + 1; // 93

// The entry of nFormat, or null for a value outside -1..91.
const ImageFormatInfo *FindImageFormatInfo(int nFormat);

// Bytes of a 2-D mip chain: nMips levels from nWidth x nHeight down (all levels down to 1x1
// when nMips is 0, at most 100), each level halving both sides but not below 1, and stopping
// after the 1x1 level. Block-compressed formats count whole 4x4 blocks per level.
//
// The sum is formed in 64 bits. For every chain below 4 GB this is the same number a 32-bit
// sum gives; above that a 32-bit sum would wrap and show a huge texture as a small one.
// Formats without an entry take no memory.
uint64 TextureMipChainSize(uint32 nWidth, uint32 nHeight, uint32 nMips, int nFormat);
