#pragma once
// The bytes an open database was read from, for a save elsewhere after another program replaced or
// rewrote the file under it. A handle held on the opened file keeps them readable through a rename over
// it (how msibuild, mv and most tools replace a file); a private copy made at the first change keeps
// them through a rewrite in place (cp, cat >). Opening costs nothing; a copy is paid only by a file that
// gets edited (about 35 ms for 50 MB), where a copy at every open would double the open of a large
// package and its disk use for files only looked at.
#include <windows.h>
#include <string>

class OriginalFile
{
public:
    OriginalFile() = default;
    ~OriginalFile() { Forget(); }
    OriginalFile(const OriginalFile&) = delete;
    OriginalFile& operator=(const OriginalFile&) = delete;

    // Holds the file at path as it is now; anything held before goes. Best effort: a file that cannot be
    // held just leaves nothing to copy from.
    void Hold(const std::wstring& path);
    // Lets go of the file (a save moves another over it); a private copy stays.
    void LetGo();
    // Lets go of the file and deletes the private copy.
    void Forget();
    // Makes the private copy once, from the held file while it still holds what it held. Best effort.
    void KeepCopy() noexcept;
    // Writes the original bytes over target; false when they are gone (rewritten before any copy).
    bool CopyTo(const std::wstring& target) const;

private:
    // Whether the held file still holds the bytes it held at Hold.
    bool HeldUnchanged() const;

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    FILETIME written_ = {0, 0};
    ULONGLONG size_ = 0;
    std::wstring copy_;
};
