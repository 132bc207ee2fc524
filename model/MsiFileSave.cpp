// Saving an open database. The database is open transacted, so the own file holds only what was
// committed: saving in place commits; saving elsewhere copies the file and replays the change log on the
// copy. The log is emptied only once a commit to the own file worked, and a target only ever changes by
// being replaced with a complete, committed copy.
#include "model/MsiFile.h"
#include "model/installer/MsiApi.h"
#include "model/MsiModification.h"
#include "model/installer/MsiStreamChanges.h"
#include "model/installer/DatabaseFileTidy.h"
#include "foundation/Errors.h"
#include "foundation/Format.h"
#include "foundation/TempFiles.h"

#include <vector>

namespace {

std::wstring FullPath(const std::wstring& path)
{
    DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        tfc::throw_last_error(L"GetFullPathName");
    std::vector<wchar_t> buffer(size);
    DWORD length = GetFullPathNameW(path.c_str(), size, buffer.data(), nullptr);
    if (length == 0 || length >= size)
        tfc::throw_last_error(L"GetFullPathName");
    return std::wstring(buffer.data(), length);
}

// The volume and index of an existing file; false when they cannot be read.
bool FileIdentity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& identity)
{
    // No data access, and every sharing: the installer library holds the own file open.
    HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool known = GetFileInformationByHandle(file, &identity) != FALSE;
    CloseHandle(file);
    return known;
}

// Whether target names the own file, in any form of its path (relative, short names, letter case).
bool IsSameFile(const std::wstring& target, const std::wstring& own)
{
    BY_HANDLE_FILE_INFORMATION a, b;
    if (FileIdentity(target, a) && FileIdentity(own, b))
        return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
               a.nFileIndexLow == b.nFileIndexLow;
    return lstrcmpiW(target.c_str(), own.c_str()) == 0;
}

// A file in the target's folder that takes the target's place only when it is complete; deleted when
// it does not get there.
class PendingTarget
{
public:
    explicit PendingTarget(const std::wstring& target) : target_(target)
    {
        // With its backslash, so that a target at a drive's root gets that root, not the drive's current
        // folder.
        path_ = NewTempFile(target.substr(0, target.rfind(L'\\') + 1), L"DRV");
    }
    ~PendingTarget()
    {
        if (!placed_)
            DeleteFileW(path_.c_str());
    }
    PendingTarget(const PendingTarget&) = delete;
    PendingTarget& operator=(const PendingTarget&) = delete;

    const std::wstring& path() const { return path_; }
    void Place()
    {
        if (!MoveFileExW(path_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            tfc::throw_last_error(L"MoveFileEx");
        placed_ = true;
    }

private:
    std::wstring target_;
    std::wstring path_;
    bool placed_ = false;
};

} // namespace

void MsiFile::Save(const std::wstring& target, bool stamp, const std::wstring& saved_by)
{
    std::lock_guard<std::mutex> hold(change_lock_);
    if (IsSameFile(target, path_)) {
        view_cache_.Clear();
        if (!read_only_) {
            MsiSummaryInfo::Persist(database_.get(), summary_, stamp, saved_by);
            // A failed commit writes nothing: the log keeps the changes for a later save.
            msi::DatabaseCommit(database_.get());
            ClearSavedTime();
            change_log_.clear();
            // Streams the library could not rewrite go into the file while it is closed; when that
            // fails they wait for the next save. What the commit left behind goes then too, before a
            // later commit builds on it; while another part of the program holds the database, that
            // waits for the close.
            bool due = msi::StreamChangesAwaitClose(database_.get());
            if (due || msi::DatabaseFileNeedsTidying(path_)) {
                view_cache_.Unbind();
                if (due || database_.use_count() == 1)
                    msi::CloseDatabase(database_, MSIDBOPEN_TRANSACT);
            }
        }
        change_log_.clear();
        return;
    }

    std::wstring full_target = FullPath(target);
    PendingTarget pending(full_target);
    if (!CopyFileW(path_.c_str(), pending.path().c_str(), FALSE))
        tfc::throw_last_error(L"CopyFile");
    // Committed streams the library could not rewrite reach the own file only when it closes.
    msi::WriteCommittedStreamChanges(database_.get(), pending.path());
    if (!read_only_) {
        // The copy holds the last commit; the log brings it up to the open database. What an earlier
        // commit left behind in it goes first.
        msi::TidyDatabaseFile(pending.path());
        MsiHandle copy = msi::OpenDatabase(pending.path(), MSIDBOPEN_TRANSACT);
        {
            ViewCache cache;
            cache.Bind(copy);
            unsigned long number = 0;
            for (const std::shared_ptr<MsiModification>& entry : change_log_) {
                ++number;
                try {
                    entry->Apply(copy.get(), &cache);
                } catch (...) {
                    tfc::Format(L"Failed to repeat change %i of %i in %s")
                        << number << static_cast<unsigned long>(change_log_.size()) << full_target;
                    throw;
                }
            }
        }
        MsiSummaryInfo::Persist(copy.get(), summary_, stamp, saved_by);
        msi::DatabaseCommit(copy.get());
        // Closed before the file moves; streams the library could not rewrite go in then.
        msi::CloseDatabase(copy);
        ClearSavedTime();
    }
    pending.Place();
}

void MsiFile::SaveInPlace(bool stamp, const std::wstring& saved_by)
{
    Save(std::wstring(path_), stamp, saved_by);
}

void MsiFile::SaveDatabaseAs(const std::wstring& target, bool stamp, const std::wstring& saved_by)
{
    Save(target, stamp, saved_by);
}
