#include "target/chunk_compressor.h"

#include "bedrock/byte_order.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32 kStoredFlag = 0x80000000u;

uint32 Hash3(const uint8 *p, int nBits)
{
    const uint32 v = uint32(p[0]) | (uint32(p[1]) << 8) | (uint32(p[2]) << 16);
    return (v * 2654435761u) >> (32 - nBits);
}

// Writes tokens behind 16-bit flag words. A flag word's place is reserved when the first of its
// sixteen tokens is written, so that it lands in the stream where the reader expects it: right
// after the previous sixteen tokens.
class CTokenWriter
{
public:
    explicit CTokenWriter(std::vector<uint8> &out) : m_out(out) {}

    void Literal(uint8 nByte)
    {
        StartToken();
        m_out.push_back(nByte);
        ++m_nTokens;
    }

    void Reference(size_t nDistance, size_t nLength)
    {
        StartToken();
        m_nFlags = uint16(m_nFlags | (1u << m_nTokens));
        const uint16 nToken = uint16(((nDistance - 1) << 4) | (nLength - CChunkCompressor::kMinMatch));
        m_out.push_back(uint8(nToken));
        m_out.push_back(uint8(nToken >> 8));
        ++m_nTokens;
    }

    // Stores the last flag word; the bits of tokens that never came stay 0.
    void Finish()
    {
        if (m_nTokens > 0)
            StoreLittleEndian16(m_out.data() + m_nFlagPos, m_nFlags);
    }

private:
    static constexpr unsigned kTokensPerFlagWord = 16;

    void StartToken()
    {
        if (m_nTokens == kTokensPerFlagWord) {
            StoreLittleEndian16(m_out.data() + m_nFlagPos, m_nFlags);
            m_nTokens = 0;
        }
        if (m_nTokens == 0) {
            m_nFlagPos = m_out.size();
            m_out.push_back(0);
            m_out.push_back(0);
            m_nFlags = 0;
        }
    }

    std::vector<uint8> &m_out;
    size_t m_nFlagPos = 0;
    uint16 m_nFlags = 0;
    unsigned m_nTokens = 0; // tokens behind the current flag word
};

} // namespace

CChunkCompressor::CChunkCompressor(int nMaxChainLength)
    : m_nMaxChainLength(std::max(1, nMaxChainLength)), m_head(size_t(1) << kHashBits, -1), m_prev(kWindowSize, -1)
{
}

bool CChunkCompressor::Compress(const void *pData, size_t nSize, std::vector<uint8> &out, Form form)
{
    if (nSize > kMaxDataSize || (nSize != 0 && !pData))
        return false;
    const auto *pBytes = static_cast<const uint8 *>(pData);
    const size_t nStart = out.size();

    if (form != Form::Stored && nSize != 0) {
        out.resize(nStart + 4);
        StoreLittleEndian32(out.data() + nStart, uint32(nSize));
        Pack(pBytes, nSize, out);
        // Packing pays only when the stream is shorter than the data it stands for.
        if (form == Form::Packed || out.size() - nStart < 4 + nSize)
            return true;
        out.resize(nStart);
    }

    out.resize(nStart + 4 + nSize);
    StoreLittleEndian32(out.data() + nStart, uint32(nSize) | kStoredFlag);
    if (nSize != 0)
        std::memcpy(out.data() + nStart + 4, pBytes, nSize);
    return true;
}

void CChunkCompressor::Insert(const uint8 *pData, size_t nPos)
{
    const uint32 h = Hash3(pData + nPos, kHashBits);
    m_prev[nPos % kWindowSize] = m_head[h];
    m_head[h] = int32(nPos);
}

CChunkCompressor::Match CChunkCompressor::FindMatch(const uint8 *pData, size_t nSize, size_t nPos) const
{
    Match best;
    if (nSize - nPos < kMinMatch)
        return best;
    const size_t nMaxLength = std::min(kMaxMatch, nSize - nPos);
    const uint8 *pCur = pData + nPos;
    int32 nCandidate = m_head[Hash3(pCur, kHashBits)];
    for (int nChain = m_nMaxChainLength; nCandidate >= 0 && nChain > 0; --nChain) {
        const size_t nDistance = nPos - size_t(nCandidate);
        // Chains run from newer to older positions; once out of the window, all are.
        if (nDistance > kWindowSize)
            break;
        const uint8 *pOld = pData + nCandidate;
        // The candidate may overlap the current position (distance below the length): the
        // reader copies front to back, so the comparison may too.
        if (pOld[best.nLength] == pCur[best.nLength]) {
            size_t n = 0;
            while (n < nMaxLength && pOld[n] == pCur[n])
                ++n;
            if (n > best.nLength) {
                best.nLength = n;
                best.nDistance = nDistance;
                if (n == nMaxLength)
                    break;
            }
        }
        // The entry for the candidate's slot is still the candidate's own: positions overwrite
        // slots only once they are 4096 bytes newer, and then the candidate is out of reach.
        const int32 nNext = m_prev[size_t(nCandidate) % kWindowSize];
        if (nNext >= nCandidate)
            break;
        nCandidate = nNext;
    }
    if (best.nLength < kMinMatch)
        best = Match{};
    return best;
}

void CChunkCompressor::Pack(const uint8 *pData, size_t nSize, std::vector<uint8> &out)
{
    std::fill(m_head.begin(), m_head.end(), -1);
    std::fill(m_prev.begin(), m_prev.end(), -1);
    // The stream of n bytes is at most n literals plus a flag word per sixteen tokens.
    out.reserve(out.size() + nSize + nSize / 8 + 2);
    CTokenWriter writer(out);

    // Positions whose three bytes are entered in the hash chains; the last two positions of
    // the data start no match and are never entered.
    const size_t nHashEnd = nSize >= kMinMatch ? nSize - kMinMatch + 1 : 0;
    size_t nPos = 0;
    Match pending = FindMatch(pData, nSize, nPos);
    while (nPos < nSize) {
        Match match = pending;
        if (nPos < nHashEnd)
            Insert(pData, nPos);
        if (match.nLength >= kMinMatch && match.nLength < kMaxMatch && nPos + 1 < nSize) {
            // One byte later a longer match may start; then this byte goes out as a literal.
            const Match next = FindMatch(pData, nSize, nPos + 1);
            if (next.nLength > match.nLength) {
                writer.Literal(pData[nPos]);
                ++nPos;
                pending = next;
                continue;
            }
        }
        if (match.nLength >= kMinMatch) {
            writer.Reference(match.nDistance, match.nLength);
            for (size_t i = 1; i < match.nLength; ++i) {
                if (nPos + i < nHashEnd)
                    Insert(pData, nPos + i);
            }
            nPos += match.nLength;
        } else {
            writer.Literal(pData[nPos]);
            ++nPos;
        }
        pending = nPos < nSize ? FindMatch(pData, nSize, nPos) : Match{};
    }
    writer.Finish();
}
