#pragma once
// The structure check a file passes before the installer library sees it. Under Wine the library loops
// forever on some truncated files, crashes on others and reads others with tables silently empty, so
// the compound-file structure is checked first: header signature and sector sizes, and every sector
// chain (FAT, mini FAT, directory, each stream) inside the file, free of loops and long enough for its
// stream; then the database in it (DatabaseStreamsCheck.h). Directory entries the tree does not reach
// are passed over, as structured storage does, unless a table's rows would be lost with them.
#include "foundation/Errors.h"

#include <string>
#include <vector>

namespace msi {

enum class FileCheck
{
    Sound,
    Missing,      // no such file or folder on the path
    Folder,       // the path names a folder
    AccessDenied, // the file cannot be read
    InUse,        // another program holds the file; the library is left to answer
    NotCompound,  // no compound-file header
    Damaged,      // a compound file whose structure does not hold
    Unreadable    // any other failure to read it
};

FileCheck CheckCompoundFile(const std::wstring& path);

// What a writer left in a sound database file that readers pass over: directory entries in use that the
// tree does not reach, links to freed entries, and streams of tables `_Tables` no longer lists (Wine's
// commit leaves each of these behind).
struct FileLeftovers
{
    bool any = false;
    // Links to freed entries, or the root moved from the first entry: Wine's next transacted commit of
    // the file may leave its root leading to a freed entry.
    bool hazardous = false;
    std::vector<std::wstring> stale_streams; // element names
};
// False, with nothing found, when the file is not a sound database.
bool FindLeftovers(const std::wstring& path, FileLeftovers& found);

// A database file that cannot be opened, as the library's open would fail ("MsiOpenDatabase"), with a
// message that says what is wrong and names the path: the error dialog shows it.
class DatabaseFileError : public tfc::Win32Error
{
public:
    DatabaseFileError(FileCheck problem, const std::wstring& path);
    std::wstring system_message() const override { return message_; }
    std::wstring description() const override { return message_; }
    FileCheck problem() const { return problem_; }
    // What is wrong, as a sentence without the path: what a refused open shows beneath its own line.
    std::wstring reason() const;

private:
    FileCheck problem_;
    std::wstring message_;
};

// Throws DatabaseFileError for every answer of CheckCompoundFile but Sound and InUse; returns that answer.
FileCheck RequireSoundDatabaseFile(const std::wstring& path);

} // namespace msi
