#include "Lh5Encoder.h"

#include <algorithm>
#include <array>
#include <queue>
#include <vector>

namespace {

constexpr int kDictBits = 13; // 8 KiB window
constexpr size_t kWindow = size_t{1} << kDictBits;
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 256;
constexpr int kNC = 256 + kMaxMatch - kMinMatch + 1; // literal and length codes: 510
constexpr int kNP = kDictBits + 1;                   // offset bit-length codes: 14
constexpr int kNT = 19;                              // codes of the code-length table
constexpr int kMaxCodeLen = 16;
constexpr size_t kBlockTokens = 16384; // must fit the 16-bit block size
constexpr int kChainLimit = 96;

class TBitWriter {
public:
    explicit TBitWriter(std::string& out) : FOut(out) {}
    void Put(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) {
            FAcc = static_cast<uint8_t>((FAcc << 1) | ((value >> i) & 1u));
            if (++FCount == 8) {
                FOut.push_back(static_cast<char>(FAcc));
                FAcc = 0;
                FCount = 0;
            }
        }
    }
    void Flush() {
        if (FCount > 0)
            FOut.push_back(static_cast<char>(FAcc << (8 - FCount)));
        FAcc = 0;
        FCount = 0;
    }

private:
    std::string& FOut;
    uint8_t FAcc = 0;
    int FCount = 0;
};

// Huffman code lengths at most kMaxCodeLen long; frequencies are halved until the tree fits.
std::vector<uint8_t> CodeLengths(std::vector<uint32_t> freq) {
    const size_t n = freq.size();
    std::vector<uint8_t> len(n, 0);
    for (;;) {
        struct TNode {
            uint64_t weight;
            int index;
        };
        const auto heavier = [](const TNode& a, const TNode& b) {
            return a.weight != b.weight ? a.weight > b.weight : a.index > b.index;
        };
        std::priority_queue<TNode, std::vector<TNode>, decltype(heavier)> heap(heavier);
        std::vector<int> parent(2 * n, -1);
        for (size_t i = 0; i < n; ++i)
            if (freq[i] > 0)
                heap.push({freq[i], static_cast<int>(i)});
        if (heap.size() < 2)
            return len; // no code needed: the caller writes the single-symbol form
        int next = static_cast<int>(n);
        while (heap.size() > 1) {
            const TNode a = heap.top();
            heap.pop();
            const TNode b = heap.top();
            heap.pop();
            parent[a.index] = next;
            parent[b.index] = next;
            heap.push({a.weight + b.weight, next++});
        }
        bool fits = true;
        for (size_t i = 0; i < n; ++i) {
            if (freq[i] == 0) {
                len[i] = 0;
                continue;
            }
            int depth = 0;
            for (int p = parent[i]; p != -1; p = parent[p])
                ++depth;
            if (depth > kMaxCodeLen)
                fits = false;
            len[i] = static_cast<uint8_t>(std::min(depth, 255));
        }
        if (fits)
            return len;
        for (uint32_t& f : freq)
            if (f > 0)
                f = (f + 1) / 2;
    }
}

// Canonical codes: shorter codes first, equal lengths in symbol order.
std::vector<uint16_t> Codes(const std::vector<uint8_t>& len) {
    std::array<uint32_t, kMaxCodeLen + 2> count{}, next{};
    for (uint8_t l : len)
        ++count[l];
    count[0] = 0;
    uint32_t code = 0;
    for (int bits = 1; bits <= kMaxCodeLen; ++bits) {
        code = (code + count[bits - 1]) << 1;
        next[bits] = code;
    }
    std::vector<uint16_t> codes(len.size(), 0);
    for (size_t i = 0; i < len.size(); ++i)
        if (len[i])
            codes[i] = static_cast<uint16_t>(next[len[i]]++);
    return codes;
}

int UsedSymbols(const std::vector<uint32_t>& freq, int& only) {
    int used = 0;
    only = 0;
    for (size_t i = 0; i < freq.size(); ++i)
        if (freq[i]) {
            ++used;
            only = static_cast<int>(i);
        }
    return used;
}

