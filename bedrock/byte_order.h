#pragma once
// Loads and stores of multi-byte values at any address, in a fixed byte order. Wire records are
// kept exactly as received; every reader converts a field when it reads it and every writer
// stores it back in the record's order, through these helpers only.

#include "bedrock_api.h"

#include <bit>
#include <cstring>

inline uint16 LoadBigEndian16(const void *p)
{
    const auto *b = static_cast<const uint8 *>(p);
    return uint16((uint16(b[0]) << 8) | b[1]);
}

inline uint32 LoadBigEndian32(const void *p)
{
    const auto *b = static_cast<const uint8 *>(p);
    return (uint32(b[0]) << 24) | (uint32(b[1]) << 16) | (uint32(b[2]) << 8) | uint32(b[3]);
}

inline uint64 LoadBigEndian64(const void *p)
{
    const auto *b = static_cast<const uint8 *>(p);
    return (uint64(LoadBigEndian32(b)) << 32) | LoadBigEndian32(b + 4);
}

inline double LoadBigEndianDouble(const void *p)
{
    return std::bit_cast<double>(LoadBigEndian64(p));
}

inline void StoreBigEndian16(void *p, uint16 v)
{
    auto *b = static_cast<uint8 *>(p);
    b[0] = uint8(v >> 8);
    b[1] = uint8(v);
}

inline void StoreBigEndian32(void *p, uint32 v)
{
    auto *b = static_cast<uint8 *>(p);
    b[0] = uint8(v >> 24);
    b[1] = uint8(v >> 16);
    b[2] = uint8(v >> 8);
    b[3] = uint8(v);
}

inline void StoreBigEndian64(void *p, uint64 v)
{
    auto *b = static_cast<uint8 *>(p);
    StoreBigEndian32(b, uint32(v >> 32));
    StoreBigEndian32(b + 4, uint32(v));
}

inline void StoreBigEndianDouble(void *p, double v)
{
    StoreBigEndian64(p, std::bit_cast<uint64>(v));
}

inline uint16 LoadLittleEndian16(const void *p)
{
    const auto *b = static_cast<const uint8 *>(p);
    return uint16(b[0] | (uint16(b[1]) << 8));
}

inline uint32 LoadLittleEndian32(const void *p)
{
    const auto *b = static_cast<const uint8 *>(p);
    return uint32(b[0]) | (uint32(b[1]) << 8) | (uint32(b[2]) << 16) | (uint32(b[3]) << 24);
}

inline void StoreLittleEndian16(void *p, uint16 v)
{
    auto *b = static_cast<uint8 *>(p);
    b[0] = uint8(v);
    b[1] = uint8(v >> 8);
}

inline void StoreLittleEndian32(void *p, uint32 v)
{
    auto *b = static_cast<uint8 *>(p);
    b[0] = uint8(v);
    b[1] = uint8(v >> 8);
    b[2] = uint8(v >> 16);
    b[3] = uint8(v >> 24);
}
