#include "platform/StringList.h"

#include <utility>

#include "platform/SysUtils.h"

namespace {

constexpr const char* kListIndexError = "List index out of bounds (%d)";
constexpr const char* kDuplicateString = "String list does not allow duplicates";
constexpr const char* kSortedListError = "Operation not allowed on sorted list";

// Keeps an update bracket open for a scope, closing it also when an exception passes.
class UpdateScope {
public:
    explicit UpdateScope(TStrings& list) : list_(list) { list_.BeginUpdate(); }
    ~UpdateScope() { list_.EndUpdate(); }
    UpdateScope(const UpdateScope&) = delete;
    UpdateScope& operator=(const UpdateScope&) = delete;

private:
    TStrings& list_;
};

Integer CompareItems(TStringList* list, Integer index1, Integer index2) {
    return AnsiCompareText(list->Strings(index1), list->Strings(index2));
}

}  // namespace

// ---- TStrings ----

void TStrings::Error(const char* Message, Integer Data) const {
    String text = Message;
    const std::size_t at = text.find("%d");
    if (at != String::npos) text.replace(at, 2, std::to_string(Data));
    throw EStringListError(text);
}

Integer TStrings::Add(const String& S) {
    const Integer index = GetCount();
    Insert(index, S);
    return index;
}

Integer TStrings::AddObject(const String& S, TObject* AObject) {
    const Integer index = Add(S);
    PutObject(index, AObject);
    return index;
}

void TStrings::AddStrings(TStrings& Strings) {
    UpdateScope scope(*this);
    // Counted once: adding a list to itself copies it once, not forever.
    const Integer n = Strings.Count();
    for (Integer i = 0; i < n; ++i) AddObject(Strings.Get(i), Strings.GetObject(i));
}

void TStrings::Exchange(Integer Index1, Integer Index2) {
    UpdateScope scope(*this);
    String s1 = Get(Index1);
    TObject* o1 = GetObject(Index1);
    Put(Index1, Get(Index2));
    PutObject(Index1, GetObject(Index2));
    Put(Index2, s1);
    PutObject(Index2, o1);
}

void TStrings::InsertObject(Integer Index, const String& S, TObject* AObject) {
    Insert(Index, S);
    PutObject(Index, AObject);
}

Integer TStrings::IndexOf(const String& S) const {
    const Integer n = GetCount();
    for (Integer i = 0; i < n; ++i)
        if (AnsiCompareText(Get(i), S) == 0) return i;
    return -1;
}

Integer TStrings::IndexOfObject(const TObject* AObject) const {
    const Integer n = GetCount();
    for (Integer i = 0; i < n; ++i)
        if (GetObject(i) == AObject) return i;
    return -1;
}

Integer TStrings::IndexOfName(const String& Name) const {
    const Integer n = GetCount();
    for (Integer i = 0; i < n; ++i) {
        const String s = Get(i);
        const std::size_t eq = s.find('=');
        if (eq != String::npos && AnsiCompareText(s.substr(0, eq), Name) == 0) return i;
    }
    return -1;
}

String TStrings::Names(Integer Index) const {
    const String s = Get(Index);
    const std::size_t eq = s.find('=');
    return eq == String::npos ? String() : s.substr(0, eq);
}

String TStrings::Values(const String& Name) const {
    const Integer i = IndexOfName(Name);
    if (i < 0) return String();
    const String s = Get(i);
    return s.substr(s.find('=') + 1);
}

void TStrings::SetValues(const String& Name, const String& Value) {
    const Integer i = IndexOfName(Name);
    if (!Value.empty()) {
        if (i < 0) Add(Name + "=" + Value);
        else Put(i, Name + "=" + Value);
    } else if (i >= 0) {
        Delete(i);
    }
}

String TStrings::Text() const {
    String result;
    const Integer n = GetCount();
    for (Integer i = 0; i < n; ++i) {
        result += Get(i);
        result += "\r\n";
    }
    return result;
}

void TStrings::SetText(const String& Value) {
    UpdateScope scope(*this);
    Clear();
    std::size_t pos = 0;
    while (pos < Value.size()) {
        const std::size_t end = Value.find_first_of("\r\n", pos);
        if (end == String::npos) {
            Add(Value.substr(pos));
            break;
        }
        Add(Value.substr(pos, end - pos));
        pos = end;
        if (Value[pos] == '\r') ++pos;
        if (pos < Value.size() && Value[pos] == '\n') ++pos;
    }
}

void TStrings::BeginUpdate() {
    if (updateCount_ == 0) SetUpdateState(true);
    ++updateCount_;
}

void TStrings::EndUpdate() {
    if (updateCount_ == 0) return;
    --updateCount_;
    if (updateCount_ == 0) SetUpdateState(false);
}

void TStrings::Assign(TPersistent* Source) {
    if (auto* source = dynamic_cast<TStrings*>(Source)) {
        if (source == this) return;
        UpdateScope scope(*this);
        Clear();
        AddStrings(*source);
        return;
    }
    TPersistent::Assign(Source);
}

void TStrings::LoadFromStream(TStream& Stream) {
    const Int64 size = Stream.Size() - Stream.Position();
    String text;
    if (size > 0) {
        text.resize(static_cast<std::size_t>(size));
        Stream.ReadBuffer(text.data(), size);
    }
    SetText(text);
}

