#include "chunk_compressor.h"

#include "byte_order.h"
#include "wire_frame.h"
#include "wire_packed.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

// Positions are entered under a hash of their next four bytes, one position per hash: a table of
// 4096 slots (16 KiB) stays in the first-level cache and is cleared in no time for every chunk.
constexpr int kHashBits = 12;
constexpr size_t kTableSize = size_t(1) << kHashBits;
// The same field of the record before is the likeliest match of all: counters that did not
// change, the start of a sample path, the zeros after a name.
constexpr size_t kRecordSize = sizeof(GpuSampleRecord);
// Candidates are first compared on the first seven bytes only; those that agree on all seven
// are followed further.
constexpr size_t kQuickLength = 7;

// Eight bytes as a little-endian number: the first byte that differs between two such loads is
// the lowest set byte of their difference.
uint64 Load64(const uint8 *p)
{
    if constexpr (std::endian::native == std::endian::little) {
        uint64 v;
        std::memcpy(&v, p, 8);
        return v;
    } else {
        return uint64(LoadLittleEndian32(p)) | (uint64(LoadLittleEndian32(p + 4)) << 32);
    }
}

// How many bytes from pOld and pCur on agree, at most up to pEnd (pOld lies before pCur), eight
// at a time.
size_t CommonLength(const uint8 *pOld, const uint8 *pCur, const uint8 *pEnd)
{
    const uint8 *const pStart = pCur;
    while (pEnd - pCur >= 8) {
        const uint64 nDiff = Load64(pOld) ^ Load64(pCur);
        if (nDiff != 0)
            return size_t(pCur - pStart) + size_t(std::countr_zero(nDiff) >> 3);
        pOld += 8;
        pCur += 8;
    }
    while (pCur < pEnd && *pOld == *pCur) {
        ++pOld;
        ++pCur;
    }
    return size_t(pCur - pStart);
}

// Writes tokens behind 16-bit flag words into a buffer large enough for the worst case. A flag
// word's place is taken when the first of its sixteen tokens is written, so that it lands in
// the stream where the reader expects it: right after the previous sixteen tokens, and only if
// another token follows them.
class CTokenWriter
{
public:
    explicit CTokenWriter(uint8 *pOut) : m_pOut(pOut) {}

    // nCount literal bytes from pFrom. Moves of 16 bytes may read beyond them, never beyond
    // pFromEnd.
    void Literals(const uint8 *pFrom, size_t nCount, const uint8 *pFromEnd)
    {
        while (nCount > 0) {
            if (m_nTokens == kPackedTokensPerFlagWord)
                NextFlagWord();
            const size_t nTake = std::min<size_t>(nCount, kPackedTokensPerFlagWord - m_nTokens);
            // Literal bits are clear, so the flags need no change. The copy is one fixed move
            // where the source allows it; the output has room for it, and what lies beyond the
            // literals is written over next.
            if (pFromEnd - pFrom >= ptrdiff_t(kPackedTokensPerFlagWord))
                std::memcpy(m_pOut, pFrom, kPackedTokensPerFlagWord);
            else
                std::memcpy(m_pOut, pFrom, nTake);
            m_pOut += nTake;
            pFrom += nTake;
            nCount -= nTake;
            m_nTokens += unsigned(nTake);
        }
    }

    // A match of any length at one distance, as references of at most 18 bytes. A remainder of
    // one or two bytes is taken from the last full reference, so that every byte is covered
    // and no reference is shorter than 3.
    void Copy(size_t nDistance, size_t nLength)
    {
        const uint32 nDistanceBits = uint32(nDistance - 1) << kPackedDistanceShift;
        while (nLength > kPackedMaxMatch + kPackedMinMatch - 1) {
            Reference(nDistanceBits, kPackedMaxMatch);
            nLength -= kPackedMaxMatch;
        }
        if (nLength > kPackedMaxMatch) {
            Reference(nDistanceBits, nLength - kPackedMinMatch);
            nLength = kPackedMinMatch;
        }
        Reference(nDistanceBits, nLength);
    }

