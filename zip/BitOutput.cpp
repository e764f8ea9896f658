#include "zip/BitOutput.h"

namespace zip::deflate {

void BitOutput::send(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return;
    (*sink_)(data, size);
    written_ += size;
}

std::uint8_t* BitOutput::emitChunk(std::uint8_t* out) {
    send(buffer_, kChunkSize);
    const std::size_t rest = static_cast<std::size_t>(out - buffer_) - kChunkSize;
    std::memmove(buffer_, buffer_ + kChunkSize, rest);
    return buffer_ + rest;
}

void BitOutput::alignToByte() {
    if (count_ == 0) return;
    BitCursor c = cursor();
    c.count = 8;  // the pending bits, padded with zeros
    c.drain();
    if (chunkFull(c)) c.out = emitChunk(c.out);
    store(c);
}

void BitOutput::putRaw(const std::uint8_t* data, std::size_t size) {
    flush();
    send(data, size);
}

void BitOutput::flush() {
    alignToByte();
    send(buffer_, fill_);
    fill_ = 0;
}

}  // namespace zip::deflate
