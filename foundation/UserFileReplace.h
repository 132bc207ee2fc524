#pragma once
// Putting a written file in the place of a user's file. The bytes are copied beside the file the path
// finally names (a symbolic link stays a link: its target is replaced), flushed, checked there, and moved
// over it in one replacing move, so a crash leaves the whole old file or the whole new one. The new file
// keeps what the user had: hidden, system and archive attributes and the creation time. Under Wine a
// Unix mode cannot be carried: Wine makes a new file's mode from the umask, and a copied access list
// becomes another mode (0640 came back 0770), so the new file gets the umask's.
#include <windows.h>
#include <functional>
#include <string>

// The file a path finally names: absolute (forward slashes and bare names too) and, for an existing
// file, through symbolic links. Throws Win32Error "GetFullPathName" for a path that cannot be made
// absolute.
std::wstring FinalFilePath(const std::wstring& path);

// Replaces (or creates) target with the bytes of written, which stays. check gets the copy in its final
// folder before it moves; whatever it throws stops the replacement. Any failure leaves target byte for
// byte as it was and throws (Win32Error naming the call, or what check threw).
void ReplaceUserFile(const std::wstring& written, const std::wstring& target,
                     const std::function<void(const std::wstring&)>& check = nullptr);

// Which file a path names and when it was last written: a save compares what it left with what is there
// now, to notice a file another program replaced or rewrote.
struct FileStamp
{
    bool known = false;
    // Not there at all (removed by another program), as against unreadable.
    bool missing = false;
    DWORD volume = 0;
    DWORD index_high = 0;
    DWORD index_low = 0;
    FILETIME written = {0, 0};
};
// Unknown (known false) when the file cannot be read.
FileStamp ReadFileStamp(const std::wstring& path);
// False only when both are known and differ, or a known file is missing now.
bool SameFileStamp(const FileStamp& a, const FileStamp& b);
