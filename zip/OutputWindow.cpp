#include "zip/OutputWindow.h"

#include <algorithm>
#include <cstring>

namespace zip {

OutputWindow::OutputWindow() : buffer_(kHistory + kChunk + kSlack) {}

void OutputWindow::start(ByteSink& sink, std::uint64_t declared_size) {
    sink_ = &sink;
    flushed_ = 0;
    declared_ = declared_size;
    const std::span<Byte> room = sink.room();
    // In place up to the room's end or the declared size, whichever comes first, less
    // the slack that a decoder may write past `limit`.
    const std::uint64_t usable = std::min<std::uint64_t>(room.size(), declared_size);
    in_room_ = usable > 2 * kSlack;
    if (in_room_) {
        base = out = pending_ = room.data();
        limit = base + (usable - kSlack);
    } else {
        base = out = pending_ = buffer_.data();
        limit = base + kHistory + kChunk;
    }
}

void OutputWindow::leave_room() {
    const auto keep = std::min<std::size_t>(history(), kHistory);
    std::memcpy(buffer_.data(), out - keep, keep);
    base = buffer_.data();
    out = pending_ = base + keep;
    limit = base + kHistory + kChunk;
    in_room_ = false;
}

bool OutputWindow::flush() {
    const auto n = static_cast<std::uint64_t>(out - pending_);
    if (in_room_) {
        // The room never reaches past the declared size.
        if (n > 0) sink_->placed(static_cast<std::size_t>(n));
        flushed_ += n;
        pending_ = out;
        if (out >= limit) leave_room();
        return true;
    }
    const std::uint64_t room = declared_ - flushed_;
    if (n > room) {
        if (room > 0) sink_->write({pending_, static_cast<std::size_t>(room)});
        flushed_ += room;
        pending_ += room;
        return false;
    }
    if (n > 0) sink_->write({pending_, static_cast<std::size_t>(n)});
    flushed_ += n;
    if (out - base > static_cast<std::ptrdiff_t>(kHistory) && out >= limit - kChunk / 2) {
        std::memmove(base, out - kHistory, kHistory);
        out = base + kHistory;
    }
    pending_ = out;
    return true;
}

DecodeStatus OutputWindow::finish() {
    if (!flush()) return DecodeStatus::OutputOverflow;
    return flushed_ == declared_ ? DecodeStatus::Ok : DecodeStatus::OutputShort;
}

}  // namespace zip
