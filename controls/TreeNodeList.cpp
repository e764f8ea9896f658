#include "controls/TreeNodeList.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

TTreeNodeList::~TTreeNodeList() { TTreeNodeList::Clear(); }

void TTreeNodeList::Error(const char* format, Integer value) {
    char text[96];
    std::snprintf(text, sizeof text, format, static_cast<int>(value));
    throw EListError(text);
}

Integer TTreeNodeList::Add(TTreeExNode* item) {
    Integer result = count_;
    if (result == capacity_) Grow();
    list_[result] = item;
    ++count_;
    return result;
}

void TTreeNodeList::Insert(Integer index, TTreeExNode* item) {
    if (index < 0 || index > count_) Error("List index out of bounds (%d)", index);
    if (count_ == capacity_) Grow();
    if (index < count_)
        std::memmove(list_ + index + 1, list_ + index, static_cast<size_t>(count_ - index) * sizeof(TTreeExNode*));
    list_[index] = item;
    ++count_;
}

void TTreeNodeList::Delete(Integer index) {
    if (index < 0 || index >= count_) Error("List index out of bounds (%d)", index);
    --count_;
    if (index < count_)
        std::memmove(list_ + index, list_ + index + 1, static_cast<size_t>(count_ - index) * sizeof(TTreeExNode*));
}

Integer TTreeNodeList::Remove(TTreeExNode* item) {
    Integer index = IndexOf(item);
    if (index >= 0) Delete(index);
    return index;
}

Integer TTreeNodeList::IndexOf(const TTreeExNode* item) const {
    for (Integer i = 0; i < count_; ++i)
        if (list_[i] == item) return i;
    return -1;
}

TTreeExNode* TTreeNodeList::Get(Integer index) const {
    if (index < 0 || index >= count_) Error("List index out of bounds (%d)", index);
    return list_[index];
}

void TTreeNodeList::Put(Integer index, TTreeExNode* item) {
    if (index < 0 || index >= count_) Error("List index out of bounds (%d)", index);
    list_[index] = item;
}

void TTreeNodeList::Pack() {
    Integer kept = 0;
    for (Integer i = 0; i < count_; ++i)
        if (list_[i]) list_[kept++] = list_[i];
    if (kept != count_) SetCount(kept);
}

void TTreeNodeList::SetCapacity(Integer capacity) {
    if (capacity < count_ || capacity > MaxListSize) Error("List capacity out of bounds (%d)", capacity);
    if (capacity == capacity_) return;
    if (capacity == 0) {
        std::free(list_);
        list_ = nullptr;
    } else {
        void* grown = std::realloc(list_, static_cast<size_t>(capacity) * sizeof(TTreeExNode*));
        if (!grown) throw EOutOfResources("Out of memory");
        list_ = static_cast<TTreeExNode**>(grown);
    }
    capacity_ = capacity;
}

void TTreeNodeList::SetCount(Integer count) {
    if (count < 0 || count > MaxListSize) Error("List count out of bounds (%d)", count);
    if (count > capacity_) SetCapacity(count);
    for (Integer i = count_; i < count; ++i) list_[i] = nullptr;
    count_ = count;
}

void TTreeNodeList::Clear() {
    SetCount(0);
    SetCapacity(0);
}

void TTreeNodeList::Grow() {
    Integer delta = capacity_ > 64 ? capacity_ / 4 : capacity_ > 8 ? 16 : 4;
    SetCapacity(capacity_ + delta);
}

void TTreeNodeList::Sort(TTreeNodeCompare compare, LPARAM data) {
    if (list_ && count_ > 0) QuickSort(0, count_ - 1, compare, data);
}

// A partition sort over the pivot's value. The scans are bounded by the range, so a
// comparison that contradicts itself (a user's OnCompare may) can neither run off the array
// nor stop the partitions from shrinking; the smaller side recurses, so the depth stays
// logarithmic. With a consistent comparison the bounds are never reached and the order of
// comparisons and swaps is that of the plain algorithm.
void TTreeNodeList::QuickSort(Integer l, Integer r, TTreeNodeCompare compare, LPARAM data) {
    auto cmp = [&](TTreeExNode* a, TTreeExNode* b) {
        return compare(reinterpret_cast<LPARAM>(a), reinterpret_cast<LPARAM>(b), data);
    };
    while (l < r) {
        Integer i = l, j = r;
        TTreeExNode* pivot = list_[static_cast<UInt64>(static_cast<UInt64>(l) + static_cast<UInt64>(r)) >> 1];
        do {
            while (i < r && cmp(list_[i], pivot) < 0) ++i;
            while (j > l && cmp(list_[j], pivot) > 0) --j;
            if (i <= j) {
                std::swap(list_[i], list_[j]);
                ++i;
                --j;
            }
        } while (i <= j);
        if (j - l < r - i) {
            if (l < j) QuickSort(l, j, compare, data);
            l = i;
        } else {
            if (i < r) QuickSort(i, r, compare, data);
            r = j;
        }
    }
}
