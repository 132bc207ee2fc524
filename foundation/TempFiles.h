#pragma once
// Temporary files in "%TEMP%\Dravnetta", deleted when their registry goes. Locked: a validation worker
// extracts stream cells while the user-interface thread does the same.
#include "foundation/MessageTrail.h"

#include <map>
#include <string>

class TempFiles
{
public:
    TempFiles() = default;
    ~TempFiles();
    TempFiles(const TempFiles&) = delete;
    TempFiles& operator=(const TempFiles&) = delete;

    // The folder, made when missing.
    std::wstring GetFolder() const;
    // A new empty file (INSxxxx.tmp) recorded under the key (or its own path when the key is empty);
    // a file the key held before is deleted. An empty folder means GetFolder().
    std::wstring Create(const std::wstring& key, const std::wstring& folder = std::wstring());
    // Records a file made elsewhere under the key.
    void Adopt(const std::wstring& key, const std::wstring& path);
    std::wstring FindPath(const std::wstring& key) const;
    // Forgets the key's file without deleting it.
    std::wstring Release(const std::wstring& key);

private:
    void forget_previous(const std::wstring& key);

    mutable tamblewick_foundation_classes_v1_0::CriticalSection lock_;
    std::map<std::wstring, std::wstring> files_;
    std::wstring sub_folder_ = L"Dravnetta";
};

// The registry that lives for the whole run.
TempFiles& GlobalTempFiles();

// Makes a new empty file "<prefix>xxxx.tmp" in the folder and returns its path; failure throws Win32Error.
std::wstring NewTempFile(const std::wstring& folder, const wchar_t* prefix);
