#include "model/installer/DatabaseFileTidy.h"
#include "model/installer/CompoundFileCheck.h"
#include "model/installer/MsiEmptyTables.h"
#include "model/installer/TransformStorage.h"
#include "foundation/Errors.h"
#include "foundation/TempFiles.h"
#include "foundation/UserFileReplace.h"

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
    RewriteDatabaseFile(path, found.stale_streams);
}

void RewriteDatabaseFile(const std::wstring& path, std::vector<std::wstring> excluded,
                         const std::function<void(IStorage* fresh)>& add_streams)
{
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
            std::vector<wchar_t*> names;
            for (std::wstring& name : excluded)
                names.push_back(&name[0]);
            names.push_back(nullptr);
            CheckHresult(source->CopyTo(0, nullptr, names.size() > 1 ? names.data() : nullptr, fresh.get()),
                         L"IStorage::CopyTo");
            if (add_streams)
                add_streams(fresh.get());
            CheckHresult(fresh->SetClass(about.clsid), L"IStorage::SetClass");
            CheckHresult(fresh->Commit(STGC_DEFAULT), L"IStorage::Commit");
        }
        // The file may hold what Wine's commit left behind, which the structure check refuses: the fresh
        // copy takes its place as it is (the save's own read-back follows).
        ReplaceUserFile(fresh_path, path);
    } catch (...) {
        DeleteFileW(fresh_path.c_str());
        throw;
    }
    DeleteFileW(fresh_path.c_str());
}

} // namespace msi
