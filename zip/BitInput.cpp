#include "zip/BitInput.h"

#include <algorithm>

namespace zip {

BitInput::BitInput(ByteSource& source, const Buffer& buffer) : source_(source), buffer_(buffer.data()) {
    next = end = buffer_;
}

void BitInput::pull() {
    const auto kept = static_cast<std::size_t>(end - next);
    if (inPlace_ && kept >= kInPlaceBlock) return;  // plenty left where it is
    // The bytes left of the buffer all came from the head of a large block whose rest is
    // still pending: read on in the block itself, from those bytes.
    if (!inPlace_ && kept <= joined_ && pending_.size() >= kInPlaceBlock) {
        next = pending_.data() - kept;
        end = pending_.data() + pending_.size();
        pending_ = {};
        inPlace_ = true;
        return;
    }
    // Otherwise the unread bytes move to the front of the buffer (from the buffer or from
    // the block, before the source replaces it), and blocks follow them: small ones whole
    // until the buffer is half full, of a large one only its head, the rest to be read in
    // place once the bytes before it are used up.
    Byte* const base = buffer_;
    if (kept > 0 && next != base) std::memmove(base, next, kept);
    inPlace_ = false;
    Byte* write = base + kept;
    Byte* const limit = base + kBufferSize;
    while (write < limit && static_cast<std::size_t>(write - base) < kBufferSize / 2) {
        if (pending_.empty()) {
            pending_ = source_.next_block();
            joined_ = 0;
            if (pending_.empty()) break;
        }
        std::size_t n = std::min(static_cast<std::size_t>(limit - write), pending_.size());
        if (pending_.size() >= kInPlaceBlock + kJoin) n = std::min(n, kJoin);
        std::memcpy(write, pending_.data(), n);
        write += n;
        pending_ = pending_.subspan(n);
        joined_ += n;
        if (pending_.size() >= kInPlaceBlock) break;
    }
    next = base;
    end = write;
}

bool BitInput::copy_bytes(Byte* dst, std::size_t n) {
    while (n > 0 && bitcount >= 8) {
        *dst++ = static_cast<Byte>(bitbuf);
        consume(8);
        --n;
    }
    if (bitcount == 0) bitbuf = 0;  // the bytes below are taken past the bit buffer
    while (n > 0) {
        if (next == end) {
            pull();
            if (next == end) return false;
        }
        const std::size_t k = std::min(n, static_cast<std::size_t>(end - next));
        std::memcpy(dst, next, k);
        next += k;
        dst += k;
        n -= k;
    }
    return true;
}

}  // namespace zip
