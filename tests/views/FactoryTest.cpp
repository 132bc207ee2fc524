// Which editor a cell gets, the lookups' path to the editors, and a handler's edit handler taken back.
#include "EditorTesting.h"

#include "foundation/WindowText.h"
#include "foundation/Options.h"
#include "views/grid/CreateFieldEditor.h"
#include "views/grid/InPlaceTextEditor.h"
#include "views/grid/MsiBinaryFieldEditor.h"
#include "views/grid/MsiGUIDFieldEditor.h"
#include "views/grid/MsiNumericFieldEditor.h"
#include "views/grid/MsiSelectionFieldEditor.h"
#include "views/grid/MsiStringFieldEditor.h"

#include <typeinfo>

using namespace grid_testing;

namespace {

// Accepts everything; the factory only needs someone to hand the editor to.
class NullHandler : public MsiFieldEditorHandler
{
public:
    void CommitFieldValue(const MsiFieldDef&, RowIterator, const MsiFieldDataRef&, bool) override {}
};

std::string EditorKind(OpenPackage& package, const std::wstring& table_name, const std::wstring& key,
                       const std::wstring& column)
{
    static NullHandler handler;
    MsiTable& table = package.table(table_name);
    RowIterator row = FindRowByKey(table, key);
    if (row == table.rows().end())
        return "no such row";
    MsiFieldDefRef def = table.FindColumn(column);
    if (!def)
        return "no such column";
    InPlaceEditorPtr editor = CreateFieldEditor(handler, table, row, *def);
    if (!editor)
        return "none";
    InPlaceEditor& object = *editor;
    std::string name = typeid(object).name();
    // Itanium names: a length, then the class name.
    size_t at = name.find_first_not_of("0123456789");
    return at == std::string::npos ? name : name.substr(at);
}

} // namespace

TEST(EditorFactory, TheColumnsKindSchemaAndTheDatabaseChooseTheEditor)
{
    OpenPackage package(L"shortcuts.msi", false, [](MSIHANDLE database) {
        RunSql(database,
               L"CREATE TABLE `Custom` (`Key` CHAR(10) NOT NULL, `Number` SHORT PRIMARY KEY `Key`)");
        RunSql(database, L"INSERT INTO `Custom` (`Key`, `Number`) VALUES ('k', 1)");
    });
    if (!package.ok())
        GTEST_SKIP() << "shortcuts.msi is not there";
    EXPECT_EQ("MsiBitFlagsFieldEditor", EditorKind(package, L"Component", L"ShortcutComp", L"Attributes"));
    EXPECT_EQ("MsiGUIDFieldEditor", EditorKind(package, L"Component", L"ShortcutComp", L"ComponentId"));
    EXPECT_EQ("MsiSelectionFieldEditor", EditorKind(package, L"Component", L"ShortcutComp", L"Directory_"));
    EXPECT_EQ("MsiSelectionFieldEditor", EditorKind(package, L"Component", L"ShortcutComp", L"KeyPath"))
        << "File is there, Registry and ODBCDataSource are not";
    EXPECT_EQ("MsiStringFieldEditor", EditorKind(package, L"Component", L"ShortcutComp", L"Condition"));
    EXPECT_EQ("MsiNumericFieldEditor", EditorKind(package, L"Media", L"1", L"LastSequence"));
    EXPECT_EQ("MsiStringFieldEditor", EditorKind(package, L"Property", L"Manufacturer", L"Value"));
    EXPECT_EQ("MsiGUIDFieldEditor", EditorKind(package, L"Property", L"ProductCode", L"Value"))
        << "the category of one row";
    EXPECT_EQ("MsiStringFieldEditor", EditorKind(package, L"Custom", L"k", L"Key")) << "no schema";
    EXPECT_EQ("MsiNumericFieldEditor", EditorKind(package, L"Custom", L"k", L"Number"));

    MsiTable& component = package.table(L"Component");
    std::set<std::wstring> choices = GatherChoices(component, *component.FindColumn(L"KeyPath"));
    EXPECT_EQ((std::set<std::wstring>{L"test.txt"}), choices);

    OpenPackage read_only(L"shortcuts.msi", true);
    EXPECT_EQ("none", EditorKind(read_only, L"Component", L"ShortcutComp", L"Attributes"));
    EXPECT_EQ("none", EditorKind(read_only, L"Component", L"ShortcutComp", L"Directory_"));
    EXPECT_EQ("none", EditorKind(read_only, L"Media", L"1", L"LastSequence"));
}

TEST(EditorFactory, StreamCellsAlwaysGetTheStreamEditor)
{
    OpenPackage package(L"MergeModule1.msm", true);
    if (!package.ok())
        GTEST_SKIP() << "MergeModule1.msm is not there";
    EXPECT_EQ("MsiBinaryFieldEditor",
              EditorKind(package, L"Binary", L"Binary1.F844F0E3_8CB4_4A0F_973E_31C4F9338382", L"Data"));
}

