// New File over our own template packages installed in this prefix, and over a prefix without templates.
#include "PackageTesting.h"
#include "ShellTesting.h"
#include "TemplateTesting.h"
#include "support/TestSupport.h"

#include "model/installer/MsiApi.h"
#include "model/MsiFile.h"
#include "shell/MsiFileTab.h"
#include "model/TemplateKinds.h"
#include "resources/NewFileOptionsIds.h"
#include "resources/ShellIds.h"

#include <gtest/gtest.h>
#include <msi.h>
#include <msiquery.h>
#include <propidl.h>
#include <cwctype>
#include <map>
#include <set>

using namespace shell_testing;
using namespace template_testing;
using testing_support::ScratchFolder;
using testing_support::ScriptedPrompts;

namespace {

const wchar_t kTemplatesCategory[] = L"{FC2CEF75-D7DA-46a4-811F-8C1331128728}";
const DWORD kSaveFlags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_CREATEPROMPT | OFN_NOREADONLYRETURN;

std::wstring LongText()
{
    std::wstring text;
    for (int i = 0; i < 30; ++i)
        text += L"0123456789";
    return text;
}

PromptAnswer SavePath(const std::wstring& path)
{
    PromptAnswer answer;
    if (!path.empty())
        answer.paths.push_back(path);
    return answer;
}

void SelectKind(HWND dialog, int kind)
{
    HWND types = GetDlgItem(dialog, IDC_NEW_FILE_TYPE);
    SendMessageW(types, LB_SETCURSEL, kind, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_NEW_FILE_TYPE, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(types));
}

std::set<std::wstring> TableNames(const std::wstring& path)
{
    std::set<std::wstring> names;
    MSIHANDLE database = 0, view = 0, record = 0;
    if (MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_READONLY, &database) != ERROR_SUCCESS)
        return names;
    MsiDatabaseOpenViewW(database, L"SELECT `Name` FROM `_Tables`", &view);
    MsiViewExecute(view, 0);
    while (MsiViewFetch(view, &record) == ERROR_SUCCESS) {
        wchar_t name[80] = {};
        DWORD size = 80;
        MsiRecordGetStringW(record, 1, name, &size);
        names.insert(name);
        MsiCloseHandle(record);
    }
    MsiCloseHandle(view);
    MsiCloseHandle(database);
    return names;
}

// Every summary property of a file as the installer library reads it, as text by property id.
std::map<UINT, std::wstring> SummaryProperties(const std::wstring& path)
{
    std::map<UINT, std::wstring> properties;
    MSIHANDLE summary = 0;
    if (MsiGetSummaryInformationW(0, path.c_str(), 0, &summary) != ERROR_SUCCESS)
        return properties;
    for (UINT pid = 1; pid <= 19; ++pid) {
        UINT type = VT_EMPTY;
        INT number = 0;
        FILETIME time = {};
        wchar_t text[512] = {};
        DWORD size = 512;
        if (MsiSummaryInfoGetPropertyW(summary, pid, &type, &number, &time, text, &size) != ERROR_SUCCESS ||
            type == VT_EMPTY)
            continue;
        if (type == VT_LPSTR)
            properties[pid] = text;
        else if (type == VT_FILETIME)
            properties[pid] =
                std::to_wstring(time.dwHighDateTime) + L":" + std::to_wstring(time.dwLowDateTime);
        else
            properties[pid] = std::to_wstring(number);
    }
    MsiCloseHandle(summary);
    return properties;
}

// A package code as packages hold it: a GUID in braces, hexadecimal digits in upper case.
bool IsPackageCode(const std::wstring& text)
{
    if (text.size() != 38 || text.front() != L'{' || text.back() != L'}')
        return false;
    for (size_t i = 1; i < 37; ++i) {
        bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? text[i] != L'-' : !(std::iswdigit(text[i]) || (text[i] >= L'A' && text[i] <= L'F')))
            return false;
    }
    return true;
}

class NewFileWithTemplates : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!TemplatesPackage().empty() && !TestEntriesPackage().empty())
            installed_ = InstallTemplates();
    }
    static void TearDownTestSuite() { RemoveTemplates(); }
    void SetUp() override
    {
        if (TemplatesPackage().empty())
            GTEST_SKIP() << "the template packages were not built";
        ASSERT_TRUE(installed_);
    }
    static bool installed_;
};
bool NewFileWithTemplates::installed_ = false;

} // namespace

