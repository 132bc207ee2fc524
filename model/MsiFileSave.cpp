// Saving an open database. The database is open transacted and its own file holds only what the open
// found: every save copies the file, replays the change log on the copy, commits and closes it, reads it
// back, and only then lets it take the target's place. The log is emptied only once the own file holds it.
#include "model/MsiFile.h"
#include "model/installer/MsiApi.h"
#include "model/MsiModification.h"
#include "model/installer/MsiStreamChanges.h"
#include "model/installer/DatabaseFileTidy.h"
#include "model/installer/WrittenDatabaseCheck.h"
#include "foundation/Errors.h"
#include "foundation/FileUtil.h"
#include "foundation/Format.h"
#include "foundation/TempFiles.h"

#include <iterator>
#include <vector>

namespace {

// The volume and index of an existing file; false when they cannot be read.
bool FileIdentity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& identity)
{
    FileStamp stamp = ReadFileStamp(path);
    identity.dwVolumeSerialNumber = stamp.volume;
    identity.nFileIndexHigh = stamp.index_high;
    identity.nFileIndexLow = stamp.index_low;
    return stamp.known;
}

// Whether target names the own file, in any form of its path (relative, short names, letter case).
bool IsSameFile(const std::wstring& target, const std::wstring& own)
{
    BY_HANDLE_FILE_INFORMATION a, b;
    if (FileIdentity(target, a) && FileIdentity(own, b))
        return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
               a.nFileIndexLow == b.nFileIndexLow;
    return lstrcmpiW(FullPathOf(target).c_str(), FullPathOf(own).c_str()) == 0;
}

// A temporary file beside the target, deleted when this ends.
class WrittenCopy
{
public:
    explicit WrittenCopy(const std::wstring& target)
    {
        std::wstring folder, name;
        SplitPathAtLastBackslash(FinalFilePath(target), folder, name);
        path_ = NewTempFile(folder + L"\\", L"DRV");
    }
    ~WrittenCopy() { DeleteFileW(path_.c_str()); }
    WrittenCopy(const WrittenCopy&) = delete;
    WrittenCopy& operator=(const WrittenCopy&) = delete;
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

} // namespace

void MsiFile::CheckWritten(const std::wstring& path) const
{
    msi::TableRowCounts expected;
    for (const auto& entry : tables_)
        if (entry.second->user_table())
            expected[entry.first] = entry.second->rows().size();
    msi::CheckWrittenDatabase(path, expected);
}

bool MsiFile::OwnFileChanged() const
{
    return !read_only_ && !SameFileStamp(own_stamp_, ReadFileStamp(path_));
}

void MsiFile::ReplayChangeLog(const MsiHandle& database, const std::wstring& target) const
{
    ViewCache cache;
    cache.Bind(database);
    unsigned long number = 1; // of the entry at `next`
    auto next = change_log_.begin();
    try {
        while (next != change_log_.end()) {
            // A run of deletions from one table goes in one pass over it, not one search a row.
            std::vector<const MsiDeleteModification*> run;
            for (auto at = next; at != change_log_.end(); ++at) {
                auto* deletion = dynamic_cast<const MsiDeleteModification*>(at->get());
                if (!deletion || (!run.empty() && !run.back()->GoesWith(*deletion)))
                    break;
                run.push_back(deletion);
            }
            if (run.size() > 1) {
                size_t gone = DeleteInOnePass(database.get(), run);
                std::advance(next, gone);
                number += static_cast<unsigned long>(gone);
                if (gone == run.size())
                    continue;
            }
            (*next)->Apply(database.get(), &cache);
            ++next;
            ++number;
        }
    } catch (...) {
        tfc::Format(L"Failed to repeat change %i of %i in %s")
            << number << static_cast<unsigned long>(change_log_.size()) << target;
        throw;
    }
}

