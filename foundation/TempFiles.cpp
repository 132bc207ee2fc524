#include "foundation/TempFiles.h"
#include "foundation/Errors.h"
#include "foundation/FileUtil.h"

#include <windows.h>

TempFiles::~TempFiles()
{
    for (const auto& entry : files_)
        DeleteFileW(entry.second.c_str());
}

std::wstring TempFiles::GetFolder() const
{
    wchar_t temp[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH)
        tfc::throw_last_error(L"GetTempPath");
    std::wstring folder = std::wstring(temp, length) + sub_folder_;
    CreateDirectoryRecursive(folder);
    return folder;
}

void TempFiles::forget_previous(const std::wstring& key)
{
    auto found = files_.find(key);
    if (found != files_.end()) {
        DeleteFileW(found->second.c_str());
        files_.erase(found);
    }
}

std::wstring TempFiles::Create(const std::wstring& key, const std::wstring& folder)
{
    tamblewick_foundation_classes_v1_0::CriticalSectionLock guard(lock_);
    forget_previous(key);
    std::wstring where = folder.empty() ? GetFolder() : folder;
    std::wstring path = NewTempFile(where, L"INS");
    files_[key.empty() ? path : key] = path;
    return path;
}

std::wstring NewTempFile(const std::wstring& folder, const wchar_t* prefix)
{
    wchar_t path[MAX_PATH];
    if (GetTempFileNameW(folder.c_str(), prefix, 0, path) == 0)
        tfc::throw_last_error(L"GetTempFileName");
    return path;
}

void TempFiles::Adopt(const std::wstring& key, const std::wstring& path)
{
    tamblewick_foundation_classes_v1_0::CriticalSectionLock guard(lock_);
    if (FindPath(key.empty() ? path : key) == path)
        return;
    forget_previous(key);
    files_[key.empty() ? path : key] = path;
}

std::wstring TempFiles::FindPath(const std::wstring& key) const
{
    tamblewick_foundation_classes_v1_0::CriticalSectionLock guard(lock_);
    auto found = files_.find(key);
    return found == files_.end() ? std::wstring() : found->second;
}

std::wstring TempFiles::Release(const std::wstring& key)
{
    tamblewick_foundation_classes_v1_0::CriticalSectionLock guard(lock_);
    auto found = files_.find(key);
    if (found == files_.end())
        return std::wstring();
    std::wstring path = found->second;
    files_.erase(found);
    return path;
}

TempFiles& GlobalTempFiles()
{
    static TempFiles files;
    return files;
}
