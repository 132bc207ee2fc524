// Tree nodes in a real tree-view control: order, labels, selection and the list, lifetimes.
#include "views/grid/ObjectWindow.h"
#include "views/tree/NodePainter.h"
#include "views/tree/StaticNode.h"
#include "views/tree/TreeView.h"

#include <gtest/gtest.h>
#include <functional>
#include <vector>

namespace {

// A host window that hands the tree's notifications to the TreeView, as a document tab does.
LRESULT CALLBACK host_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    auto* tree = reinterpret_cast<TreeView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (tree && message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lparam)->hwndFrom == tree->GetWindow())
        return tree->OnNotify(reinterpret_cast<NMHDR*>(lparam));
    if (tree && message == WM_CONTEXTMENU && reinterpret_cast<HWND>(wparam) == tree->GetWindow())
        return tree->OnContextMenu(static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam)));
    return DefWindowProcW(window, message, wparam, lparam);
}

// Counts its selections and its deaths; can run a callback when selected.
class ProbeNode : public StaticNode
{
public:
    explicit ProbeNode(const std::wstring& label) : StaticNode(label) { ++alive; }
    ~ProbeNode() override { --alive; }
    void OnSelected(ObjectWindow* list) override
    {
        ++selected;
        StaticNode::OnSelected(list);
        if (on_selected)
            on_selected();
    }
    void OnDeselected() override { ++deselected; }
    void OnContextMenu(int, int) override { ++menus; }
    void Rename(const std::wstring& label) { SetLabel(label); }
    int selected = 0, deselected = 0, menus = 0;
    std::function<void()> on_selected;
    static int alive;
};
int ProbeNode::alive = 0;

class TreeViewTest : public testing::Test
{
protected:
    void SetUp() override
    {
        WNDCLASSW window_class = {};
        window_class.lpfnWndProc = host_proc;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.lpszClassName = L"TreeViewTestHost";
        RegisterClassW(&window_class);
        host_ = CreateWindowExW(0, L"TreeViewTestHost", L"", WS_OVERLAPPEDWINDOW, 0, 0, 500, 400, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
        HWND control =
            CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                            WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS, 0,
                            0, 250, 380, host_, nullptr, GetModuleHandleW(nullptr), nullptr);
        list_.Create(host_, nullptr);
        tree_ = std::make_unique<TreeView>();
        tree_->SetWindow(control);
        tree_->SetListView(&list_);
        SetWindowLongPtrW(host_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(tree_.get()));
    }
    void TearDown() override
    {
        tree_.reset();
        SetWindowLongPtrW(host_, GWLP_USERDATA, 0);
        DestroyWindow(host_);
        EXPECT_EQ(ProbeNode::alive, 0);
    }

    // Labels of the items under `parent` in the control's order.
    std::vector<std::wstring> ControlOrder(HTREEITEM parent = TVI_ROOT)
    {
        std::vector<std::wstring> labels;
        HWND control = tree_->GetWindow();
        auto item = parent == TVI_ROOT
                        ? reinterpret_cast<HTREEITEM>(SendMessageW(control, TVM_GETNEXTITEM, TVGN_ROOT, 0))
                        : reinterpret_cast<HTREEITEM>(SendMessageW(control, TVM_GETNEXTITEM, TVGN_CHILD,
                                                                   reinterpret_cast<LPARAM>(parent)));
        for (; item; item = reinterpret_cast<HTREEITEM>(
                         SendMessageW(control, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item))))
            labels.push_back(tree_->NodeFromItem(item)->GetLabel());
        return labels;
    }
    std::vector<ContainerNode*> SetOrder(ContainerNode* parent)
    {
        std::vector<ContainerNode*> nodes;
        for (const auto& child : parent->GetChildren())
            nodes.push_back(child.node.get());
        return nodes;
    }
    void Select(ContainerNode* node)
    {
        SendMessageW(tree_->GetWindow(), TVM_SELECTITEM, TVGN_CARET,
                     reinterpret_cast<LPARAM>(node ? node->GetItem() : nullptr));
    }

    HWND host_ = nullptr;
    ObjectWindow list_;
    std::unique_ptr<TreeView> tree_;
};

} // namespace

