// Object lists of the zip engine: a growable array of object references that can own its
// objects, and a sorted variant that places objects by an abstract comparison.
//
// The archive directory and its sorted views are built on these lists. They never hold more
// than kMaxListSize items; every bound violation raises EListError and leaves the list as it
// was. A sorted list never reorders its items after insertion.
#pragma once

#include <vector>

#include "platform/Exceptions.h"
#include "platform/Object.h"
#include "platform/StringList.h"  // TDuplicates

class TObjectList {
public:
    TObjectList();
    virtual ~TObjectList();
    TObjectList(const TObjectList&) = delete;
    TObjectList& operator=(const TObjectList&) = delete;

    bool OwnsObjects = true;

    Integer Count() const { return static_cast<Integer>(items_.size()); }
    Integer Capacity() const { return capacity_; }

    TObject* Get(Integer index) const;
    virtual void Put(Integer index, TObject* item);
    virtual Integer Add(TObject* item);
    virtual void Insert(Integer index, TObject* item);
    virtual Integer IndexOf(TObject* item) const;
    TObject* First() const { return Get(0); }
    TObject* Last() const { return Get(Count() - 1); }
    // Direction 0 is the previous item, anything else the next; no object asks for the ends.
    TObject* Neighbour(TObject* item, int direction) const;

    virtual void FreeObject(TObject* item);
    void FreeAll();
    // Forgets the items without freeing them.
    void Clear();
    void SetCapacity(Integer n);
    void SetCount(Integer n);

protected:
    [[noreturn]] virtual void Error(Integer value) const;
    virtual void Grow();
    // Places item at index without any bound or order check (callers checked).
    void InsertAt(Integer index, TObject* item);

    std::vector<TObject*> items_;
    Integer capacity_ = 0;
};

class TSortedObjectList : public TObjectList {
public:
    explicit TSortedObjectList(TDuplicates duplicates);

    TDuplicates Duplicates;

    void Put(Integer index, TObject* item) override;
    // Always 0, not the position: the list decides where the item goes.
    Integer Add(TObject* item) override;
    // The index is ignored; the item goes where its key belongs.
    void Insert(Integer index, TObject* item) override;
    Integer IndexOf(TObject* item) const override;

    virtual const TObject* KeyOf(const TObject* item) const { return item; }
    // Negative when a (already in the list) sorts before b (being placed), 0 when equal.
    virtual Integer Compare(const TObject* a, const TObject* b) const = 0;
    // Halving search; position is where the key is or would go.
    virtual bool Search(const TObject* key, Integer& position) const;
};
