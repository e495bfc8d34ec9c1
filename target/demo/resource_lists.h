#pragma once
// The texture and buffer lists as a target sends them (GPRT and GPRB payloads, laid out as
// wire/wire_resources.h says): a record count, then per resource its fixed record and its name.

#include "bedrock_api.h"

#include <string>
#include <vector>

struct TargetTexture
{
    uint16 diskWidth = 0, diskHeight = 0, diskDepth = 1;
    uint16 resWidth = 0, resHeight = 0, resDepth = 1;
    uint16 flags = 0;
    uint8 diskMips = 1, resMips = 1;
    int8 format = 0;
    std::string name;
};

struct TargetBuffer
{
    uint8 bufferType = 0; // 0 vertex buffer, else index buffer
    uint16 elemSize = 0;
    uint32 capacity = 0;
    uint32 elemCount = 0;
    uint32 sizeBytes = 0;
    std::string name;
};

std::vector<uint8> EncodeTextureList(const std::vector<TargetTexture> &textures);
std::vector<uint8> EncodeBufferList(const std::vector<TargetBuffer> &buffers);

// What a mid-sized game keeps resident: streamed 2D textures with mips, render targets, a few
// cube maps and volumes; vertex and index buffers of meshes, dynamic buffers. The same seed
// gives the same lists.
std::vector<TargetTexture> MakeDemoTextures(int nCount, uint32 nSeed);
std::vector<TargetBuffer> MakeDemoBuffers(int nCount, uint32 nSeed);