TEST_F(NewFileWithTemplates, ListsTheKindsAndOpensAWritableCopyOfTheChosenTemplate)
{
    ScratchFolder folder;
    std::wstring new_path = folder.file(L"new.msi");
    ScriptedPrompts prompts;
    prompts.answer(SavePath(new_path));
    // Installed templates may be read-only; the new file must not be.
    std::vector<std::wstring> package_templates;
    for (const QualifiedComponent& entry : EnumQualifiedComponents(kPackageTemplateCategory)) {
        package_templates.push_back(entry.path);
        SetFileAttributesW(entry.path.c_str(), FILE_ATTRIBUTE_READONLY);
    }
    TestFrame frame;
    std::vector<std::wstring> kinds;
    std::vector<std::vector<std::wstring>> schemas;
    std::vector<LRESULT> preselected;
    StepDriver driver({[&](HWND dialog) {
        kinds = ListTexts(GetDlgItem(dialog, IDC_NEW_FILE_TYPE));
        for (int kind = static_cast<int>(kinds.size()) - 1; kind >= 0; --kind) {
            SelectKind(dialog, kind);
            HWND combo = GetDlgItem(dialog, IDC_NEW_FILE_SCHEMA);
            schemas.insert(schemas.begin(), ComboTexts(combo));
            preselected.insert(preselected.begin(), SendMessageW(combo, CB_GETCURSEL, 0, 0));
        }
        template_testing::SaveScreenshot(dialog, L"new-file.png");
        Click(dialog, IDOK);
        return true;
    }});
    frame->OnCommand(ID_FILE_NEW);
    for (const std::wstring& path : package_templates)
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_EQ(driver.done(), 1u);

    EXPECT_EQ(kinds, (std::vector<std::wstring>{L"Package", L"Merge Module", L"Templates"}));
    ASSERT_EQ(schemas.size(), 3u);
    // The platform may list qualifiers in any order: sets, and the last one preselected.
    EXPECT_EQ(
        std::set<std::wstring>(schemas[0].begin(), schemas[0].end()),
        (std::set<std::wstring>{L"Package with the basic tables", L"Package with every standard table"}));
    EXPECT_EQ(schemas[1], std::vector<std::wstring>{L"Merge module"});
    std::set<std::wstring> templates(schemas[2].begin(), schemas[2].end());
    EXPECT_TRUE(templates.count(LongText())) << "a text past 260 characters is listed whole";
    EXPECT_TRUE(templates.count(L"Database without tables"));
    for (size_t kind = 0; kind < schemas.size(); ++kind)
        EXPECT_EQ(preselected[kind], static_cast<LRESULT>(schemas[kind].size()) - 1) << kind;

    ASSERT_EQ(prompts.asked().size(), 1u);
    const PromptRequest& save = prompts.asked()[0];
    EXPECT_EQ(save.kind, PromptKind::SaveFile);
    EXPECT_EQ(save.caption, L"New File");
    EXPECT_EQ(save.flags, kSaveFlags);
    EXPECT_EQ(save.default_extension, L".msi");
    EXPECT_EQ(save.text, std::wstring(L"Package (.msi)\0*.msi", 20));

    // The preselected package template, copied and opened as a document.
    EXPECT_EQ(frame.opened, std::vector<std::wstring>{new_path});
    ASSERT_TRUE(frame.document(0));
    EXPECT_EQ(frame.document(0)->GetPath(), new_path) << "opened in a tab";
    std::wstring chosen =
        testing_support::BuildPath(L"templates\\") +
        (schemas[0].back() == L"Package with every standard table" ? L"Schema.msi" : L"Basic.msi");
    EXPECT_EQ(TableNames(new_path), TableNames(chosen));
    EXPECT_FALSE(GetFileAttributesW(new_path.c_str()) & FILE_ATTRIBUTE_READONLY);
    MSIHANDLE database = 0;
    ASSERT_EQ(MsiOpenDatabaseW(new_path.c_str(), MSIDBOPEN_TRANSACT, &database), ERROR_SUCCESS);
    EXPECT_EQ(MsiDatabaseCommit(database), ERROR_SUCCESS) << "the copy is writable";
    MsiCloseHandle(database);
}

