// The unzipper of the whole-archive fuzz targets: its archive is the fuzz input, held in
// memory, and its extraction writes nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/Streams.h"
#include "zip/UnZipper.h"

namespace zip::fuzz {

class InputUnZipper : public TDiscardingUnZipper {
public:
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;

protected:
    std::unique_ptr<TStream> OpenArchiveFile(const String&, Word) override {
        auto s = std::make_unique<TMemoryStream>();
        if (size) s->WriteBuffer(data, static_cast<Int64>(size));
        s->SetPosition(0);
        return s;
    }
    TDateTime FileStreamDate(TStream&) override { return 1; }
    bool ArchiveFileExists(const String&) override { return true; }
    bool IsRemovableDrive(const String&) override { return false; }
    String VolumeLabel(const String&) override { return String(); }
};

}  // namespace zip::fuzz
