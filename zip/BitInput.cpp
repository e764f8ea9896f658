#include "zip/BitInput.h"

#include <algorithm>

namespace zip {

BitInput::BitInput(ByteSource& source, const Buffer& buffer) : source_(source), buffer_(buffer.data()) {
    next = end = buffer_;
}

void BitInput::pull() {
    // Move the unread bytes to the front, then append source blocks until the buffer is
    // half full or the source is done. A block larger than the free room waits in
    // pending_ and is taken in pieces.
    Byte* const base = buffer_;
    const std::size_t kept = static_cast<std::size_t>(end - next);
    if (next != base) std::memmove(base, next, kept);
    Byte* write = base + kept;
    Byte* const limit = base + kBufferSize;
    while (write < limit && static_cast<std::size_t>(write - base) < kBufferSize / 2) {
        if (pending_.empty()) {
            pending_ = source_.next_block();
            if (pending_.empty()) break;
        }
        const std::size_t n = std::min(static_cast<std::size_t>(limit - write), pending_.size());
        std::memcpy(write, pending_.data(), n);
        write += n;
        pending_ = pending_.subspan(n);
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
