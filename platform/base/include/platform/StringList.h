// String lists: the abstract TStrings and the TStringList that holds its strings.
//
// A list of text lines, each with a pointer-sized object reference beside it. TStrings gives
// the operations every list shares (name=value pairs, the whole text joined by CR LF, streams,
// update brackets); TStringList stores the items and can keep them sorted. Lookups by text
// (IndexOf, IndexOfName, Find, the sort order) compare without regard to case. A list never
// owns the objects it holds. Index errors raise EStringListError "List index out of bounds
// (%d)"; a sorted list with dupError refuses an equal string with "String list does not
// allow duplicates", and Insert or a change of a string in a sorted list raises "Operation
// not allowed on sorted list".
#pragma once

#include <vector>

#include "platform/Object.h"
#include "platform/Streams.h"

enum class TDuplicates { dupIgnore, dupAccept, dupError };
inline constexpr TDuplicates dupIgnore = TDuplicates::dupIgnore;
inline constexpr TDuplicates dupAccept = TDuplicates::dupAccept;
inline constexpr TDuplicates dupError = TDuplicates::dupError;

class TStrings : public TPersistent {
public:
    const char* ClassName() const noexcept override { return "TStrings"; }

    Integer Count() const { return GetCount(); }
    String Strings(Integer Index) const { return Get(Index); }
    String operator[](Integer Index) const { return Get(Index); }
    void SetStrings(Integer Index, const String& S) { Put(Index, S); }
    TObject* Objects(Integer Index) const { return GetObject(Index); }
    void SetObjects(Integer Index, TObject* AObject) { PutObject(Index, AObject); }

    virtual Integer Add(const String& S);
    virtual Integer AddObject(const String& S, TObject* AObject);
    void Append(const String& S) { Add(S); }
    virtual void AddStrings(TStrings& Strings);
    virtual void Clear() = 0;
    virtual void Delete(Integer Index) = 0;
    virtual void Exchange(Integer Index1, Integer Index2);
    virtual void Insert(Integer Index, const String& S) = 0;
    void InsertObject(Integer Index, const String& S, TObject* AObject);

    // Linear search without regard to case; -1 when absent.
    virtual Integer IndexOf(const String& S) const;
    Integer IndexOfObject(const TObject* AObject) const;
    // Index of the first "Name=..." line whose name matches without regard to case.
    Integer IndexOfName(const String& Name) const;
    // The part before the first "=" (empty when there is none).
    String Names(Integer Index) const;
    // The part after the first "=" of the line named Name; empty when there is none.
    String Values(const String& Name) const;
    // Replaces or adds "Name=Value"; an empty Value deletes the line.
    void SetValues(const String& Name, const String& Value);

    // Every line followed by CR LF. Setting splits at CR LF, LF or CR; a final line without
    // a break counts, an empty text gives no lines.
    String Text() const;
    void SetText(const String& Value);

    // Update brackets nest; OnChanging fires at the first Begin, OnChange at the last End.
    void BeginUpdate();
    void EndUpdate();
    Integer UpdateCount() const { return updateCount_; }

    void Assign(TPersistent* Source) override;

    // Reads from the stream's position to its end; writes Text.
    void LoadFromStream(TStream& Stream);
    void SaveToStream(TStream& Stream) const;
    // Whole files, through the layer's file streams.
    void LoadFromFile(const String& FileName);
    void SaveToFile(const String& FileName) const;

protected:
    virtual String Get(Integer Index) const = 0;
    virtual Integer GetCount() const = 0;
    virtual TObject* GetObject(Integer Index) const;
    virtual void Put(Integer Index, const String& S);
    virtual void PutObject(Integer Index, TObject* AObject);
    virtual void SetUpdateState(bool Updating);
    [[noreturn]] void Error(const char* Message, Integer Data) const;

private:
    Integer updateCount_ = 0;
};

class TStringList;
// Compares items Index1 and Index2 of List: negative, 0 or positive.
using TStringListSortCompare = Integer (*)(TStringList* List, Integer Index1, Integer Index2);

class TStringList : public TStrings {
public:
    TStringList() = default;
    TStringList(const TStringList&) = delete;
    TStringList& operator=(const TStringList&) = delete;
    ~TStringList() override;
    const char* ClassName() const noexcept override { return "TStringList"; }

    Integer Add(const String& S) override;
    Integer AddObject(const String& S, TObject* AObject) override;
    void Clear() override;
    void Delete(Integer Index) override;
    void Exchange(Integer Index1, Integer Index2) override;
    void Insert(Integer Index, const String& S) override;
    Integer IndexOf(const String& S) const override;

    // Halving search in sort order. True when found; Index is then the match (the first of
    // equal ones with dupAccept), else where S would go.
    virtual bool Find(const String& S, Integer& Index) const;
    // Sorts an unsorted list (nothing for a sorted one).
    virtual void Sort();
    virtual void CustomSort(TStringListSortCompare Compare);

    bool Sorted() const { return sorted_; }
    // Turning it on sorts the list at once.
    void SetSorted(bool Value);
    TDuplicates Duplicates() const { return duplicates_; }
    void SetDuplicates(TDuplicates Value) { duplicates_ = Value; }

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    String Get(Integer Index) const override;
    Integer GetCount() const override { return static_cast<Integer>(items_.size()); }
    TObject* GetObject(Integer Index) const override;
    void Put(Integer Index, const String& S) override;
    void PutObject(Integer Index, TObject* AObject) override;
    void SetUpdateState(bool Updating) override;
    virtual void Changed();
    virtual void Changing();

private:
    struct Item {
        String text;
        TObject* object = nullptr;
    };
    void CheckIndex(Integer Index) const;
    void InsertItem(Integer Index, const String& S, TObject* AObject);
    void QuickSort(Integer L, Integer R, TStringListSortCompare Compare);

    std::vector<Item> items_;
    bool sorted_ = false;
    TDuplicates duplicates_ = dupIgnore;
};
