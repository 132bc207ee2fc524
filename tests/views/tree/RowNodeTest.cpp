// Row trees over a tracked copy of a real package: nodes follow added, edited and deleted rows and dropped
// tables, Expand All ends over rows that own each other, a removal waiting for an edit's end is called off
// when the row belongs again, and a top-level grouping comes back after it went.
#include "NodeTesting.h"

#include "views/tree/RowNodeFactory.h"
#include "views/tree/TreeView.h"

#include <gtest/gtest.h>
#include <functional>

using namespace grid_testing;
using namespace node_testing;

namespace {

// The root features of a Features tree: rows without a parent feature.
class RootFeatures : public RowGroupingIcon<1009>
{
public:
    using RowGroupingIcon<1009>::RowGroupingIcon;
    std::wstring GetName() override { return L"Features"; }
    bool AcceptRow(MsiTable&, RowIterator row) override { return (*row)[1]->is_null(); }
};

void AddCycle(MSIHANDLE database)
{
    RunSql(database, L"INSERT INTO `Feature` (`Feature`, `Feature_Parent`, `Level`, `Attributes`) "
                     L"VALUES ('CycA', 'CycB', 1, 0)");
    RunSql(database, L"INSERT INTO `Feature` (`Feature`, `Feature_Parent`, `Level`, `Attributes`) "
                     L"VALUES ('CycB', 'CycA', 1, 0)");
    RunSql(database, L"INSERT INTO `Feature` (`Feature`, `Feature_Parent`, `Level`, `Attributes`) "
                     L"VALUES ('Sub', 'ProductFeature', 1, 0)");
}

class RowNodeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        previous_ = RegisterRowGroupingClass(
            L"Feature", true, [](const std::wstring& table, RowElementNode* owner, bool accept_all) {
                return new RootFeatures(table, owner, accept_all);
            });
    }
    void TearDown() override
    {
        root_.reset();
        tab_.reset();
        RegisterRowGroupingClass(L"Feature", true, previous_);
    }
    // A tracked tab whose Features page shows the root features under "Features".
    bool Open(bool tracking = true)
    {
        tab_ = frame_.Open({L"shortcuts.msi", false, false, tracking, &AddCycle});
        if (!tab_->ok())
            return false;
        tab_->SelectView(3);
        TreeView& tree = Tree();
        root_ = new RowElementNode(tab_.get(), L"Feature", &tree);
        RowGrouping* grouping = AddRowGrouping(root_.get(), L"Feature", true);
        for (RowIterator row = Table().rows().begin(); row != Table().rows().end(); ++row) {
            if (grouping->AcceptRow(Table(), row))
                grouping->AddRowNode(row);
        }
        return true;
    }
    TreeView& Tree() { return tab_->GetViewTabs().GetPage(3); }
    MsiFile& File() { return tab_->GetMsiFile(); }
    MsiTable& Table(const std::wstring& name = L"Feature") { return *File().FindTable(name); }
    RowIterator Row(const std::wstring& key, const std::wstring& table = L"Feature")
    {
        return FindRowByKey(Table(table), key);
    }
    // The node of a row at a path of labels from the tree's root.
    RowElementNode* Node(const std::vector<std::wstring>& path)
    {
        ContainerNode* node = Tree().Root();
        for (const std::wstring& label : path) {
            node = node ? node->FindChild(label) : nullptr;
        }
        return dynamic_cast<RowElementNode*>(node);
    }
    void Expand(ContainerNode* node)
    {
        ASSERT_TRUE(node);
        SendMessageW(Tree().GetWindow(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(node->GetItem()));
    }
    void SetParent(const std::wstring& feature, const std::wstring& parent)
    {
        File().ModifyRow(Table(), *Table().columns()[1], Row(feature),
                         parent.empty() ? MakeNullFieldData() : MsiFieldDataRef(new MsiFieldData(parent)));
    }
    void AddFeature(const std::wstring& key, const std::wstring& parent)
    {
        tab_->GetTableLookup(L"Feature")->AddRowFromText({key, parent, L"", L"", L"", L"1", L"", L"0"});
    }

    NodeFrame frame_;
    std::shared_ptr<NodeTab> tab_;
    tfc::RefersTo<RowElementNode> root_;
    testing_support::ScriptedPrompts prompts_;
    RowGroupingMaker previous_;
};

} // namespace

