// TTreeNodeList: the growable array of node references the tree keeps wherever it needs an
// ordered set of nodes (children of a node, the selection, the pre-order item cache, range and
// rubber-band lists). It holds references only and never frees a node.
#pragma once

#include "platform/Exceptions.h"
#include "platform/TreeView.h"

class TTreeExNode;

// The same shape as the tree window's sort callback, so one function serves both: the two
// items come as pointer-sized values holding the nodes.
using TTreeNodeCompare = PFNTVCOMPARE;

class TTreeNodeList {
public:
    static constexpr Integer MaxListSize = 134217727;  // 2^27 - 1

    TTreeNodeList() = default;
    virtual ~TTreeNodeList();
    TTreeNodeList(const TTreeNodeList&) = delete;
    TTreeNodeList& operator=(const TTreeNodeList&) = delete;

    Integer Add(TTreeExNode* item);
    void Insert(Integer index, TTreeExNode* item);
    void Delete(Integer index);
    Integer Remove(TTreeExNode* item);
    Integer IndexOf(const TTreeExNode* item) const;
    TTreeExNode* Get(Integer index) const;
    TTreeExNode* operator[](Integer index) const { return Get(index); }
    void Put(Integer index, TTreeExNode* item);
    void Pack();
    void SetCapacity(Integer capacity);
    void SetCount(Integer count);
    virtual void Clear();
    void Sort(TTreeNodeCompare compare, LPARAM data);

    Integer Count() const { return count_; }
    Integer Capacity() const { return capacity_; }
    TTreeExNode* const* List() const { return list_; }

protected:
    virtual void Grow();

private:
    [[noreturn]] static void Error(const char* format, Integer value);
    void QuickSort(Integer l, Integer r, TTreeNodeCompare compare, LPARAM data);

    TTreeExNode** list_ = nullptr;
    Integer count_ = 0;
    Integer capacity_ = 0;
};
