#include "validation/ValidationTesting.h"

#include "foundation/RegKey.h"
#include "model/installer/MsiApi.h"
#include "shell/ShellTesting.h"
#include "resources/ValidationIds.h"
#include "support/TestSupport.h"
#include "validation/ValidationProfile.h"

#include <atomic>

namespace validation_testing {

std::wstring TestCubPath(const std::wstring& name)
{
    std::wstring path = testing_support::BuildPath(L"testcub\\" + name);
    return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES ? std::wstring() : path;
}

bool RunsThirtyTwoBitIces()
{
    wchar_t folder[MAX_PATH] = L"";
    UINT length = GetSystemWow64DirectoryW(folder, MAX_PATH);
    return length && length < MAX_PATH &&
           GetFileAttributesW((std::wstring(folder) + L"\\msiexec.exe").c_str()) != INVALID_FILE_ATTRIBUTES;
}

void BuildTestPackage(const std::wstring& path, bool property_table, bool package_code)
{
    DeleteFileW(path.c_str());
    MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_CREATE);
    auto run = [&](const std::wstring& sql) {
        MsiHandle view = msi::DatabaseOpenView(database.get(), sql);
        msi::ViewExecute(view.get(), 0);
    };
    run(L"CREATE TABLE `Feature` (`Feature` CHAR(38) NOT NULL, `Title` CHAR(64) PRIMARY KEY `Feature`)");
    if (property_table) {
        run(L"CREATE TABLE `Property` (`Property` CHAR(72) NOT NULL, `Value` LONGCHAR NOT NULL LOCALIZABLE "
            L"PRIMARY KEY `Property`)");
        run(L"INSERT INTO `Property` (`Property`, `Value`) VALUES ('ProductCode', 'not a guid')");
        run(L"INSERT INTO `Property` (`Property`, `Value`) VALUES ('ProductName', 'Validated')");
        run(L"INSERT INTO `Property` (`Property`, `Value`) VALUES ('Manufacturer', 'Tests')");
    }
    MsiHandle summary = msi::GetSummaryInformation(database.get(), nullptr, 10);
    auto text = [&](UINT property, const std::wstring& value) {
        msi::SummaryValue entry;
        entry.type = VT_LPSTR;
        entry.text = value;
        msi::SummaryInfoSetProperty(summary.get(), property, entry);
    };
    auto number = [&](UINT property, int value) {
        msi::SummaryValue entry;
        entry.type = VT_I4;
        entry.integer = value;
        msi::SummaryInfoSetProperty(summary.get(), property, entry);
    };
    text(7, L"x64;1033");
    if (package_code)
        text(9, L"{5A2C64C3-6A51-4B7F-8E0D-3C41E0A9F2B1}");
    number(14, 200);
    number(15, 2);
    msi::SummaryInfoPersist(summary.get());
    summary = MsiHandle();
    msi::DatabaseCommit(database.get());
}

void BuildCub(const std::wstring& path, const std::vector<std::wstring>& sql, const std::string& dll_bytes)
{
    DeleteFileW(path.c_str());
    MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_CREATE);
    auto run = [&](const std::wstring& text, MSIHANDLE record = 0) {
        MsiHandle view = msi::DatabaseOpenView(database.get(), text);
        msi::ViewExecute(view.get(), record);
    };
    run(L"CREATE TABLE `_ICESequence` (`Action` CHAR(72) NOT NULL, `Condition` CHAR(255), `Sequence` SHORT "
        L"PRIMARY KEY `Action`)");
    run(L"INSERT INTO `_ICESequence` (`Action`, `Sequence`) VALUES ('TSTICE01', 10)");
    for (const std::wstring& text : sql)
        run(text);
    std::wstring stream = path + L".bin";
    if (!dll_bytes.empty()) {
        testing_support::WriteFileBytes(stream, std::vector<BYTE>(dll_bytes.begin(), dll_bytes.end()));
        run(L"CREATE TABLE `Binary` (`Name` CHAR(72) NOT NULL, `Data` OBJECT NOT NULL PRIMARY KEY `Name`)");
        run(L"CREATE TABLE `CustomAction` (`Action` CHAR(72) NOT NULL, `Type` SHORT NOT NULL, `Source` "
            L"CHAR(72), `Target` CHAR(255) PRIMARY KEY `Action`)");
        run(L"INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('TSTICE01', 1, "
            L"'IceDll', 'TstIce01')");
        MsiHandle record = msi::CreateRecord(1);
        msi::RecordSetStream(record.get(), 1, stream);
        run(L"INSERT INTO `Binary` (`Name`, `Data`) VALUES ('IceDll', ?)", record.get());
    }
    msi::DatabaseCommit(database.get());
    database = MsiHandle();
    DeleteFileW(stream.c_str());
}

void StoreProfile(const std::wstring& profile, const std::vector<StoredCub>& cubs)
{
    tfc::DeleteRegistryTree(HKEY_CURRENT_USER, ValidationProfile::KeyPath(profile));
    tfc::RegKey key;
    key.create(HKEY_CURRENT_USER, ValidationProfile::KeyPath(profile));
    for (size_t i = 0; i < cubs.size(); ++i) {
        tfc::RegKey entry;
        entry.create(key, L"Cub00" + std::to_wstring(i));
        entry.set_string(L"", cubs[i].name);
        entry.set_dword(L"ShowInfo", cubs[i].show_info ? 1 : 0);
        std::wstring multi;
        for (const std::wstring& ice : cubs[i].ices)
            multi += ice + std::wstring(1, L'\0');
        multi += L'\0';
        entry.set_value(L"SelectedICEs", REG_MULTI_SZ, multi.data(), static_cast<DWORD>(multi.size() * 2));
    }
}

void StoredProfilesTest::SetUp()
{
    suite_ = TestCubPath(L"TestSuite.cub");
    if (suite_.empty())
        GTEST_SKIP() << "the test ICE suites were not built";
}

void StoredProfilesTest::TearDown()
{
    tfc::DeleteRegistryTree(HKEY_CURRENT_USER, ValidationProfile::ProfilesKeyPath());
}

bool ProfileKeyExists(const std::wstring& profile)
{
    tfc::RegKey key;
    return key.open(HKEY_CURRENT_USER, ValidationProfile::KeyPath(profile));
}

std::wstring ReadUtf16File(const std::wstring& path)
{
    std::vector<BYTE> bytes = testing_support::ReadFileBytes(path);
    std::wstring text(bytes.size() / 2, L'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<wchar_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return text;
}

std::vector<std::wstring> SplitLines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

namespace {

class Finished : public JobNotificationSubscriber
{
public:
    void JobsFinished(JobRunner&) override { done = true; }
    std::atomic<bool> done{false};
};

} // namespace

bool RunJob(const std::shared_ptr<Task>& task, DWORD timeout_ms)
{
    static JobRunner runner;
    Finished finished;
    if (!runner.StartThreads({task}, &finished))
        return false;
    bool ended = shell_testing::PumpUntil([&] { return finished.done.load(); }, timeout_ms);
    // The runner reports before its last bookkeeping; wait for it to be idle for the next job.
    shell_testing::PumpUntil([&] { return !runner.IsRunning(); }, timeout_ms);
    return ended;
}

void ChooseProfile(HWND dialog, const wchar_t* profile)
{
    HWND combo = GetDlgItem(dialog, IDC_FILES_PROFILE);
    LRESULT index =
        SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(profile));
    SendMessageW(combo, CB_SETCURSEL, index, 0);
}

} // namespace validation_testing
