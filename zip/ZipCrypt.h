// The traditional zip encryption: a stream cipher keyed by the password through three
// 32-bit keys, as extraction (decrypting) and the writer (encrypting) both use it.
//
// Each entry's data starts with a 12-byte encryption header; its last byte, decrypted,
// must equal the check byte (the high byte of the CRC, or of the DOS time when the
// entry has a data descriptor). Only that byte is checked, so a wrong password slips
// through about once in 256 tries and the entry's CRC then tells.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/Types.h"
#include "zip/Crc32.h"

namespace zip {

inline constexpr std::size_t kEncryptionHeaderSize = 12;
inline constexpr std::uint16_t kFlagEncrypted = 0x0001;
inline constexpr std::uint16_t kFlagDataDescriptor = 0x0008;

// The byte the last header byte must decrypt to. `dos_date_time` holds the time in its
// low 16 bits, as in the records.
inline Byte encryption_check_byte(std::uint16_t flags, std::uint32_t crc, std::uint32_t dos_date_time) {
    return (flags & kFlagDataDescriptor) ? static_cast<Byte>(dos_date_time >> 8) : static_cast<Byte>(crc >> 24);
}

class ZipKeys {
public:
    ZipKeys() = default;
    // The password's bytes are used as they are: no code page or case conversion.
    explicit ZipKeys(std::string_view password) { init(password); }

    void init(std::string_view password) {
        key0_ = 0x12345678;
        key1_ = 0x23456789;
        key2_ = 0x34567890;
        for (const char c : password) update(static_cast<Byte>(c));
    }

    void update(Byte plain) {
        key0_ = crc32::update_byte(key0_, plain);
        key1_ = (key1_ + (key0_ & 0xFF)) * 134775813u + 1;
        key2_ = crc32::update_byte(key2_, static_cast<Byte>(key1_ >> 24));
    }

    // The next key-stream byte.
    Byte stream_byte() const {
        const std::uint32_t t = (key2_ & 0xFFFF) | 2;
        return static_cast<Byte>((t * (t ^ 1)) >> 8);
    }

    Byte decrypt_byte(Byte cipher) {
        const Byte plain = cipher ^ stream_byte();
        update(plain);
        return plain;
    }
    Byte encrypt_byte(Byte plain) {
        const Byte cipher = plain ^ stream_byte();
        update(plain);
        return cipher;
    }

    void decrypt(std::span<Byte> data) {
        for (Byte& b : data) b = decrypt_byte(b);
    }
    void encrypt(std::span<Byte> data) {
        for (Byte& b : data) b = encrypt_byte(b);
    }

    // Sets the keys from the password and decrypts the 12-byte header in place, leaving
    // the keys ready for the entry's data. Returns the last decrypted byte, to be compared
    // with encryption_check_byte().
    Byte decrypt_header(std::string_view password, std::span<Byte, kEncryptionHeaderSize> header) {
        init(password);
        decrypt(header);
        return header[kEncryptionHeaderSize - 1];
    }

    // Sets the keys from the password and encrypts a new entry's header: the caller's
    // eleven random bytes, then the check byte. The keys stand ready for the entry's data.
    std::array<Byte, kEncryptionHeaderSize> encrypt_header(std::string_view password,
                                                           std::span<const Byte, kEncryptionHeaderSize - 1> random,
                                                           Byte check_byte) {
        init(password);
        std::array<Byte, kEncryptionHeaderSize> header;
        for (std::size_t i = 0; i + 1 < kEncryptionHeaderSize; ++i) header[i] = encrypt_byte(random[i]);
        header[kEncryptionHeaderSize - 1] = encrypt_byte(check_byte);
        return header;
    }

    std::uint32_t key0() const { return key0_; }
    std::uint32_t key1() const { return key1_; }
    std::uint32_t key2() const { return key2_; }

private:
    std::uint32_t key0_ = 0x12345678;
    std::uint32_t key1_ = 0x23456789;
    std::uint32_t key2_ = 0x34567890;
};

}  // namespace zip
