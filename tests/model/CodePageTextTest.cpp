// The code page check refuses exactly the texts that the installer library would store as something else:
// each case is written into a database of that code page and read back.
#include "model/CodePageText.h"
#include "model/SummaryInfo.h"
#include "model/SummaryProperty.h"
#include "model/installer/DatabaseCodePage.h"
#include "MsiTestDatabase.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <msidefs.h>

using namespace model_testing;

namespace {

// What a database of that code page gives back for the text after a commit and a reopen.
std::wstring StoredText(const std::wstring& path, UINT code_page, const std::wstring& text)
{
    DeleteFileW(path.c_str());
    {
        MSIHANDLE database = 0;
        EXPECT_EQ(MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_CREATE, &database), 0u);
        MsiHandle held(database);
        if (code_page != 0)
            msi::WriteDatabaseCodePage(database, code_page);
        Execute(database, L"CREATE TABLE `T` (`K` CHAR(8) NOT NULL, `V` LONGCHAR PRIMARY KEY `K`)");
        Execute(database, L"INSERT INTO `T` (`K`, `V`) VALUES ('k', ?)", {Param::Text(text)});
        EXPECT_EQ(MsiDatabaseCommit(database), 0u);
    }
    MSIHANDLE database = 0;
    EXPECT_EQ(MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_READONLY, &database), 0u);
    MsiHandle held(database);
    MsiHandle view = Execute(database, L"SELECT `V` FROM `T`");
    MSIHANDLE record = 0;
    if (MsiViewFetch(view.get(), &record) != 0)
        return L"<none>";
    MsiHandle row(record);
    wchar_t buffer[64] = {};
    DWORD size = 64;
    MsiRecordGetStringW(record, 1, buffer, &size);
    return buffer;
}

} // namespace

TEST(CodePageText, RefusesWhatTheLibraryWouldChangeAndNothingElse)
{
    testing_support::ScratchFolder folder;
    const wchar_t* texts[] = {L"plain", L"\u00e9t\u00e9", L"\u65e5\u672c", L"\u20ac", L"\U0001F600"};
    for (UINT code_page : {0u, 1252u, 932u, 65001u}) {
        for (const wchar_t* text : texts) {
            SCOPED_TRACE(std::to_string(code_page) + " " + std::to_string(text[0]));
            std::wstring stored = StoredText(folder.file(L"page.msi"), code_page, text);
            std::wstring refusal = CodePageRefusal(text, code_page);
            EXPECT_EQ(refusal.empty(), stored == text) << "stored as " << stored.size() << " characters";
            if (!refusal.empty()) {
                // The message names the code page (neutral: the one it is stored in) and the characters.
                UINT named = code_page == 0 ? GetACP() : code_page;
                EXPECT_NE(refusal.find(std::to_wstring(named)), std::wstring::npos);
                EXPECT_NE(refusal.find(text), std::wstring::npos);
            }
        }
    }
}

TEST(CodePageText, RowsAreCheckedInTheirStringCellsOnly)
{
    auto columns = [] {
        MsiColumns made;
        made.push_back(MakeFieldDef(L"Name", true, L"s72", 0, nullptr));
        made.push_back(MakeFieldDef(L"Count", false, L"I4", 1, nullptr));
        made.push_back(MakeFieldDef(L"Text", false, L"S0", 2, nullptr));
        return made;
    }();
    auto text = [](const wchar_t* value) { return MsiFieldDataRef(new MsiFieldData(std::wstring(value))); };
    EXPECT_EQ(
        RowCodePageRefusal(columns, {text(L"a"), MsiFieldDataRef(new MsiFieldData()), text(L"\u00e9")}, 1252),
        L"");
    std::wstring refusal =
        RowCodePageRefusal(columns, {text(L"a"), MsiFieldDataRef(new MsiFieldData()), text(L"\u65e5")}, 1252);
    EXPECT_EQ(refusal.rfind(L"Text: The database's code page 1252 cannot hold", 0), 0u) << refusal;
}

TEST(CodePageText, SummaryStringsMustFitTheAnsiAndTheDeclaredCodePage)
{
    SummaryInfoMap summary;
    EXPECT_EQ(SummaryTextRefusal(summary, L"plain"), L"");
    summary[PID_CODEPAGE] = std::make_shared<MsiSIShortProperty>(L"Codepage", static_cast<short>(932));
    std::wstring refusal = SummaryTextRefusal(summary, L"\u00e9");
    EXPECT_NE(refusal.find(L"summary information's code page 932"), std::wstring::npos) << refusal;
    // The library writes them in the ANSI code page whatever the property says.
    if (GetACP() == 1252) {
        EXPECT_NE(SummaryTextRefusal(summary, L"\u65e5"), L"");
    }
}