TEST_F(RowNodeTest, TreesFollowAddedEditedAndDeletedRowsAndDroppedTables)
{
    if (!Open())
        GTEST_SKIP() << "shared test data absent";
    EXPECT_EQ(L"Features{ProductFeature{Dummy}}", Shape(*Tree().Root()));
    Expand(Node({L"Features", L"ProductFeature"}));
    EXPECT_EQ(L"Features{ProductFeature{Feature{Sub{Dummy}},FeatureComponents{ProductFeature|ShortcutComp{"
              L"Dummy}}}}",
              Shape(*Tree().Root()));

    AddFeature(L"Added", L"ProductFeature");
    AddFeature(L"NewRoot", L"");
    EXPECT_EQ(L"Features{NewRoot{Dummy},ProductFeature{Feature{Added{Dummy},Sub{Dummy}},"
              L"FeatureComponents{ProductFeature|ShortcutComp{Dummy}}}}",
              Shape(*Tree().Root()));

    // Edited: Sub moves to the top; Added is renamed by its key's edit.
    SetParent(L"Sub", L"");
    File().ModifyRow(Table(), *Table().columns()[0], Row(L"Added"),
                     MsiFieldDataRef(new MsiFieldData(L"Renamed")));
    EXPECT_EQ(L"Features{NewRoot{Dummy},ProductFeature{Feature{Renamed{Dummy}},"
              L"FeatureComponents{ProductFeature|ShortcutComp{Dummy}}},Sub{Dummy}}",
              Shape(*Tree().Root()));

    File().DeleteRow(Table(), Row(L"Renamed"));
    File().DeleteRow(Table(), Row(L"NewRoot"));
    tab_->DropTable(tab_->FindTableNode(L"FeatureComponents"));
    EXPECT_EQ(L"Features{ProductFeature{Feature},Sub{Dummy}}", Shape(*Tree().Root()));
}

TEST_F(RowNodeTest, ExpandAllEndsOverRowsThatOwnEachOther)
{
    if (!Open())
        GTEST_SKIP() << "shared test data absent";
    // CycA and CycB are each other's parent: neither is a root feature, so CycA goes under a grouping of
    // every feature.
    RowGrouping* all =
        root_->AddGrouping(std::make_unique<RowGroupingIcon<1009>>(L"Feature", root_.get(), true));
    all->AddRowNode(Row(L"CycA"));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round ? "after a reset" : "first");
        RowElementNode* a = Node({L"Feature", L"CycA"});
        ASSERT_TRUE(a);
        a->OnCommand(40068); // Expand All
        EXPECT_EQ(L"Feature{CycB{Feature{CycA{Dummy}}}}", Shape(*a));
        RowElementNode* b = Node({L"Feature", L"CycA", L"Feature", L"CycB"});
        ASSERT_TRUE(b);
        EXPECT_TRUE(a->IsPopulated());
        EXPECT_TRUE(b->IsPopulated());
        // An edit of the row collapses its node and forgets its children: the next Expand All builds them
        // again although the item was expanded once.
        File().ModifyRow(Table(), *Table().columns()[2], Row(L"CycA"),
                         MsiFieldDataRef(new MsiFieldData(round ? L"x" : L"y")));
        EXPECT_EQ(L"Dummy", Shape(*a));
    }
}

