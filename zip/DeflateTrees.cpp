#include "zip/DeflateTrees.h"

#include <algorithm>

#include "zip/DeflateErrors.h"

namespace zip::deflate {

bool SymbolCursor::compressesWell(std::int64_t blockBytes) const {
    // Rough output size: 8 bits per symbol plus 5 bits and the extra bits per distance.
    std::uint64_t outLength = static_cast<std::uint64_t>(lastLit) * 8;
    for (unsigned code = 0; code < kDCodes; ++code)
        outLength += static_cast<std::uint64_t>(distanceFreq[code]) * (5 + kExtraDistBits[code]);
    outLength >>= 3;
    return lastDist < lastLit / 2 && outLength < static_cast<std::uint64_t>(blockBytes) / 2;
}

BlockCoder::BlockCoder() {
    literalTree_.staticLength = kStatic.literalLength.data();
    literalTree_.extraBits = kExtraLengthBits.data();
    literalTree_.extraBase = kLiterals + 1;
    literalTree_.elems = kLCodes;
    literalTree_.maxLength = kMaxBits;
    distanceTree_.staticLength = kStatic.distanceLength.data();
    distanceTree_.extraBits = kExtraDistBits.data();
    distanceTree_.extraBase = 0;
    distanceTree_.elems = kDCodes;
    distanceTree_.maxLength = kMaxBits;
    bitLengthTree_.staticLength = nullptr;
    bitLengthTree_.extraBits = kExtraBLBits.data();
    bitLengthTree_.extraBase = 0;
    bitLengthTree_.elems = kBLCodes;
    bitLengthTree_.maxLength = kMaxBLBits;
    for (Tree* t : {&literalTree_, &distanceTree_, &bitLengthTree_}) {
        t->freq.fill(0);
        t->len.fill(0);
        t->dad.fill(0);
        t->code.fill(0);
        t->maxCode = 0;
    }
}

void BlockCoder::startFile(int level, BitOutput* out, const std::string* sourceName) {
    level_ = level;
    out_ = out;
    sourceName_ = sourceName;
    compressedBits_ = 0;
    fileType_ = FileType::Unknown;
    storedWhole_ = false;
    clearBlock();
}

void BlockCoder::clearBlock() {
    std::fill_n(literalTree_.freq.begin(), kLCodes, 0u);
    std::fill_n(distanceTree_.freq.begin(), kDCodes, 0u);
    std::fill_n(bitLengthTree_.freq.begin(), kBLCodes, 0u);
    literalTree_.freq[kEndBlock] = 1;  // every block ends with one end-of-block code
    optLen_ = 0;
    staticLen_ = 0;
    lastLit_ = 0;
    lastDist_ = 0;
}

// Text when the bytes 7..127 outnumber the others at least four to one in the first block.
void BlockCoder::setFileType() {
    std::uint64_t binary = 0;
    std::uint64_t ascii = 0;
    unsigned n = 0;
    for (; n < 7; ++n) binary += literalTree_.freq[n];
    for (; n < 128; ++n) ascii += literalTree_.freq[n];
    for (; n < kLiterals; ++n) binary += literalTree_.freq[n];
    fileType_ = binary > (ascii >> 2) ? FileType::Binary : FileType::Text;
}

// Heap order: by frequency, ties to the shallower subtree, so that equal inputs always give the
// same tree (and our trees equal the peer's).
namespace {
inline bool smaller(const std::uint32_t* freq, const std::uint8_t* depth, int n, int m) {
    return freq[n] < freq[m] || (freq[n] == freq[m] && depth[n] <= depth[m]);
}
}  // namespace

void BlockCoder::downHeap(const Tree& t, int k) {
    const int v = heap_[k];
    int j = k << 1;
    while (j <= heapLen_) {
        if (j < heapLen_ && smaller(t.freq.data(), depth_.data(), heap_[j + 1], heap_[j])) ++j;
        if (smaller(t.freq.data(), depth_.data(), v, heap_[j])) break;
        heap_[k] = heap_[j];
        k = j;
        j <<= 1;
    }
    heap_[k] = v;
}

void BlockCoder::buildTree(Tree& t) {
    heapLen_ = 0;
    heapMax_ = kHeapSize;
    int maxCode = -1;
    for (unsigned n = 0; n < t.elems; ++n) {
        if (t.freq[n] != 0) {
            heap_[++heapLen_] = maxCode = static_cast<int>(n);
            depth_[n] = 0;
        } else {
            t.len[n] = 0;
        }
    }
    // The format needs at least two codes; dummies of frequency 1 stand in, and their cost is
    // taken off again so that the block sizes stay exact.
    while (heapLen_ < 2) {
        const int node = heap_[++heapLen_] = (maxCode < 2 ? ++maxCode : 0);
        t.freq[node] = 1;
        depth_[node] = 0;
        --optLen_;
        if (t.staticLength) staticLen_ -= t.staticLength[node];
    }
    t.maxCode = maxCode;

    for (int n = heapLen_ / 2; n >= 1; --n) downHeap(t, n);

    int node = static_cast<int>(t.elems);  // internal nodes follow the symbols
    do {
        const int n = heap_[1];
        heap_[1] = heap_[heapLen_--];
        downHeap(t, 1);
        const int m = heap_[1];
        heap_[--heapMax_] = n;  // sorted by frequency, for the length assignment
        heap_[--heapMax_] = m;
        t.freq[node] = t.freq[n] + t.freq[m];
        depth_[node] = static_cast<std::uint8_t>(std::max(depth_[n], depth_[m]) + 1);
        t.dad[n] = t.dad[m] = static_cast<std::uint16_t>(node);
        heap_[1] = node++;
        downHeap(t, 1);
    } while (heapLen_ >= 2);
    heap_[--heapMax_] = heap_[1];

    genBitLengths(t);
    genCodes(t);
}

// Lengths from the tree, limited to the tree's maximum: overlong codes are cut and the counts
// repaired by moving leaves down from shorter lengths, then lengths are reassigned in frequency
// order. Adds the block's cost in bits to the dynamic and static totals.
void BlockCoder::genBitLengths(Tree& t) {
    blCount_.fill(0);
    const int maxCode = t.maxCode;
    const unsigned maxLength = t.maxLength;
    int overflow = 0;

    t.len[heap_[heapMax_]] = 0;  // the root
    int h = heapMax_ + 1;
    for (; h < static_cast<int>(kHeapSize); ++h) {
        const int n = heap_[h];
        unsigned bits = t.len[t.dad[n]] + 1u;
        if (bits > maxLength) {
            bits = maxLength;
            ++overflow;
        }
        t.len[n] = static_cast<std::uint16_t>(bits);
        if (n > maxCode) continue;  // not a leaf
        ++blCount_[bits];
        const unsigned xbits = n >= static_cast<int>(t.extraBase) ? t.extraBits[n - t.extraBase] : 0;
        const std::uint64_t f = t.freq[n];
        optLen_ += f * (bits + xbits);
        if (t.staticLength) staticLen_ += f * (t.staticLength[n] + xbits);
    }
    if (overflow == 0) return;

    do {
        unsigned bits = maxLength - 1;
        while (blCount_[bits] == 0) --bits;
        --blCount_[bits];          // a leaf moves down one level
        blCount_[bits + 1] += 2;   // and takes an overflowed leaf as its brother
        --blCount_[maxLength];
        overflow -= 2;
    } while (overflow > 0);

    for (unsigned bits = maxLength; bits != 0; --bits) {
        unsigned n = blCount_[bits];
        while (n != 0) {
            const int m = heap_[--h];
            if (m > maxCode) continue;
            if (t.len[m] != bits) {
                optLen_ += (static_cast<std::int64_t>(bits) - t.len[m]) * static_cast<std::int64_t>(t.freq[m]);
                t.len[m] = static_cast<std::uint16_t>(bits);
            }
            --n;
        }
    }
}

void BlockCoder::genCodes(Tree& t) { assignCodes(t.len.data(), t.code.data(), t.maxCode, blCount_); }

// Counts the bit-length symbols a tree's lengths need: runs of a length become code 16, runs of
// zeros codes 17 and 18.
void BlockCoder::scanTree(Tree& t, int maxCode) {
    auto& blFreq = bitLengthTree_.freq;
    int prevLen = -1;
    int nextLen = t.len[0];
    int count = 0;
    int maxCount = 7;
    int minCount = 4;
    if (nextLen == 0) maxCount = 138, minCount = 3;
    t.len[maxCode + 1] = 0xFFFF;  // guard, also used by sendTree
    for (int n = 0; n <= maxCode; ++n) {
        const int curLen = nextLen;
        nextLen = t.len[n + 1];
        if (++count < maxCount && curLen == nextLen) continue;
        if (count < minCount) {
            blFreq[curLen] += count;
        } else if (curLen != 0) {
            if (curLen != prevLen) ++blFreq[curLen];
            ++blFreq[kRep3To6];
        } else if (count <= 10) {
            ++blFreq[kRepZ3To10];
        } else {
            ++blFreq[kRepZ11To138];
        }
        count = 0;
        prevLen = curLen;
        if (nextLen == 0) {
            maxCount = 138, minCount = 3;
        } else if (curLen == nextLen) {
            maxCount = 6, minCount = 3;
        } else {
            maxCount = 7, minCount = 4;
        }
    }
}

void BlockCoder::lengthOutOfRange(const char* text) {
    throw EDeflateError(String(text) + (sourceName_ ? *sourceName_ : String()));
}

void BlockCoder::sendBitLengthCode(unsigned symbol) {
    const unsigned len = bitLengthTree_.len[symbol];
    if (len == 0 || len >= 16) [[unlikely]]
        lengthOutOfRange(symbol == kRep3To6 ? "Length out of range! -" : "Length out of range! - ");
    out_->putBits(bitLengthTree_.code[symbol], len);
}

void BlockCoder::sendTree(Tree& t, int maxCode) {
    int prevLen = -1;
    int nextLen = t.len[0];
    int count = 0;
    int maxCount = 7;
    int minCount = 4;
    if (nextLen == 0) maxCount = 138, minCount = 3;
    // The guard at maxCode + 1 was set by scanTree.
    for (int n = 0; n <= maxCode; ++n) {
        const int curLen = nextLen;
        nextLen = t.len[n + 1];
        if (++count < maxCount && curLen == nextLen) continue;
        if (count < minCount) {
            do sendBitLengthCode(curLen);
            while (--count != 0);
        } else if (curLen != 0) {
            if (curLen != prevLen) {
                sendBitLengthCode(curLen);
                --count;
            }
            sendBitLengthCode(kRep3To6);
            out_->putBits(count - 3, 2);
        } else if (count <= 10) {
            sendBitLengthCode(kRepZ3To10);
            out_->putBits(count - 3, 3);
        } else {
            sendBitLengthCode(kRepZ11To138);
            out_->putBits(count - 11, 7);
        }
        count = 0;
        prevLen = curLen;
        if (nextLen == 0) {
            maxCount = 138, minCount = 3;
        } else if (curLen == nextLen) {
            maxCount = 6, minCount = 3;
        } else {
            maxCount = 7, minCount = 4;
        }
    }
}

// Returns the index in send order of the last bit-length code that is used (at least 3, since
// at least 4 are always sent) and adds the cost of the tree description to the dynamic total.
int BlockCoder::buildBitLengthTree() {
    scanTree(literalTree_, literalTree_.maxCode);
    scanTree(distanceTree_, distanceTree_.maxCode);
    buildTree(bitLengthTree_);
    int maxIndex = kBLCodes - 1;
    for (; maxIndex >= 3; --maxIndex) {
        if (bitLengthTree_.len[kBLOrder[maxIndex]] != 0) break;
    }
    optLen_ += 3 * (maxIndex + 1) + 5 + 5 + 4;
    return maxIndex;
}

void BlockCoder::sendAllTrees(int lcodes, int dcodes, int blcodes) {
    out_->putBits(lcodes - 257, 5);
    out_->putBits(dcodes - 1, 5);
    out_->putBits(blcodes - 4, 4);
    for (int rank = 0; rank < blcodes; ++rank) out_->putBits(bitLengthTree_.len[kBLOrder[rank]], 3);
    sendTree(literalTree_, lcodes - 1);
    sendTree(distanceTree_, dcodes - 1);
}

void BlockCoder::compressBlock(const std::uint16_t* literalCode, const std::uint16_t* literalLength,
                               const std::uint16_t* distanceCode, const std::uint16_t* distanceLength) {
    // Code and bit count of every symbol of the litLen buffer: literals at 0..255, lengths - 3
    // at 256..511 (the length symbol with its extra bits above it). A match then costs two puts
    // and a literal one, and the loop picks by table index instead of branching on the kind.
    std::uint32_t symbolBits[512];
    std::uint8_t symbolCount[512];
    for (unsigned lc = 0; lc < 256; ++lc) {
        symbolBits[lc] = literalCode[lc];
        symbolCount[lc] = static_cast<std::uint8_t>(literalLength[lc]);
        const unsigned code = kCodes.lengthCode[lc];
        const unsigned symbol = kLiterals + 1 + code;
        symbolBits[256 + lc] = literalCode[symbol] | ((lc - kCodes.baseLength[code]) << literalLength[symbol]);
        symbolCount[256 + lc] = static_cast<std::uint8_t>(literalLength[symbol] + kExtraLengthBits[code]);
    }
    // Per distance, by its `distanceIndex`: its code (bits 0-15), code length (16-23), code and
    // extra bit count (24-31) and first distance - 1 (32-63), so that one load serves a distance.
    // A literal's entry puts no bits.
    std::uint64_t distanceInfo[kLiteralIndex + 1];
    for (unsigned index = 0; index < kCodes.distCode.size(); ++index) {
        const unsigned code = kCodes.distCode[index];
        distanceInfo[index] = distanceCode[code] | (std::uint64_t{distanceLength[code]} << 16) |
                              (std::uint64_t(distanceLength[code] + kExtraDistBits[code]) << 24) |
                              (std::uint64_t{kCodes.baseDist[code]} << 32);
    }
    distanceInfo[kLiteralIndex] = std::uint64_t{0xFFFFFFFF} << 32;

    const std::uint8_t* litLen = litLen_.data();
    const std::uint16_t* dist = dist_.data();
    const unsigned lastLit = lastLit_;
    BitCursor c = out_->cursor();
    const std::uint8_t* const chunkEnd = out_->chunkEnd();
    for (unsigned i = 0; i < lastLit; ++i) {
        const unsigned d = dist[i];
        const unsigned symbol = litLen[i] | (d != 0 ? 256u : 0u);
        c.put(symbolBits[symbol], symbolCount[symbol]);
        const unsigned d1 = d - 1;  // all ones for a literal
        const std::uint64_t info = distanceInfo[distanceIndex(d1)];
        c.put((info & 0xFFFF) | ((std::uint64_t{d1} - (info >> 32)) << ((info >> 16) & 0xFF)),
              static_cast<unsigned>(info >> 24) & 0xFF);
        c.drain();
        if (c.out >= chunkEnd) [[unlikely]]
            c.out = out_->emitChunk(c.out);
    }
    c.put(literalCode[kEndBlock], literalLength[kEndBlock]);
    c.drain();
    if (out_->chunkFull(c)) c.out = out_->emitChunk(c.out);
    out_->store(c);
}

void BlockCoder::flushBlock(const std::uint8_t* bytes, std::uint64_t storedLength, bool eof) {
    if (fileType_ == FileType::Unknown) setFileType();

    buildTree(literalTree_);
    buildTree(distanceTree_);
    const int maxBLIndex = buildBitLengthTree();

    // Sizes in bytes, each with the 3-bit block header.
    std::uint64_t optBytes = (optLen_ + 3 + 7) >> 3;
    const std::uint64_t staticBytes = (staticLen_ + 3 + 7) >> 3;
    if (staticBytes <= optBytes) optBytes = staticBytes;

    const unsigned eofBit = eof ? 1 : 0;
    if (storedLength <= optBytes && eof && compressedBits_ == 0 && bytes != nullptr) {
        // The whole file in one block that does not compress: written raw, as a stored entry.
        out_->putRaw(bytes, storedLength);
        compressedBits_ = storedLength << 3;
        storedWhole_ = true;
    } else if (storedLength + 4 <= optBytes && bytes != nullptr) {
        if (storedLength > 0xFFFF) [[unlikely]]
            throw EDeflateError("stored block too long! - " + (sourceName_ ? *sourceName_ : String()));
        out_->putBits((kStoredBlock << 1) + eofBit, 3);
        compressedBits_ = (compressedBits_ + 3 + 7) & ~std::uint64_t{7};
        compressedBits_ += (storedLength + 4) << 3;
        out_->alignToByte();
        out_->putBits(static_cast<std::uint32_t>(storedLength), 16);
        out_->putBits(static_cast<std::uint32_t>(~storedLength & 0xFFFF), 16);
        out_->putRaw(bytes, storedLength);
    } else if (staticBytes == optBytes) {
        out_->putBits((kStaticTrees << 1) + eofBit, 3);
        compressBlock(kStatic.literalCode.data(), kStatic.literalLength.data(), kStatic.distanceCode.data(),
                      kStatic.distanceLength.data());
        compressedBits_ += 3 + staticLen_;
    } else {
        out_->putBits((kDynamicTrees << 1) + eofBit, 3);
        sendAllTrees(literalTree_.maxCode + 1, distanceTree_.maxCode + 1, maxBLIndex + 1);
        // The run scan's guards are not lengths; an unused length symbol may sit there.
        literalTree_.len[literalTree_.maxCode + 1] = 0;
        distanceTree_.len[distanceTree_.maxCode + 1] = 0;
        compressBlock(literalTree_.code.data(), literalTree_.len.data(), distanceTree_.code.data(),
                      distanceTree_.len.data());
        compressedBits_ += 3 + optLen_;
    }
    clearBlock();
    if (eof) {
        out_->flush();
        compressedBits_ += 7;
    }
}

}  // namespace zip::deflate
