// The list of archive entries: the directory in physical order (`ByNone`) and the sorted
// views by name, date, size or compression rate.
#pragma once

#include "zip/ObjectList.h"
#include "zip/ZipRecords.h"

enum class TZipSortMode : Byte {
    ByName,
    ByFileName,
    ByDirectoryName,
    ByDate,
    ByCompressedSize,
    ByUnCompressedSize,
    ByRate,
    ByNone,
};

class TSortedZip : public TSortedObjectList {
public:
    explicit TSortedZip(TDuplicates duplicates) : TSortedObjectList(duplicates) {}

    TZipSortMode SortMode = TZipSortMode::ByNone;

    TZipHeaderInfo* Header(Integer index) const { return static_cast<TZipHeaderInfo*>(Get(index)); }
    Integer Compare(const TObject* a, const TObject* b) const override;
    // Fills an empty view with the entries of source, in the order that adding them one by
    // one would give, but in n log n: a large directory is not shifted once per entry.
    void FillFrom(const TSortedZip& source);
};

// Text comparison without regard to ASCII case: the difference of the first differing
// characters (upper-cased), or of the lengths.
Integer CompareTextNoCase(const String& a, const String& b);
// DOS date and time (date in the high word) as a date-time value; false when not a valid date.
bool DosDateTimeToDateTime(LongWord dos, TDateTime& value);