void MsiFile::WriteEditedCopy(const std::wstring& written, const std::wstring& target, bool stamp,
                              const std::wstring& saved_by)
{
    // The log was made on what the open read: when another program replaced or rewrote the file since,
    // the copy starts from those bytes (a save in place refused already).
    bool replaced = !SameFileStamp(own_stamp_, ReadFileStamp(path_));
    if (!(replaced && original_.CopyTo(written)) && !CopyFileW(path_.c_str(), written.c_str(), FALSE))
        tfc::throw_last_error(L"CopyFile");
    // Committed streams the library could not rewrite reach the own file only when it closes.
    msi::WriteCommittedStreamChanges(database_.get(), written);
    if (read_only_)
        return;
    // The copy holds the open's file; the log brings it up to the open database. What an earlier commit
    // left behind in it goes first.
    msi::TidyDatabaseFile(written);
    MsiHandle copy = msi::OpenDatabase(written, MSIDBOPEN_TRANSACT);
    ReplayChangeLog(copy, target);
    MsiSummaryInfo::Persist(copy.get(), summary_, stamp, saved_by);
    msi::DatabaseCommit(copy.get());
    // Closed before it is read back; streams the library could not rewrite go in then.
    msi::CloseDatabase(copy);
}

void MsiFile::Save(const std::wstring& target, bool stamp, const std::wstring& saved_by)
{
    std::lock_guard<std::mutex> hold(change_lock_);
    if (IsSameFile(target, path_)) {
        SaveOwnFile(stamp, saved_by);
        return;
    }
    view_cache_.Clear();
    WrittenCopy written(target);
    WriteEditedCopy(written.path(), target, stamp, saved_by);
    ReplaceUserFile(written.path(), target, [this](const std::wstring& placed) { CheckWritten(placed); });
    if (!read_only_)
        ClearSavedTime();
}

void MsiFile::SaveOwnFile(bool stamp, const std::wstring& saved_by)
{
    view_cache_.Clear();
    if (read_only_) {
        change_log_.clear();
        return;
    }
    if (OwnFileChanged())
        throw tfc::ManageableError(
            L"The file " + path_ +
                L" was changed, replaced or removed by another program since it was opened. "
                L"Saving over it would lose those changes, and the file there does "
                L"not hold yours.\r\nUse Save As to save your changes to a file.",
            L"File changed on disk");
    WrittenCopy written(path_);
    WriteEditedCopy(written.path(), path_, stamp, saved_by);
    CheckWritten(written.path());
    // The library holds the own file; it lets go for the move. Any other part of the program holding the
    // database would keep it.
    view_cache_.Unbind();
    if (database_.use_count() > 1)
        throw tfc::ManageableError(L"The database is in use (a validation may be running); it was not saved. "
                                   L"Try again once it is done.",
                                   L"Unable to save");
    database_.reset();
    original_.LetGo();
    std::exception_ptr failure;
    bool placed = false;
    try {
        ReplaceUserFile(written.path(), path_, [this](const std::wstring& copy) { CheckWritten(copy); });
        placed = true;
    } catch (...) {
        failure = std::current_exception();
    }
    // The tab goes on with a handle in every case: the saved file, or the untouched original with the log
    // still to save, or else a read-only copy of what was written.
    try {
        database_ = msi::OpenDatabase(path_, MSIDBOPEN_TRANSACT);
        original_.Hold(path_);
        // The original came back without the edits: the handle gets them again, so that what reads it
        // (exports, the preview, lookups) sees what the tab shows, and the log still holds them to save.
        if (!placed) {
            ReplayChangeLog(database_, path_);
            if (!change_log_.empty())
                original_.KeepCopy();
        }
    } catch (const tfc::Win32Error& error) {
        const std::wstring own = path_;
        original_.Forget();
        std::wstring spare = GlobalTempFiles().Create(std::wstring());
        if (CopyFileW(written.path().c_str(), spare.c_str(), FALSE)) {
            // Save As copies from the own path: the spare holds every change.
            database_ = msi::OpenDatabase(spare, MSIDBOPEN_READONLY);
            path_ = spare;
            original_.Hold(spare);
            change_log_.clear();
        }
        read_only_ = true;
        std::wstring what = placed ? L"The changes were saved to " + own + L", but the file"
                                   : L"The changes were not saved, and " + own;
        throw tfc::ManageableError(what + L" could not be opened again (" + error.description() +
                                       L"). The tab shows the changes read-only; use Save As to keep them.",
                                   L"Unable to open the saved file");
    }
    if (failure)
        std::rethrow_exception(failure);
    own_stamp_ = ReadFileStamp(path_);
    ClearSavedTime();
    change_log_.clear();
}

void MsiFile::SaveInPlace(bool stamp, const std::wstring& saved_by)
{
    Save(std::wstring(path_), stamp, saved_by);
}

void MsiFile::SaveDatabaseAs(const std::wstring& target, bool stamp, const std::wstring& saved_by)
{
    Save(target, stamp, saved_by);
}
