#include "zip/ObjectList.h"

#include <algorithm>
#include <cstdio>

#include "zip/ZipConstants.h"

TObjectList::TObjectList() = default;

TObjectList::~TObjectList() {
    FreeAll();
    Clear();
}

void TObjectList::Error(Integer value) const {
    char text[64];
    std::snprintf(text, sizeof text, "List index out of bounds (%d)", value);
    throw EListError(text);
}

TObject* TObjectList::Get(Integer index) const {
    if (index < 0 || index >= Count()) Error(index);
    return items_[static_cast<size_t>(index)];
}

void TObjectList::Put(Integer index, TObject* item) {
    if (index < 0 || index >= Count()) Error(index);
    items_[static_cast<size_t>(index)] = item;
}

void TObjectList::InsertAt(Integer index, TObject* item) {
    if (Count() == capacity_) Grow();
    items_.insert(items_.begin() + index, item);
}

Integer TObjectList::Add(TObject* item) {
    Integer index = Count();
    InsertAt(index, item);
    return index;
}

void TObjectList::Insert(Integer index, TObject* item) {
    if (index < 0 || index > Count()) Error(index);
    InsertAt(index, item);
}

Integer TObjectList::IndexOf(TObject* item) const {
    for (Integer i = 0; i < Count(); ++i)
        if (items_[static_cast<size_t>(i)] == item) return i;
    return -1;
}

TObject* TObjectList::Neighbour(TObject* item, int direction) const {
    if (item == nullptr) return direction != 0 ? First() : Last();
    Integer i = IndexOf(item);
    if (i < 0) {
        char text[160];
        std::snprintf(text, sizeof text, "tObject %s not in item list", item->ClassName());
        throw EListError(text);
    }
    Integer j = direction == 0 ? i - 1 : i + 1;
    if (j < 0 || j >= Count()) return nullptr;
    return items_[static_cast<size_t>(j)];
}

void TObjectList::FreeObject(TObject* item) {
    if (OwnsObjects) delete item;
}

void TObjectList::FreeAll() {
    // Items are freed in index order; the slots are cleared first so that a destructor that
    // looks at the list never meets a dangling reference.
    std::vector<TObject*> items;
    items.swap(items_);
    for (TObject* item : items) FreeObject(item);
    Clear();
}

void TObjectList::Clear() {
    items_.clear();
    SetCapacity(0);
}

void TObjectList::Grow() {
    Integer step = capacity_ > 8 ? 16 : capacity_ > 4 ? 8 : 4;
    // The last step is shortened so that the list really reaches its limit instead of
    // refusing a full step that would pass it.
    Integer target = capacity_ + step;
    if (target > zipconst::kMaxListSize && capacity_ < zipconst::kMaxListSize) target = zipconst::kMaxListSize;
    SetCapacity(target);
}

void TObjectList::SetCapacity(Integer n) {
    if (n == capacity_) return;
    if (n < Count() || n > zipconst::kMaxListSize) Error(n);
    if (n == 0) {
        std::vector<TObject*>().swap(items_);
    } else if (static_cast<size_t>(n) > items_.capacity()) {
        // The list's own capacity grows in small steps; the storage under it grows
        // geometrically so that filling a large directory does not copy it over and over.
        items_.reserve(std::max(static_cast<size_t>(n), items_.capacity() * 2));
    }
    capacity_ = n;
}

void TObjectList::SetCount(Integer n) {
    if (n < 0 || n > zipconst::kMaxListSize) Error(n);
    if (n > capacity_) SetCapacity(n);
    items_.resize(static_cast<size_t>(n), nullptr);
}

TSortedObjectList::TSortedObjectList(TDuplicates duplicates) : Duplicates(duplicates) {}

void TSortedObjectList::Put(Integer, TObject*) {
    throw EListError("Cannot <Put> an Object in a sorted list!");
}

bool TSortedObjectList::Search(const TObject* key, Integer& position) const {
    Integer lo = 0, hi = Count() - 1;
    bool found = false;
    while (lo <= hi) {
        Integer mid = lo + (hi - lo) / 2;
        Integer c = Compare(KeyOf(items_[static_cast<size_t>(mid)]), key);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) {
                found = true;
                // Accepting duplicates keeps halving to the first equal item; otherwise the
                // equal item met is the answer.
                if (Duplicates != dupAccept) lo = mid;
            }
        }
    }
    position = lo;
    return found;
}

void TSortedObjectList::Insert(Integer, TObject* item) {
    Integer position = 0;
    if (Search(KeyOf(item), position)) {
        switch (Duplicates) {
            case dupIgnore: return;  // the object stays the caller's
            case dupError: throw EListError("Duplicate Object index");
            case dupAccept: break;
        }
    }
    InsertAt(position, item);
}

Integer TSortedObjectList::Add(TObject* item) {
    Insert(0, item);
    return 0;
}

Integer TSortedObjectList::IndexOf(TObject* item) const {
    Integer position = 0;
    return Search(KeyOf(item), position) ? position : -1;
}