// A length in the 3-bit form: 0..6 as they are, longer as 7 followed by a unary tail.
void PutLength(TBitWriter& w, int len) {
    if (len < 7) {
        w.Put(static_cast<uint32_t>(len), 3);
        return;
    }
    w.Put(7, 3);
    for (int i = 7; i < len; ++i)
        w.Put(1, 1);
    w.Put(0, 1);
}

int OffsetCode(uint32_t offset) {
    int bits = 0;
    while (offset) {
        ++bits;
        offset >>= 1;
    }
    return bits;
}

struct TToken {
    uint16_t code;   // < 256 literal, else 256 + length - 3
    uint16_t offset; // distance - 1, for copies
};

void WriteBlock(TBitWriter& w, const std::vector<TToken>& tokens) {
    std::vector<uint32_t> cFreq(kNC, 0), pFreq(kNP, 0);
    for (const TToken& t : tokens) {
        ++cFreq[t.code];
        if (t.code >= 256)
            ++pFreq[OffsetCode(t.offset)];
    }
    const std::vector<uint8_t> cLen = CodeLengths(cFreq);
    const std::vector<uint8_t> pLen = CodeLengths(pFreq);
    int cOnly, pOnly;
    const int cUsed = UsedSymbols(cFreq, cOnly);
    const int pUsed = UsedSymbols(pFreq, pOnly);

    w.Put(static_cast<uint32_t>(tokens.size()), 16);

    // The code lengths of the literal/length table, run-length coded with the small table.
    if (cUsed < 2) {
        w.Put(0, 5);
        w.Put(0, 5);
        w.Put(0, 9);
        w.Put(static_cast<uint32_t>(cOnly), 9);
    } else {
        int cN = kNC;
        while (cN > 0 && cLen[cN - 1] == 0)
            --cN;
        struct TItem {
            int sym;
            int extraBits;
            uint32_t extra;
        };
        std::vector<TItem> items;
        for (int i = 0; i < cN;) {
            if (cLen[i] != 0) {
                items.push_back({cLen[i] + 2, 0, 0});
                ++i;
                continue;
            }
            int run = 0;
            while (i + run < cN && cLen[i + run] == 0)
                ++run;
            i += run;
            while (run > 0) {
                if (run <= 2) {
                    items.push_back({0, 0, 0});
                    --run;
                } else if (run <= 18) {
                    items.push_back({1, 4, static_cast<uint32_t>(run - 3)});
                    run = 0;
                } else if (run == 19) {
                    items.push_back({0, 0, 0});
                    items.push_back({1, 4, 15});
                    run = 0;
                } else {
                    const int take = std::min(run, 20 + 511);
                    items.push_back({2, 9, static_cast<uint32_t>(take - 20)});
                    run -= take;
                }
            }
        }
        std::vector<uint32_t> tFreq(kNT, 0);
        for (const TItem& it : items)
            ++tFreq[it.sym];
        int tOnly;
        const int tUsed = UsedSymbols(tFreq, tOnly);
        const std::vector<uint8_t> tLen = CodeLengths(tFreq);
        const std::vector<uint16_t> tCode = Codes(tLen);
        if (tUsed < 2) {
            w.Put(0, 5);
            w.Put(static_cast<uint32_t>(tOnly), 5);
        } else {
            int tN = kNT;
            while (tN > 0 && tLen[tN - 1] == 0)
                --tN;
            w.Put(static_cast<uint32_t>(tN), 5);
            for (int i = 0; i < tN; ++i) {
                PutLength(w, tLen[i]);
                if (i == 2) {
                    // Up to three zero lengths after the third can be skipped in two bits.
                    int zeros = 0;
                    while (zeros < 3 && i + 1 + zeros < tN && tLen[i + 1 + zeros] == 0)
                        ++zeros;
                    w.Put(static_cast<uint32_t>(zeros), 2);
                    i += zeros;
                }
            }
        }
        w.Put(static_cast<uint32_t>(cN), 9);
        for (const TItem& it : items) {
            if (tUsed >= 2)
                w.Put(tCode[it.sym], tLen[it.sym]);
            if (it.extraBits)
                w.Put(it.extra, it.extraBits);
        }
    }

    // The offset table.
    if (pUsed < 2) {
        w.Put(0, 4);
        w.Put(static_cast<uint32_t>(pOnly), 4);
    } else {
        int pN = kNP;
        while (pN > 0 && pLen[pN - 1] == 0)
            --pN;
        w.Put(static_cast<uint32_t>(pN), 4);
        for (int i = 0; i < pN; ++i)
            PutLength(w, pLen[i]);
    }

    const std::vector<uint16_t> cCode = Codes(cLen);
    const std::vector<uint16_t> pCode = Codes(pLen);
    for (const TToken& t : tokens) {
        if (cUsed >= 2)
            w.Put(cCode[t.code], cLen[t.code]);
        if (t.code < 256)
            continue;
        const int k = OffsetCode(t.offset);
        if (pUsed >= 2)
            w.Put(pCode[k], pLen[k]);
        if (k >= 2)
            w.Put(t.offset - (1u << (k - 1)), k - 1);
    }
}

} // namespace

