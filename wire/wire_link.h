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
// The console hands a received chunk to the plug-in in one buffer: this header, then the
// payload, so the link header is the 12 bytes of host data in front of every payload.

#include "byte_order.h"

#include <cstddef>

inline constexpr uint32 CORVID_LINK_HEADER_SIZE = 12;
inline constexpr uint32 CORVID_LINK_HELLO = 0x43564849; // "CVHI"
inline constexpr uint16 CORVID_LINK_HELLO_VERSION = 1;
inline constexpr uint16 CORVID_LINK_DEFAULT_PORT = 29100;

// The hard limit on one payload. A peer that announces more is broken or hostile, and the link
// is closed rather than the memory committed. Texture lists of a large game are a few MiB.
inline constexpr uint32 CORVID_LINK_MAX_PAYLOAD = 64u << 20;
// A name in a hello is cut to this many bytes.
inline constexpr uint32 CORVID_LINK_MAX_NAME = 256;

// The header's bytes as they travel.
struct CorvidLinkHeaderBytes
{
    uint8 chunkId[4];
    uint8 version[2];
    uint8 reserved[2];
    uint8 size[4];
};
static_assert(sizeof(CorvidLinkHeaderBytes) == CORVID_LINK_HEADER_SIZE);
static_assert(alignof(CorvidLinkHeaderBytes) == 1);
static_assert(offsetof(CorvidLinkHeaderBytes, version) == 4);
static_assert(offsetof(CorvidLinkHeaderBytes, reserved) == 6);
static_assert(offsetof(CorvidLinkHeaderBytes, size) == 8);

// The header's fields, decoded.
struct CorvidLinkHeader
{
    uint32 nChunkId;
    uint16 nVersion;
    uint32 nSize;
};

inline void WriteCorvidLinkHeader(void *p, const CorvidLinkHeader &header)
{
    auto *b = static_cast<CorvidLinkHeaderBytes *>(p);
    StoreBigEndian32(b->chunkId, header.nChunkId);
    StoreBigEndian16(b->version, header.nVersion);
    StoreBigEndian16(b->reserved, 0);
    StoreBigEndian32(b->size, header.nSize);
}

inline CorvidLinkHeader ReadCorvidLinkHeader(const void *p)
{
    const auto *b = static_cast<const CorvidLinkHeaderBytes *>(p);
    return {LoadBigEndian32(b->chunkId), LoadBigEndian16(b->version), LoadBigEndian32(b->size)};
}

// The reserved field of a header: a peer that sets it speaks another protocol.
inline uint16 CorvidLinkHeaderReserved(const void *p)
{
    return LoadBigEndian16(static_cast<const CorvidLinkHeaderBytes *>(p)->reserved);
}
