#include "zip/SortedZip.h"

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

namespace {

// Days from 30 December 1899 to the given date (proleptic Gregorian).
long DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468 + 25569;  // 25569: 1899-12-30 to 1970-01-01
}

}  // namespace

bool DosDateTimeToDateTime(LongWord dos, TDateTime& value) {
    int time = static_cast<int>(dos & 0xFFFF), date = static_cast<int>(dos >> 16);
    int day = date & 31, month = (date >> 5) & 15, year = 1980 + (date >> 9);
    int sec = (time & 31) * 2, min = (time >> 5) & 63, hour = time >> 11;
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1) return false;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (day > kDays[month - 1] + (month == 2 && leap ? 1 : 0)) return false;
    if (hour > 23 || min > 59 || sec > 59) return false;
    value = static_cast<double>(DaysFromCivil(year, month, day)) + (hour * 3600 + min * 60 + sec) / 86400.0;
    return true;
}

Integer TSortedZip::Compare(const TListObject* a, const TListObject* b) const {
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
