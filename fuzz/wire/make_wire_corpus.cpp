// Writes the seed corpora of the wire fuzzers, made with the target library:
//   <dir>/decompress_chunk   packed and stored payloads of realistic records, and hand-made ones
//   <dir>/chunk_round_trip   realistic records, runs, text and noise
//   <dir>/chunk_sequence     chunk scripts: hostile ones by hand, and long random scripts
// Usage: make_wire_corpus <dir>

#include "chunk_compressor.h"
#include "chunk_script.h"
#include "frame_generator.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8>;

bool Write(const std::filesystem::path &dir, const std::string &name, const Bytes &bytes)
{
    std::ofstream file(dir / name, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    return bool(file);
}

Bytes Records(uint32 nCount, uint64 nSeed)
{
    FrameGeneratorOptions options;
    options.nSampleCount = nCount;
    const TargetFrame frame = CFrameGenerator(nSeed, options).NextFrame();
    const auto *p = reinterpret_cast<const uint8 *>(frame.samples.data());
    return Bytes(p, p + frame.samples.size() * sizeof(GpuSampleRecord));
}

Bytes Pack(const Bytes &data, CChunkCompressor::Form form)
{
    CChunkCompressor compressor;
    Bytes out;
    compressor.Compress(data.data(), data.size(), out, form);
    return out;
}

void Append(Bytes &script, std::initializer_list<uint8> bytes)
{
    script.insert(script.end(), bytes);
}

void AppendRaw(Bytes &script, uint8 nOp, const Bytes &payload)
{
    Append(script, {nOp, uint8(payload.size()), uint8(payload.size() >> 8)});
    script.insert(script.end(), payload.begin(), payload.end());
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus dir>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path root(argv[1]);
    const std::filesystem::path unpack = root / "decompress_chunk";
    const std::filesystem::path roundTrip = root / "chunk_round_trip";
    const std::filesystem::path sequence = root / "chunk_sequence";
    for (const auto &dir : {unpack, roundTrip, sequence})
        std::filesystem::create_directories(dir);
    bool bOk = true;

    // Unpacker: realistic payloads of a few sizes, both forms, and the hand-made cases.
    for (uint32 nCount : {1u, 2u, 10u, 40u}) {
        const Bytes records = Records(nCount, nCount);
        bOk &= Write(unpack, "packed_" + std::to_string(nCount), Pack(records, CChunkCompressor::Form::Packed));
        bOk &= Write(unpack, "stored_" + std::to_string(nCount), Pack(records, CChunkCompressor::Form::Stored));
    }
    bOk &= Write(unpack, "abcabcabc", Bytes{0x09, 0x00, 0x00, 0x00, 0x08, 0x00, 0x61, 0x62, 0x63, 0x23, 0x00, 0x00});
    bOk &= Write(unpack, "aaaaa", Bytes{0x05, 0x00, 0x00, 0x00, 0x02, 0x00, 0x61, 0x01, 0x00});
    bOk &= Write(unpack, "stored_abc", Bytes{0x03, 0x00, 0x00, 0x80, 0x61, 0x62, 0x63, 0x64});
    bOk &= Write(unpack, "reference_first", Bytes{0x03, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00});
    bOk &= Write(unpack, "huge_size", Bytes{0xff, 0xff, 0xff, 0x7f, 0x00, 0x00});
    Bytes periods;
    for (int nPeriod = 1; nPeriod <= 9; ++nPeriod)
        for (int i = 0; i < 30; ++i)
            periods.push_back(uint8('a' + i % nPeriod));
    bOk &= Write(unpack, "short_periods", Pack(periods, CChunkCompressor::Form::Packed));

    // Round trip: the data itself.
    bOk &= Write(roundTrip, "records_10", Records(10, 5));
    bOk &= Write(roundTrip, "periods", periods);
    bOk &= Write(roundTrip, "zeros", Bytes(5000, 0));
    Bytes noise(3000);
    uint32 nState = 12345;
    for (uint8 &b : noise)
        b = uint8((nState = nState * 1103515245u + 12345u) >> 24);
    bOk &= Write(roundTrip, "noise", noise);

    // Chunk scripts by hand; whole frames in every form are the random scripts' own.
    Bytes script;
    Append(script,
           {ChunkScriptOp(CHUNK_SCRIPT_FRAME), 9, ChunkScriptOp(CHUNK_SCRIPT_PACKED, 2), 4, 0x30, 0x00, 0xFF,
            ChunkScriptOp(CHUNK_SCRIPT_PACKED, 4), 5, 0x02, 0x00, 0x80, ChunkScriptOp(CHUNK_SCRIPT_RECORDS, 0, CHUNK_SCRIPT_VERSION_2), 3,
            ChunkScriptOp(CHUNK_SCRIPT_RECORDS, 0, CHUNK_SCRIPT_STRANGER), 3});
    Append(script,
           {ChunkScriptOp(CHUNK_SCRIPT_FRAME, 6), 0, ChunkScriptOp(CHUNK_SCRIPT_RECORDS), 1, ChunkScriptOp(CHUNK_SCRIPT_FRAME, 7), 0,
            ChunkScriptOp(CHUNK_SCRIPT_PACKED), 1, ChunkScriptOp(CHUNK_SCRIPT_FRAME, 5), 0, ChunkScriptOp(CHUNK_SCRIPT_PACKED), 63});
    bOk &= Write(sequence, "damaged_misaddressed_and_huge", script);
    script.clear();
    Append(script, {ChunkScriptOp(CHUNK_SCRIPT_FRAME), 4});
    AppendRaw(script, ChunkScriptOp(CHUNK_SCRIPT_RAW_PACKED), Bytes{0xff, 0xff, 0xff, 0x7f, 0x00, 0x00, 0x00, 0x00});
    AppendRaw(script, ChunkScriptOp(CHUNK_SCRIPT_RAW_PACKED), Bytes{0x30, 0x06, 0x00, 0x00, 0x00, 0x00});
    AppendRaw(script, ChunkScriptOp(CHUNK_SCRIPT_RAW_DATA), Bytes(409, 0));
    AppendRaw(script, ChunkScriptOp(CHUNK_SCRIPT_RAW_FRAME), Bytes(187, 1));
    AppendRaw(script, ChunkScriptOp(CHUNK_SCRIPT_LIST), Bytes(16, 2));
    AppendRaw(script, ChunkScriptOp(CHUNK_SCRIPT_LIST, 1), Bytes(16, 3));
    AppendRaw(script, ChunkScriptOp(CHUNK_SCRIPT_OTHER, 3), Bytes(8, 4));
    bOk &= Write(sequence, "raw_payloads", script);

    // Long random scripts in the proportions of a hostile stream: headers (now and then of huge
    // frames), plain and packed sample chunks (now and then damaged), short raw chunks, wrong
    // versions and connections without a record.
    uint32 nRandom = 7;
    const auto next = [&nRandom] { return (nRandom = nRandom * 1103515245u + 12345u) >> 8; };
    for (int nScript = 0; nScript < 4; ++nScript) {
        script.clear();
        for (int nStep = 0; nStep < 2000; ++nStep) {
            const uint32 nRoll = next() % 100;
            const uint8 nFlags = next() % 30 == 0 ? CHUNK_SCRIPT_VERSION_2 : next() % 30 == 0 ? CHUNK_SCRIPT_STRANGER : 0;
            if (nRoll < 12) {
                Append(script,
                       {ChunkScriptOp(CHUNK_SCRIPT_FRAME, uint8(next() % 20 == 0 ? 5 + next() % 3 : 0), nFlags), uint8(next() % 12)});
            } else if (nRoll < 40) {
                Append(script, {ChunkScriptOp(CHUNK_SCRIPT_RECORDS, 0, nFlags), uint8(next() % 4 ? next() % 6 : next() % 64)});
            } else if (nRoll < 80) {
                const uint8 nArgument = uint8(next() % 3 ? next() % 2 : next() % 8);
                Append(script, {ChunkScriptOp(CHUNK_SCRIPT_PACKED, nArgument, nFlags), uint8(next() % 6)});
                if (nArgument & 6)
                    Append(script, {uint8(next()), uint8(next()), uint8(1u << (next() % 8))});
            } else {
                Bytes raw(next() % 200);
                for (uint8 &b : raw)
                    b = uint8(next());
                AppendRaw(script, ChunkScriptOp(ChunkScriptKind(CHUNK_SCRIPT_RAW_DATA + next() % 5), uint8(next() % 8), nFlags), raw);
            }
        }
        bOk &= Write(sequence, "random_" + std::to_string(nScript), script);
    }

    if (!bOk) {
        std::fprintf(stderr, "could not write the corpus under %s\n", argv[1]);
        return 1;
    }
    return 0;
}
