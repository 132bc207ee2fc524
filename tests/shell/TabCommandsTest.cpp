// The database tab's commands on real files: dropping, exporting and adding tables, finding, and a
// dropped transform.
#include "DialogDriver.h"
#include "PackageTesting.h"
#include "ShellTesting.h"
#include "support/TestSupport.h"

#include "model/installer/MsiApi.h"
#include "model/installer/MsiCallFaults.h"
#include "resources/DocumentDialogsIds.h"
#include "resources/ShellDialogsIds.h"
#include "resources/ShellIds.h"
#include "shell/ImportTablesDlg.h"
#include "shell/MsiTransformTab.h"
#include "shell/ReferenceDatabase.h"
#include "views/dialogs/FindPattern.h"
#include "views/tree/MsiTableNode.h"
#include "views/tree/TreeView.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>

using namespace shell_testing;
using namespace testing_support;

namespace {

// Works the Selection dialog with that title: records its items and ticks those named, then OK.
class SelectionAnswer
{
public:
    SelectionAnswer(const std::wstring& title, std::set<std::wstring> ticked)
        : driver_([this, title, ticked] {
              HWND window = FindDialog(title);
              if (!window)
                  return false;
              HWND list = GetDlgItem(window, IDC_SELECTION_LIST);
              for (int i = 0; i < ListView_GetItemCount(list); ++i) {
                  wchar_t text[128] = {};
                  ListView_GetItemText(list, i, 0, text, 128);
                  shown.push_back(text);
                  if (ticked.count(text))
                      ListView_SetCheckState(list, i, TRUE);
              }
              PressButton(window, IDOK);
              return true;
          })
    {
    }
    std::vector<std::wstring> shown;

private:
    DialogDriver driver_;
};

PromptAnswer Paths(std::vector<std::wstring> paths)
{
    PromptAnswer answer;
    answer.paths = std::move(paths);
    return answer;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

TEST(TabCommandRules, DroppedTransformsAndTheReferenceDatabaseChoice)
{
    struct Dropped
    {
        std::vector<std::wstring> paths;
        bool transform;
    } dropped[] = {
        {{L"C:\\x\\X.MST"}, true},     {{L"b.mst"}, true}, {{L"a.msi"}, false},
        {{L"a.mst", L"b.mst"}, false}, {{L"a.ms"}, false}, {{L".mst"}, true},
    };
    for (const Dropped& d : dropped)
        EXPECT_EQ(MsiFileTabBase::IsSingleTransform(d.paths), d.transform) << d.paths.size();

    struct Reference
    {
        std::vector<const wchar_t*> qualifiers;
        int chosen;
    } references[] = {
        {{L"200", L"1033"}, 1}, {{L"1033", L"200"}, 0}, {{L"7", L"7"}, 0}, {{}, -1}, {{L"x", L"3"}, 1},
    };
    for (const Reference& r : references) {
        std::vector<QualifiedComponent> entries;
        for (const wchar_t* q : r.qualifiers)
            entries.push_back({q, L"", L""});
        EXPECT_EQ(ChooseReferenceDatabase(entries), r.chosen) << r.qualifiers.size();
    }
}

TEST(TabCommands, DropTablesByNameEmptyTablesWithoutNodeAndSchemaNodesReload)
{
    ScratchFolder folder;
    std::wstring path = folder.file(L"Drop.msi");
    BuildPackage(path, 3, 2);
    DatabaseFrame frame;
    frame->OpenFiles({path}, false);
    MsiFileTab* tab = frame.current();
    ASSERT_NE(tab, nullptr);
    ASSERT_EQ(tab->FindTableNode(L"Feature"), nullptr); // empty: no node
    int tables = tab->FindTableNode(L"_Tables")->GetLookup()->RowCount();
    {
        SelectionAnswer answer(L"Select tables to drop", {L"Feature (empty)", L"File (3 rows)"});
        tab->OnCommand(nullptr, ID_TABLES_DROP);
        EXPECT_EQ(answer.shown, (std::vector<std::wstring>{L"Feature (empty)", L"File (3 rows)",
                                                           L"Property (1 rows)", L"Registry (2 rows)"}));
    }
    EXPECT_FALSE(tab->GetMsiFile().FindTable(L"Feature"));
    EXPECT_FALSE(tab->GetMsiFile().FindTable(L"File"));
    EXPECT_EQ(tab->FindTableNode(L"File"), nullptr);
    EXPECT_EQ(tab->FindTableNode(L"_Tables")->GetLookup()->RowCount(), tables - 2);
    EXPECT_TRUE(tab->IsDirty());

    // Read-only tabs refuse silently.
    MsiFileTab read_only(&frame->GetTabs(), &frame.frame(), path, true);
    EXPECT_EQ(read_only.GetTitle(), L"Drop.msi (Read only)");
}

TEST(TabCommands, ExportWritesOneFilePerTableWithStreamsAndAFailureLeavesNoFile)
{
    ScratchFolder folder;
    std::wstring path = folder.file(L"Export.msi");
    BuildPackage(path, 2, 1, true);
    CreateDirectoryW(folder.file(L"out").c_str(), nullptr);
    DatabaseFrame frame;
    frame->OpenFiles({path}, false);
    MsiFileTab* tab = frame.current();
    ASSERT_NE(tab, nullptr);
    {
        ScriptedPrompts prompts;
        prompts.answer(Paths({folder.file(L"out")}));
        SelectionAnswer answer(L"Export Tables", {L"Binary", L"File", L"Registry"});
        tab->OnCommand(nullptr, ID_TABLES_EXPORT);
        // Database tables only, in tree order.
        EXPECT_EQ(answer.shown.size(), 4u);
        EXPECT_EQ(std::count(answer.shown.begin(), answer.shown.end(), L"_Tables"), 0);
    }
    for (const wchar_t* name :
         {L"out\\Binary.idt", L"out\\File.idt", L"out\\Registry.idt", L"out\\Binary\\Icon"})
        EXPECT_TRUE(Exists(folder.file(name))) << name;
    EXPECT_FALSE(Exists(folder.file(L"out\\Property.idt")));

    EXPECT_THROW(tab->ExportTable(L"Missing", folder.file(L"out")), tfc::Win32Error);
    EXPECT_FALSE(Exists(folder.file(L"out\\Missing.idt")));
    {
        msi::ScopedCallFaults faults;
        msi::FailCall(L"MsiDatabaseExport", 1, ERROR_FUNCTION_FAILED);
        EXPECT_THROW(tab->ExportTable(L"Property", folder.file(L"out")), tfc::Win32Error);
    }
    EXPECT_FALSE(Exists(folder.file(L"out\\Property.idt")));
}

TEST(TabCommands, AddTablesTakesTheLargestQualifierAndSaysWhenNothingIsMissing)
{
    ScratchFolder folder;
    std::wstring small = folder.file(L"small.msi"), large = folder.file(L"large.msi"),
                 path = folder.file(L"a.msi");
    BuildPackage(small, 0, 0);
    BuildPackage(large, 2, 2, true);
    BuildPackage(path, 0, 0);
    ReferenceDatabaseSource previous = SetReferenceDatabaseSource([&] {
        return std::vector<QualifiedComponent>{{L"200", L"", small}, {L"1033", L"", large}};
    });
    DatabaseFrame frame;
    frame->OpenFiles({path}, false);
    MsiFileTab* tab = frame.current();
    ASSERT_NE(tab, nullptr);
    {
        SelectionAnswer answer(L"Select tables to add", {L"Registry", L"Binary"});
        tab->OnCommand(nullptr, ID_TABLES_ADD);
        EXPECT_EQ(answer.shown, (std::vector<std::wstring>{L"Binary", L"File", L"Registry"}));
    }
    ASSERT_NE(tab->FindTableNode(L"Registry"), nullptr);
    EXPECT_EQ(tab->FindTableNode(L"Registry")->GetLookup()->RowCount(), 2);
    EXPECT_NE(tab->FindTableNode(L"Binary"), nullptr);
    EXPECT_EQ(tab->FindTableNode(L"File"), nullptr);
    EXPECT_TRUE(tab->IsDirty());

    SetReferenceDatabaseSource([&] { return std::vector<QualifiedComponent>{{L"5", L"", small}}; });
    {
        ScriptedPrompts prompts;
        prompts.answer(IDOK);
        SelectionAnswer unused(L"Select tables to add", {});
        tab->OnCommand(nullptr, ID_TABLES_ADD);
        ASSERT_EQ(prompts.asked().size(), 1u);
        EXPECT_EQ(prompts.asked()[0].text,
                  L"This database contains all the tables from the reference database");
        EXPECT_TRUE(unused.shown.empty());
    }
    SetReferenceDatabaseSource([] { return std::vector<QualifiedComponent>(); });
    {
        ScriptedPrompts prompts;
        prompts.answer(IDOK);
        tab->OnCommand(nullptr, ID_TABLES_ADD);
        ASSERT_EQ(prompts.asked().size(), 1u);
        EXPECT_EQ(prompts.asked()[0].caption, L"No tables to add");
    }
    SetReferenceDatabaseSource(previous);
}

TEST(TabCommands, FindWrapsToTheStartTableAndSurvivesItsDrop)
{
    ScratchFolder folder;
    std::wstring path = folder.file(L"Find.msi");
    BuildPackage(path, 3, 3);
    DatabaseFrame frame;
    frame->OpenFiles({path}, false);
    MsiFileTab* tab = frame.current();
    ASSERT_NE(tab, nullptr);
    std::set<std::wstring> tables, columns;
    tab->GetFindNames(tables, columns);
    EXPECT_TRUE(tables.count(L"Registry") && columns.count(L"FileName"));

    FindPattern only_first = BuildPattern(L"f1", L"File", L"File", false, true, true);
    FindCriteria after_first(L"", L"File", L"File", {L"f2"});
    // After the start there is no match; before it (the wrap) the first row is found.
    EXPECT_TRUE(tab->FindNext(after_first, only_first, false, false).empty());
    FindCriteria wrapped = tab->FindNext(after_first, only_first, false, true);
    EXPECT_EQ(wrapped.key_values, std::vector<std::wstring>{L"f1"});
    EXPECT_TRUE(tab->FindNext(FindCriteria(L"", L"File", L"File", {L"f1"}), only_first, true, false).empty());

    FindPattern any_r = BuildPattern(L"r2", L"", L"", false, true, true);
    tab->DropTable(tab->FindTableNode(L"File"));
    FindCriteria found = tab->FindNext(after_first, any_r, false, false);
    EXPECT_EQ(found.table_name, L"Registry");
    EXPECT_TRUE(tab->ShowFound(found));
    EXPECT_EQ(tab->GetTablesTree()->GetSelectedNode(), tab->FindTableNode(L"Registry"));
}

TEST(TabCommands, NewTransformThenOneDroppedTransformOnACleanTabOpensAsItsTransform)
{
    ScratchFolder folder;
    std::wstring base = folder.file(L"base.msi");
    BuildPackage(base, 2, 0);
    std::wstring transform = folder.file(L"T.MST");
    DatabaseFrame frame;
    frame->SetTransformFactory(&MsiTransformTab::Make);
    frame->OpenFiles({base}, false);
    ASSERT_NE(frame.current(), nullptr);
    {
        ScriptedPrompts prompts;
        prompts.answer(Paths({transform}));
        frame.current()->OnCommand(nullptr, ID_TRANSFORM_NEW);
    }
    auto* created = dynamic_cast<MsiTransformTab*>(frame->GetTabs().CurrentTab());
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(frame->GetTabs().Documents().size(), 1u);
    EXPECT_EQ(created->GetTitle(), L"base.msi");
    // A base table dropped by the transform keeps its node; a new transform asks for its properties first.
    created->DropTable(created->FindTableNode(L"File"));
    ASSERT_NE(created->FindTableNode(L"File"), nullptr);
    EXPECT_EQ(created->FindTableNode(L"File")->GetLookup()->GetTable(), nullptr);
    EXPECT_EQ(created->FindEditableTableNode(L"File"), nullptr);
    {
        bool asked = false;
        DialogDriver properties([&] {
            HWND window = FindDialog(L"Transform Properties");
            if (!window)
                return false;
            asked = true;
            PressButton(window, IDOK);
            return true;
        });
        created->Save();
        EXPECT_TRUE(asked);
    }
    EXPECT_TRUE(Exists(transform));
    ASSERT_TRUE(frame->GetTabs().CloseCurrent());

    frame->OpenFiles({base}, false);
    ASSERT_NE(frame.current(), nullptr);
    frame->OpenFiles({transform}, true);
    auto* applied = dynamic_cast<MsiTransformTab*>(frame->GetTabs().CurrentTab());
    ASSERT_NE(applied, nullptr);
    EXPECT_EQ(frame->GetTabs().Documents().size(), 1u);
    EXPECT_FALSE(applied->GetMsiFile().FindTable(L"File"));
    EXPECT_NE(applied->FindTableNode(L"File"), nullptr);
    EXPECT_FALSE(applied->IsDirty());
}

TEST(TabCommands, CodePageAndSummaryInfoMarkTheTabDirtyOnlyWhenChangedAndReadOnlyGreysWrites)
{
    ScratchFolder folder;
    std::wstring path = folder.file(L"Props.msi");
    BuildPackage(path, 1, 0);
    DatabaseFrame frame;
    frame->OpenFiles({path}, false);
    MsiFileTab* tab = frame.current();
    ASSERT_NE(tab, nullptr);
    struct Case
    {
        const wchar_t* text;
        UINT code_page;
        bool dirty;
    } cases[] = {{L"0", 0, false}, {L"1252", 1252, true}};
    for (const Case& c : cases) {
        DialogDriver driver([&] {
            HWND window = FindDialog(L"Database Code Page");
            if (!window)
                return false;
            SetWindowTextW(GetDlgItem(window, IDC_NEW_CODE_PAGE), c.text);
            PressButton(window, IDOK);
            return true;
        });
        tab->OnCommand(nullptr, ID_TABLES_CODE_PAGE);
        EXPECT_EQ(tab->GetMsiFile().GetCodepage(), c.code_page) << c.text;
        EXPECT_EQ(tab->IsDirty(), c.dirty) << c.text;
    }
    tab->SetDirty(false);
    {
        DialogDriver driver([&] {
            HWND window = FindDialog(L"Summary Information");
            if (!window)
                return false;
            PressButton(window, IDOK);
            return true;
        });
        tab->OnCommand(nullptr, ID_TABLES_SUMMARY_INFO);
    }
    EXPECT_FALSE(tab->IsDirty());

    // A read-only tab's menus grey the commands that write, and the commands do nothing.
    ASSERT_TRUE(frame->GetTabs().CloseCurrent());
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    frame->OpenFiles({path}, false);
    tab = frame.current();
    ASSERT_NE(tab, nullptr);
    ASSERT_TRUE(tab->IsReadOnly());
    HMENU bar = GetMenu(frame->GetWindowHandle());
    for (UINT id : {ID_TABLES_ADD, ID_TABLES_IMPORT, ID_TABLES_DROP, ID_TABLES_CODE_PAGE})
        EXPECT_TRUE(GetMenuState(bar, id, MF_BYCOMMAND) & MF_GRAYED) << id;
    EXPECT_FALSE(GetMenuState(bar, ID_TABLES_EXPORT, MF_BYCOMMAND) & MF_GRAYED);
    tab->OnCommand(nullptr, ID_TABLES_DROP);
    tab->OnCommand(nullptr, ID_TABLES_ADD);
    EXPECT_FALSE(tab->IsDirty());
    ASSERT_TRUE(frame->GetTabs().CloseCurrent());
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Add Tables lists the new table in `_Tables` and `_Columns` while that table is shown, sorted: the shown
// list and its lookup read the rows read afresh.
TEST(TabCommands, AddTablesWhileASchemaTableIsShownShowsItsNewRows)
{
    ScratchFolder folder;
    std::wstring large = folder.file(L"large.msi"), path = folder.file(L"a.msi");
    BuildPackage(large, 2, 2, true);
    BuildPackage(path, 0, 0);
    ReferenceDatabaseSource previous = SetReferenceDatabaseSource([&] {
        return std::vector<QualifiedComponent>{{L"1033", L"", large}};
    });
    DatabaseFrame frame;
    frame->OpenFiles({path}, false);
    MsiFileTab* tab = frame.current();
    ASSERT_NE(tab, nullptr);
    for (const wchar_t* schema : {L"_Columns", L"_Tables"}) {
        SCOPED_TRACE(testing::Message() << schema);
        MsiTableNode* node = tab->FindTableNode(schema);
        ASSERT_NE(node, nullptr);
        SendMessageW(tab->GetTablesTree()->GetWindow(), TVM_SELECTITEM, TVGN_CARET,
                     reinterpret_cast<LPARAM>(node->GetItem()));
        auto lookup = node->GetLookup();
        std::vector<int> selected;
        int focused = -1;
        lookup->Sort(0, false, 0, selected, focused);
        const wchar_t* added = schema[1] == L'C' ? L"Registry" : L"Binary";
        {
            SelectionAnswer answer(L"Select tables to add", {added});
            tab->OnCommand(nullptr, ID_TABLES_ADD);
        }
        MsiTable& table = *tab->GetMsiFile().FindTable(schema);
        HWND list = tab->GetTreeContext()->GetWindowHandle();
        EXPECT_EQ(static_cast<int>(table.rows().size()), lookup->RowCount());
        EXPECT_EQ(lookup->RowCount(), ListView_GetItemCount(list));
        std::vector<std::wstring> shown;
        for (int position = 0; position < lookup->RowCount(); ++position)
            shown.push_back(lookup->GetCellText(0, position, 0));
        EXPECT_NE(std::find(shown.begin(), shown.end(), added), shown.end());
    }
    SetReferenceDatabaseSource(previous);
}

// Import Tables cancelled after one file went in and the next failed: `_Tables`, shown, lists the table that
// went in.
TEST(TabCommands, ImportTablesCancelledAfterAFailureShowsTheImportedTableInTheSchema)
{
    ScratchFolder folder;
    std::wstring large = folder.file(L"large.msi"), path = folder.file(L"a.msi");
    BuildPackage(large, 2, 2, true);
    BuildPackage(path, 0, 0);
    {
        MsiHandle source = msi::OpenDatabase(large, MSIDBOPEN_READONLY);
        for (const wchar_t* table : {L"Registry", L"Binary"})
            msi::DatabaseExport(source.get(), table, folder.path(), std::wstring(table) + L".idt");
    }
    DatabaseFrame frame;
    frame->OpenFiles({path}, false);
    MsiFileTab* tab = frame.current();
    ASSERT_NE(tab, nullptr);
    ASSERT_FALSE(tab->GetMsiFile().FindTable(L"Registry") || tab->GetMsiFile().FindTable(L"Binary"));
    MsiTableNode* tables = tab->FindTableNode(L"_Tables");
    ASSERT_NE(tables, nullptr);
    SendMessageW(tab->GetTablesTree()->GetWindow(), TVM_SELECTITEM, TVGN_CARET,
                 reinterpret_cast<LPARAM>(tables->GetItem()));
    ScriptedPrompts prompts;
    prompts.answer(PromptAnswer{IDOK, {folder.file(L"Registry.idt"), folder.file(L"Binary.idt")}, false});
    prompts.answer(IDCONTINUE); // the error dialog of the failed file
    std::wstring imported;
    DialogDriver driver([&] {
        HWND window = FindDialog(L"Import Tables");
        auto* dialog = window ? dynamic_cast<ImportTablesDlg*>(tfc::Dialog::dialog_object(window)) : nullptr;
        if (!dialog)
            return false;
        imported = dialog->Files().at(0)->table;
        EXPECT_TRUE(DeleteFileW(dialog->Files().at(1)->database_path.c_str()));
        PressButton(window, IDOK);
        PressButton(window, IDCANCEL);
        return true;
    });
    tab->OnCommand(nullptr, ID_TABLES_IMPORT);
    EXPECT_TRUE(driver.finished());
    ASSERT_TRUE(tab->GetMsiFile().FindTable(imported)) << imported;
    auto lookup = tables->GetLookup();
    EXPECT_EQ(lookup->RowCount(), ListView_GetItemCount(tab->GetTreeContext()->GetWindowHandle()));
    std::vector<std::wstring> shown;
    for (int position = 0; position < lookup->RowCount(); ++position)
        shown.push_back(lookup->GetCellText(0, position, 0));
    EXPECT_NE(std::find(shown.begin(), shown.end(), imported), shown.end());
}

// A table without a node keeps the lookup made for it until the table is dropped, by Drop Tables or by
// Import Tables replacing it; a table made later is never shown through the old lookup.
TEST(TabCommands, AKeptLookupGoesWithItsTableWhateverDropsIt)
{
    ScratchFolder folder;
    std::wstring path = folder.file(L"Kept.msi");
    BuildPackage(path, 3, 2);
    DatabaseFrame frame;
    frame->OpenFiles({path}, false);
    MsiFileTab* tab = frame.current();
    ASSERT_NE(tab, nullptr);
    ASSERT_EQ(tab->FindTableNode(L"Feature"), nullptr); // empty: no node
    msi::DatabaseExport(tab->GetMsiFile().handle(), L"Feature", folder.path(), L"Feature.idt");
    struct Case
    {
        const char* command;
        std::function<void()> run;
        bool table_after;
    } cases[] = {
        {"import replacing it", [&] { EXPECT_TRUE(ImportThroughCommand(*tab, folder.file(L"Feature.idt"))); },
         true},
        {"drop tables",
         [&] {
             SelectionAnswer answer(L"Select tables to drop", {L"Feature (empty)"});
             tab->OnCommand(nullptr, ID_TABLES_DROP);
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        std::weak_ptr<MsiTableLookupBase> kept = tab->GetTableLookup(L"Feature");
        ASSERT_FALSE(kept.expired());
        EXPECT_EQ(kept.lock(), tab->GetTableLookup(L"Feature")) << "kept while the table lives";
        c.run();
        EXPECT_TRUE(kept.expired());
        MsiTableRef now = tab->GetMsiFile().FindTable(L"Feature");
        EXPECT_EQ(c.table_after, static_cast<bool>(now));
        if (now)
            EXPECT_EQ(now.get(), tab->GetTableLookup(L"Feature")->GetTable());
    }
}
