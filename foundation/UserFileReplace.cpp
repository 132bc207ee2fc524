#include "foundation/UserFileReplace.h"

#include "foundation/Errors.h"
#include "foundation/FileHandle.h"
#include "foundation/FileUtil.h"
#include "foundation/TempFiles.h"

#include <windows.h>
#include <cstring>
#include <vector>

namespace {

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The long form of the final path without its "\\?\" prefix, which the moves below do not need.
std::wstring WithoutLongPrefix(const std::wstring& path)
{
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        return L"\\\\" + path.substr(8);
    if (path.compare(0, 4, L"\\\\?\\") == 0)
        return path.substr(4);
    return path;
}

// What the user's file had that a new file would not get by itself.
struct KeptProperties
{
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    FILETIME created = {0, 0};
};

KeptProperties ReadKept(const std::wstring& path)
{
    KeptProperties kept;
    kept.attributes = GetFileAttributesW(path.c_str());
    if (kept.attributes == INVALID_FILE_ATTRIBUTES)
        return kept;
    FileHandle file(
        CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
    if (file.get() != INVALID_HANDLE_VALUE)
        GetFileTime(file.get(), &kept.created, nullptr, nullptr);
    return kept;
}

// Copies the bytes and flushes them to the disk; the copy gets the kept attributes and creation time.
void WriteCopy(const std::wstring& written, const std::wstring& copy, const KeptProperties& kept)
{
    if (!CopyFileW(written.c_str(), copy.c_str(), FALSE))
        tfc::throw_last_error(L"CopyFile");
    // Not read-only while it is written; hidden, system and archive as the user's file had them.
    DWORD attributes =
        kept.attributes == INVALID_FILE_ATTRIBUTES
            ? FILE_ATTRIBUTE_NORMAL
            : (kept.attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));
    if (!SetFileAttributesW(copy.c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL))
        tfc::throw_last_error(L"SetFileAttributes");
    FileHandle file(CreateFileW(copy.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE)
        tfc::throw_last_error(L"CreateFile");
    if (kept.created.dwLowDateTime || kept.created.dwHighDateTime)
        SetFileTime(file.get(), &kept.created, nullptr, nullptr);
    if (!FlushFileBuffers(file.get()))
        tfc::throw_last_error(L"FlushFileBuffers");
    if (!file.Close())
        tfc::throw_last_error(L"CloseHandle");
}

// Whether the copy on the disk holds exactly the written bytes (a full disk may cut a copy short).
void RequireSameBytes(const std::wstring& written, const std::wstring& copy)
{
    FileHandle a(
        CreateFileW(written.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    FileHandle b(
        CreateFileW(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (a.get() == INVALID_HANDLE_VALUE || b.get() == INVALID_HANDLE_VALUE)
        tfc::throw_last_error(L"CreateFile");
    std::vector<char> left(1 << 20), right(1 << 20);
    for (;;) {
        DWORD got_left = 0, got_right = 0;
        if (!ReadFile(a.get(), left.data(), static_cast<DWORD>(left.size()), &got_left, nullptr) ||
            !ReadFile(b.get(), right.data(), static_cast<DWORD>(right.size()), &got_right, nullptr))
            tfc::throw_last_error(L"ReadFile");
        if (got_left != got_right || memcmp(left.data(), right.data(), got_left) != 0)
            throw tfc::Win32Error(ERROR_WRITE_FAULT, L"CopyFile");
        if (got_left == 0)
            return;
    }
}

} // namespace

std::wstring FinalFilePath(const std::wstring& path)
{
    std::wstring full = FullPathOf(path);
    FileHandle file(
        CreateFileW(full.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE)
        return full;
    std::vector<wchar_t> buffer(MAX_PATH);
    DWORD length = GetFinalPathNameByHandleW(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()),
                                             FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length >= buffer.size()) {
        buffer.resize(length + 1);
        length = GetFinalPathNameByHandleW(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()),
                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    }
    if (length == 0 || length >= buffer.size())
        return full;
    return WithoutLongPrefix(std::wstring(buffer.data(), length));
}

void ReplaceUserFile(const std::wstring& written, const std::wstring& target,
                     const std::function<void(const std::wstring&)>& check)
{
    std::wstring final_path = FinalFilePath(target);
    KeptProperties kept = ReadKept(final_path);
    // In the final file's own folder: the move stays on one volume and cannot be half done.
    std::wstring folder, name;
    SplitPathAtLastBackslash(final_path, folder, name);
    std::wstring copy = NewTempFile(folder + L"\\", L"DRV");
    bool cleared = false;
    try {
        WriteCopy(written, copy, kept);
        RequireSameBytes(written, copy);
        if (check)
            check(copy);
        if (kept.attributes != INVALID_FILE_ATTRIBUTES && (kept.attributes & FILE_ATTRIBUTE_READONLY)) {
            // Read-only would make the move fail on Windows.
            if (!SetFileAttributesW(final_path.c_str(), kept.attributes & ~FILE_ATTRIBUTE_READONLY))
                tfc::throw_last_error(L"SetFileAttributes");
            cleared = true;
        }
        if (!MoveFileExW(copy.c_str(), final_path.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            tfc::throw_last_error(L"MoveFileEx");
    } catch (...) {
        if (cleared)
            SetFileAttributesW(final_path.c_str(), kept.attributes);
        DeleteFileW(copy.c_str());
        throw;
    }
}

FileStamp ReadFileStamp(const std::wstring& path)
{
    FileStamp stamp;
    // No data access, and every sharing: the installer library holds the file open.
    FileHandle file(
        CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION about;
    if (file.get() == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        stamp.missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return stamp;
    }
    if (!GetFileInformationByHandle(file.get(), &about))
        return stamp;
    stamp.known = true;
    stamp.volume = about.dwVolumeSerialNumber;
    stamp.index_high = about.nFileIndexHigh;
    stamp.index_low = about.nFileIndexLow;
    stamp.written = about.ftLastWriteTime;
    return stamp;
}

bool SameFileStamp(const FileStamp& a, const FileStamp& b)
{
    if ((a.known && b.missing) || (a.missing && b.known))
        return false;
    if (!a.known || !b.known)
        return true;
    return a.volume == b.volume && a.index_high == b.index_high && a.index_low == b.index_low &&
           CompareFileTime(&a.written, &b.written) == 0;
}
