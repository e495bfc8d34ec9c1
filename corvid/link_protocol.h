#pragma once
// The console link: how the host console and a target exchange chunks over TCP. The target
// listens; the console connects. Every message is a 12-byte header followed by its payload:
//
//   offset 0  u32  chunk id (big-endian; "GPRF" = 0x47505246)
//   offset 4  u16  chunk version (big-endian)
//   offset 6  u16  reserved, 0
//   offset 8  u32  payload size in bytes (big-endian)
//
// Right after the TCP connection is made both sides send a hello (CORVID_LINK_HELLO, version 1)
// whose payload is their name, UTF-8, without terminator. The console counts the target as ready
// once the target's hello has arrived.
//
// This header is shared by the console and by targets; it needs only bedrock's byte order.

#include "bedrock/byte_order.h"

inline constexpr uint32 CORVID_LINK_HEADER_SIZE = 12;
inline constexpr uint32 CORVID_LINK_HELLO = 0x43564849; // "CVHI"
inline constexpr uint16 CORVID_LINK_HELLO_VERSION = 1;
inline constexpr uint16 CORVID_LINK_DEFAULT_PORT = 29100;

// The hard limit on one payload. A peer that announces more is broken or hostile, and the link
// is closed rather than the memory committed. Texture lists of a large game are a few MiB.
inline constexpr uint32 CORVID_LINK_MAX_PAYLOAD = 64u << 20;
// A name in a hello is cut to this many bytes.
inline constexpr uint32 CORVID_LINK_MAX_NAME = 256;

struct CorvidLinkHeader
{
    uint32 nChunkId;
    uint16 nVersion;
    uint32 nSize;
};

inline void WriteCorvidLinkHeader(void *p, const CorvidLinkHeader &header)
{
    auto *b = static_cast<uint8 *>(p);
    StoreBigEndian32(b, header.nChunkId);
    StoreBigEndian16(b + 4, header.nVersion);
    StoreBigEndian16(b + 6, 0);
    StoreBigEndian32(b + 8, header.nSize);
}

inline CorvidLinkHeader ReadCorvidLinkHeader(const void *p)
{
    const auto *b = static_cast<const uint8 *>(p);
    return {LoadBigEndian32(b), LoadBigEndian16(b + 4), LoadBigEndian32(b + 8)};
}
