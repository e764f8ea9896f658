#include <gtest/gtest.h>

#include "zip/ObjectList.h"

namespace {

struct Counted : TObject {
    explicit Counted(int v, int* deaths = nullptr) : value(v), deaths_(deaths) {}
    ~Counted() override {
        if (deaths_) ++*deaths_;
    }
    const char* ClassName() const noexcept override { return "Counted"; }
    int value;
    int* deaths_;
};

class IntList : public TSortedObjectList {
public:
    using TSortedObjectList::TSortedObjectList;
    Integer Compare(const TObject* a, const TObject* b) const override {
        return static_cast<const Counted*>(a)->value - static_cast<const Counted*>(b)->value;
    }
};

TEST(ObjectList, CapacityGrowsByFourThenEightThenSixteen) {
    TObjectList list;
    std::vector<std::pair<int, int>> expected = {{1, 4}, {5, 8}, {9, 16}, {17, 32}, {33, 48}};
    int added = 0;
    for (auto [count, capacity] : expected) {
        while (added < count) list.Add(new Counted(added++));
        EXPECT_EQ(list.Capacity(), capacity) << "after " << count << " items";
    }
}

TEST(ObjectList, CapacityLimitIsReachedExactly) {
    TObjectList list;
    EXPECT_NO_THROW(list.SetCapacity(65534));
    EXPECT_THROW(list.SetCapacity(65535), EListError);
    list.SetCapacity(0);
    // Growing step by step must reach the limit rather than refuse the last partial step.
    list.OwnsObjects = false;
    static Counted shared(0);
    for (int i = 0; i < 65534; ++i) list.Add(&shared);
    EXPECT_EQ(list.Count(), 65534);
    EXPECT_THROW(list.Add(&shared), EListError);
    EXPECT_EQ(list.Count(), 65534);
}

TEST(ObjectList, BoundsRaiseWithTheRefusedValue) {
    TObjectList list;
    list.Add(new Counted(1));
    try {
        list.Get(3);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (3)");
    }
    Counted spare(9);
    EXPECT_THROW(list.Insert(2, &spare), EListError);
    EXPECT_THROW(list.Put(-1, nullptr), EListError);
    EXPECT_THROW(TObjectList().First(), EListError);
}

TEST(ObjectList, ClearKeepsObjectsAliveDestroyFreesThem) {
    int deaths = 0;
    Counted* a = new Counted(1, &deaths);
    {
        TObjectList list;
        list.Add(a);
        list.Clear();
        EXPECT_EQ(deaths, 0);
        list.Add(a);
    }
    EXPECT_EQ(deaths, 1);
}

TEST(ObjectList, NeighbourWalksBothWaysAndRejectsStrangers) {
    TObjectList list;
    auto* a = new Counted(1);
    auto* b = new Counted(2);
    list.Add(a);
    list.Add(b);
    EXPECT_EQ(list.Neighbour(nullptr, 1), a);
    EXPECT_EQ(list.Neighbour(nullptr, 0), b);
    EXPECT_EQ(list.Neighbour(a, 1), b);
    EXPECT_EQ(list.Neighbour(a, 0), nullptr);
    Counted stranger(5);
    try {
        list.Neighbour(&stranger, 1);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "tObject Counted not in item list");
    }
    EXPECT_THROW(TObjectList().Neighbour(nullptr, 1), EListError);
}

TEST(SortedObjectList, DuplicateRules) {
    IntList ignore(dupIgnore);
    ignore.Add(new Counted(5));
    Counted second(5);
    EXPECT_EQ(ignore.Add(&second), 0);
    EXPECT_EQ(ignore.Count(), 1);

    IntList error(dupError);
    error.Add(new Counted(5));
    Counted dup(5);
    try {
        error.Add(&dup);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "Duplicate Object index");
    }
    EXPECT_EQ(error.Count(), 1);

    IntList accept(dupAccept);
    auto* first = new Counted(5);
    auto* later = new Counted(5);
    accept.Add(new Counted(9));
    accept.Add(first);
    accept.Add(new Counted(1));
    accept.Add(later);
    // An equal key goes before the items equal to it.
    ASSERT_EQ(accept.Count(), 4);
    EXPECT_EQ(accept.Get(1), later);
    EXPECT_EQ(accept.Get(2), first);
    EXPECT_EQ(accept.IndexOf(first), 1);  // the first equal key, not the object asked for
    EXPECT_THROW(accept.Put(0, first), EListError);
}

}  // namespace
