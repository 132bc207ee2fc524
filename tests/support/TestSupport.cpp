#include "support/TestSupport.h"
#include "foundation/Convert.h"
#include "foundation/Errors.h"
#include "foundation/RegKey.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <atomic>
#include <fstream>

namespace testing_support {
namespace {

std::wstring environment(const wchar_t* name)
{
    wchar_t buffer[1024];
    DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
    return length > 0 && length < 1024 ? std::wstring(buffer, length) : std::wstring();
}

bool exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::atomic<unsigned> scratch_counter{0};

std::wstring unique_name()
{
    return std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++scratch_counter) + L"_" +
           std::to_wstring(GetTickCount());
}

} // namespace

std::wstring SharedPath(const std::wstring& relative)
{
    std::wstring root = environment(L"DRAVNETTA_SHARED");
    if (root.empty())
        return std::wstring();
    std::wstring path = root + L"\\" + relative;
    return exists(path) ? path : std::wstring();
}

std::wstring TestDataPath(const std::wstring& name)
{
    return SharedPath(L"testdata\\" + name);
}

int ForEachSamplePackage(const std::function<void(const std::wstring& name, const std::wstring& path)>& test)
{
    int found = 0;
    for (const wchar_t* name : {L"shortcuts.msi", L"MergeModule1.msm", L"OldClassTableDef.msi"}) {
        std::wstring path = TestDataPath(name);
        if (path.empty())
            continue;
        ++found;
        SCOPED_TRACE(tfc::to_narrow(name));
        test(name, path);
    }
    return found;
}

std::wstring BuildPath(const std::wstring& relative)
{
    std::wstring root = environment(L"DRAVNETTA_BUILD");
    if (root.empty()) {
        wchar_t buffer[MAX_PATH];
        GetCurrentDirectoryW(MAX_PATH, buffer);
        root = buffer;
    }
    for (wchar_t& c : root)
        if (c == L'/')
            c = L'\\';
    return root + L"\\" + relative;
}

ScratchRegistryKey::ScratchRegistryKey() : path_(L"Software\\DravnettaTests\\" + unique_name())
{
    tfc::check_status(RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                      nullptr, &key_, nullptr),
                      L"RegCreateKeyEx");
}

ScratchRegistryKey::~ScratchRegistryKey()
{
    RegCloseKey(key_);
    tfc::DeleteRegistryTree(HKEY_CURRENT_USER, path_);
}

ScratchFolder::ScratchFolder()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"DravnettaTest_" + unique_name();
    if (!CreateDirectoryW(path_.c_str(), nullptr))
        tfc::throw_last_error(L"CreateDirectory");
}

ScratchFolder::~ScratchFolder()
{
    std::wstring from = path_ + L'\0';
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NO_UI;
    SHFileOperationW(&operation);
}

std::wstring ScratchFolder::copy_in(const std::wstring& source, const std::wstring& name) const
{
    std::wstring target = file(name);
    if (!CopyFileW(source.c_str(), target.c_str(), FALSE))
        tfc::throw_last_error(L"CopyFile");
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    return target;
}

ScriptedPrompts::ScriptedPrompts()
{
    previous_ = SetPromptResponder([this](const PromptRequest& request) {
        asked_.push_back(request);
        if (answers_.empty()) {
            ADD_FAILURE() << "Unexpected prompt";
            return PromptAnswer{IDCANCEL, {}, false};
        }
        PromptAnswer answer = answers_.front();
        answers_.pop_front();
        return answer;
    });
}

ScriptedPrompts::~ScriptedPrompts()
{
    SetPromptResponder(previous_);
}

void ScriptedPrompts::answer(int result)
{
    answers_.push_back(PromptAnswer{result, {}, false});
}

void ScriptedPrompts::answer(PromptAnswer answer)
{
    answers_.push_back(std::move(answer));
}

std::vector<BYTE> ReadFileBytes(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        tfc::throw_last_error(L"CreateFile");
    std::vector<BYTE> bytes(GetFileSize(file, nullptr));
    DWORD read = 0;
    BOOL ok = bytes.empty() || ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    if (!ok)
        tfc::throw_last_error(L"ReadFile");
    bytes.resize(read);
    return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::vector<BYTE>& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        tfc::throw_last_error(L"CreateFile");
    DWORD written = 0;
    BOOL ok =
        bytes.empty() || WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    if (!ok)
        tfc::throw_last_error(L"WriteFile");
}

std::string UnixPath(const std::wstring& path)
{
    using ToUnix = char*(CDECL*)(const wchar_t*);
    auto to_unix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!to_unix)
        return std::string();
    char* name = to_unix(path.c_str());
    std::string result = name ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// A Unix program gives Wine no process handle to wait on: the script marks its end with a file.
bool RunUnixScript(const std::wstring& folder, const std::string& script)
{
    std::wstring done = folder + L"\\done";
    DeleteFileW(done.c_str());
    std::string text = script + "touch '" + UnixPath(folder) + "/done'\n";
    std::wstring script_path = folder + L"\\script.sh";
    testing_support::WriteFileBytes(script_path, std::vector<BYTE>(text.begin(), text.end()));
    std::wstring line = L"/bin/sh \"" + tfc::to_wide(UnixPath(script_path)) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(L"Z:\\bin\\sh", &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        ADD_FAILURE() << "/bin/sh could not be started: " << GetLastError();
        return false;
    }
    if (process.hThread)
        CloseHandle(process.hThread);
    if (process.hProcess)
        CloseHandle(process.hProcess);
    // A bound against a tool that never ends, far beyond what the scripts do.
    for (DWORD start = GetTickCount(); GetFileAttributesW(done.c_str()) == INVALID_FILE_ATTRIBUTES;) {
        if (GetTickCount() - start > 60000) {
            ADD_FAILURE() << "the script did not finish";
            return false;
        }
        Sleep(10);
    }
    DeleteFileW(done.c_str());
    DeleteFileW(script_path.c_str());
    return true;
}

} // namespace testing_support
