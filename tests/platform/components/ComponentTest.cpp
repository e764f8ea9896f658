#include <gtest/gtest.h>

#include <vector>

#include "platform/Components.h"
#include "platform/Menus.h"

namespace {

std::vector<String>* g_freed = nullptr;

class Probe : public TComponent {
public:
    Probe(TComponent* owner, const char* name) : TComponent(owner) { SetName(name); }
    ~Probe() override {
        if (g_freed) g_freed->push_back(Name());
    }
};

TEST(ComponentOwnership, OwnerFreesOwnedComponentsLastFirstAndForgetsFreedOnes) {
    std::vector<String> freed;
    g_freed = &freed;
    auto* owner = new Probe(nullptr, "Owner");
    auto* a = new Probe(owner, "A");
    new Probe(owner, "B");
    auto* c = new Probe(owner, "C");
    new Probe(a, "A1");
    c->Free();  // leaves its owner's list
    EXPECT_EQ(owner->ComponentCount(), 2);
    EXPECT_EQ(owner->FindComponent("c"), nullptr);
    owner->Free();
    g_freed = nullptr;
    // A destructor's own work comes before the components it owns go, last first.
    EXPECT_EQ(freed, (std::vector<String>{"C", "Owner", "B", "A", "A1"}));
}

TEST(ComponentOwnership, ChangingOwnerMovesTheComponent) {
    TComponent first(nullptr), second(nullptr);
    auto* p = new Probe(&first, "P");
    second.InsertComponent(p);
    EXPECT_EQ(p->Owner(), &second);
    EXPECT_EQ(first.ComponentCount(), 0);
    EXPECT_EQ(second.FindComponent("P"), p);
    EXPECT_EQ(p->ComponentIndex(), 0);
}

TEST(ComponentOwnership, FreedComponentIsDroppedByThoseThatAskedForNotification) {
    TComponent owner(nullptr);
    auto* item = new TMenuItem(&owner);
    auto* child = new TMenuItem(&owner);
    item->Add(child);
    EXPECT_EQ(item->Count(), 1);
    child->Free();
    EXPECT_EQ(item->Count(), 0);
}

TEST(ComponentOwnership, TagHoldsAPointer) {
    static_assert(sizeof(NativeInt) == sizeof(void*));
    TComponent c(nullptr);
    int target = 0;
    c.SetTag(reinterpret_cast<NativeInt>(&target));
    EXPECT_EQ(reinterpret_cast<int*>(c.Tag()), &target);
}

TEST(ComponentOwnership, AliveTokenExpiresWhenFreed) {
    auto* c = new TComponent(nullptr);
    std::weak_ptr<bool> token = c->AliveToken();
    EXPECT_FALSE(token.expired());
    FreeAndNil(c);
    EXPECT_EQ(c, nullptr);
    EXPECT_TRUE(token.expired());
}

struct NameCase {
    const char* name;
    const char* error;  // nullptr: accepted
};

class ComponentNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(ComponentNames, FollowTheClassLibraryRules) {
    TComponent owner(nullptr);
    auto* taken = new TComponent(&owner);
    taken->SetName("cmdOk");
    auto* c = new TComponent(&owner);
    const NameCase& k = GetParam();
    if (!k.error) {
        EXPECT_NO_THROW(c->SetName(k.name));
        EXPECT_EQ(c->Name(), k.name);
        return;
    }
    try {
        c->SetName(k.name);
        FAIL() << "accepted " << k.name;
    } catch (EComponentError& e) {
        EXPECT_EQ(e.Message(), k.error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ComponentNames,
    ::testing::Values(NameCase{"mnuFile_AddBackup1", nullptr}, NameCase{"_x9", nullptr}, NameCase{"", nullptr},
                      NameCase{"1abc", "Component name \"1abc\" is not valid"},
                      NameCase{"a b", "Component name \"a b\" is not valid"},
                      NameCase{"naïve", "Component name \"naïve\" is not valid"},
                      NameCase{"CMDOK", "A component named CMDOK already exists"},
                      NameCase{"cmdOk", "A component named cmdOk already exists"}));

TEST(ComponentNamesRename, RenamingToAnotherCaseOfItsOwnNameIsAllowed) {
    TComponent owner(nullptr);
    auto* c = new TComponent(&owner);
    c->SetName("tsGeneral");
    EXPECT_NO_THROW(c->SetName("TSGENERAL"));
    EXPECT_EQ(owner.FindComponent("tsgeneral"), c);
}

TEST(ComponentNamesRename, InsertingANameClashRefusesTheNewcomer) {
    TComponent owner(nullptr), other(nullptr);
    (new TComponent(&owner))->SetName("Dup");
    auto* c = new TComponent(&other);
    c->SetName("Dup");
    EXPECT_THROW(owner.InsertComponent(c), EComponentError);
    EXPECT_EQ(c->Owner(), &other);
}

}  // namespace
