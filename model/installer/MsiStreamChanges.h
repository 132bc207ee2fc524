#pragma once
// Stream changes the library cannot make in an open database. Wine never rewrites a stream whose name
// it already holds (the stream of a stored row, or one a deleted row left behind), and deleting from
// `_Streams` makes a later stream insert in the same open fault. So the layer keeps such changes per
// database handle: a commit makes them due, and they go into the file through structured storage once
// the handle is closed (msi.dll then no longer holds the file). Closing without a commit drops them.
#include "model/installer/MsiHandle.h"

#include <windows.h>
#include <memory>
#include <string>

namespace msi {

// A temporary file that is deleted with its last owner.
class LayerTempFile
{
public:
    LayerTempFile();
    ~LayerTempFile();
    LayerTempFile(const LayerTempFile&) = delete;
    LayerTempFile& operator=(const LayerTempFile&) = delete;
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

// Remembers the file a database handle was opened on (writable opens), so its changes can follow.
void NoteDatabasePath(MSIHANDLE database, const std::wstring& path);

// The stream named name (table and key texts joined by ".", or a `_Streams` name) gets the bytes of the
// file, copied now. Throws when the handle's file is not known.
void ReplaceStreamLater(MSIHANDLE database, const std::wstring& name, const std::wstring& file);
// The stream named name goes from the file.
void RemoveStreamLater(MSIHANDLE database, const std::wstring& name);

// In two steps, for callers that must not fail once the database has changed: whether the handle's
// file is known, a copy of the new bytes, and then the change itself (bytes null: removal), which
// cannot fail for a handle that StreamChangesPossible accepted.
bool StreamChangesPossible(MSIHANDLE database);
std::shared_ptr<LayerTempFile> CopyStreamBytes(const std::wstring& file);
void ChangeStreamLater(MSIHANDLE database, const std::wstring& name, std::shared_ptr<LayerTempFile> bytes);

// What the file will hold for the stream once the handle's changes are written: true when a change of
// the name waits (committed or not), with removed set, or the new bytes read into bytes. Readers that
// must see the database as edited (the transform writer) ask here.
bool StreamChangeAhead(MSIHANDLE database, const std::wstring& name, bool& removed, std::string& bytes);

// Called once a commit of the handle worked: what was waiting is now due at close.
void StreamChangesCommitted(MSIHANDLE database);
// True when committed stream changes wait for the handle to close.
bool StreamChangesAwaitClose(MSIHANDLE database);
// Writes the committed stream changes of the handle into path, a closed copy of its file, which then holds
// what the handle's file will hold once it is closed. They still wait for the handle's own file.
void WriteCommittedStreamChanges(MSIHANDLE database, const std::wstring& path);

// Closes the database, whose last share the caller must hold, and writes its committed stream changes
// into the file. With a reopen mode the file is opened again in that mode; when the writing failed, the
// changes wait on the new handle (to be committed again) before the error goes on.
void CloseDatabase(MsiHandle& database, const wchar_t* reopen_mode = nullptr);

namespace detail {
// Told by every handle as it closes: writes committed changes best effort (the trail says what failed).
void HandleClosed(MSIHANDLE handle) noexcept;
} // namespace detail

} // namespace msi
