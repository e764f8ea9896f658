// Small output steps shared by the decoders of the older methods (unshrink, unreduce,
// explode), which write a byte or a short copy at a time and are not speed-critical.
#pragma once

#include "zip/OutputWindow.h"

namespace zip::old_methods {

inline bool put(OutputWindow& w, Byte b) {
    if (!w.make_room()) return false;
    *w.out++ = b;
    return true;
}

// Copies length bytes from distance back. Until the window has first filled, bytes from
// before the start of the entry read as zeros, as the methods' reference decoder had it.
inline bool copy(OutputWindow& w, std::size_t distance, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        if (!w.make_room()) return false;
        *w.out = distance <= w.history() ? *(w.out - distance) : Byte{0};
        ++w.out;
    }
    return true;
}

// Bytes still to produce before the declared size is reached.
inline std::uint64_t left_to_produce(const OutputWindow& w) {
    return w.total() < w.declared() ? w.declared() - w.total() : 0;
}

}  // namespace zip::old_methods
