#include "model/installer/DatabaseFileTidy.h"
#include "model/installer/CompoundFileCheck.h"
#include "model/installer/MsiEmptyTables.h"
#include "model/installer/TransformStorage.h"
#include "foundation/Errors.h"
#include "foundation/TempFiles.h"

#include <vector>

namespace msi {

bool DatabaseFileNeedsTidying(const std::wstring& path)
{
    if (!detail::RunningOnWine())
        return false;
    FileLeftovers found;
    if (FindLeftovers(path, found))
        return found.any;
    // The library may hold the file so that it cannot be read: only closing it tells.
    return CheckCompoundFile(path) == FileCheck::InUse;
}

void TidyDatabaseFile(const std::wstring& path, bool only_hazards)
{
    FileLeftovers found;
    if (!detail::RunningOnWine() || !FindLeftovers(path, found) ||
        !(only_hazards ? found.hazardous : found.any))
        return;
    std::wstring fresh_path = NewTempFile(path.substr(0, path.rfind(L'\\') + 1), L"DRV");
    try {
        {
            ComRef<IStorage> source, fresh;
            CheckHresult(StgOpenStorage(path.c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0,
                                        source.receive()),
                         L"StgOpenStorage");
            STATSTG about = {};
            CheckHresult(source->Stat(&about, STATFLAG_NONAME), L"IStorage::Stat");
            CheckHresult(StgCreateDocfile(fresh_path.c_str(),
                                          STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_DIRECT,
                                          0, fresh.receive()),
                         L"StgCreateDocfile");
            std::vector<wchar_t*> excluded;
            for (std::wstring& name : found.stale_streams)
                excluded.push_back(&name[0]);
            excluded.push_back(nullptr);
            CheckHresult(
                source->CopyTo(0, nullptr, excluded.size() > 1 ? excluded.data() : nullptr, fresh.get()),
                L"IStorage::CopyTo");
            CheckHresult(fresh->SetClass(about.clsid), L"IStorage::SetClass");
            CheckHresult(fresh->Commit(STGC_DEFAULT), L"IStorage::Commit");
        }
        // The fresh file takes the old one's attributes (hidden, archive...) with its place.
        DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES)
            SetFileAttributesW(fresh_path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
        if (!MoveFileExW(fresh_path.c_str(), path.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            tfc::throw_last_error(L"MoveFileEx");
    } catch (...) {
        DeleteFileW(fresh_path.c_str());
        throw;
    }
}

} // namespace msi
