#include "zip/Decoder.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "zip/BitInput.h"
#include "zip/Explode.h"
#include "zip/Inflate.h"
#include "zip/OutputWindow.h"
#include "zip/Unreduce.h"
#include "zip/Unshrink.h"

namespace zip {

const char* to_string(DecodeStatus status) {
    switch (status) {
    case DecodeStatus::Ok: return "ok";
    case DecodeStatus::BadData: return "bad compressed data";
    case DecodeStatus::TruncatedInput: return "compressed data ends early";
    case DecodeStatus::OutputOverflow: return "data longer than its declared size";
    case DecodeStatus::OutputShort: return "data shorter than its declared size";
    case DecodeStatus::UnsupportedMethod: return "unsupported compression method";
    }
    return "unknown status";
}

struct EntryDecoder::Buffers {
    BitInput::Buffer input;
    OutputWindow window;
    Inflater inflater;
};

EntryDecoder::EntryDecoder() : buffers_(std::make_unique<Buffers>()) {}
EntryDecoder::~EntryDecoder() = default;

namespace {

DecodeStatus copy_stored(ByteSource& source, OutputWindow& w) {
    // No window needed: blocks pass straight through, cut at the declared size.
    for (;;) {
        const std::span<const Byte> block = source.next_block();
        if (block.empty()) break;
        for (std::size_t done = 0; done < block.size();) {
            if (!w.make_room()) return DecodeStatus::OutputOverflow;
            const std::size_t n = std::min(block.size() - done, static_cast<std::size_t>(w.limit - w.out));
            std::memcpy(w.out, block.data() + done, n);
            w.out += n;
            done += n;
        }
    }
    return w.finish();
}

}  // namespace

DecodeStatus EntryDecoder::decode(std::uint16_t method, std::uint16_t flags, ByteSource& source, ByteSink& sink,
                                  std::uint64_t declared_size) {
    OutputWindow& w = buffers_->window;
    w.start(sink, declared_size);
    if (method == static_cast<std::uint16_t>(Method::Stored)) return copy_stored(source, w);
    BitInput in(source, buffers_->input);
    switch (static_cast<Method>(method)) {
    case Method::Shrunk: return unshrink(in, w);
    case Method::Reduced1:
    case Method::Reduced2:
    case Method::Reduced3:
    case Method::Reduced4: return unreduce(in, w, method - 1u);
    case Method::Imploded: return explode(in, w, flags);
    case Method::Deflated: return buffers_->inflater.run(in, w);
    default: return DecodeStatus::UnsupportedMethod;
    }
}

}  // namespace zip