    // Stores the last flag word (the bits of tokens that never came stay 0) and returns the end
    // of the stream.
    uint8 *Finish()
    {
        if (m_pFlags)
            StoreLittleEndian16(m_pFlags, uint16(m_nFlags));
        return m_pOut;
    }

private:
    void Reference(uint32 nDistanceBits, size_t nLength)
    {
        if (m_nTokens == kPackedTokensPerFlagWord)
            NextFlagWord();
        m_nFlags |= 1u << m_nTokens;
        StoreLittleEndian16(m_pOut, uint16(nDistanceBits | uint32(nLength - kPackedMinMatch)));
        m_pOut += kPackedReferenceBytes;
        ++m_nTokens;
    }

    void NextFlagWord()
    {
        if (m_pFlags)
            StoreLittleEndian16(m_pFlags, uint16(m_nFlags));
        m_pFlags = m_pOut;
        m_pOut += kPackedFlagWordBytes;
        m_nFlags = 0;
        m_nTokens = 0;
    }

    uint8 *m_pOut;
    uint8 *m_pFlags = nullptr;
    uint32 m_nFlags = 0;
    unsigned m_nTokens = kPackedTokensPerFlagWord; // the first token takes a flag word
};

struct Match
{
    size_t nDistance = 0;
    size_t nLength = 0;
};

// How many of the first seven bytes at pCur (nCur) agree with those nDistance bytes back; 0 for a
// distance outside the window. Leaving the eighth byte out spares the count a test for zero,
// and the window test is a mask: a probe has no branch per candidate.
size_t QuickAgreement(const uint8 *pCur, uint64 nCur, size_t nDistance)
{
    const uint64 nDiff = (Load64(pCur - nDistance) ^ nCur) | (uint64(1) << (8 * kQuickLength));
    const size_t nLength = size_t(std::countr_zero(nDiff) >> 3);
    return nLength & (size_t(0) - size_t(nDistance - 1 < kPackedWindowSize));
}

// The longest match for the bytes at pCur, from two candidates: the same place one record back,
// and the latest position with the same hash of four bytes. Enters pCur in the table. Both
// distances are at most pCur - pData, so every load lies inside the data; pCur + 8 <= pEnd.
Match Probe(const uint8 *pData, const uint8 *pCur, const uint8 *pEnd, uint32 *pTable)
{
    const uint64 nCur = Load64(pCur);
    const size_t nPos = size_t(pCur - pData);
    uint32 &nSlot = pTable[(uint32(nCur) * 2654435761u) >> (32 - kHashBits)];
    const size_t nRecordDistance = nPos >= kRecordSize ? kRecordSize : 0;
    const size_t nHashedDistance = nPos - nSlot;
    nSlot = uint32(nPos);
    const size_t nRecordLength = QuickAgreement(pCur, nCur, nRecordDistance);
    const size_t nHashedLength = QuickAgreement(pCur, nCur, nHashedDistance);
    if (nRecordLength < kQuickLength && nHashedLength < kQuickLength)
        return nHashedLength > nRecordLength ? Match{nHashedDistance, nHashedLength} : Match{nRecordDistance, nRecordLength};

    // The candidate that reaches furthest wins; the hashed one can only reach further than the
    // record above if it agrees where that one stopped.
    Match best{nRecordDistance, nRecordLength};
    if (nRecordLength == kQuickLength)
        best.nLength += CommonLength(pCur - nRecordDistance + kQuickLength, pCur + kQuickLength, pEnd);
    if (nHashedLength == kQuickLength && nHashedDistance != nRecordDistance &&
        (best.nLength < kQuickLength || (pCur + best.nLength != pEnd && pCur[best.nLength] == (pCur - nHashedDistance)[best.nLength]))) {
        const size_t nLength = kQuickLength + CommonLength(pCur - nHashedDistance + kQuickLength, pCur + kQuickLength, pEnd);
        if (nLength > best.nLength)
            best = {nHashedDistance, nLength};
    }
    return best;
}

// The references a match of nLength (at least 3) bytes takes.
size_t References(size_t nLength)
{
    return (nLength + kPackedMaxMatch - 1) / kPackedMaxMatch;
}

} // namespace

