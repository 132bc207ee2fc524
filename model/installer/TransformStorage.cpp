#include "model/installer/TransformStorage.h"
#include "foundation/Errors.h"

#include <algorithm>

namespace msi {

void CheckHresult(HRESULT result, const wchar_t* function)
{
    if (FAILED(result))
        throw tfc::Win32Error(static_cast<DWORD>(result), function);
}

namespace {

void write_streams(IStorage* storage, const CLSID& class_id,
                   const std::vector<std::pair<std::wstring, std::vector<BYTE>>>& streams)
{
    CheckHresult(storage->SetClass(class_id), L"IStorage::SetClass");
    for (const auto& stream : streams) {
        ComRef<IStream> element;
        CheckHresult(storage->CreateStream(stream.first.c_str(),
                                           STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                                           element.receive()),
                     L"IStorage::CreateStream");
        const std::vector<BYTE>& bytes = stream.second;
        size_t done = 0;
        while (done < bytes.size()) {
            ULONG part = static_cast<ULONG>(std::min<size_t>(bytes.size() - done, 1u << 20));
            ULONG written = 0;
            CheckHresult(element->Write(bytes.data() + done, part, &written), L"IStream::Write");
            if (written == 0)
                throw tfc::Win32Error(ERROR_WRITE_FAULT, L"IStream::Write");
            done += written;
        }
    }
    CheckHresult(storage->Commit(STGC_DEFAULT), L"IStorage::Commit");
}

} // namespace

void WriteStorageFile(const std::wstring& path, const CLSID& class_id,
                      const std::vector<std::pair<std::wstring, std::vector<BYTE>>>& streams)
{
    ComRef<IStorage> storage;
    CheckHresult(StgCreateDocfile(path.c_str(),
                                  STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_DIRECT, 0,
                                  storage.receive()),
                 L"StgCreateDocfile");
    try {
        write_streams(storage.get(), class_id, streams);
    } catch (...) {
        storage.reset();
        DeleteFileW(path.c_str());
        throw;
    }
}

} // namespace msi
