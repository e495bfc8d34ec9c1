#pragma once
// The texture list (GPRT payload) and the buffer list (GPRB payload) as a target sends them:
//
//   offset 0  i32  record count, little-endian (the one field of the lists in host order)
//   offset 4  per resource: its fixed record (big-endian fields), then its name as a
//             NUL-terminated byte string
//
// The fixed records are kept as received and read field by field, like the frame records.

#include "byte_order.h"

#include <cstddef>

// The record count at the start of either list.
inline constexpr uint32 kResourceListCountBytes = 4;
inline void StoreResourceListCount(void *p, int32 nCount)
{
    StoreLittleEndian32(p, uint32(nCount));
}

// Texture flag bits (the record's flags field).
inline constexpr uint32 kTextureFlag1D = 0x0001;
inline constexpr uint32 kTextureFlag2D = 0x0002;
inline constexpr uint32 kTextureFlagVolume = 0x0004;
inline constexpr uint32 kTextureFlagCubemap = 0x0008;
inline constexpr uint32 kTextureFlagArray = 0x0010;
inline constexpr uint32 kTextureFlagFallback = 0x0020;
inline constexpr uint32 kTextureFlagRenderTarget = 0x0040;
inline constexpr uint32 kTextureFlagNoLod = 0x0100;
inline constexpr uint32 kTextureFlagAutoGenMips = 0x0200;
inline constexpr uint32 kTextureFlagPinned = 0x0400;

struct GpuTextureRecord
{
    uint8 diskWidth[2];
    uint8 diskHeight[2];
    uint8 diskDepth[2]; // 0 or 1 for textures without depth
    uint8 resWidth[2]; // as resident on the GPU
    uint8 resHeight[2];
    uint8 resDepth[2];
    uint8 flags[2];
    uint8 diskMips;
    uint8 resMips;
    uint8 reserved;
    uint8 format; // signed: -1 is unknown

    uint16 DiskWidth() const { return LoadBigEndian16(diskWidth); }
    uint16 DiskHeight() const { return LoadBigEndian16(diskHeight); }
    uint16 DiskDepth() const { return LoadBigEndian16(diskDepth); }
    uint16 ResWidth() const { return LoadBigEndian16(resWidth); }
    uint16 ResHeight() const { return LoadBigEndian16(resHeight); }
    uint16 ResDepth() const { return LoadBigEndian16(resDepth); }
    uint16 Flags() const { return LoadBigEndian16(flags); }
    int Format() const { return int(int8(format)); }

    void SetDiskWidth(uint16 v) { StoreBigEndian16(diskWidth, v); }
    void SetDiskHeight(uint16 v) { StoreBigEndian16(diskHeight, v); }
    void SetDiskDepth(uint16 v) { StoreBigEndian16(diskDepth, v); }
    void SetResWidth(uint16 v) { StoreBigEndian16(resWidth, v); }
    void SetResHeight(uint16 v) { StoreBigEndian16(resHeight, v); }
    void SetResDepth(uint16 v) { StoreBigEndian16(resDepth, v); }
    void SetFlags(uint16 v) { StoreBigEndian16(flags, v); }
    void SetFormat(int8 v) { format = uint8(v); }
};
static_assert(sizeof(GpuTextureRecord) == 18);
static_assert(alignof(GpuTextureRecord) == 1);
static_assert(offsetof(GpuTextureRecord, resWidth) == 6);
static_assert(offsetof(GpuTextureRecord, flags) == 12);
static_assert(offsetof(GpuTextureRecord, diskMips) == 14);
static_assert(offsetof(GpuTextureRecord, format) == 17);

struct GpuBufferRecord
{
    uint8 bufferType; // 0 vertex buffer, anything else index buffer
    uint8 elemSize[2];
    uint8 capacity[4];
    uint8 elemCount[4];
    uint8 sizeBytes[4];

    uint16 ElemSize() const { return LoadBigEndian16(elemSize); }
    uint32 Capacity() const { return LoadBigEndian32(capacity); }
    uint32 ElemCount() const { return LoadBigEndian32(elemCount); }
    uint32 SizeBytes() const { return LoadBigEndian32(sizeBytes); }

    void SetElemSize(uint16 v) { StoreBigEndian16(elemSize, v); }
    void SetCapacity(uint32 v) { StoreBigEndian32(capacity, v); }
    void SetElemCount(uint32 v) { StoreBigEndian32(elemCount, v); }
    void SetSizeBytes(uint32 v) { StoreBigEndian32(sizeBytes, v); }
};
static_assert(sizeof(GpuBufferRecord) == 15);
static_assert(alignof(GpuBufferRecord) == 1);
static_assert(offsetof(GpuBufferRecord, elemSize) == 1);
static_assert(offsetof(GpuBufferRecord, capacity) == 3);
static_assert(offsetof(GpuBufferRecord, elemCount) == 7);
static_assert(offsetof(GpuBufferRecord, sizeBytes) == 11);