TEST_F(RowNodeTest, ARowThatBelongsAgainBeforeTheRefreshKeepsItsNode)
{
    if (!Open())
        GTEST_SKIP() << "shared test data absent";
    Expand(Node({L"Features", L"ProductFeature"}));
    RowElementNode* sub = Node({L"Features", L"ProductFeature", L"Feature", L"Sub"});
    ASSERT_TRUE(sub);
    SendMessageW(Tree().GetWindow(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(sub->GetItem()));
    SetParent(L"Sub", L"");
    EXPECT_TRUE(sub->IsPendingRemoval()) << "selected: removed only when its edit ends";
    SetParent(L"Sub", L"ProductFeature");
    EXPECT_FALSE(sub->IsPendingRemoval());
    sub->Refresh(false);
    EXPECT_EQ(sub, Node({L"Features", L"ProductFeature", L"Feature", L"Sub"}));

    // Leaving for good: the end of the edit removes the node and its emptied grouping item.
    SetParent(L"Sub", L"");
    Node({L"Features", L"ProductFeature", L"Feature", L"Sub"})->Refresh(false);
    EXPECT_EQ(L"Features{ProductFeature{FeatureComponents{ProductFeature|ShortcutComp{Dummy}}},Sub{Dummy}}",
              Shape(*Tree().Root()));
}

TEST_F(RowNodeTest, TheTopGroupingComesBackForANewRootRow)
{
    if (!Open())
        GTEST_SKIP() << "shared test data absent";
    SetParent(L"ProductFeature", L"Sub");
    EXPECT_EQ(L"", Shape(*Tree().Root())) << "the only root feature left";
    AddFeature(L"Fresh", L"");
    EXPECT_EQ(L"Features{Fresh{Dummy}}", Shape(*Tree().Root()));
    SetParent(L"ProductFeature", L"");
    EXPECT_EQ(L"Features{Fresh{Dummy},ProductFeature{Dummy}}", Shape(*Tree().Root()));

    Expand(Node({L"Features", L"ProductFeature"}));
    RedrawWindow(frame_.frame().GetWindowHandle(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpPending();
    EnsureGdiplus();
    SaveScreenshot(frame_.frame().GetWindowHandle(), testing_support::BuildPath(L"row-tree-expanded.png"));
}

TEST_F(RowNodeTest, WithoutTrackingANodeDoesNotExpand)
{
    if (!Open(false))
        GTEST_SKIP() << "shared test data absent";
    prompts_.answer(IDOK);
    RowElementNode* node = Node({L"Features", L"ProductFeature"});
    Expand(node);
    ASSERT_EQ(1u, prompts_.asked().size());
    EXPECT_EQ(L"You must enable Row Reference Tracking to view relationships", prompts_.asked()[0].text);
    EXPECT_EQ(L"Dummy", Shape(*node));
    EXPECT_FALSE(SendMessageW(Tree().GetWindow(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(node->GetItem()),
                              TVIS_EXPANDED) &
                 TVIS_EXPANDED);
}

TEST_F(RowNodeTest, AGroupingFindsTheNodeOfARowUntilItLeaves)
{
    if (!Open())
        GTEST_SKIP() << "shared test data absent";
    RowGrouping* all =
        root_->AddGrouping(std::make_unique<RowGroupingIcon<1009>>(L"Feature", root_.get(), true));
    RowElementNode* a = all->AddRowNode(Row(L"CycA"));
    RowElementNode* b = all->AddRowNode(Row(L"CycB"));
    ASSERT_TRUE(a && b);
    struct Step
    {
        const char* what;
        std::function<void()> act;
        const wchar_t* row;
        bool found;
    } steps[] = {
        {"added", [] {}, L"CycA", true},
        {"added again: the same node", [&] { EXPECT_EQ(a, all->AddRowNode(Row(L"CycA"))); }, L"CycA", true},
        {"another row", [] {}, L"CycB", true},
        {"relabelled: still found", [&] { a->SetLabel(L"zzz"); }, L"CycA", true},
        {"removed from the item", [&] { all->GetNode()->RemoveChild(a); }, L"CycA", false},
        {"the other stays", [] {}, L"CycB", true},
        {"added anew", [&] { EXPECT_NE(nullptr, all->AddRowNode(Row(L"CycA"))); }, L"CycA", true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        RowElementNode* found = all->FindRowNode(Row(step.row));
        EXPECT_EQ(step.found, found != nullptr);
        if (found)
            EXPECT_EQ(Row(step.row), found->GetRow());
    }
}
