#include "model/OriginalFile.h"
#include "foundation/FileHandle.h"
#include "foundation/TempFiles.h"

#include <vector>

namespace {

bool ReadStamp(HANDLE file, FILETIME& written, ULONGLONG& size)
{
    BY_HANDLE_FILE_INFORMATION about;
    if (!GetFileInformationByHandle(file, &about))
        return false;
    written = about.ftLastWriteTime;
    size = (static_cast<ULONGLONG>(about.nFileSizeHigh) << 32) | about.nFileSizeLow;
    return true;
}

// Copies every byte of an open file, from its start, over target.
bool CopyFromHandle(HANDLE from, const std::wstring& target)
{
    FileHandle to(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr));
    LARGE_INTEGER start = {};
    if (to.get() == INVALID_HANDLE_VALUE || !SetFilePointerEx(from, start, nullptr, FILE_BEGIN))
        return false;
    std::vector<BYTE> buffer(1 << 20);
    for (;;) {
        DWORD read = 0, written = 0;
        if (!ReadFile(from, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
            return false;
        if (read == 0)
            return to.Close();
        if (!WriteFile(to.get(), buffer.data(), read, &written, nullptr) || written != read)
            return false;
    }
}

} // namespace

void OriginalFile::Hold(const std::wstring& path)
{
    Forget();
    // Every sharing: the installer library holds the file for writing, and others may replace it.
    handle_ = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle_ != INVALID_HANDLE_VALUE && !ReadStamp(handle_, written_, size_))
        LetGo();
}

void OriginalFile::LetGo()
{
    if (handle_ != INVALID_HANDLE_VALUE)
        CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

void OriginalFile::Forget()
{
    LetGo();
    if (!copy_.empty())
        DeleteFileW(copy_.c_str());
    copy_.clear();
}

bool OriginalFile::HeldUnchanged() const
{
    FILETIME written;
    ULONGLONG size;
    return handle_ != INVALID_HANDLE_VALUE && ReadStamp(handle_, written, size) && size == size_ &&
           CompareFileTime(&written, &written_) == 0;
}

void OriginalFile::KeepCopy() noexcept
{
    if (!copy_.empty() || !HeldUnchanged())
        return;
    try {
        std::wstring copy = NewTempFile(GlobalTempFiles().GetFolder(), L"ORG");
        // Read again after the copy: a rewrite while it ran leaves a copy of nothing in particular.
        if (CopyFromHandle(handle_, copy) && HeldUnchanged())
            copy_ = copy;
        else
            DeleteFileW(copy.c_str());
    } catch (...) {
    }
}

bool OriginalFile::CopyTo(const std::wstring& target) const
{
    if (!copy_.empty())
        return CopyFileW(copy_.c_str(), target.c_str(), FALSE) != FALSE;
    return HeldUnchanged() && CopyFromHandle(handle_, target) && HeldUnchanged();
}
