// Writes the seed corpus of the resource-list fuzzer: small well-formed lists, lists cut short,
// names at and past the length limit, forged and negative counts. Each seed is the byte that
// picks the list (0: buffers, 1: textures) and then the payload.
//
//   make_seed_corpus <corpus dir>

#include "resource_payload_builder.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

bool WriteSeed(const std::string &dir, const char *pszName, const PayloadBuilder &payload)
{
    std::ofstream file(dir + "/" + pszName, std::ios::binary | std::ios::trunc);
    file.put(std::string(pszName).rfind("textures-", 0) == 0 ? 1 : 0);
    file.write(reinterpret_cast<const char *>(payload.Data()), std::streamsize(payload.Size()));
    return bool(file);
}

TextureDesc Texture(uint16 nWidth, uint16 nHeight, uint16 nDepth, uint16 nFlags, uint8 nMips, int8 nFormat, const char *pszName)
{
    TextureDesc t;
    t.diskWidth = t.resWidth = nWidth;
    t.diskHeight = t.resHeight = nHeight;
    t.diskDepth = t.resDepth = nDepth;
    t.flags = nFlags;
    t.diskMips = t.resMips = nMips;
    t.format = nFormat;
    t.name = pszName;
    return t;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus dir>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    bool bOk = true;

    const PayloadBuilder twoBuffers =
        PayloadBuilder::Buffers({{0, 32, 1000, 250, 32000, "MyVertexData"}, {1, 2, 6000, 6000, 12000, "IndexData"}});
    bOk &= WriteSeed(dir, "buffers-two", twoBuffers);
    bOk &= WriteSeed(dir, "buffers-empty", PayloadBuilder().Count(0));
    bOk &= WriteSeed(dir, "buffers-cut", PayloadBuilder(twoBuffers).Truncate(30));
    bOk &= WriteSeed(dir, "buffers-long-name", PayloadBuilder::Buffers({{0, 4, 1, 1, 4, std::string(1500, 'n')}, {1, 2, 2, 2, 4, "x"}}));
    bOk &= WriteSeed(dir, "buffers-forged", PayloadBuilder().Count(0x7fffffff).Zeros(16));
    bOk &= WriteSeed(dir, "buffers-negative", PayloadBuilder().Count(-2).Buffer({0, 1, 1, 1, 1, "a"}));
    bOk &= WriteSeed(dir, "buffers-odd-types", PayloadBuilder::Buffers({{7, 0, 0, 0, 0xffffffffu, ""}, {33, 1, 0, 9, 256, "u"}}));

    const PayloadBuilder someTextures = PayloadBuilder::Textures({
        Texture(256, 256, 1, 0x0002, 0, 12, "bgra"),
        Texture(256, 256, 1, 0x0062, 1, 13, "dxt1-rt-fb"),
        Texture(4, 4, 8, 0x0004, 1, 0, "volume"),
        Texture(512, 512, 1, 0x0418, 10, 86, "cube-array-pinned"),
    });
    bOk &= WriteSeed(dir, "textures-some", someTextures);
    bOk &= WriteSeed(dir, "textures-empty", PayloadBuilder().Count(0));
    bOk &= WriteSeed(dir, "textures-cut", PayloadBuilder(someTextures).Truncate(40));
    bOk &= WriteSeed(dir, "textures-long-name", PayloadBuilder::Textures({Texture(1, 1, 1, 2, 0, 0, std::string(1100, 't').c_str())}));
    bOk &= WriteSeed(dir, "textures-forged", PayloadBuilder().Count(0x7fffffff).Zeros(16));
    bOk &= WriteSeed(dir, "textures-extremes",
                     PayloadBuilder::Textures({Texture(65535, 65535, 65535, 0xffff, 0, 29, "huge"),
                                               Texture(0, 0, 0, 0, 255, -128, "bad-format"), Texture(7, 3, 1, 1, 100, 91, "odd")}));
    return bOk ? 0 : 1;
}
