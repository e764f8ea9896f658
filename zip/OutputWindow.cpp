#include "zip/OutputWindow.h"

#include <cstring>

namespace zip {

OutputWindow::OutputWindow() : buffer_(kHistory + kChunk + kSlack) {}

void OutputWindow::start(ByteSink& sink, std::uint64_t declared_size) {
    sink_ = &sink;
    base = out = pending_ = buffer_.data();
    limit = base + kHistory + kChunk;
    flushed_ = 0;
    declared_ = declared_size;
}

bool OutputWindow::flush() {
    const auto n = static_cast<std::uint64_t>(out - pending_);
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
