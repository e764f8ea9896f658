// Build step: writes the readme archive "!ReadMe!.ZIP" that the "PanBox" option puts into a
// backup archive. One stored entry per input file, no folders, a fixed date, so the archive
// is the same on every build. Usage: QelMakeReadme <out.zip> <file>...
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "zip/Crc32.h"

namespace {

void Put16(std::string& out, unsigned v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// 2026-01-01 12:00:00 as DOS time and date.
constexpr unsigned kDosTime = 12u << 11;
constexpr unsigned kDosDate = ((2026u - 1980u) << 9) | (1u << 5) | 1u;

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s out.zip file...\n", argv[0]);
        return 2;
    }
    std::string archive, central;
    for (int i = 2; i < argc; ++i) {
        std::string path = argv[i];
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", path.c_str());
            return 1;
        }
        std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::string name = path.substr(path.find_last_of('/') + 1);
        std::uint32_t crc = zip::crc32::of(
            std::span<const Byte>(reinterpret_cast<const Byte*>(data.data()), data.size()));
        std::uint32_t offset = static_cast<std::uint32_t>(archive.size());
        // Local header: signature, version 1.0, flags, stored, time, date, CRC, sizes, name.
        Put32(archive, 0x04034B50);
        Put16(archive, 10);
        Put16(archive, 0);
        Put16(archive, 0);
        Put16(archive, kDosTime);
        Put16(archive, kDosDate);
        Put32(archive, crc);
        Put32(archive, static_cast<std::uint32_t>(data.size()));
        Put32(archive, static_cast<std::uint32_t>(data.size()));
        Put16(archive, static_cast<unsigned>(name.size()));
        Put16(archive, 0);
        archive += name;
        archive += data;
        // Central record: made by MS-DOS 2.0, the same fields, then comment, disk,
        // attributes (archive bit) and the local header's offset.
        Put32(central, 0x02014B50);
        Put16(central, 20);
        Put16(central, 10);
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, kDosTime);
        Put16(central, kDosDate);
        Put32(central, crc);
        Put32(central, static_cast<std::uint32_t>(data.size()));
        Put32(central, static_cast<std::uint32_t>(data.size()));
        Put16(central, static_cast<unsigned>(name.size()));
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put32(central, 0x20);
        Put32(central, offset);
        central += name;
    }
    std::uint32_t centralOffset = static_cast<std::uint32_t>(archive.size());
    unsigned count = static_cast<unsigned>(argc - 2);
    archive += central;
    Put32(archive, 0x06054B50);
    Put16(archive, 0);
    Put16(archive, 0);
    Put16(archive, count);
    Put16(archive, count);
    Put32(archive, static_cast<std::uint32_t>(central.size()));
    Put32(archive, centralOffset);
    Put16(archive, 0);
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << archive;
    out.close();
    return out ? 0 : 1;
}