std::string Lh5Compress(const uint8_t* data, size_t size) {
    std::string out;
    if (size == 0)
        return out;
    TBitWriter w(out);
    constexpr size_t kHashSize = size_t{1} << 15;
    std::vector<int64_t> head(kHashSize, -1);
    std::vector<int64_t> prev(kWindow, -1);
    const auto hashAt = [&](size_t i) {
        return ((static_cast<size_t>(data[i]) << 10) ^ (static_cast<size_t>(data[i + 1]) << 5) ^
                data[i + 2]) &
               (kHashSize - 1);
    };
    const auto insert = [&](size_t i) {
        if (i + kMinMatch > size)
            return;
        const size_t h = hashAt(i);
        prev[i & (kWindow - 1)] = head[h];
        head[h] = static_cast<int64_t>(i);
    };

    std::vector<TToken> tokens;
    tokens.reserve(kBlockTokens);
    size_t pos = 0;
    while (pos < size) {
        size_t bestLen = 0, bestDist = 0;
        if (pos + kMinMatch <= size) {
            const size_t limit = std::min<size_t>(kMaxMatch, size - pos);
            int64_t cand = head[hashAt(pos)];
            for (int chain = 0; cand >= 0 && chain < kChainLimit; ++chain) {
                const size_t c = static_cast<size_t>(cand);
                const size_t dist = pos - c;
                if (dist > kWindow)
                    break;
                size_t l = 0;
                while (l < limit && data[c + l] == data[pos + l])
                    ++l;
                if (l > bestLen) {
                    bestLen = l;
                    bestDist = dist;
                    if (l == limit)
                        break;
                }
                const int64_t p = prev[c & (kWindow - 1)];
                if (p >= cand) // the slot was reused by a newer position
                    break;
                cand = p;
            }
        }
        if (bestLen >= static_cast<size_t>(kMinMatch)) {
            tokens.push_back({static_cast<uint16_t>(256 + bestLen - kMinMatch),
                              static_cast<uint16_t>(bestDist - 1)});
            for (size_t i = 0; i < bestLen; ++i)
                insert(pos + i);
            pos += bestLen;
        } else {
            tokens.push_back({data[pos], 0});
            insert(pos);
            ++pos;
        }
        if (tokens.size() == kBlockTokens) {
            WriteBlock(w, tokens);
            tokens.clear();
        }
    }
    if (!tokens.empty())
        WriteBlock(w, tokens);
    w.Flush();
    return out;
}

uint16_t LhaCrc16(const uint8_t* data, size_t size, uint16_t crc) {
    static const std::array<uint16_t, 256> table = [] {
        std::array<uint16_t, 256> t{};
        for (unsigned i = 0; i < 256; ++i) {
            unsigned c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? (c >> 1) ^ 0xA001u : c >> 1;
            t[i] = static_cast<uint16_t>(c);
        }
        return t;
    }();
    for (size_t i = 0; i < size; ++i)
        crc = static_cast<uint16_t>((crc >> 8) ^ table[(crc ^ data[i]) & 0xFF]);
    return crc;
}