TEST_F(EditorTest, TheLookupMakesTheEditorAndRefreshesItsHandler)
{
    if (!Open(L"shortcuts.msi", L"Property"))
        GTEST_SKIP() << "shortcuts.msi is not there";
    handler->editor_handler = nullptr; // the lookup's own path: CreateEditor, then the factory
    int row = Position({L"Manufacturer"});
    int value = Column(L"Value");
    Focus(row, value);

    PressEnter();
    ASSERT_TRUE(dynamic_cast<MsiStringFieldEditor*>(host->list().GetEditor().get()));
    EXPECT_EQ(handler.get(), lookup->GetEditHandler());
    TypeText(L"Through the lookup");
    PressKey(VK_RETURN);
    EXPECT_EQ(L"Through the lookup", Cell(value, row));
    EXPECT_EQ(1, handler->refreshes) << "the lookup told the handler that started the edit";

    // The handler goes (its tree was cleared): the lookup no longer holds it, so a later commit of another
    // caller cannot call into it.
    handler.reset();
    EXPECT_EQ(nullptr, lookup->GetEditHandler());
    EXPECT_EQ(nullptr, host->list().GetHandler());
    lookup->CommitFieldValue(*lookup->GetFieldDef(value), lookup->GetIndexedRow(row, 0),
                             MsiFieldDataRef(new MsiFieldData(L"After")), true);
    EXPECT_EQ(L"After", Cell(value, row));
}

TEST_F(EditorTest, TheListShowsTheLookupsCellColours)
{
    if (!Open(L"shortcuts.msi", L"Property"))
        GTEST_SKIP() << "shortcuts.msi is not there";
    EnsureGdiplus();
    HWND list = host->list_window();
    EXPECT_EQ(lookup->RowCount(), SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(L"Manufacturer", GetListViewItemText(list, Position({L"Manufacturer"}), 0));

    // A key longer than its column fails the column's checks: the invalid colours. A row with validation
    // messages: the has-errors colours. A selected row with the cursor cell: selected and focused.
    int too_long = Position({L"ProductLanguage"});
    lookup->CommitFieldValue(*lookup->GetFieldDef(0), lookup->GetIndexedRow(too_long, 0),
                             MsiFieldDataRef(new MsiFieldData(std::wstring(80, L'L'))), true);
    EXPECT_FALSE(lookup->GetCellTipText(0, too_long, 0).empty());
    handler->row_flags[Position({L"ALLUSERS"})] = 1;
    host->list().AutoFitColumns();
    int selected = Position({L"ProductName"});
    Focus(selected, 1);
    InvalidateRect(list, nullptr, TRUE);
    UpdateWindow(list);

    std::wstring path = testing_support::BuildPath(L"grid-list.png");
    SaveScreenshot(host->window(), path);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str()));
}

TEST_F(EditorTest, FieldTipsComeFromTheHandlerWhenTheOptionIsOn)
{
    if (!Open(L"shortcuts.msi", L"Property"))
        GTEST_SKIP() << "shortcuts.msi is not there";
    ObjectWindow& list = host->list();
    HWND window = host->list_window();
    list.AddToolTip();
    ASSERT_TRUE(list.GetToolTipWindow());

    bool was = gOptions.field_tips;
    gOptions.field_tips = false;
    SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(20, 30));
    EXPECT_FALSE(KillTimer(window, ObjectWindow::kFieldTipTimer)) << "tips off: no timer";
    gOptions.field_tips = true;
    SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(20, 30));
    EXPECT_TRUE(KillTimer(window, ObjectWindow::kFieldTipTimer));
    gOptions.field_tips = was;

    // The tip's text is asked from the handler through the list.
    struct TipHandler : LookupHandler
    {
        using LookupHandler::LookupHandler;
        void GetToolTipText(NMTTDISPINFOW* info) override
        {
            tooltip_text_ = L"tip of the cell";
            info->lpszText = const_cast<wchar_t*>(tooltip_text_.c_str());
        }
    } tips(lookup);
    tips.Show(list);
    NMTTDISPINFOW info = {};
    info.hdr.hwndFrom = list.GetToolTipWindow();
    info.hdr.idFrom = reinterpret_cast<UINT_PTR>(window);
    info.hdr.code = TTN_GETDISPINFOW;
    // As the tooltip control asks: the tool's owner window gets TTN_GETDISPINFOW.
    TTTOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    ASSERT_TRUE(SendMessageW(list.GetToolTipWindow(), TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool)));
    EXPECT_EQ(reinterpret_cast<UINT_PTR>(window), tool.uId) << "the list is the one tool";
    SendMessageW(tool.hwnd, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
    ASSERT_TRUE(info.lpszText);
    EXPECT_STREQ(L"tip of the cell", info.lpszText);
}
