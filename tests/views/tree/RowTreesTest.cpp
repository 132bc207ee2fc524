// The Dialogs, Components and Features trees over tracked copies of real packages: what each shows, labels
// that follow the data, the components of a feature following their links, the registry import offered only
// where it can run, and a dialog previewed and taken down again.
#include "NodeTesting.h"

#include "model/installer/MsiApi.h"
#include "resources/TreesIds.h"
#include "views/tree/ComponentNode.h"
#include "views/tree/DialogNode.h"
#include "views/tree/RowNodeFactory.h"
#include "views/tree/RowTrees.h"
#include "views/tree/TreeView.h"

#include <gtest/gtest.h>

using namespace grid_testing;
using namespace node_testing;

namespace {

// A second root feature, a sub-feature, a second component in another folder, and a dialog the installer
// can show without a loop of its own (Attributes 1).
void AddRows(MSIHANDLE database)
{
    RunSql(database, L"INSERT INTO `Feature` (`Feature`, `Feature_Parent`, `Level`, `Attributes`) "
                     L"VALUES ('Other', '', 1, 0)");
    RunSql(database, L"INSERT INTO `Feature` (`Feature`, `Feature_Parent`, `Level`, `Attributes`) "
                     L"VALUES ('Sub', 'ProductFeature', 1, 0)");
    RunSql(database, L"INSERT INTO `Component` (`Component`, `Directory_`, `Attributes`) "
                     L"VALUES ('Second', 'TARGETDIR', 0)");
    RunSql(database, L"CREATE TABLE `Dialog` (`Dialog` CHAR(72) NOT NULL, `HCentering` SHORT NOT NULL, "
                     L"`VCentering` SHORT NOT NULL, `Width` SHORT NOT NULL, `Height` SHORT NOT NULL, "
                     L"`Attributes` LONG, `Title` CHAR(128) LOCALIZABLE, `Control_First` CHAR(50) NOT NULL, "
                     L"`Control_Default` CHAR(50), `Control_Cancel` CHAR(50) PRIMARY KEY `Dialog`)");
    RunSql(database,
           L"CREATE TABLE `Control` (`Dialog_` CHAR(72) NOT NULL, `Control` CHAR(50) NOT NULL, "
           L"`Type` CHAR(20) NOT NULL, `X` SHORT NOT NULL, `Y` SHORT NOT NULL, `Width` SHORT NOT NULL, "
           L"`Height` SHORT NOT NULL, `Attributes` LONG, `Property` CHAR(72), `Text` LONGCHAR "
           L"LOCALIZABLE, `Control_Next` CHAR(50), `Help` CHAR(50) LOCALIZABLE PRIMARY KEY "
           L"`Dialog_`, `Control`)");
    RunSql(database, L"INSERT INTO `Dialog` (`Dialog`, `HCentering`, `VCentering`, `Width`, `Height`, "
                     L"`Attributes`, `Title`, `Control_First`) VALUES ('WelcomeDlg', 50, 50, 200, 100, 1, "
                     L"'Preview of Welcome', 'Greeting')");
    RunSql(database, L"INSERT INTO `Control` (`Dialog_`, `Control`, `Type`, `X`, `Y`, `Width`, `Height`, "
                     L"`Attributes`, `Text`) VALUES ('WelcomeDlg', 'Greeting', 'Text', 10, 10, 180, 20, 3, "
                     L"'Hello from the preview')");
}

// The dialogs of a real user interface: visible and modal (Attributes 3), one also minimizable (7).
void AddModalDialogs(MSIHANDLE database)
{
    AddRows(database);
    const wchar_t* dialogs[][3] = {{L"BrowseDlg", L"3", L"Preview of Browse"},
                                   {L"CancelDlg", L"7", L"Preview of Cancel"}};
    for (const auto& dialog : dialogs) {
        RunSql(database, std::wstring(L"INSERT INTO `Dialog` (`Dialog`, `HCentering`, `VCentering`, `Width`, "
                                      L"`Height`, `Attributes`, `Title`, `Control_First`, `Control_Default`, "
                                      L"`Control_Cancel`) VALUES ('") +
                             dialog[0] + L"', 50, 50, 370, 270, " + dialog[1] + L", '" + dialog[2] +
                             L"', 'OK', 'OK', 'Cancel')");
        for (const wchar_t* button : {L"OK", L"Cancel"})
            RunSql(database, std::wstring(L"INSERT INTO `Control` (`Dialog_`, `Control`, `Type`, `X`, `Y`, "
                                          L"`Width`, `Height`, `Attributes`, `Text`) VALUES ('") +
                                 dialog[0] + L"', '" + button + L"', 'PushButton', " +
                                 (button[0] == L'O' ? L"236" : L"304") + L", 243, 56, 17, 3, '" + button +
                                 L"')");
    }
}

// The Attributes of a dialog as the open database holds them.
int DialogAttributes(MSIHANDLE database, const std::wstring& dialog)
{
    MsiHandle view = msi::DatabaseOpenView(database, L"SELECT `Attributes` FROM `Dialog` WHERE `Dialog` = '" +
                                                         dialog + L"'");
    msi::ViewExecute(view.get(), 0);
    MsiHandle record = msi::ViewFetch(view.get());
    return record ? msi::RecordGetInteger(record.get(), 1) : -1;
}

struct WindowSearch
{
    std::wstring title;
    HWND found = nullptr;
};

BOOL CALLBACK VisitWindow(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<WindowSearch*>(context);
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    if (IsWindowVisible(window) && search->title == text) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// A visible top-level window of this thread with that title.
HWND FindThreadWindow(const std::wstring& title)
{
    WindowSearch search{title};
    EnumThreadWindows(GetCurrentThreadId(), &VisitWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The plain classes again, as the other node tests expect them.
void RegisterPlainRowClasses()
{
    auto plain = [](auto* sample) {
        using Node = std::remove_pointer_t<decltype(sample)>;
        return [](TableViewsTab* tab, const std::wstring& table, RowIterator row) -> RowElementNode* {
            return new Node(tab, table, row);
        };
    };
    RegisterRowNodeClass(L"Dialog", plain(static_cast<ElementNodeIcon<1004, RowElementNode>*>(nullptr)));
    RegisterRowNodeClass(L"Component", plain(static_cast<ElementNodeIcon<1008, RowElementNode>*>(nullptr)));
    RegisterRowNodeClass(L"Feature", plain(static_cast<ElementNodeIcon<1009, RowElementNode>*>(nullptr)));
    RegisterRowNodeClass(L"FeatureComponents",
                         plain(static_cast<ElementNodeIcon<1009, RowElementNode>*>(nullptr)));
    RegisterRowNodeClass(L"Class", plain(static_cast<ElementNodeIcon<1010, RowElementNode>*>(nullptr)));
    RegisterRowNodeClass(L"Extension", plain(static_cast<ElementNodeIcon<1016, RowElementNode>*>(nullptr)));
    RegisterRowNodeClass(L"ProgId", plain(static_cast<ElementNodeIcon<1001, RowElementNode>*>(nullptr)));
    RegisterRowNodeClass(L"Shortcut", plain(static_cast<ElementNodeIcon<1019, RowElementNode>*>(nullptr)));
    RegisterRowNodeClass(L"IniFile",
                         plain(static_cast<ElementNodeIcon<1012, NoDependenciesRowElementNode>*>(nullptr)));
    RegisterRowNodeClass(L"Registry", plain(static_cast<ElementNodeIcon<1013, RowElementNode>*>(nullptr)));
}

// The control's items under parent (null: the top), as Shape writes nodes, but "+" for an item without child
// items that still shows an expand button (a row not expanded yet: its placeholder has no item).
std::wstring ItemShape(HWND tree, HTREEITEM parent)
{
    std::wstring text;
    for (auto item = reinterpret_cast<HTREEITEM>(SendMessageW(
             tree, TVM_GETNEXTITEM, parent ? TVGN_CHILD : TVGN_ROOT, reinterpret_cast<LPARAM>(parent)));
         item; item = reinterpret_cast<HTREEITEM>(
                   SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
        wchar_t label[256] = {};
        TVITEMW info = {};
        info.mask = TVIF_TEXT | TVIF_CHILDREN;
        info.hItem = item;
        info.pszText = label;
        info.cchTextMax = 256;
        SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&info));
        std::wstring below = ItemShape(tree, item);
        text += (text.empty() ? L"" : L",") + std::wstring(label) +
                (!below.empty() ? L"{" + below + L"}" : (info.cChildren ? L"+" : L""));
    }
    return text;
}

class RowTreesTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        roots_.clear();
        tab_.reset();
        RegisterPlainRowClasses();
    }
    bool Open(const std::wstring& package, bool read_only = false, bool prepare = true,
              void (*rows)(MSIHANDLE) = &AddRows)
    {
        tab_ = frame_.Open({package, read_only, false, true, prepare ? rows : nullptr});
        return tab_->ok();
    }
    // Fills the page's tree as the tab does when the page is first shown.
    TreeView& Fill(int page, const std::wstring& table)
    {
        tab_->SelectView(page);
        TreeView& tree = tab_->GetViewTabs().GetPage(page);
        if (auto root = FillTreeView(*tab_, tree, table))
            roots_.push_back(root);
        return tree;
    }
    void Expand(TreeView& tree, ContainerNode* node)
    {
        ASSERT_TRUE(node);
        SendMessageW(tree.GetWindow(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(node->GetItem()));
    }
    ContainerNode* Node(TreeView& tree, const std::vector<std::wstring>& path)
    {
        ContainerNode* node = tree.Root();
        for (const std::wstring& label : path)
            node = node ? node->FindChild(label) : nullptr;
        return node;
    }
    void Screenshot(const std::wstring& name)
    {
        HWND frame = frame_.frame().GetWindowHandle();
        RedrawWindow(frame, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        PumpPending();
        EnsureGdiplus();
        SaveScreenshot(frame, testing_support::BuildPath(name));
    }
    MsiFile& File() { return tab_->GetMsiFile(); }
    MsiTable& Table(const std::wstring& name) { return *File().FindTable(name); }

    NodeFrame frame_;
    std::shared_ptr<NodeTab> tab_;
    std::vector<tfc::RefersTo<RowElementNode>> roots_;
    testing_support::ScriptedPrompts prompts_;
};

const wchar_t kShortcutPath[] = L"ShortcutComp    ProgramFilesFolder\\MsiPackage";

} // namespace

TEST_F(RowTreesTest, EachPageShowsItsTableUnderOneGroupingAndFeaturesOnlyAtTheirTop)
{
    if (!Open(L"shortcuts.msi"))
        GTEST_SKIP() << "shortcuts.msi is not there";
    TreeView& features = Fill(3, L"Feature");
    EXPECT_EQ(L"Features{Other{Dummy},ProductFeature{Dummy}}", Shape(*features.Root()));
    Expand(features, Node(features, {L"Features", L"ProductFeature"}));
    EXPECT_EQ(L"Features{Other{Dummy},ProductFeature{Components{" + std::wstring(kShortcutPath) +
                  L"{Dummy}},Feature{Sub{Dummy}}}}",
              Shape(*features.Root()));
    EXPECT_EQ(L"Features{Other+,ProductFeature{Components{" + std::wstring(kShortcutPath) +
                  L"+},Feature{Sub+}}}",
              ItemShape(features.GetWindow(), nullptr));
    EXPECT_FALSE(FillTreeView(*tab_, features, L"Feature")) << "filled once";
    Screenshot(L"features-tree.png");

    // A new link shows the component under its feature; the link's deletion takes it away again.
    auto links = tab_->GetTableLookup(L"FeatureComponents");
    links->AddRowFromText({L"ProductFeature", L"Second"});
    ContainerNode* components = Node(features, {L"Features", L"ProductFeature", L"Components"});
    ASSERT_TRUE(components);
    EXPECT_EQ(L"Second    TARGETDIR{Dummy}," + std::wstring(kShortcutPath) + L"{Dummy}", Shape(*components));
    links->ResetIndexes();
    links->DeleteRow(0, links->FindRow({L"ProductFeature", L"Second"}, 0));
    EXPECT_EQ(std::wstring(kShortcutPath) + L"{Dummy}", Shape(*components));

    TreeView& tree = Fill(2, L"Component");
    EXPECT_EQ(L"Component{Second    TARGETDIR{Dummy}," + std::wstring(kShortcutPath) + L"{Dummy}}",
              Shape(*tree.Root()));
    EXPECT_EQ(L"Component{Second    TARGETDIR+," + std::wstring(kShortcutPath) + L"+}",
              ItemShape(tree.GetWindow(), nullptr));
    Screenshot(L"components-tree.png");
    TreeView& dialogs = Fill(1, L"Dialog");
    EXPECT_EQ(L"Dialog{WelcomeDlg{Dummy}}", Shape(*dialogs.Root()));
    Screenshot(L"dialogs-tree.png");
}

TEST_F(RowTreesTest, AComponentsLabelFollowsTheDirectoryTableAndOutlivesItsDrop)
{
    if (!Open(L"shortcuts.msi"))
        GTEST_SKIP() << "shortcuts.msi is not there";
    TreeView& tree = Fill(2, L"Component");
    auto directories = tab_->GetTableLookup(L"Directory");
    MsiTable& directory = Table(L"Directory");
    RowIterator folder = FindRowByKey(directory, L"INSTALLFOLDER");
    File().ModifyRow(directory, *directory.columns()[2], folder,
                     MsiFieldDataRef(new MsiFieldData(L"Renamed")));
    EXPECT_EQ(L"Component{Second    TARGETDIR{Dummy},ShortcutComp    ProgramFilesFolder\\Renamed{Dummy}}",
              Shape(*tree.Root()));

    // The nodes forget the dropped table; closing the tab afterwards touches nothing freed.
    directories.reset();
    tab_->DropTable(tab_->FindTableNode(L"Directory"));
    EXPECT_EQ(L"Component{Second    {Dummy},ShortcutComp    {Dummy}}", Shape(*tree.Root()));
    roots_.clear();
    tab_.reset();
}

TEST_F(RowTreesTest, RegistryRowsAreLabelledAsKeysAndTheImportIsOfferedOnlyWhereItCanRun)
{
    RegisterRowTreeClasses();
    if (!Open(L"OldClassTableDef.msi", false, false))
        GTEST_SKIP() << "OldClassTableDef.msi is not there";
    auto registry = tab_->GetTableLookup(L"Registry");
    registry->AddRowFromText({L"Labelled", L"2", L"Software\\Key", L"", L"v", L"ProgIdComp"});
    registry->AddRowFromText({L"Both", L"-1", L"K", L"n", L"", L"ProgIdComp"});
    struct Case
    {
        const wchar_t* key;
        const wchar_t* label;
    } cases[] = {{L"Labelled", L"HKLM\\Software\\Key:  => v"}, {L"Both", L"HKLM|HKCU\\K: n => "}};
    for (const Case& c : cases) {
        auto node = CreateRowElementNode(tab_.get(), L"Registry", FindRowByKey(Table(L"Registry"), c.key));
        EXPECT_EQ(c.label, node->GetLabel());
    }

    Fill(2, L"Component");
    auto component = CreateRowElementNode(tab_.get(), L"Component", Table(L"Component").rows().begin());
    auto* node = dynamic_cast<ComponentNode*>(component.get());
    ASSERT_TRUE(node);
    EXPECT_TRUE(node->CanImportRegFile());
    // The command asks for the file; a cancel changes nothing.
    prompts_.answer(PromptAnswer{IDCANCEL, {}, false});
    node->OnCommand(ID_NODE_IMPORT_REG_FILE);
    ASSERT_EQ(1u, prompts_.asked().size());
    EXPECT_EQ(L"Open File", prompts_.asked()[0].caption);
    EXPECT_FALSE(tab_->HasChanges());
    component.reset();
    roots_.clear();

    // Read-only, and without a Registry table: grey.
    for (auto setup :
         {std::make_pair(L"OldClassTableDef.msi", true), std::make_pair(L"shortcuts.msi", false)}) {
        tab_.reset();
        ASSERT_TRUE(Open(setup.first, setup.second, false));
        auto other = CreateRowElementNode(tab_.get(), L"Component", Table(L"Component").rows().begin());
        EXPECT_FALSE(dynamic_cast<ComponentNode&>(*other).CanImportRegFile()) << setup.first;
    }
    // A package without dialogs shows an empty Dialogs page.
    EXPECT_EQ(L"", Shape(*Fill(1, L"Dialog").Root()));
}

TEST_F(RowTreesTest, ADialogIsPreviewedUntilFinishedAndThenTakenDown)
{
    if (!Open(L"shortcuts.msi"))
        GTEST_SKIP() << "shortcuts.msi is not there";
    TreeView& tree = Fill(1, L"Dialog");
    auto* node = dynamic_cast<DialogNode*>(Node(tree, {L"Dialog", L"WelcomeDlg"}));
    ASSERT_TRUE(node);
    bool shown = false;
    {
        ModalDriver driver([&] {
            HWND dialog = FindThreadDialog(L"Dialog Preview");
            if (!dialog)
                return false;
            HWND preview = FindThreadWindow(L"Preview of Welcome");
            shown = preview != nullptr;
            if (preview)
                SaveScreenshot(preview, testing_support::BuildPath(L"dialog-preview.png"));
            ClickButton(dialog, IDOK);
            return true;
        });
        node->Preview();
        EXPECT_TRUE(driver.finished());
    }
    EXPECT_TRUE(shown) << "the installer showed the dialog";
    EXPECT_FALSE(FindThreadWindow(L"Preview of Welcome")) << "and took it down";
    EXPECT_FALSE(FindThreadWindow(L"Dialog Preview"));
}

// Real dialogs are modal; the installer would run them in a loop of its own that never returns. Each is
// previewed through its node's command, read-only too, ends with "Finished" and leaves the database as it
// was.
TEST_F(RowTreesTest, AModalDialogIsPreviewedLikeAnyOtherAndLeavesItsRowAsItWas)
{
    struct Case
    {
        const wchar_t* dialog;
        const wchar_t* title;
        int attributes;
        bool read_only;
    } cases[] = {{L"BrowseDlg", L"Preview of Browse", 3, false},
                 {L"CancelDlg", L"Preview of Cancel", 7, false},
                 {L"WelcomeDlg", L"Preview of Welcome", 1, false},
                 {L"BrowseDlg", L"Preview of Browse", 3, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dialog << (c.read_only ? " read-only" : ""));
        roots_.clear();
        tab_.reset();
        if (!Open(L"shortcuts.msi", c.read_only, true, &AddModalDialogs))
            GTEST_SKIP() << "shortcuts.msi is not there";
        TreeView& tree = Fill(1, L"Dialog");
        auto* node = dynamic_cast<DialogNode*>(Node(tree, {L"Dialog", c.dialog}));
        ASSERT_TRUE(node);
        bool shown = false;
        for (int round = 0; round < 2; ++round) {
            ModalDriver driver([&] {
                HWND dialog = FindThreadDialog(L"Dialog Preview");
                if (!dialog)
                    return false;
                shown = FindThreadWindow(c.title) != nullptr;
                ClickButton(dialog, IDOK);
                return true;
            });
            node->OnCommand(ID_NODE_PREVIEW);
            EXPECT_TRUE(driver.finished()) << "round " << round;
            EXPECT_TRUE(shown) << "round " << round;
            EXPECT_FALSE(FindThreadWindow(c.title));
            EXPECT_FALSE(FindThreadWindow(L"Dialog Preview"));
        }
        EXPECT_EQ(c.attributes, DialogAttributes(File().handle(), c.dialog));
        EXPECT_FALSE(tab_->IsDirty());
    }
}

// Only a row node whose branch is open hears of tables added to the file (it may group their rows): a page
// of many rows is not as many subscriptions to the file.
TEST_F(RowTreesTest, OnlyOpenBranchesListenForTablesAdded)
{
    if (!Open(L"shortcuts.msi"))
        GTEST_SKIP() << "shortcuts.msi is not there";
    size_t before = File().file_events().SubscriptionCount();
    TreeView& tree = Fill(2, L"Component");
    EXPECT_EQ(before, File().file_events().SubscriptionCount()) << "two closed components";
    Expand(tree, Node(tree, {L"Component", kShortcutPath}));
    EXPECT_EQ(before + 1, File().file_events().SubscriptionCount());
    roots_.clear();
    tab_->SelectView(0);
    for (int page : {1, 2, 3})
        tab_->GetViewTabs().GetPage(page).Root()->RemoveAllChildren();
    EXPECT_EQ(before, File().file_events().SubscriptionCount()) << "the page gone";
}

// A table added while a component's branch is open (a Registry table the package lacked) shows its rows
// there as it does under a component opened afterwards.
TEST_F(RowTreesTest, ATableAddedShowsItsRowsInAnOpenBranch)
{
    if (!Open(L"shortcuts.msi"))
        GTEST_SKIP() << "shortcuts.msi is not there";
    TreeView& tree = Fill(2, L"Component");
    ContainerNode* open = Node(tree, {L"Component", kShortcutPath});
    Expand(tree, open);
    MsiTable source(L"Registry", nullptr);
    const wchar_t* columns[][2] = {{L"Registry", L"s72"}, {L"Root", L"i2"},  {L"Key", L"l255"},
                                   {L"Name", L"L255"},    {L"Value", L"L0"}, {L"Component_", L"s72"}};
    for (int at = 0; at < 6; ++at)
        source.columns().push_back(MakeFieldDef(columns[at][0], at == 0, columns[at][1], at, nullptr));
    File().AddTableWithRows(source);
    auto text = [](const wchar_t* value) { return MsiFieldDataRef(new MsiFieldData(value)); };
    for (const wchar_t* component : {L"ShortcutComp", L"Second"})
        File().AddRow(Table(L"Registry"), {text(component), MakeIntegerFieldData(2), text(L"Software\\Test"),
                                           text(component), text(L"1"), text(component)});

    const std::wstring shown = L"Registry{HKLM\\Software\\Test: ShortcutComp => 1{Dummy}}";
    EXPECT_NE(std::wstring::npos, Shape(*open).find(shown)) << Shape(*open);
    ContainerNode* later = Node(tree, {L"Component", L"Second    TARGETDIR"});
    Expand(tree, later);
    EXPECT_EQ(L"Registry{HKLM\\Software\\Test: Second => 1{Dummy}}", Shape(*later));
}