TEST_F(NewFileWithTemplates, EachNewFileHasItsOwnPackageCodeAndCreationTimeAndKeepsThemWhenSaved)
{
    ScratchFolder folder;
    std::set<std::wstring> codes;
    // A package twice from one template, then a merge module.
    const std::pair<int, const wchar_t*> cases[] = {
        {0, L"first.msi"}, {0, L"second.msi"}, {1, L"module.msm"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.second);
        std::wstring new_path = folder.file(c.second);
        ScriptedPrompts prompts;
        prompts.answer(SavePath(new_path));
        DatabaseFrame frame;
        std::wstring description;
        StepDriver driver({[&](HWND dialog) {
            SelectKind(dialog, c.first);
            HWND combo = GetDlgItem(dialog, IDC_NEW_FILE_SCHEMA);
            description = ComboTexts(combo)[SendMessageW(combo, CB_GETCURSEL, 0, 0)];
            Click(dialog, IDOK);
            return true;
        }});
        frame->OnCommand(ID_FILE_NEW);
        ASSERT_EQ(driver.done(), 1u);
        ASSERT_NE(frame.current(), nullptr);
        std::wstring template_path;
        for (const QualifiedComponent& entry : EnumQualifiedComponents(TemplateKinds()[c.first].category))
            if (entry.application_data == description)
                template_path = entry.path;
        // What the opened document read; the library cannot read the file while the tab holds it.
        SummaryInfoMap& opened = frame.current()->GetMsiFile().summary_info();
        std::wstring code = opened[PIDSI_REVNUMBER]->to_string();
        EXPECT_FALSE(opened[PIDSI_CREATE_DTM]->is_null()) << "no creation time";
        frame->OnCommand(ID_FILE_CLOSE);

        std::map<UINT, std::wstring> original = SummaryProperties(template_path);
        std::map<UINT, std::wstring> made = SummaryProperties(new_path);
        EXPECT_EQ(made[PIDSI_REVNUMBER], code);
        EXPECT_TRUE(IsPackageCode(code)) << code;
        EXPECT_NE(code, original[PIDSI_REVNUMBER]);
        EXPECT_TRUE(codes.insert(code).second) << "a package code given twice";
        ASSERT_TRUE(made.count(PIDSI_CREATE_DTM)) << "no creation time";
        std::wstring created = made[PIDSI_CREATE_DTM];
        // Nothing else of the template changes.
        for (auto* properties : {&original, &made}) {
            properties->erase(PIDSI_REVNUMBER);
            properties->erase(PIDSI_CREATE_DTM);
        }
        EXPECT_EQ(made, original);
        EXPECT_EQ(TableNames(new_path), TableNames(template_path));

        // Saved by the user, the file keeps them.
        frame->OpenFiles({new_path}, false);
        ASSERT_NE(frame.current(), nullptr);
        frame->OnCommand(ID_FILE_SAVE);
        frame->OnCommand(ID_FILE_CLOSE);
        made = SummaryProperties(new_path);
        EXPECT_EQ(made[PIDSI_REVNUMBER], code);
        EXPECT_EQ(made[PIDSI_CREATE_DTM], created);
    }
}

TEST_F(NewFileWithTemplates, EachKindAsksForItsExtensionAndACancelledSaveKeepsTheDialog)
{
    struct Case
    {
        int kind;
        const wchar_t* extension;
        std::wstring filter;
    };
    const Case cases[] = {
        {0, L".msi", std::wstring(L"Package (.msi)\0*.msi", 20)},
        {1, L".msm", std::wstring(L"Merge Module (.msm)\0*.msm", 25)},
        {2, L"", std::wstring(L"All Files (*.*)\0*.*", 19)},
    };
    ScriptedPrompts prompts;
    for (size_t i = 0; i < std::size(cases); ++i)
        prompts.answer(SavePath(L""));
    TestFrame frame;
    std::vector<bool> stayed;
    std::vector<LRESULT> kept_kind;
    std::vector<StepDriver::Step> steps;
    for (const Case& c : cases) {
        steps.push_back([&, c](HWND dialog) {
            SelectKind(dialog, c.kind);
            Click(dialog, IDOK);
            stayed.push_back(IsWindow(dialog) && IsWindowVisible(dialog));
            kept_kind.push_back(SendDlgItemMessageW(dialog, IDC_NEW_FILE_TYPE, LB_GETCURSEL, 0, 0));
            return true;
        });
    }
    steps.push_back([](HWND dialog) {
        Click(dialog, IDCANCEL);
        return true;
    });
    StepDriver driver(steps);
    frame->OnCommand(ID_FILE_NEW);
    ASSERT_EQ(driver.done(), steps.size());

    ASSERT_EQ(prompts.asked().size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(prompts.asked()[i].default_extension, cases[i].extension) << i;
        EXPECT_EQ(prompts.asked()[i].text, cases[i].filter) << i;
        EXPECT_TRUE(stayed[i]) << i;
        EXPECT_EQ(kept_kind[i], cases[i].kind) << i;
    }
    EXPECT_TRUE(frame.opened.empty());
}

TEST_F(NewFileWithTemplates, AnEntryWhoseFileIsGoneIsLeftOut)
{
    auto descriptions = [] {
        std::set<std::wstring> texts;
        for (const QualifiedComponent& entry : EnumQualifiedComponents(kTemplatesCategory))
            texts.insert(entry.application_data);
        return texts;
    };
    ASSERT_TRUE(descriptions().count(L"Template whose file is removed"));
    std::wstring removed = InstalledTestEntry(L"Removed.msi");
    std::vector<BYTE> bytes = testing_support::ReadFileBytes(removed);
    ASSERT_TRUE(DeleteFileW(removed.c_str()));
    std::set<std::wstring> left = descriptions();
    testing_support::WriteFileBytes(removed, bytes);
    EXPECT_FALSE(left.count(L"Template whose file is removed"));
    EXPECT_TRUE(left.count(LongText()));
    EXPECT_TRUE(left.count(L"Database without tables"));
}