TEST_F(TreeViewTest, LabelsAreCutAfterAHundredCharacters)
{
    std::wstring hundred(100, L'x');
    EXPECT_EQ(ContainerNode::CutLabel(hundred), hundred);
    EXPECT_EQ(ContainerNode::CutLabel(hundred + L"y"), hundred + L" ...");
    StaticNode node(hundred + L"yz");
    EXPECT_EQ(node.GetLabel(), hundred + L" ...");
    // A selected grey label is darkened to read on the selection; black stays black.
    struct
    {
        int depth;
        bool selected;
        COLORREF colour;
    } cases[] = {{1, false, RGB(0xA0, 0xA0, 0xA0)},
                 {1, true, RGB(0x40, 0x40, 0x40)},
                 {2, false, RGB(0, 0, 0)},
                 {2, true, RGB(0, 0, 0)}};
    for (const auto& c : cases)
        EXPECT_EQ(NodePainter::TextColourFor(c.depth, c.selected), c.colour) << c.depth << c.selected;
}

TEST_F(TreeViewTest, ChildrenStandInLabelOrderAndEqualLabelsKeepTheirArrival)
{
    ContainerNode* root = tree_->Root();
    auto* b = root->AddChild(new ProbeNode(L"b"));
    auto* a1 = root->AddChild(new ProbeNode(L"a"));
    auto* a2 = root->AddChild(new ProbeNode(L"a"));
    auto* ab = root->AddChild(new ProbeNode(L"ab"));
    EXPECT_EQ(SetOrder(root), (std::vector<ContainerNode*>{a1, a2, ab, b}));
    EXPECT_EQ(ControlOrder(), (std::vector<std::wstring>{L"a", L"a", L"ab", L"b"}));
    EXPECT_EQ(tree_->NodeFromItem(a2->GetItem()), a2);
    EXPECT_EQ(root->FindChild(L"a"), a1);
    EXPECT_EQ(root->FindChild(L"A"), nullptr);
    EXPECT_EQ(tree_->GetLastNode(), b);
    EXPECT_EQ(a1->Depth(), 1);
    auto* leaf = a1->AddChild(new ProbeNode(L"leaf"));
    EXPECT_EQ(leaf->Depth(), 2);
    EXPECT_EQ(leaf->GetTree(), tree_.get());
    EXPECT_EQ(ControlOrder(a1->GetItem()), std::vector<std::wstring>{L"leaf"});
}

TEST_F(TreeViewTest, AChangedLabelMovesTheNodeInTheSetAndInTheControl)
{
    ContainerNode* root = tree_->Root();
    auto* a = root->AddChild(new ProbeNode(L"a"));
    auto* c = root->AddChild(new ProbeNode(L"c"));
    auto* e = root->AddChild(new ProbeNode(L"e"));
    a->AddChild(new ProbeNode(L"child"));
    Select(a);
    a->Rename(L"d");
    EXPECT_EQ(SetOrder(root), (std::vector<ContainerNode*>{c, a, e}));
    EXPECT_EQ(ControlOrder(), (std::vector<std::wstring>{L"c", L"d", L"e"}));
    // The item moved with its subtree and its selection.
    EXPECT_EQ(ControlOrder(a->GetItem()), std::vector<std::wstring>{L"child"});
    EXPECT_EQ(tree_->GetSelectedNode(), a);
    // Inserts and finds still work on the re-sorted set.
    auto* b = root->AddChild(new ProbeNode(L"b"));
    EXPECT_EQ(ControlOrder(), (std::vector<std::wstring>{L"b", L"c", L"d", L"e"}));
    EXPECT_EQ(root->FindChild(L"d"), a);
    EXPECT_EQ(root->FindChild(L"a"), nullptr);
    e->Rename(L"a");
    EXPECT_EQ(SetOrder(root), (std::vector<ContainerNode*>{e, b, c, a}));
    EXPECT_EQ(ControlOrder(), (std::vector<std::wstring>{L"a", L"b", L"c", L"d"}));
}

