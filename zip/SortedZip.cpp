#include "zip/SortedZip.h"

#include <algorithm>
#include <vector>

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

namespace {

// CompareTextNoCase of directory + file name without building the joined texts: a sort
// compares each entry many times.
Integer CompareFullNames(const TZipHeaderInfo& a, const TZipHeaderInfo& b) {
    const String& ad = a.Directory();
    const String& an = a.FileName();
    const String& bd = b.Directory();
    const String& bn = b.FileName();
    const size_t na = ad.size() + an.size(), nb = bd.size() + bn.size(), n = std::min(na, nb);
    for (size_t i = 0; i < n; ++i) {
        int ca = static_cast<unsigned char>(i < ad.size() ? ad[i] : an[i - ad.size()]);
        int cb = static_cast<unsigned char>(i < bd.size() ? bd[i] : bn[i - bd.size()]);
        if (ca >= 'a' && ca <= 'z') ca -= 32;
        if (cb >= 'a' && cb <= 'z') cb -= 32;
        if (ca != cb) return ca - cb;
    }
    return static_cast<Integer>(na) - static_cast<Integer>(nb);
}

}  // namespace

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
        case TZipSortMode::ByName: return CompareFullNames(A, B);
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

void TSortedZip::FillFrom(const TSortedZip& source) {
    std::vector<TObject*> items(source.items_.begin(), source.items_.end());
    // Adding places an entry before those that compare equal to it. In the modes whose
    // comparison can be 0 equal entries therefore end up in reverse order of adding; in
    // the others (never 0) they keep it. A stable sort of the right input order gives both.
    bool canBeEqual = SortMode == TZipSortMode::ByName || SortMode == TZipSortMode::ByFileName ||
                      SortMode == TZipSortMode::ByDirectoryName || SortMode == TZipSortMode::ByRate ||
                      SortMode == TZipSortMode::ByNone;
    if (canBeEqual) std::reverse(items.begin(), items.end());
    // a goes before b when, with a in the list, b placed later would go after it.
    std::stable_sort(items.begin(), items.end(), [this](TObject* a, TObject* b) {
        return Compare(b, a) > 0 && Compare(a, b) < 0;
    });
    Clear();
    SetCapacity(static_cast<Integer>(items.size()));
    items_ = std::move(items);
}
