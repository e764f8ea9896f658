#include "zip/SortedZip.h"

#include <algorithm>

#include "platform/DateTime.h"
#include "zip/ZipLib.h"

Integer CompareTextNoCase(const String& a, const String& b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        int ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[i]);
        if (ca >= 'a' && ca <= 'z') ca -= 32;
        if (cb >= 'a' && cb <= 'z') cb -= 32;
        if (ca != cb) return ca - cb;
    }
    return static_cast<Integer>(a.size()) - static_cast<Integer>(b.size());
}

bool DosDateTimeToDateTime(LongWord dos, TDateTime& value) {
    const Word time = static_cast<Word>(dos & 0xFFFF), date = static_cast<Word>(dos >> 16);
    TDateTime d = 0, t = 0;
    if (!TryEncodeDate(static_cast<Word>(1980 + (date >> 9)), (date >> 5) & 15, date & 31, d)) return false;
    if (!TryEncodeTime(time >> 11, (time >> 5) & 63, static_cast<Word>((time & 31) * 2), 0, t)) return false;
    value = d + t;
    return true;
}

Integer TSortedZip::Compare(const TObject* a, const TObject* b) const {
    const auto& A = *static_cast<const TZipHeaderInfo*>(a);
    const auto& B = *static_cast<const TZipHeaderInfo*>(b);
    switch (SortMode) {
        case TZipSortMode::ByName: return CompareTextNoCase(A.FullName(), B.FullName());
        case TZipSortMode::ByFileName: return CompareTextNoCase(A.FileName(), B.FileName());
        case TZipSortMode::ByDirectoryName: return CompareTextNoCase(A.Directory(), B.Directory());
        case TZipSortMode::ByDate: {
            // Never equal: the newest goes first and equal dates keep their insertion order.
            TDateTime da = 0, db = 0;
            if (!DosDateTimeToDateTime(A.DateTime, da)) da = 0;
            if (!DosDateTimeToDateTime(B.DateTime, db)) db = 0;
            return db > da ? 1 : -1;
        }
        case TZipSortMode::ByCompressedSize:
            // Sizes compare unsigned: a signed difference would misorder sizes 2 GiB apart.
            return B.CompressedSize > A.CompressedSize ? 1 : -1;
        case TZipSortMode::ByUnCompressedSize:
            return B.UncompressedSize > A.UncompressedSize ? 1 : -1;
        case TZipSortMode::ByRate:
            return CompPercentage(B.UncompressedSize, B.CompressedSize) -
                   CompPercentage(A.UncompressedSize, A.CompressedSize);
        case TZipSortMode::ByNone:
            if (A.DiskNumberStart != B.DiskNumberStart)
                return static_cast<Integer>(A.DiskNumberStart) - static_cast<Integer>(B.DiskNumberStart);
            // Offsets compare unsigned so that entries past 2 GiB keep their physical order.
            return B.LocalHeaderOffset < A.LocalHeaderOffset ? 1 : B.LocalHeaderOffset == A.LocalHeaderOffset ? 0 : -1;
    }
    return -1;
}
