// Signatures, record sizes and limits of the zip format as this engine reads and writes it.
//
// One place for every magic number of the archive layout, so that readers, writers and
// tests agree. Values a stored file fixes keep their width here.
#pragma once

#include <cstdint>

namespace zipconst {

// Record signatures, as little-endian 32-bit values ("PK" followed by two bytes).
inline constexpr std::uint32_t kLocalSignature = 0x04034b50;       // "PK\3\4"
inline constexpr std::uint32_t kCentralSignature = 0x02014b50;     // "PK\1\2"
inline constexpr std::uint32_t kEndSignature = 0x06054b50;         // "PK\5\6"
inline constexpr std::uint32_t kDescriptorSignature = 0x08074b50;  // "PK\7\8" (optional before a descriptor)
inline constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;  // "PK\6\7", only ever detected

// Fixed parts of the three records.
inline constexpr int kLocalSize = 30;
inline constexpr int kCentralSize = 46;
inline constexpr int kEndSize = 22;
inline constexpr int kZip64LocatorSize = 20;
// Where the data descriptor is skipped it counts as signature, CRC and two sizes.
inline constexpr int kDataDescriptorSize = 16;
// The end record search reads at most this many bytes from the end of the archive. An end
// record whose comment is longer than kEndSearchWindow - kEndSize lies outside the window.
inline constexpr int kEndSearchWindow = 65528;

// General purpose flag bits.
inline constexpr std::uint16_t kFlagEncrypted = 0x0001;
inline constexpr std::uint16_t kFlagDataDescriptor = 0x0008;
inline constexpr std::uint16_t kFlagStrongEncryption = 0x0040;
inline constexpr std::uint16_t kFlagUtf8 = 0x0800;

// Compression methods the engine knows by number.
inline constexpr std::uint16_t kMethodStored = 0;
inline constexpr std::uint16_t kMethodShrunk = 1;
inline constexpr std::uint16_t kMethodReduced1 = 2;
inline constexpr std::uint16_t kMethodReduced4 = 5;
inline constexpr std::uint16_t kMethodImploded = 6;
inline constexpr std::uint16_t kMethodDeflated = 8;
inline constexpr std::uint16_t kMethodAes = 99;

// Host system in the high byte of "version made by": 3 is Unix, whose names are UTF-8.
inline constexpr int kHostUnix = 3;

// Traditional encryption: the header in front of an encrypted entry's data.
inline constexpr int kEncryptionHeaderSize = 12;

// Zip64 markers: a field at its maximum means the real value sits in a Zip64 record.
inline constexpr std::uint32_t kZip64Marker32 = 0xFFFFFFFF;
inline constexpr std::uint16_t kZip64Marker16 = 0xFFFF;

// Defaults of a fresh header.
inline constexpr std::uint16_t kDefaultVersion = 20;
inline constexpr std::uint16_t kDefaultInternalAttributes = 1;
inline constexpr std::uint32_t kDefaultExternalAttributes = 32;  // archive bit

// Object lists hold at most this many items (a 16-bit list of the original design).
inline constexpr int kMaxListSize = 65534;

// Component version reported by ThisVersion whatever is written to it.
inline constexpr int kComponentVersion = 203;

// Extraction moves data in blocks of this many bytes.
inline constexpr int kBlockSize = 16000;
// The directory rebuild lets the message loop run after this many scanned bytes.
inline constexpr int kRebuildPumpInterval = 10240;
// Buffered streams hold this many bytes.
inline constexpr int kStreamBufferSize = 8192;

// Spanned disks are labelled with this prefix and the one-based disk number ("%3.3d").
inline constexpr const char* kDiskLabelPrefix = "PKBACK# ";

}  // namespace zipconst

namespace zipconst {
// File modes of the class library used for archive files.
inline constexpr std::uint16_t kModeCreate = 0xFFFF;
inline constexpr std::uint16_t kModeRead = 0;
inline constexpr std::uint16_t kModeReadDenyWrite = 32;
inline constexpr std::uint16_t kModeReadShareAll = 64;
}  // namespace zipconst
