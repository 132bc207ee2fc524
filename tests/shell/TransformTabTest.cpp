// The transform tab over small packages and transforms the tests make: the chain in the status bar, save
// as and save, properties, dropped tables, the question when applying fails, and repeated opening.
#include "DialogDriver.h"
#include "PackageTesting.h"
#include "ShellTesting.h"
#include "support/TestSupport.h"

#include "foundation/Errors.h"
#include "foundation/Task.h"
#include "model/installer/MsiCallFaults.h"
#include "resources/ShellIds.h"
#include "shell/MsiTransformTab.h"
#include "foundation/Options.h"
#include "model/lookups/CellAppearance.h"
#include "resources/NodesIds.h"
#include "shell/ReferenceDatabase.h"
#include "views/grid/ObjectWindow.h"
#include "views/tree/MsiDiffTableNode.h"
#include "views/tree/MsiTableNode.h"
#include "views/tree/TreeView.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <commctrl.h>
#include <functional>
#include <map>
#include <msiquery.h>

using namespace shell_testing;
using namespace testing_support;

namespace {

const wchar_t kProductName[] = L"SELECT `Value` FROM `Property` WHERE `Property`='ProductName'";

PromptAnswer Paths(std::vector<std::wstring> paths)
{
    PromptAnswer answer;
    answer.paths = std::move(paths);
    return answer;
}

void EditProductName(MsiTransformTab& tab, const std::wstring& text)
{
    MsiTableNode* node = tab.FindTableNode(L"Property");
    ASSERT_NE(node, nullptr);
    SendMessageW(tab.GetTablesTree()->GetWindow(), TVM_SELECTITEM, TVGN_CARET,
                 reinterpret_cast<LPARAM>(node->GetItem()));
    ObjectWindow& list = *tab.GetTreeContext();
    int row = node->GetLookup()->FindRow({L"ProductName"}, 0);
    InPlaceEditorPtr editor = node->CreateEditor(list, row, node->GetLookup()->FindColumn(L"Value"));
    ASSERT_TRUE(editor);
    EXPECT_TRUE(editor->EndEdit(text));
}

// Presses OK in "Transform Properties" whenever it shows, counting the times.
class PropertiesOk
{
public:
    PropertiesOk()
        : driver_([this] {
              if (HWND window = FindDialog(L"Transform Properties")) {
                  ++shown;
                  PressButton(window, IDOK);
              }
              return false;
          })
    {
    }
    int shown = 0;

private:
    DialogDriver driver_;
};

// The summary information a package carries.
void StampSummary(const std::wstring& path)
{
    MSIHANDLE database = 0;
    ASSERT_EQ(MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_TRANSACT, &database), 0u);
    MSIHANDLE summary = 0;
    ASSERT_EQ(MsiGetSummaryInformationW(database, nullptr, 20, &summary), 0u);
    MsiSummaryInfoSetPropertyW(summary, 1, VT_I2, 1252, nullptr, nullptr);
    MsiSummaryInfoSetPropertyW(summary, 2, VT_LPSTR, 0, nullptr, L"Installation Database");
    MsiSummaryInfoSetPropertyW(summary, 7, VT_LPSTR, 0, nullptr, L"Intel;1033");
    MsiSummaryInfoSetPropertyW(summary, 9, VT_LPSTR, 0, nullptr, L"{11111111-2222-3333-4444-555555555555}");
    MsiSummaryInfoSetPropertyW(summary, 14, VT_I4, 200, nullptr, nullptr);
    MsiSummaryInfoSetPropertyW(summary, 15, VT_I4, 2, nullptr, nullptr);
    EXPECT_EQ(MsiSummaryInfoPersist(summary), 0u);
    MsiCloseHandle(summary);
    EXPECT_EQ(MsiDatabaseCommit(database), 0u);
    MsiCloseHandle(database);
}