void TStrings::SaveToStream(TStream& Stream) const {
    const String text = Text();
    Stream.WriteBuffer(text.data(), static_cast<Int64>(text.size()));
}

TObject* TStrings::GetObject(Integer) const { return nullptr; }

void TStrings::Put(Integer Index, const String& S) {
    TObject* object = GetObject(Index);
    Delete(Index);
    InsertObject(Index, S, object);
}

void TStrings::PutObject(Integer, TObject*) {}

void TStrings::SetUpdateState(bool) {}

// ---- TStringList ----

TStringList::~TStringList() {
    // Freeing a list is no change its listeners should hear of.
    OnChange = nullptr;
    OnChanging = nullptr;
}

void TStringList::Changing() {
    if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

void TStringList::Changed() {
    if (UpdateCount() == 0 && OnChange) OnChange(this);
}

void TStringList::SetUpdateState(bool Updating) {
    if (Updating) Changing();
    else Changed();
}

void TStringList::CheckIndex(Integer Index) const {
    if (Index < 0 || Index >= GetCount()) Error(kListIndexError, Index);
}

Integer TStringList::Add(const String& S) { return AddObject(S, nullptr); }

Integer TStringList::AddObject(const String& S, TObject* AObject) {
    Integer index = GetCount();
    if (sorted_ && Find(S, index)) {
        switch (duplicates_) {
        case dupIgnore: return index;
        case dupError: Error(kDuplicateString, 0);
        case dupAccept: break;
        }
    }
    InsertItem(index, S, AObject);
    return index;
}

void TStringList::InsertItem(Integer Index, const String& S, TObject* AObject) {
    Changing();
    items_.insert(items_.begin() + Index, Item{S, AObject});
    Changed();
}

void TStringList::Clear() {
    if (items_.empty()) return;
    Changing();
    items_.clear();
    Changed();
}

void TStringList::Delete(Integer Index) {
    CheckIndex(Index);
    Changing();
    items_.erase(items_.begin() + Index);
    Changed();
}

void TStringList::Exchange(Integer Index1, Integer Index2) {
    CheckIndex(Index1);
    CheckIndex(Index2);
    Changing();
    std::swap(items_[static_cast<std::size_t>(Index1)], items_[static_cast<std::size_t>(Index2)]);
    Changed();
}

void TStringList::Insert(Integer Index, const String& S) {
    if (sorted_) Error(kSortedListError, 0);
    if (Index < 0 || Index > GetCount()) Error(kListIndexError, Index);
    InsertItem(Index, S, nullptr);
}

Integer TStringList::IndexOf(const String& S) const {
    if (!sorted_) return TStrings::IndexOf(S);
    Integer index;
    return Find(S, index) ? index : -1;
}

bool TStringList::Find(const String& S, Integer& Index) const {
    bool found = false;
    Integer lo = 0;
    Integer hi = GetCount() - 1;
    while (lo <= hi) {
        const Integer mid = lo + (hi - lo) / 2;
        const Integer c = AnsiCompareText(items_[static_cast<std::size_t>(mid)].text, S);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) {
                found = true;
                // Without dupAccept the first hit is the only one; with it, keep halving
                // to the left for the first of the equal strings.
                if (duplicates_ != dupAccept) lo = mid;
            }
        }
    }
    Index = lo;
    return found;
}

void TStringList::Sort() { CustomSort(CompareItems); }

void TStringList::CustomSort(TStringListSortCompare Compare) {
    if (sorted_ || GetCount() <= 1) return;
    Changing();
    QuickSort(0, GetCount() - 1, Compare);
    Changed();
}

void TStringList::QuickSort(Integer L, Integer R, TStringListSortCompare Compare) {
    // The comparison takes indices, so the pivot's index is followed as items move.
    while (L < R) {
        Integer i = L;
        Integer j = R;
        Integer p = L + (R - L) / 2;
        while (i <= j) {
            while (Compare(this, i, p) < 0) ++i;
            while (Compare(this, j, p) > 0) --j;
            if (i <= j) {
                if (i != j) {
                    std::swap(items_[static_cast<std::size_t>(i)], items_[static_cast<std::size_t>(j)]);
                    if (p == i) p = j;
                    else if (p == j) p = i;
                }
                ++i;
                --j;
            }
        }
        // Recurse into the smaller part so the stack stays logarithmic.
        if (j - L < R - i) {
            if (L < j) QuickSort(L, j, Compare);
            L = i;
        } else {
            if (i < R) QuickSort(i, R, Compare);
            R = j;
        }
    }
}

void TStringList::SetSorted(bool Value) {
    if (sorted_ == Value) return;
    if (Value) Sort();
    sorted_ = Value;
}

String TStringList::Get(Integer Index) const {
    CheckIndex(Index);
    return items_[static_cast<std::size_t>(Index)].text;
}

TObject* TStringList::GetObject(Integer Index) const {
    CheckIndex(Index);
    return items_[static_cast<std::size_t>(Index)].object;
}

void TStringList::Put(Integer Index, const String& S) {
    if (sorted_) Error(kSortedListError, 0);
    CheckIndex(Index);
    Changing();
    items_[static_cast<std::size_t>(Index)].text = S;
    Changed();
}

void TStringList::PutObject(Integer Index, TObject* AObject) {
    CheckIndex(Index);
    Changing();
    items_[static_cast<std::size_t>(Index)].object = AObject;
    Changed();
}
