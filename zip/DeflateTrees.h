// Block coder of the deflate compressor.
//
// Collects the literals and matches the drivers record (the symbol buffers and frequencies of
// the pending block), decides when a block must end, and codes each block as stored, static-tree
// or dynamic-tree data into a BitOutput. Its decisions (block ends, block types, tree shapes)
// follow the published zip deflate exactly, so that our method-8 data equals that of Info-ZIP
// `zip` for the same input and level. It owns its fixed-size buffers; it never allocates while
// coding and never reads the window except for a stored block's bytes handed to `flushBlock`.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "zip/BitOutput.h"
#include "zip/DeflateTables.h"

namespace zip::deflate {

// Internal attributes of an entry as the text test sets them.
enum class FileType : std::uint8_t { Binary = 0, Text = 1, Unknown = 2 };

// The symbols of the pending block as the drivers fill them, held in their locals while they
// run. A symbol is a literal (distance 0) or a match (its distance and length - 3).
struct SymbolCursor {
    std::uint8_t* litLen;
    std::uint16_t* dist;
    std::uint32_t* literalFreq;
    std::uint32_t* distanceFreq;
    unsigned lastLit;
    unsigned lastDist;
    bool estimate;  // levels above 2 may end a block early when it compresses well

    void putLiteral(unsigned c) {
        litLen[lastLit] = static_cast<std::uint8_t>(c);
        dist[lastLit] = 0;
        ++literalFreq[c];
        ++lastLit;
    }
    void putMatch(unsigned distance, unsigned lengthMinus3) {
        litLen[lastLit] = static_cast<std::uint8_t>(lengthMinus3);
        dist[lastLit] = static_cast<std::uint16_t>(distance);
        ++literalFreq[kLiterals + 1 + kCodes.lengthCode[lengthMinus3]];
        ++distanceFreq[distanceCode(distance - 1)];
        ++lastLit;
        ++lastDist;
    }
    bool literal(unsigned c, std::int64_t blockBytes) {
        putLiteral(c);
        return full(blockBytes);
    }
    bool match(unsigned distance, unsigned lengthMinus3, std::int64_t blockBytes) {
        putMatch(distance, lengthMinus3);
        return full(blockBytes);
    }
    // `full` for the levels without the estimate: there only the literal buffer ends a block,
    // as the distances (never more than the symbols) cannot fill theirs first.
    bool bufferFull() const { return lastLit == kSymbolBufferSize - 1; }
    // `blockBytes` is the input covered by the block so far (current position - block start).
    bool full(std::int64_t blockBytes) const {
        if (estimate && (lastLit & 0xFFF) == 0) [[unlikely]] {
            if (compressesWell(blockBytes)) return true;
        }
        return lastLit == kSymbolBufferSize - 1 || lastDist == kSymbolBufferSize;
    }
    bool compressesWell(std::int64_t blockBytes) const;
};

class BlockCoder {
public:
    BlockCoder();

    // Start of a file: clears the counters and the pending block. `sourceName` names the file in
    // error messages.
    void startFile(int level, BitOutput* out, const std::string* sourceName);

    // The tallies of the level-1 driver, which keeps the symbol counts in its own registers
    // (`n`: the symbols so far) and hands them back with `setCounts` before a block is coded.
    // The buffers are addressed from the coder itself, which spares the registers of a cursor.
    void putLiteral(unsigned n, unsigned c) {
        litLen_[n] = static_cast<std::uint8_t>(c);
        dist_[n] = 0;
        ++literalTree_.freq[c];
    }
    void putMatch(unsigned n, unsigned distance, unsigned lengthMinus3) {
        litLen_[n] = static_cast<std::uint8_t>(lengthMinus3);
        dist_[n] = static_cast<std::uint16_t>(distance);
        ++literalTree_.freq[kLiterals + 1 + kCodes.lengthCode[lengthMinus3]];
        ++distanceTree_.freq[distanceCodeNoBranch(distance - 1)];
    }
    unsigned symbolCount() const { return lastLit_; }
    unsigned matchCount() const { return lastDist_; }
    void setCounts(unsigned symbols, unsigned matches) {
        lastLit_ = symbols;
        lastDist_ = matches;
    }

    SymbolCursor symbols() {
        return {litLen_.data(), dist_.data(), literalTree_.freq.data(), distanceTree_.freq.data(), lastLit_, lastDist_,
                level_ > 2};
    }
    void store(const SymbolCursor& s) {
        lastLit_ = s.lastLit;
        lastDist_ = s.lastDist;
    }

    // Codes the pending block. `bytes` is the block's input when it is still in the window, else
    // null; `storedLength` its length. On the last block of a file that nothing has been written
    // for yet and that does not compress, the input is written raw and the method becomes 0.
    void flushBlock(const std::uint8_t* bytes, std::uint64_t storedLength, bool eof);

    std::uint64_t compressedBits() const { return compressedBits_; }
    FileType fileType() const { return fileType_; }
    bool storedWhole() const { return storedWhole_; }

private:
    struct Tree {
        std::array<std::uint32_t, kHeapSize> freq;
        std::array<std::uint16_t, kHeapSize + 1> len;  // one more for the run scan's guard
        std::array<std::uint16_t, kHeapSize> dad;
        std::array<std::uint16_t, kHeapSize> code;
        const std::uint16_t* staticLength;  // for the static cost, or null
        const std::uint8_t* extraBits;
        unsigned extraBase;
        unsigned elems;
        unsigned maxLength;
        int maxCode;
    };

    void clearBlock();
    void setFileType();
    void buildTree(Tree& t);
    void downHeap(const Tree& t, int k);
    void genBitLengths(Tree& t);
    void genCodes(Tree& t);
    void scanTree(Tree& t, int maxCode);
    void sendTree(Tree& t, int maxCode);
    int buildBitLengthTree();
    void sendAllTrees(int lcodes, int dcodes, int blcodes);
    void compressBlock(const std::uint16_t* literalCode, const std::uint16_t* literalLength,
                       const std::uint16_t* distanceCode, const std::uint16_t* distanceLength);
    void sendBitLengthCode(unsigned symbol);
    [[noreturn]] void lengthOutOfRange(const char* text);

    BitOutput* out_ = nullptr;
    const std::string* sourceName_ = nullptr;
    int level_ = 6;

    // Symbols of the pending block.
    std::array<std::uint8_t, kSymbolBufferSize> litLen_;
    std::array<std::uint16_t, kSymbolBufferSize> dist_;
    unsigned lastLit_ = 0;
    unsigned lastDist_ = 0;

    Tree literalTree_;
    Tree distanceTree_;
    Tree bitLengthTree_;
    std::array<int, kHeapSize> heap_;
    int heapLen_ = 0;
    int heapMax_ = 0;
    std::array<std::uint8_t, kHeapSize> depth_;
    std::array<std::uint16_t, kMaxBits + 1> blCount_;

    std::uint64_t optLen_ = 0;     // bits of the block with dynamic trees (wraps while built)
    std::uint64_t staticLen_ = 0;  // bits of the block with static trees
    std::uint64_t compressedBits_ = 0;
    FileType fileType_ = FileType::Unknown;
    bool storedWhole_ = false;
};

}  // namespace zip::deflate