TEST_F(TreeViewTest, SelectionHandsTheListToTheNodeAndADyingHandlerLetsGo)
{
    ContainerNode* root = tree_->Root();
    auto* first = root->AddChild(new ProbeNode(L"first"));
    auto* second = root->AddChild(new ProbeNode(L"second"));
    Select(first);
    EXPECT_EQ(first->selected, 1);
    EXPECT_EQ(list_.GetHandler(), static_cast<ObjectBase*>(first));
    Select(second);
    EXPECT_EQ(first->deselected, 1);
    EXPECT_EQ(list_.GetHandler(), static_cast<ObjectBase*>(second));

    // Whatever the control does on deleting the selected item, the freed node no longer handles the list.
    root->RemoveChild(second);
    EXPECT_EQ(ProbeNode::alive, 1);
    EXPECT_NE(list_.GetHandler(), static_cast<ObjectBase*>(second));
    SendMessageW(list_.GetWindowHandle(), LVM_SETITEMCOUNT, 3, 0);
    UpdateWindow(list_.GetWindowHandle());
    UpdateWindow(tree_->GetWindow());
}

TEST_F(TreeViewTest, ANodeThatRemovesItselfWhenSelectedLivesUntilTheNotificationIsDone)
{
    ContainerNode* root = tree_->Root();
    root->AddChild(new ProbeNode(L"keep"));
    auto* goner = root->AddChild(new ProbeNode(L"goner"));
    auto goner_address = reinterpret_cast<uintptr_t>(static_cast<ObjectBase*>(goner));
    bool removed = false;
    goner->on_selected = [&] {
        if (!removed) {
            removed = true;
            goner->GetParent()->RemoveChild(goner);
        }
    };
    Select(goner);
    EXPECT_TRUE(removed);
    EXPECT_EQ(ProbeNode::alive, 1);
    EXPECT_EQ(ControlOrder(), std::vector<std::wstring>{L"keep"});
    EXPECT_NE(reinterpret_cast<uintptr_t>(list_.GetHandler()), goner_address);
}

