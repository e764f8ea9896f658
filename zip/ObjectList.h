// Object lists of the zip engine: a growable array of object references that can own its
// objects, and a sorted variant that places objects by an abstract comparison.
//
// The archive directory and its sorted views are built on these lists. They never hold more
// than kMaxListSize items; every bound violation raises EListError and leaves the list as it
// was. A sorted list never reorders its items after insertion.
#pragma once

#include <vector>

#include "platform/Exceptions.h"

// Base of every object the lists hold: a virtual destructor and a class name for messages.
class TListObject {
public:
    virtual ~TListObject();
    virtual const char* ClassName() const { return "TListObject"; }
};

class TObjectList {
public:
    TObjectList();
    virtual ~TObjectList();
    TObjectList(const TObjectList&) = delete;
    TObjectList& operator=(const TObjectList&) = delete;

    bool OwnsObjects = true;

    Integer Count() const { return static_cast<Integer>(items_.size()); }
    Integer Capacity() const { return capacity_; }

    TListObject* Get(Integer index) const;
    virtual void Put(Integer index, TListObject* item);
    virtual Integer Add(TListObject* item);
    virtual void Insert(Integer index, TListObject* item);
    virtual Integer IndexOf(TListObject* item) const;
    TListObject* First() const { return Get(0); }
    TListObject* Last() const { return Get(Count() - 1); }
    // Direction 0 is the previous item, anything else the next; no object asks for the ends.
    TListObject* Neighbour(TListObject* item, int direction) const;

    virtual void FreeObject(TListObject* item);
    void FreeAll();
    // Forgets the items without freeing them.
    void Clear();
    void SetCapacity(Integer n);
    void SetCount(Integer n);

protected:
    [[noreturn]] virtual void Error(Integer value) const;
    virtual void Grow();
    // Places item at index without any bound or order check (callers checked).
    void InsertAt(Integer index, TListObject* item);

    std::vector<TListObject*> items_;
    Integer capacity_ = 0;
};

enum class TDuplicates : Byte { dupIgnore = 0, dupAccept = 1, dupError = 2 };

class TSortedObjectList : public TObjectList {
public:
    explicit TSortedObjectList(TDuplicates duplicates);

    TDuplicates Duplicates;

    void Put(Integer index, TListObject* item) override;
    // Always 0, not the position: the list decides where the item goes.
    Integer Add(TListObject* item) override;
    // The index is ignored; the item goes where its key belongs.
    void Insert(Integer index, TListObject* item) override;
    Integer IndexOf(TListObject* item) const override;

    virtual const TListObject* KeyOf(const TListObject* item) const { return item; }
    // Negative when a (already in the list) sorts before b (being placed), 0 when equal.
    virtual Integer Compare(const TListObject* a, const TListObject* b) const = 0;
    // Halving search; position is where the key is or would go.
    virtual bool Search(const TListObject* key, Integer& position) const;
};
