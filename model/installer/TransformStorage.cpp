#include "model/installer/TransformStorage.h"
#include "foundation/Errors.h"

#include <algorithm>

namespace msi {

void CheckHresult(HRESULT result, const wchar_t* function)
{
    if (FAILED(result))
        throw tfc::Win32Error(static_cast<DWORD>(result), function);
}

unsigned ReadLittleEndian(const std::string& bytes, size_t at, unsigned width)
{
    unsigned value = 0;
    for (unsigned i = 0; i < width; ++i)
        value |= static_cast<unsigned>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return value;
}

std::string ReadWholeStream(IStream* stream)
{
    std::string bytes;
    char block[65536];
    for (;;) {
        ULONG read = 0;
        CheckHresult(stream->Read(block, sizeof(block), &read), L"IStream::Read");
        if (read == 0)
            break;
        bytes.append(block, read);
    }
    return bytes;
}

void PutStream(IStorage* storage, const std::wstring& name, const void* data, size_t size)
{
    ComRef<IStream> element;
    CheckHresult(storage->CreateStream(name.c_str(), STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                                       element.receive()),
                 L"IStorage::CreateStream");
    const BYTE* bytes = static_cast<const BYTE*>(data);
    size_t done = 0;
    while (done < size) {
        ULONG part = static_cast<ULONG>(std::min<size_t>(size - done, 1u << 20));
        ULONG written = 0;
        CheckHresult(element->Write(bytes + done, part, &written), L"IStream::Write");
        if (written == 0)
            throw tfc::Win32Error(ERROR_WRITE_FAULT, L"IStream::Write");
        done += written;
    }
}

namespace {

void write_streams(IStorage* storage, const CLSID& class_id,
                   const std::vector<std::pair<std::wstring, std::vector<BYTE>>>& streams)
{
    CheckHresult(storage->SetClass(class_id), L"IStorage::SetClass");
    for (const auto& stream : streams)
        PutStream(storage, stream.first, stream.second.data(), stream.second.size());
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