TEST_F(TreeViewTest, ClearRemovesEverythingAndAnEmptyTreeHasNoLastNode)
{
    ContainerNode* root = tree_->Root();
    auto* parent = root->AddChild(new ProbeNode(L"parent"));
    parent->AddChild(new ProbeNode(L"child"));
    root->AddChild(new ProbeNode(L"other"));
    Select(parent);
    tree_->Clear();
    EXPECT_EQ(ProbeNode::alive, 0);
    EXPECT_FALSE(root->HasChildren());
    EXPECT_EQ(SendMessageW(tree_->GetWindow(), TVM_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(tree_->GetLastNode(), nullptr);
    EXPECT_EQ(tree_->GetSelectedNode(), nullptr);
    EXPECT_EQ(list_.GetHandler(), nullptr);
}

// A removed branch that something still holds names no item of the control: removing or adding below it
// later touches nothing in the control.
TEST_F(TreeViewTest, ARemovedBranchKeepsNoItemsOfTheControl)
{
    ContainerNode* root = tree_->Root();
    tfc::RefersTo<ContainerNode> branch(root->AddChild(new ProbeNode(L"branch")));
    auto* child = branch->AddChild(new ProbeNode(L"child"));
    auto* grandchild = child->AddChild(new ProbeNode(L"grandchild"));
    root->AddChild(new ProbeNode(L"other"));
    root->RemoveChild(branch.get());
    for (ContainerNode* node : std::vector<ContainerNode*>{branch.get(), child, grandchild})
        EXPECT_EQ(node->GetItem(), TVI_ROOT) << node->GetLabel();
    child->RemoveChild(grandchild);
    auto* late = child->AddChild(new ProbeNode(L"late"));
    EXPECT_EQ(late->GetItem(), TVI_ROOT);
    EXPECT_EQ(ControlOrder(), std::vector<std::wstring>{L"other"});
    EXPECT_EQ(SendMessageW(tree_->GetWindow(), TVM_GETCOUNT, 0, 0), 1);
}

TEST_F(TreeViewTest, ContextMenusGoToTheNodeUnderTheCursorOrTheCaret)
{
    ContainerNode* root = tree_->Root();
    auto* first = root->AddChild(new ProbeNode(L"first"));
    auto* second = root->AddChild(new ProbeNode(L"second"));
    HWND control = tree_->GetWindow();
    // Keyboard with nothing selected: nothing happens.
    tree_->OnContextMenu(-1, -1);
    EXPECT_EQ(first->menus + second->menus, 0);

    RECT rect = {};
    ASSERT_TRUE(TreeView::GetItemRect(control, second->GetItem(), true, rect));
    POINT point = {rect.left + 2, rect.top + 2};
    ClientToScreen(control, &point);
    tree_->OnContextMenu(point.x, point.y);
    EXPECT_EQ(second->menus, 1);
    EXPECT_EQ(tree_->GetSelectedNode(), second);

    // Empty space below the items: no menu, the selection stays.
    POINT empty = {100, 300};
    ClientToScreen(control, &empty);
    tree_->OnContextMenu(empty.x, empty.y);
    EXPECT_EQ(second->menus, 1);
    EXPECT_EQ(tree_->GetSelectedNode(), second);

    tree_->OnContextMenu(-1, -1);
    EXPECT_EQ(second->menus, 2);
}

TEST_F(TreeViewTest, DisplayInfoComesFromTheNode)
{
    auto* node = tree_->Root()->AddChild(new ProbeNode(L"shown"));
    NMTVDISPINFOW info = {};
    info.hdr.hwndFrom = tree_->GetWindow();
    info.hdr.code = TVN_GETDISPINFOW;
    info.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
    info.item.lParam = reinterpret_cast<LPARAM>(node);
    EXPECT_EQ(tree_->OnNotify(&info.hdr), 1);
    EXPECT_STREQ(info.item.pszText, L"shown");
    EXPECT_EQ(info.item.iImage, 0);
    EXPECT_EQ(info.item.iSelectedImage, 0);
    EXPECT_EQ(info.item.cChildren, 0);
    node->AddChild(new ProbeNode(L"inner"));
    tree_->OnNotify(&info.hdr);
    EXPECT_EQ(info.item.cChildren, 1);
}

namespace {

class PaintedNode : public NodePainter
{
public:
    explicit PaintedNode(const std::wstring& label) : NodePainter(label) {}
    void OnSelected(ObjectWindow*) override {}
};

} // namespace

TEST_F(TreeViewTest, PaintedNodesDrawTheirOwnLabels)
{
    auto* grouping = tree_->Root()->AddChild(new PaintedNode(L"grouping"));
    Select(grouping);
    HWND control = tree_->GetWindow();
    NMTVCUSTOMDRAW draw = {};
    draw.nmcd.hdr.hwndFrom = control;
    draw.nmcd.hdr.code = NM_CUSTOMDRAW;
    draw.nmcd.dwDrawStage = CDDS_PREPAINT;
    EXPECT_EQ(tree_->OnNotify(&draw.nmcd.hdr), CDRF_NOTIFYITEMDRAW);
    draw.nmcd.lItemlParam = reinterpret_cast<LPARAM>(grouping);
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    EXPECT_EQ(tree_->OnNotify(&draw.nmcd.hdr), CDRF_NOTIFYPOSTPAINT);
    draw.nmcd.hdc = GetDC(control);
    draw.nmcd.dwDrawStage = CDDS_ITEMPOSTPAINT;
    EXPECT_EQ(tree_->OnNotify(&draw.nmcd.hdr), CDRF_SKIPDEFAULT);
    ReleaseDC(control, draw.nmcd.hdc);
    // A plain node leaves the drawing to the control.
    auto* plain = tree_->Root()->AddChild(new ProbeNode(L"plain"));
    draw.nmcd.lItemlParam = reinterpret_cast<LPARAM>(plain);
    EXPECT_EQ(tree_->OnNotify(&draw.nmcd.hdr), 0);
}