CChunkCompressor::CChunkCompressor() : m_table(kTableSize, 0) {}

bool CChunkCompressor::Compress(const void *pData, size_t nSize, std::vector<uint8> &out, Form form)
{
    if (nSize > CHUNK_DATA_SIZE_MASK || (nSize != 0 && !pData))
        return false;
    const auto *pBytes = static_cast<const uint8 *>(pData);

    if (form != Form::Stored && nSize != 0) {
        const size_t nStream = Pack(pBytes, nSize);
        // Packing pays only when the stream is shorter than the data it stands for.
        if (form == Form::Packed || nStream < nSize) {
            StoreLittleEndian32(m_stream.data(), uint32(nSize));
            out.insert(out.end(), m_stream.data(), m_stream.data() + kPackedSizeWordBytes + nStream);
            return true;
        }
    }

    const size_t nStart = out.size();
    out.resize(nStart + kPackedSizeWordBytes + nSize);
    StoreLittleEndian32(out.data() + nStart, uint32(nSize) | CHUNK_STORED_FLAG);
    if (nSize != 0)
        std::memcpy(out.data() + nStart + kPackedSizeWordBytes, pBytes, nSize);
    return true;
}

size_t CChunkCompressor::Pack(const uint8 *pData, size_t nSize)
{
    // The stream follows room for the size word. The stream of n bytes is at most n literals
    // plus a flag word per sixteen tokens, and the writer's fixed moves may reach 16 bytes
    // beyond it.
    const size_t nFlagWords = (nSize + kPackedTokensPerFlagWord - 1) / kPackedTokensPerFlagWord;
    const size_t nCapacity = kPackedSizeWordBytes + nSize + kPackedFlagWordBytes * nFlagWords + kPackedTokensPerFlagWord;
    if (m_stream.size() < nCapacity)
        m_stream.resize(nCapacity);
    std::fill(m_table.begin(), m_table.end(), 0);
    uint32 *const pTable = m_table.data();

    CTokenWriter writer(m_stream.data() + kPackedSizeWordBytes);
    const uint8 *const pEnd = pData + nSize;
    // A probe loads eight bytes: the last seven bytes start no match.
    const uint8 *const pProbeEnd = nSize >= 8 ? pEnd - 7 : pData;
    const uint8 *pCur = pData;
    // The latest match is held back until the next one is known, which may take over its last
    // bytes. Literals run from the end of the held match to pCur.
    Match held;
    const uint8 *pLiterals = pData;
    while (pCur < pProbeEnd) {
        Match match = Probe(pData, pCur, pEnd, pTable);
        if (match.nLength < kPackedMinMatch) {
            ++pCur;
            continue;
        }
        // The bytes before may agree too, where their own probe missed.
        const uint8 *pOld = pCur - match.nDistance;
        while (pCur > pLiterals && pOld > pData && pCur[-1] == pOld[-1]) {
            --pCur;
            --pOld;
            ++match.nLength;
        }
        // Right after the held match, this one may start earlier and take the held match's
        // last (length mod 18) bytes, where that leaves it with as many references as before:
        // the held match then needs one reference less. Zero runs that end a little after a
        // multiple of 18 are the common case.
        const size_t nMove = held.nLength % kPackedMaxMatch;
        if (pCur == pLiterals && nMove != 0 && References(match.nLength + nMove) == References(match.nLength) &&
            size_t(pOld - pData) >= nMove && std::memcmp(pCur - nMove, pOld - nMove, nMove) == 0) {
            held.nLength -= nMove;
            pCur -= nMove;
            match.nLength += nMove;
            pLiterals = pCur;
        }
        if (held.nLength != 0)
            writer.Copy(held.nDistance, held.nLength);
        writer.Literals(pLiterals, size_t(pCur - pLiterals), pEnd);
        held = match;
        pCur += match.nLength;
        pLiterals = pCur;
    }
    if (held.nLength != 0)
        writer.Copy(held.nDistance, held.nLength);
    writer.Literals(pLiterals, size_t(pEnd - pLiterals), pEnd);
    return size_t(writer.Finish() - m_stream.data()) - kPackedSizeWordBytes;
}
