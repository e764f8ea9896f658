// Fuzz target of the directory reader alone: any bytes as an archive, read into a list and
// nothing extracted. After every input either the engine raised a clear error, or the list
// holds exactly the records of the central directory (read back to back from its start to
// its stated size, at least as many as the end record counts) or, rebuilt from local
// headers, what the scan found; and in both cases no two entries on one disk share bytes,
// judged from the input itself. A violation aborts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <tuple>
#include <vector>

#include "tests/fuzz/InputUnZipper.h"
#include "zip/ZipConstants.h"

namespace {

class Lister : public zip::fuzz::InputUnZipper {
public:
    void Check() const {
        std::vector<const TZipHeaderInfo*> entries;
        for (Integer i = 0; i < directory_->Count(); ++i) entries.push_back(directory_->Header(i));
        if (!rebuilt_) CheckRecords(entries);
        CheckOverlaps(entries);
    }

private:
    static void Require(bool holds) {
        if (!holds) std::abort();
    }
    std::uint32_t Get(std::size_t at, int bytes) const {
        std::uint32_t v = 0;
        for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | data[at + static_cast<std::size_t>(i)];
        return v;
    }

    // The records lie back to back from the directory's start and fill its stated size; a
    // single file's list has at least the end record's count.
    void CheckRecords(std::vector<const TZipHeaderInfo*> entries) const {
        long long total = 0;
        for (const auto* e : entries) total += e->CentralSize();
        Require(total == endCentral_.CentralSize);
        if (endCentral_.ThisDisk != 0) {
            Require(static_cast<long long>(entries.size()) == endCentral_.TotalEntries);
            return;
        }
        Require(static_cast<long long>(entries.size()) >= endCentral_.TotalEntries);
        std::sort(entries.begin(), entries.end(),
                  [](auto* a, auto* b) { return a->CentralRecordPosition < b->CentralRecordPosition; });
        long long at = endCentral_.CentralOffset;
        for (const auto* e : entries) {
            Require(e->CentralRecordPosition == at);
            Require(at + 4 <= static_cast<long long>(size) && Get(static_cast<std::size_t>(at), 4) == zipconst::kCentralSignature);
            at += e->CentralSize();
        }
    }

    // Within each disk, in offset order, an entry's local header, data and descriptor end
    // before the next entry starts. The local header's lengths and descriptor flag count
    // where it is in the input (the disk read last), else the central ones.
    void CheckOverlaps(std::vector<const TZipHeaderInfo*> entries) const {
        std::sort(entries.begin(), entries.end(), [](auto* a, auto* b) {
            return std::tie(a->DiskNumberStart, a->LocalHeaderOffset) < std::tie(b->DiskNumberStart, b->LocalHeaderOffset);
        });
        const TZipHeaderInfo* previous = nullptr;
        long long previousEnd = 0;
        for (const auto* e : entries) {
            if (previous && previous->DiskNumberStart != e->DiskNumberStart) previous = nullptr;
            const long long start = e->LocalHeaderOffset;
            Require(previous == nullptr || start >= previousEnd);
            long long lengths = static_cast<long long>(e->NameLength) + e->ExtraLength;
            bool descriptor = e->HasDataDescriptor();
            const std::size_t at = static_cast<std::size_t>(start);
            if (e->DiskNumberStart == endCentral_.ThisDisk && start + zipconst::kLocalSize <= static_cast<long long>(size) &&
                Get(at, 4) == zipconst::kLocalSignature) {
                lengths = static_cast<long long>(Get(at + 26, 2)) + Get(at + 28, 2);
                descriptor = (Get(at + 6, 2) & zipconst::kFlagDataDescriptor) != 0;
            }
            previous = e;
            previousEnd = e->NeedsZip64() ? start + zipconst::kLocalSize
                                          : start + zipconst::kLocalSize + lengths + e->CompressedSize +
                                                (descriptor ? zipconst::kDataDescriptorSize - 4 : 0);
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Lister z;
    z.data = data;
    z.size = size;
    z.SetZipName("A:\\fuzz.zip");
    z.IncompleteZipMode = (size & 1) ? TIncompleteZipMode::izAssumeBad : TIncompleteZipMode::izAssumeMulti;
    z.DoProcessMessages = false;
    try {
        z.ReadZip();
    } catch (const Exception& e) {
        if (e.what()[0] == '\0') std::abort();  // an error must say what it is
        return 0;
    }
    if (z.Count() > 0) z.Check();
    return 0;
}