// What the list's cells are painted with while it lives: for each cell drawn, its text by column and the
// first fill under it.
class PaintedCells : public CellPainter
{
public:
    PaintedCells() { previous_ = SetCellPainter(this); }
    ~PaintedCells() override { SetCellPainter(previous_); }
    void Fill(HDC, unsigned flags, const RECT& rect) override
    {
        if (!fill_)
            fill_ = flags;
        areas.push_back({rect, flags});
    }
    void Text(HDC, HWND, int column, const std::wstring& text, const RECT&) override
    {
        if (column == 0)
            key_ = text;
        fills[{key_, column}] = fill_;
        fill_ = 0;
    }
    // The list drawn afresh, with every cell in view.
    void Paint(HWND list)
    {
        fills.clear();
        areas.clear();
        RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
    // The fills of the tree items drawn, with the rectangles they were given.
    std::vector<unsigned> FillsOf(HWND tree, HTREEITEM item) const
    {
        RECT text = {};
        std::vector<unsigned> flags;
        if (TreeView::GetItemRect(tree, item, true, text))
            for (const auto& area : areas)
                if (EqualRect(&area.first, &text))
                    flags.push_back(area.second);
        return flags;
    }
    std::map<std::pair<std::wstring, int>, unsigned> fills;
    std::vector<std::pair<RECT, unsigned>> areas;

private:
    CellPainter* previous_;
    unsigned fill_ = 0;
    std::wstring key_;
};

std::wstring StatusText(MainWindow& frame)
{
    wchar_t text[512] = {};
    SendMessageW(frame.GetStatusBar(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
    return text;
}

class TransformTabTest : public testing::Test
{
protected:
    void SetUp() override
    {
        saved_state_ = gOptions.last_saved_by_state;
        gOptions.last_saved_by_state = Options::SI_UNCHANGED;
        base_ = folder_.file(L"base.msi");
        BuildPackage(base_, 2, 2);
        StampSummary(base_);
        frame_.frame().SetTransformFactory(&MsiTransformTab::Make);
        MoveWindow(frame_->GetWindowHandle(), 20, 20, 960, 700, TRUE);
    }
    void TearDown() override { gOptions.last_saved_by_state = saved_state_; }

    MsiTransformTab* Current() { return dynamic_cast<MsiTransformTab*>(frame_->GetTabs().CurrentTab()); }

    // A new transform over the base (or the current transform tab) with ProductName set to `text`.
    // Tables > Add Tables with Binary, the first table of a reference database, ticked in the dialog.
    void AddBinaryFromTheReference(MsiTransformTab* tab)
    {
        ReferenceDatabaseSource previous = SetReferenceDatabaseSource([this] {
            std::wstring reference = folder_.file(L"reference.msi");
            BuildPackage(reference, 1, 1, true);
            return std::vector<QualifiedComponent>{{L"1", L"", reference}};
        });
        {
            DialogDriver add([] {
                HWND window = FindDialog(L"Select tables to add");
                if (!window)
                    return false;
                ListView_SetCheckState(GetDlgItem(window, 1050), 0, TRUE);
                PressButton(window, IDOK);
                return true;
            });
            tab->OnCommand(nullptr, ID_TABLES_ADD);
        }
        SetReferenceDatabaseSource(previous);
    }

    MsiTransformTab* MakeTransform(const std::wstring& path, const std::wstring& text)
    {
        if (!Current())
            frame_->OpenFiles({base_}, false);
        {
            ScriptedPrompts prompts;
            prompts.answer(Paths({path}));
            frame_->GetTabs().CurrentTab()->OnCommand(nullptr, ID_TRANSFORM_NEW);
        }
        MsiTransformTab* tab = Current();
        if (!tab)
            return nullptr;
        EditProductName(*tab, text);
        PropertiesOk properties;
        tab->Save();
        EXPECT_EQ(properties.shown, 1);
        return tab;
    }

    ScratchFolder folder_;
    std::wstring base_;
    DatabaseFrame frame_;

private:
    int saved_state_ = 0;
};

} // namespace

TEST_F(TransformTabTest, ChainShowsInTheStatusBarAndSaveAsPointsTheTransformAtTheNewFile)
{
    std::wstring a = folder_.file(L"a.mst"), b = folder_.file(L"b.mst"), c = folder_.file(L"c.mst");
    ASSERT_NE(MakeTransform(a, L"A"), nullptr);
    MsiTransformTab* tab = MakeTransform(b, L"B");
    ASSERT_NE(tab, nullptr);
    std::wstring expected =
        L"base.msi <- a.mst <- b.mst\tTables: " + std::to_wstring(tab->GetTablesTree()->Root()->ChildCount());
    tab->UpdateStatusBar();
    EXPECT_EQ(StatusText(frame_.frame()), expected);
    EXPECT_EQ(frame_->GetTabs().Documents().size(), 1u);
    SaveScreenshot(frame_->GetWindowHandle(), L"transform-tab.png");

    // A tab applying a.mst, saved as c.mst: the next save writes c.mst and leaves a.mst alone.
    ASSERT_TRUE(frame_->GetTabs().CloseCurrent());
    frame_->OpenFiles({base_}, false);
    frame_->OpenFiles({a}, true);
    tab = Current();
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(tab->GetMsiFile().FindTable(L"Property")->rows().size(), 1u);
    std::vector<BYTE> a_bytes = ReadFileBytes(a);
    {
        ScriptedPrompts prompts;
        prompts.answer(Paths({c}));
        tab->SaveAs();
    }
    EXPECT_EQ(tab->TransformPath(), c);
    std::vector<BYTE> c_bytes = ReadFileBytes(c);
    EXPECT_FALSE(c_bytes.empty());
    EditProductName(*tab, L"C");
    EXPECT_TRUE(tab->IsDirty());
    tab->Save();
    EXPECT_FALSE(tab->IsDirty());
    EXPECT_NE(ReadFileBytes(c), c_bytes);
    EXPECT_EQ(ReadFileBytes(a), a_bytes);

    // Saved as another name of the same file: a plain save that keeps the tab's path.
    c_bytes = ReadFileBytes(c);
    EditProductName(*tab, L"D");
    {
        ScriptedPrompts prompts;
        prompts.answer(Paths({folder_.file(L".\\C.MST")}));
        tab->SaveAs();
    }
    EXPECT_EQ(tab->TransformPath(), c);
    EXPECT_FALSE(tab->IsDirty());
    EXPECT_NE(ReadFileBytes(c), c_bytes);
}

TEST_F(TransformTabTest, PropertiesKeepTheWordsAndDropsFollowTheBase)
{
    std::wstring a = folder_.file(L"a.mst");
    MsiTransformTab* tab = MakeTransform(a, L"A");
    ASSERT_NE(tab, nullptr);
    tab->GetTransform().SetConditions(1 | 16, 2 | 4 | 2048 | 16 | 512);
    {
        PropertiesOk properties;
        tab->OnCommand(nullptr, ID_TRANSFORM_PROPERTIES);
        EXPECT_EQ(properties.shown, 1);
    }
    EXPECT_EQ(tab->GetTransform().error_conditions(), 1 | 16);
    EXPECT_EQ(tab->GetTransform().validation(), 2 | 4 | 2048 | 16 | 512);
    EXPECT_FALSE(tab->IsDirty());

    // A table only the transform has loses its node; a base table's node stays, shown as dropped.
    AddBinaryFromTheReference(tab);
    ASSERT_NE(tab->FindTableNode(L"Binary"), nullptr);
    EXPECT_NE(tab->FindEditableTableNode(L"Binary"), nullptr);
    tab->DropTable(tab->FindTableNode(L"Binary"));
    EXPECT_EQ(tab->FindTableNode(L"Binary"), nullptr);
    tab->DropTable(tab->FindTableNode(L"Registry"));
    ASSERT_NE(tab->FindTableNode(L"Registry"), nullptr);
    EXPECT_EQ(tab->FindEditableTableNode(L"Registry"), nullptr);
    {
        ScriptedPrompts prompts;
        prompts.answer(IDOK);
        prompts.answer(IDOK);
        tab->DropTable(tab->FindTableNode(L"_Columns"));
        tab->DropTable(tab->FindTableNode(L"Registry"));
        ASSERT_EQ(prompts.asked().size(), 2u);
        EXPECT_EQ(prompts.asked()[0].text, L"This table cannot be dropped");
        EXPECT_EQ(prompts.asked()[1].text, L"This table does not exist in the editable file");
    }
    EXPECT_NE(tab->FindTableNode(L"_Columns"), nullptr);
    EXPECT_TRUE(tab->IsDirty());
}

TEST_F(TransformTabTest, ApplyingErrorsAskAndRepeatedOpeningIsSafe)
{
    std::wstring a = folder_.file(L"a.mst");
    ASSERT_NE(MakeTransform(a, L"A"), nullptr);
    ASSERT_TRUE(frame_->GetTabs().CloseCurrent());
    {
        msi::ScopedCallFaults faults;
        ScriptedPrompts prompts;
        prompts.answer(IDNO);
        msi::FailCall(L"MsiDatabaseApplyTransform", 1, ERROR_INSTALL_TRANSFORM_FAILURE);
        frame_->OpenFiles({base_}, false);
        try {
            frame_->OpenFiles({a}, true);
            ADD_FAILURE() << "no error";
        } catch (const tfc::ManageableError& error) {
            EXPECT_EQ(error.message, L"The transform was not applied");
        }
        ASSERT_EQ(prompts.asked().size(), 1u);
        EXPECT_EQ(prompts.asked()[0].caption, L"Errors while applying transform");
        // The database the transform was to apply to stays open.
        ASSERT_EQ(frame_->GetTabs().Documents().size(), 1u);
        EXPECT_EQ(frame_->GetTabs().CurrentTab()->GetPath(), base_);

        prompts.answer(IDYES);
        msi::FailCall(L"MsiDatabaseApplyTransform", 1, ERROR_INSTALL_TRANSFORM_FAILURE);
        frame_->OpenFiles({a}, true);
        ASSERT_NE(Current(), nullptr);
        EXPECT_EQ(QueryText(base_, kProductName), L"Before");
    }
    for (int cycle = 0; cycle < 20; ++cycle) {
        ASSERT_TRUE(frame_->GetTabs().CloseCurrent());
        frame_->OpenFiles({base_}, false);
        frame_->OpenFiles({a}, true);
        ASSERT_NE(Current(), nullptr) << cycle;
    }
    ASSERT_TRUE(frame_->GetTabs().CloseCurrent());
}

namespace {

// Runs on a worker until released: a job the frame counts as running.
class HeldTask : public Task
{
public:
    HeldTask() : release_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~HeldTask() override { CloseHandle(release_); }
    void Run() override { WaitForSingleObject(release_, 60000); }
    void Release() { SetEvent(release_); }

private:
    HANDLE release_;
};

} // namespace

TEST_F(TransformTabTest, ARefusedCloseDuringNewTransformKeepsTheTabAndItsBackingFile)
{
    MsiTransformTab* tab = MakeTransform(folder_.file(L"a.mst"), L"A");
    ASSERT_NE(tab, nullptr);
    std::wstring backing = tab->GetTransform().backing_path();
    auto job = std::make_shared<HeldTask>();
    ASSERT_TRUE(frame_->RunTasks({job}, &frame_.frame(), true));
    {
        ScriptedPrompts prompts;
        prompts.answer(Paths({folder_.file(L"b.mst")}));
        prompts.answer(IDOK);
        tab->OnCommand(nullptr, ID_TRANSFORM_NEW);
        ASSERT_EQ(prompts.asked().size(), 2u);
        EXPECT_EQ(prompts.asked()[1].text, L"You cannot close a file while a job is running.");
    }
    job->Release();
    ASSERT_TRUE(PumpUntil([&] { return !frame_->GetJobRunner().IsRunning(); }, 60000));
    ASSERT_EQ(Current(), tab);
    EXPECT_EQ(tab->GetTransform().backing_path(), backing);
    EXPECT_NE(GetFileAttributesW(backing.c_str()), INVALID_FILE_ATTRIBUTES);
    EditProductName(*tab, L"Still");
    EXPECT_TRUE(tab->IsDirty());
    EXPECT_EQ(tab->GetMsiFile().FindTable(L"Property")->rows().size(), 1u);
}

TEST_F(TransformTabTest, TreePagesFillFromTheTransformedDatabase)
{
    std::wstring shared = TestDataPath(L"shortcuts.msi");
    if (shared.empty())
        GTEST_SKIP() << "no shared test data";
    frame_->OpenFiles({folder_.copy_in(shared, L"Setup.msi")}, false);
    {
        ScriptedPrompts prompts;
        prompts.answer(Paths({folder_.file(L"n.mst")}));
        frame_->GetTabs().CurrentTab()->OnCommand(nullptr, ID_TRANSFORM_NEW);
    }
    MsiTransformTab* tab = Current();
    ASSERT_NE(tab, nullptr);
    struct Case
    {
        int page;
        const wchar_t* grouping;
        const wchar_t* table;
    } cases[] = {{MainTabCtrl::COMPONENTS, L"Component", L"Component"},
                 {MainTabCtrl::FEATURES, L"Features", L"Feature"}};
    for (const Case& test : cases) {
        TreeView& tree = tab->GetViewTabs().GetPage(test.page);
        EXPECT_FALSE(tree.Root()->HasChildren());
        tab->OnCommand(nullptr, test.page == MainTabCtrl::COMPONENTS ? ID_VIEW_COMPONENTS : ID_VIEW_FEATURES);
        ASSERT_EQ(tree.Root()->ChildCount(), 1u) << test.table;
        ContainerNode* top = tree.Root()->GetChildren().begin()->node.get();
        EXPECT_EQ(top->GetLabel(), test.grouping);
        EXPECT_TRUE(top->HasChildren()) << test.table;
        // A row node shows its row from the comparison lookup.
        ContainerNode* row = top->GetChildren().begin()->node.get();
        SendMessageW(tree.GetWindow(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(row->GetItem()));
        EXPECT_EQ(ListView_GetItemCount(tab->GetTreeContext()->GetWindowHandle()), 1) << test.table;
    }
    SaveScreenshot(frame_->GetWindowHandle(), L"transform-tab-features.png");
    ASSERT_TRUE(frame_->GetTabs().CloseCurrent());
}

// Add Tables in a transform tab while `_Columns` is shown: the comparison shows the new table's columns.
TEST_F(TransformTabTest, AddTablesWhileTheColumnsTableIsShownShowsTheNewColumns)
{
    MsiTransformTab* tab = MakeTransform(folder_.file(L"a.mst"), L"A");
    ASSERT_NE(tab, nullptr);
    MsiTableNode* columns = tab->FindTableNode(L"_Columns");
    ASSERT_NE(columns, nullptr);
    SendMessageW(tab->GetTablesTree()->GetWindow(), TVM_SELECTITEM, TVGN_CARET,
                 reinterpret_cast<LPARAM>(columns->GetItem()));
    int before = columns->GetLookup()->RowCount();
    AddBinaryFromTheReference(tab);
    auto lookup = columns->GetLookup();
    EXPECT_GT(lookup->RowCount(), before);
    EXPECT_EQ(lookup->RowCount(), ListView_GetItemCount(tab->GetTreeContext()->GetWindowHandle()));
    int binary = 0;
    for (int position = 0; position < lookup->RowCount(); ++position)
        binary += lookup->GetCellText(0, position, 0) == L"Binary";
    EXPECT_EQ(binary, lookup->RowCount() - before);
}

// What a fresh tab shows before anything else happens: its first table, whether or not its tree ever had
// the focus; then the list paints it.
void ExpectFirstTableShown(MsiFileTabBase& tab, const char* name)
{
    HWND tree = tab.GetTablesTree()->GetWindow();
    auto first = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    ASSERT_NE(first, nullptr) << name;
    auto* node = dynamic_cast<MsiTableNode*>(tab.GetTablesTree()->NodeFromItem(first));
    ASSERT_NE(node, nullptr) << name;
    EXPECT_EQ(tab.GetTablesTree()->GetSelectedNode(), node) << name;
    ObjectWindow& list = *tab.GetTreeContext();
    EXPECT_EQ(list.GetHandler(), static_cast<ObjectBase*>(node)) << name;
    int rows = node->GetLookup()->RowCount();
    EXPECT_EQ(ListView_GetItemCount(list.GetWindowHandle()), rows) << name;
    if (rows > 0) {
        wchar_t text[256] = {};
        ListView_GetItemText(list.GetWindowHandle(), 0, 0, text, 256);
        EXPECT_EQ(std::wstring(text), node->GetLookup()->GetCellText(0, 0, 0)) << name;
    }
    EXPECT_TRUE(PumpUntil([&] { return !GetUpdateRect(list.GetWindowHandle(), nullptr, FALSE); })) << name;
}

TEST_F(TransformTabTest, FreshTabsShowTheirFirstTableAtOnce)
{
    std::wstring shared = TestDataPath(L"shortcuts.msi");
    if (shared.empty())
        GTEST_SKIP() << "no shared test data";
    std::wstring package = folder_.copy_in(shared, L"Setup.msi");
    std::wstring module = TestDataPath(L"MergeModule1.msm");
    std::wstring made = folder_.file(L"made.mst");
    struct Case
    {
        const char* name;
        std::function<void()> open;
    };
    std::vector<Case> cases = {
        {"package", [&] { frame_->OpenFiles({package}, false); }},
        {"new transform",
         [&] {
             frame_->OpenFiles({package}, false);
             ScriptedPrompts prompts;
             prompts.answer(Paths({made}));
             frame_->GetTabs().CurrentTab()->OnCommand(nullptr, ID_TRANSFORM_NEW);
         }},
        {"applied transform",
         [&] {
             EditProductName(*Current(), L"Made");
             PropertiesOk properties;
             Current()->Save();
             ASSERT_TRUE(frame_->GetTabs().CloseCurrent());
             frame_->OpenFiles({package}, false);
             frame_->OpenFiles({made}, true);
         }},
    };
    if (!module.empty())
        cases.insert(cases.begin() + 1,
                     {"module read in place", [&] { frame_->OpenFiles({module}, false); }});
    for (const Case& test : cases) {
        // Nothing pumped between opening and looking: no focus change can have chosen the table.
        test.open();
        auto* tab = dynamic_cast<MsiFileTabBase*>(frame_->GetTabs().CurrentTab());
        ASSERT_NE(tab, nullptr) << test.name;
        ExpectFirstTableShown(*tab, test.name);
        if (std::string(test.name) != "new transform")
            ASSERT_TRUE(frame_->GetTabs().CloseCurrent()) << test.name;
    }
}

// The comparison list paints a changed cell, an added row and a row only in the base each with its own
// fill; cells left as they were with the plain one.
TEST_F(TransformTabTest, ChangedAddedAndRemovedRowsArePaintedWithTheirFills)
{
    MsiTransformTab* tab = MakeTransform(folder_.file(L"a.mst"), L"A");
    ASSERT_NE(tab, nullptr);
    MsiTableNode* node = tab->FindTableNode(L"File");
    ASSERT_NE(node, nullptr);
    SendMessageW(tab->GetTablesTree()->GetWindow(), TVM_SELECTITEM, TVGN_CARET,
                 reinterpret_cast<LPARAM>(node->GetItem()));
    ObjectWindow& list = *tab->GetTreeContext();
    auto lookup = node->GetLookup();
    ASSERT_EQ(lookup->RowCount(), 2);
    std::wstring changed = lookup->GetCellText(0, 0, 0), removed = lookup->GetCellText(0, 1, 0);
    InPlaceEditorPtr editor = node->CreateEditor(list, 0, 1);
    ASSERT_TRUE(editor);
    EXPECT_TRUE(editor->EndEdit(L"changed.txt"));
    lookup->DeleteRow(0, lookup->FindRow({removed}, 0));
    lookup->AddRowFromText({L"added", L"added.txt"});
    node->Reload();
    ASSERT_EQ(ListView_GetItemCount(list.GetWindowHandle()), 3);

    PaintedCells painted;
    painted.Paint(list.GetWindowHandle());
    EXPECT_EQ(painted.fills,
              (std::map<std::pair<std::wstring, int>, unsigned>{{{changed, 0}, CELL_FILL_VALID},
                                                                {{changed, 1}, CELL_FILL_DIFFERENT},
                                                                {{removed, 0}, CELL_FILL_BASE_ONLY},
                                                                {{removed, 1}, CELL_FILL_BASE_ONLY},
                                                                {{L"added", 0}, CELL_FILL_DIFFERENT},
                                                                {{L"added", 1}, CELL_FILL_DIFFERENT}}));
}

// A transform over a package with dialogs: its Dialogs page lists every dialog of the transformed
// database, and a dialog's row shows which of its cells the transform changed.
TEST_F(TransformTabTest, TheDialogsPageListsTheDialogsWithTheirChanges)
{
    std::wstring shared = TestDataPath(L"saves/with-dialogs.msi");
    if (shared.empty())
        GTEST_SKIP() << "no shared test data";
    frame_->OpenFiles({folder_.copy_in(shared, L"Dialogs.msi")}, false);
    {
        ScriptedPrompts prompts;
        prompts.answer(Paths({folder_.file(L"d.mst")}));
        frame_->GetTabs().CurrentTab()->OnCommand(nullptr, ID_TRANSFORM_NEW);
    }
    MsiTransformTab* tab = Current();
    ASSERT_NE(tab, nullptr);
    MsiTableNode* table = tab->FindTableNode(L"Dialog");
    ASSERT_NE(table, nullptr);
    SendMessageW(tab->GetTablesTree()->GetWindow(), TVM_SELECTITEM, TVGN_CARET,
                 reinterpret_cast<LPARAM>(table->GetItem()));
    auto lookup = table->GetLookup();
    int title = lookup->FindColumn(L"Title");
    int cancel = lookup->FindRow({L"Cancel"}, 0);
    ASSERT_GE(title, 0);
    ASSERT_GE(cancel, 0);
    InPlaceEditorPtr editor = table->CreateEditor(*tab->GetTreeContext(), cancel, title);
    ASSERT_TRUE(editor);
    EXPECT_TRUE(editor->EndEdit(L"Changed by the transform"));
    std::vector<std::wstring> dialogs;
    for (int row = 0; row < lookup->RowCount(); ++row)
        dialogs.push_back(lookup->GetCellText(0, row, 0));
    std::sort(dialogs.begin(), dialogs.end());

    tab->OnCommand(nullptr, ID_VIEW_DIALOGS);
    TreeView& tree = tab->GetViewTabs().GetPage(MainTabCtrl::DIALOGS);
    ContainerNode* top = tree.Root()->FindChild(L"Dialog");
    ASSERT_NE(top, nullptr);
    std::vector<std::wstring> listed;
    for (const auto& child : top->GetChildren())
        listed.push_back(child.node->GetLabel());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, dialogs);

    HWND list = tab->GetTreeContext()->GetWindowHandle();
    {
        PaintedCells painted;
        struct Case
        {
            std::wstring dialog;
            unsigned title_fill;
        } cases[] = {{L"ErrorDialog", CELL_FILL_VALID}, {L"Cancel", CELL_FILL_DIFFERENT}};
        for (const Case& test : cases) {
            SCOPED_TRACE(std::string(test.dialog.begin(), test.dialog.end()));
            ContainerNode* node = top->FindChild(test.dialog);
            ASSERT_NE(node, nullptr);
            SendMessageW(tree.GetWindow(), TVM_SELECTITEM, TVGN_CARET,
                         reinterpret_cast<LPARAM>(node->GetItem()));
            painted.Paint(list);
            std::pair<std::wstring, int> key(test.dialog, 0), changed(test.dialog, title);
            EXPECT_EQ(painted.fills[key], static_cast<unsigned>(CELL_FILL_VALID));
            EXPECT_EQ(painted.fills[changed], test.title_fill);
        }
    }
    SaveScreenshot(frame_->GetWindowHandle(), L"transform-tab-dialogs.png");
}

// Revert To Base, chosen in the menu of a table the transform gave another shape: the table is made
// anew as the base has it, and the `_Columns` listing follows.
TEST_F(TransformTabTest, RevertToBaseOfATableOfAnotherShapeListsItsColumnsAnew)
{
    MsiTransformTab* tab = MakeTransform(folder_.file(L"a.mst"), L"A");
    ASSERT_NE(tab, nullptr);
    // Property with a third column, imported in place of the transformed database's own.
    std::string idt = "Property\tValue\tExtra\r\ns72\ts0\tS10\r\nProperty\tProperty\r\nProductName\tA\tx\r\n";
    std::wstring file = folder_.file(L"Property.idt");
    WriteFileBytes(file, std::vector<BYTE>(idt.begin(), idt.end()));
    EXPECT_TRUE(ImportThroughCommand(*tab, file));
    MsiTableNode* columns = tab->FindTableNode(L"_Columns");
    auto* property = dynamic_cast<MsiDiffTableNode*>(tab->FindTableNode(L"Property"));
    ASSERT_TRUE(columns && property);
    auto property_columns = [&] {
        auto lookup = columns->GetLookup();
        int count = 0;
        for (int row = 0; row < lookup->RowCount(); ++row)
            count += lookup->GetCellText(0, row, 0) == L"Property";
        return count;
    };
    ASSERT_EQ(property_columns(), 3);
    ASSERT_EQ(property->GetLookup()->ColumnCount(), 3);

    // The table's menu from the keyboard, its last item chosen.
    HWND tree = tab->GetTablesTree()->GetWindow();
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(property->GetItem()));
    bool reverting = false;
    window_testing::ModalDriver menu([&] {
        HWND window = FindWindowW(L"#32768", nullptr);
        auto popup = window ? reinterpret_cast<HMENU>(SendMessageW(window, MN_GETHMENU, 0, 0)) : nullptr;
        if (!popup)
            return false;
        reverting = !(GetMenuState(popup, ID_REVERT_TO_BASE, MF_BYCOMMAND) & MF_GRAYED);
        for (int item = 0; item < GetMenuItemCount(popup); ++item)
            if (!(GetMenuState(popup, item, MF_BYPOSITION) & MF_SEPARATOR))
                PostMessageW(window, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(window, WM_KEYDOWN, VK_RETURN, 0);
        return true;
    });
    // The table's item shows it differs from the base, and after the revert it shows it does not.
    PaintedCells painted;
    painted.Paint(tree);
    EXPECT_EQ(painted.FillsOf(tree, property->GetItem()),
              (std::vector<unsigned>{CELL_FILL_DIFFERENT, CELL_FILL_SELECTED}));
    painted.areas.clear();
    tab->GetTablesTree()->OnContextMenu(-1, -1);
    ASSERT_TRUE(menu.finished());
    EXPECT_TRUE(reverting);
    EXPECT_TRUE(PumpUntil([&] { return !GetUpdateRect(tree, nullptr, FALSE); }));
    EXPECT_EQ(painted.FillsOf(tree, property->GetItem()),
              (std::vector<unsigned>{CELL_FILL_VALID, CELL_FILL_SELECTED}));
    EXPECT_EQ(property->GetLookup()->ColumnCount(), 2);
    EXPECT_EQ(property_columns(), 2);
    EXPECT_EQ(Header_GetItemCount(ListView_GetHeader(tab->GetTreeContext()->GetWindowHandle())), 2);
}