TEST_F(NewFileWithTemplates, TheReferenceDatabaseIsThePackageWithTheLargestNumericQualifier)
{
    std::optional<QualifiedComponent> reference = FindReferenceDatabase();
    ASSERT_TRUE(reference);
    EXPECT_EQ(reference->qualifier, L"200");
    EXPECT_EQ(reference->application_data, L"Package with every standard table");
    // It has the tables that the basic package lacks, for Add Tables to copy.
    std::set<std::wstring> tables = TableNames(reference->path);
    std::set<std::wstring> basic = TableNames(testing_support::BuildPath(L"templates\\Basic.msi"));
    EXPECT_TRUE(tables.count(L"Shortcut"));
    EXPECT_FALSE(basic.count(L"Shortcut"));
    for (const std::wstring& table : basic)
        EXPECT_TRUE(tables.count(table)) << table;
}

TEST(NewFileWithoutTemplates, TheTypeListIsEmptyAndOkAsksForAType)
{
    RemoveTemplates();
    ScriptedPrompts prompts;
    prompts.answer(IDOK);
    TestFrame frame;
    LRESULT types = -1, schemas = -1;
    bool stayed = false;
    StepDriver driver({[&](HWND dialog) {
                           types = SendDlgItemMessageW(dialog, IDC_NEW_FILE_TYPE, LB_GETCOUNT, 0, 0);
                           schemas = SendDlgItemMessageW(dialog, IDC_NEW_FILE_SCHEMA, CB_GETCOUNT, 0, 0);
                           Click(dialog, IDOK);
                           stayed = IsWindow(dialog) && IsWindowVisible(dialog);
                           return true;
                       },
                       [](HWND dialog) {
                           Click(dialog, IDCANCEL);
                           return true;
                       }});
    frame->OnCommand(ID_FILE_NEW);
    ASSERT_EQ(driver.done(), 2u);
    EXPECT_EQ(types, 0);
    EXPECT_EQ(schemas, 0);
    EXPECT_TRUE(stayed);
    ASSERT_EQ(prompts.asked().size(), 1u);
    EXPECT_EQ(prompts.asked()[0].text, L"You must select a file type");
    EXPECT_EQ(prompts.asked()[0].caption, L"New File");
    EXPECT_TRUE(frame.opened.empty());
}

TEST(TemplateDatabases, EachHasAValidSummaryAndItsTables)
{
    struct Case
    {
        const wchar_t* file;
        const wchar_t* subject;
        const wchar_t* table; // one it must have, or null for none at all
    };
    const Case cases[] = {
        {L"Basic.msi", L"Installation Database", L"Feature"},
        {L"Schema.msi", L"Installation Database", L"Shortcut"},
        {L"Schema.msm", L"Merge Module", L"ModuleSignature"},
        {L"Empty.msi", L"Installation Database", nullptr},
    };
    if (TemplatesPackage().empty())
        GTEST_SKIP() << "the template databases were not built";
    std::set<std::wstring> package_codes;
    for (const Case& c : cases) {
        std::wstring path = testing_support::BuildPath(L"templates\\") + c.file;
        MSIHANDLE summary = 0;
        ASSERT_EQ(MsiGetSummaryInformationW(0, path.c_str(), 0, &summary), ERROR_SUCCESS) << c.file;
        auto text = [&](UINT property) {
            wchar_t value[100] = {};
            DWORD size = 100;
            UINT type = 0;
            INT number = 0;
            MsiSummaryInfoGetPropertyW(summary, property, &type, &number, nullptr, value, &size);
            return std::wstring(value);
        };
        UINT type = 0;
        INT pages = 0;
        DWORD size = 0;
        MsiSummaryInfoGetPropertyW(summary, PIDSI_PAGECOUNT, &type, &pages, nullptr, nullptr, &size);
        EXPECT_EQ(pages, 200) << c.file;
        EXPECT_EQ(text(PIDSI_TEMPLATE), L"Intel;1033") << c.file;
        EXPECT_EQ(text(PIDSI_SUBJECT), c.subject) << c.file;
        std::wstring code = text(PIDSI_REVNUMBER);
        EXPECT_EQ(code.size(), 38u) << c.file;
        package_codes.insert(code);
        MsiCloseHandle(summary);
        std::set<std::wstring> tables = TableNames(path);
        if (c.table)
            EXPECT_TRUE(tables.count(c.table)) << c.file;
        else
            EXPECT_TRUE(tables.empty()) << c.file;
    }
    EXPECT_EQ(package_codes.size(), std::size(cases)) << "every template has its own package code";
}
