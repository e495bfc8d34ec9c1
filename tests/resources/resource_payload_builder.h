#pragma once
// Builds buffer-list and texture-list payloads byte by byte, as a target writes them: a
// little-endian count, then big-endian records each followed by a NUL-terminated name.
// Shared by the tests, the benchmarks and the fuzz seed generator.

#include "bedrock_api.h"

#include <string>
#include <vector>

struct BufferDesc
{
    uint8 type = 0;
    uint16 elemSize = 0;
    uint32 capacity = 0;
    uint32 elemCount = 0;
    uint32 sizeBytes = 0;
    std::string name;
};

struct TextureDesc
{
    uint16 diskWidth = 0, diskHeight = 0, diskDepth = 1;
    uint16 resWidth = 0, resHeight = 0, resDepth = 1;
    uint16 flags = 0;
    uint8 diskMips = 0, resMips = 0;
    int8 format = 0;
    std::string name;
};

// A texture whose disk and resident sides agree.
inline TextureDesc MakeTexture(const std::string &name, uint16 nFlags, uint16 nWidth = 4, uint16 nHeight = 4, int8 nFormat = 0,
                               uint16 nDepth = 1, uint8 nMips = 1)
{
    TextureDesc t;
    t.name = name;
    t.flags = nFlags;
    t.diskWidth = t.resWidth = nWidth;
    t.diskHeight = t.resHeight = nHeight;
    t.diskDepth = t.resDepth = nDepth;
    t.diskMips = t.resMips = nMips;
    t.format = nFormat;
    return t;
}

class PayloadBuilder
{
public:
    PayloadBuilder &Count(int32 nCount)
    {
        const uint32 v = uint32(nCount);
        for (int i = 0; i < 4; ++i)
            m_Bytes.push_back(uint8(v >> (8 * i)));
        return *this;
    }
    // nBytes from 1 to 8.
    PayloadBuilder &Big(uint64 v, int nBytes)
    {
        for (int i = nBytes - 1; i >= 0; --i)
            m_Bytes.push_back(uint8(v >> (8 * i)));
        return *this;
    }
    PayloadBuilder &Zeros(size_t nBytes)
    {
        m_Bytes.insert(m_Bytes.end(), nBytes, 0);
        return *this;
    }
    PayloadBuilder &Name(const std::string &name)
    {
        m_Bytes.insert(m_Bytes.end(), name.begin(), name.end());
        m_Bytes.push_back(0);
        return *this;
    }
    PayloadBuilder &Buffer(const BufferDesc &b)
    {
        Big(b.type, 1).Big(b.elemSize, 2).Big(b.capacity, 4).Big(b.elemCount, 4).Big(b.sizeBytes, 4);
        return Name(b.name);
    }
    PayloadBuilder &Texture(const TextureDesc &t)
    {
        Big(t.diskWidth, 2).Big(t.diskHeight, 2).Big(t.diskDepth, 2);
        Big(t.resWidth, 2).Big(t.resHeight, 2).Big(t.resDepth, 2);
        Big(t.flags, 2).Big(t.diskMips, 1).Big(t.resMips, 1).Big(0, 1).Big(uint8(t.format), 1);
        return Name(t.name);
    }
    // Cuts the payload to its first nSize bytes.
    PayloadBuilder &Truncate(size_t nSize)
    {
        if (nSize < m_Bytes.size())
            m_Bytes.resize(nSize);
        return *this;
    }

    const uint8 *Data() const { return m_Bytes.data(); }
    uint32 Size() const { return uint32(m_Bytes.size()); }

    static PayloadBuilder Buffers(const std::vector<BufferDesc> &buffers)
    {
        PayloadBuilder builder;
        builder.Count(int32(buffers.size()));
        for (const BufferDesc &b : buffers)
            builder.Buffer(b);
        return builder;
    }
    static PayloadBuilder Textures(const std::vector<TextureDesc> &textures)
    {
        PayloadBuilder builder;
        builder.Count(int32(textures.size()));
        for (const TextureDesc &t : textures)
            builder.Texture(t);
        return builder;
    }

private:
    std::vector<uint8> m_Bytes;
};
