#include <gtest/gtest.h>
#include <sys/wait.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "tests/zip/DecoderTestSupport.h"
#include "zip/Crc32.h"
#include "zip/ZipCrypt.h"
#include "tests/zip/SharedData.h"

namespace zip::test {
namespace {

namespace fs = std::filesystem;

// What decrypting one entry came to.
struct Opened {
    bool check_byte_matched = false;
    DecodeStatus status = DecodeStatus::BadData;
    bool crc_matched = false;
};

Opened open_entry(const ArchiveEntry& e, const std::string& password) {
    Opened r;
    if (e.data.size() < kEncryptionHeaderSize) return r;
    Bytes data = e.data;
    ZipKeys keys;
    const Byte last = keys.decrypt_header(password, std::span<Byte, kEncryptionHeaderSize>(data.data(), kEncryptionHeaderSize));
    r.check_byte_matched = last == encryption_check_byte(e.flags, e.crc, e.dos_date_time);
    if (!r.check_byte_matched) return r;
    Bytes body(data.begin() + kEncryptionHeaderSize, data.end());
    keys.decrypt(body);
    const Decoded d = decode(e.method, e.flags, body, e.uncompressed_size);
    r.status = d.status;
    r.crc_matched = crc32::of(d.bytes) == e.crc;
    return r;
}

struct SharedArchive {
    const char* file;
    const char* password;
    std::size_t encrypted_entries;
};

class EncryptedArchives : public ::testing::TestWithParam<SharedArchive> {};

TEST_P(EncryptedArchives, DecryptWithTheirPassword) {
    SKIP_WITHOUT_SHARED("testdata/encrypted");
    const Bytes zip = read_file(shared_path(std::string("testdata/encrypted/") + GetParam().file));
    std::size_t encrypted = 0;
    for (const ArchiveEntry& e : zip_entries(zip)) {
        if (!(e.flags & kFlagEncrypted)) continue;
        ++encrypted;
        SCOPED_TRACE(e.name);
        const Opened r = open_entry(e, GetParam().password);
        EXPECT_TRUE(r.check_byte_matched);
        EXPECT_EQ(r.status, DecodeStatus::Ok) << to_string(r.status);
        EXPECT_TRUE(r.crc_matched);
    }
    EXPECT_EQ(encrypted, GetParam().encrypted_entries);
}

// A wrong password fails the check byte, or (about once in 256) the CRC afterwards.
TEST_P(EncryptedArchives, RejectWrongPasswords) {
    SKIP_WITHOUT_SHARED("testdata/encrypted");
    const Bytes zip = read_file(shared_path(std::string("testdata/encrypted/") + GetParam().file));
    for (const ArchiveEntry& e : zip_entries(zip)) {
        if (!(e.flags & kFlagEncrypted) || e.uncompressed_size == 0) continue;
        int passed_check = 0;
        for (int i = 0; i < 200; ++i) {
            const Opened r = open_entry(e, "wrong" + std::to_string(i));
            if (r.check_byte_matched) {
                ++passed_check;
                EXPECT_FALSE(r.status == DecodeStatus::Ok && r.crc_matched);
            }
        }
        EXPECT_LT(passed_check, 10);
    }
}

INSTANTIATE_TEST_SUITE_P(SharedTestData, EncryptedArchives,
                         ::testing::Values(SharedArchive{"libarchive-zip_traditional_encryption_data.zip", "12345678", 2},
                                           SharedArchive{"libzip-encrypt.zip", "foo", 1},
                                           SharedArchive{"libzip-empty-pkware.zip", "1", 1}),
                         [](const auto& info) {
                             std::string name = info.param.file;
                             for (char& c : name)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

TEST(ZipKeys, EmptyPasswordKeepsTheStartValues) {
    ZipKeys keys("");
    EXPECT_EQ(keys.key0(), 0x12345678u);
    EXPECT_EQ(keys.key1(), 0x23456789u);
    EXPECT_EQ(keys.key2(), 0x34567890u);
}

TEST(ZipKeys, CheckByteComesFromTimeWithADataDescriptor) {
    const std::uint32_t crc = 0xA1B2C3D4;
    const std::uint32_t date_time = 0x5A5B7C7D;  // date 0x5A5B, time 0x7C7D
    EXPECT_EQ(encryption_check_byte(0, crc, date_time), 0xA1);
    EXPECT_EQ(encryption_check_byte(kFlagEncrypted, crc, date_time), 0xA1);
    EXPECT_EQ(encryption_check_byte(kFlagEncrypted | kFlagDataDescriptor, crc, date_time), 0x7C);
}

TEST(ZipKeys, EncryptThenDecryptRestoresEveryByte) {
    std::mt19937 rng(5);
    for (const std::string& password : std::vector<std::string>{"", "a", "pass word", "\xC3\xA9t\xC3\xA9", std::string(300, 'x')}) {
        Bytes plain(1000);
        for (Byte& b : plain) b = static_cast<Byte>(rng());
        const Byte random[11] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
        ZipKeys writer;
        const auto header = writer.encrypt_header(password, random, 0x42);
        Bytes cipher = plain;
        writer.encrypt(cipher);
        EXPECT_NE(cipher, plain);

        Bytes header_copy(header.begin(), header.end());
        ZipKeys reader;
        EXPECT_EQ(reader.decrypt_header(password, std::span<Byte, 12>(header_copy.data(), 12)), 0x42);
        reader.decrypt(cipher);
        EXPECT_EQ(cipher, plain) << password;
    }
}

// --- Against Info-ZIP ---------------------------------------------------------------------

struct ZipCommand {
    const char* name;
    const char* options;
    bool to_stdout;  // written as a stream rather than to a file
};

class InfoZipEncrypted : public ::testing::TestWithParam<ZipCommand> {};

TEST_P(InfoZipEncrypted, DecryptsWhatZipWrote) {
    SKIP_WITHOUT_SHARED("corpus");
    TempFolder dir;
    const Bytes text = read_file(shared_path("corpus/canterbury/alice29.txt"));
    write_file(dir.path() / "text.txt", text);
    write_file(dir.path() / "empty.bin", {});
    write_file(dir.path() / "small.txt", {'h', 'i'});
    const std::string zip_path = (dir.path() / "out.zip").string();
    const std::string files = "text.txt empty.bin small.txt";
    const std::string command = "cd '" + dir.path().string() + "' && zip -q -X -P 'se cret' " + GetParam().options +
                                (GetParam().to_stdout ? " - " + files + " > out.zip" : " out.zip " + files);
    ASSERT_EQ(run(command), 0) << command;

    const auto entries = zip_entries(read_file(zip_path));
    ASSERT_EQ(entries.size(), 3u);
    for (const ArchiveEntry& e : entries) {
        SCOPED_TRACE(e.name);
        EXPECT_TRUE(e.flags & kFlagEncrypted);
        // Info-ZIP encrypts in one pass and so always sends a data descriptor: the check
        // byte is the time's high byte here.
        EXPECT_TRUE(e.flags & kFlagDataDescriptor);
        const Opened r = open_entry(e, "se cret");
        EXPECT_TRUE(r.check_byte_matched);
        EXPECT_EQ(r.status, DecodeStatus::Ok) << to_string(r.status);
        EXPECT_TRUE(r.crc_matched);
        // A wrong password gets past the check byte once in 256 tries (zip's header is random),
        // and an empty entry has nothing left to betray it: only entries with data can tell.
        if (e.uncompressed_size > 0) {
            EXPECT_FALSE(open_entry(e, "secret").crc_matched);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Zip, InfoZipEncrypted,
                         ::testing::Values(ZipCommand{"Deflated", "-6", false}, ZipCommand{"Stored", "-0", false},
                                           ZipCommand{"DeflatedStream", "-9", true},
                                           ZipCommand{"StoredStream", "-0", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A one-entry archive whose data we encrypt; Info-ZIP's unzip must accept it with the
// password and refuse it without.
Bytes encrypted_archive(const Bytes& plain, std::uint16_t method, const Bytes& compressed, const std::string& password) {
    const std::uint32_t crc = crc32::of(plain);
    const std::uint32_t date_time = 0x5A8A6000;
    ZipKeys keys;
    const Byte random[11] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 0xFF};
    const auto header = keys.encrypt_header(password, random, encryption_check_byte(kFlagEncrypted, crc, date_time));
    Bytes data(header.begin(), header.end());
    Bytes body = compressed;
    keys.encrypt(body);
    data.insert(data.end(), body.begin(), body.end());
    return single_entry_zip("secret.txt", method, kFlagEncrypted, crc, static_cast<std::uint32_t>(plain.size()), data,
                            date_time);
}

Bytes raw_deflate(const Bytes& input) {
    uLongf size = compressBound(static_cast<uLong>(input.size())) + 64;
    Bytes out(size);
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    z.next_in = const_cast<Byte*>(input.data());
    z.avail_in = static_cast<uInt>(input.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

TEST(ZipKeys, UnzipAcceptsWhatWeEncrypt) {
    SKIP_WITHOUT_SHARED("corpus");
    TempFolder dir;
    const Bytes plain = read_file(shared_path("corpus/canterbury/fields.c"));
    for (const std::uint16_t method : {std::uint16_t{0}, std::uint16_t{8}}) {
        const Bytes zip = encrypted_archive(plain, method, method == 0 ? plain : raw_deflate(plain), "p4ss");
        const fs::path path = dir.path() / ("ours" + std::to_string(method) + ".zip");
        write_file(path, zip);
        EXPECT_EQ(run("unzip -qq -t -P p4ss '" + path.string() + "' >/dev/null 2>&1"), 0) << "method " << method;
        EXPECT_NE(run("unzip -qq -t -P wrong '" + path.string() + "' >/dev/null 2>&1"), 0) << "method " << method;
        // And we read it back ourselves.
        const auto entries = zip_entries(zip);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_TRUE(open_entry(entries[0], "p4ss").crc_matched);
    }
}

}  // namespace
}  // namespace zip::test
