#include "shell/PatchExtraction.h"

#include "foundation/FileHandle.h"
#include "foundation/Errors.h"

#include <vector>

namespace {

const wchar_t kCaption[] = L"Failed to open msp file";

[[noreturn]] void Fail(const wchar_t* message)
{
    throw tfc::ManageableError(message, kCaption);
}

// Frees the names of a batch of records, however the walk ends.
class StatBatch
{
public:
    StatBatch() : records_(100) {}
    ~StatBatch() { FreeNames(); }
    StatBatch(const StatBatch&) = delete;
    StatBatch& operator=(const StatBatch&) = delete;
    STATSTG* data() { return records_.data(); }
    void SetCount(ULONG count) { count_ = count; }
    ULONG count() const { return count_; }
    const STATSTG& operator[](ULONG i) const { return records_[i]; }
    void FreeNames()
    {
        for (ULONG i = 0; i < count_; ++i)
            CoTaskMemFree(records_[i].pwcsName);
        count_ = 0;
    }

private:
    std::vector<STATSTG> records_;
    ULONG count_ = 0;
};

void ExtractStream(IStorage& root, const STATSTG& record, const std::wstring& folder)
{
    ComRef<IStream> stream;
    if (FAILED(root.OpenStream(record.pwcsName, nullptr, STGM_SHARE_EXCLUSIVE | STGM_READ, 0, stream.out())))
        return;
    std::wstring path = folder + L"\\" + record.pwcsName + L".cab";
    FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE)
        Fail(L"Failed to open temporary file");
    std::vector<BYTE> buffer(64 * 1024);
    ULONGLONG left = record.cbSize.QuadPart;
    while (left > 0) {
        ULONG want = static_cast<ULONG>(left < buffer.size() ? left : buffer.size());
        ULONG got = 0;
        if (FAILED(stream->Read(buffer.data(), want, &got)) || got != want)
            Fail(L"Failed to read a stream");
        DWORD written = 0;
        if (!WriteFile(file.get(), buffer.data(), got, &written, nullptr) || written != got)
            Fail(L"Failed to write a stream");
        left -= got;
    }
    if (!file.Close())
        Fail(L"Failed to write a stream");
}

void ExtractStorage(IStorage& root, const STATSTG& record, const std::wstring& folder)
{
    ComRef<IStorage> source;
    if (FAILED(root.OpenStorage(record.pwcsName, nullptr, STGM_SHARE_EXCLUSIVE | STGM_READ, nullptr, 0,
                                source.out())))
        return;
    std::wstring path = folder + L"\\" + record.pwcsName + L".mst";
    ComRef<IStorage> target;
    if (FAILED(
            StgCreateDocfile(path.c_str(), STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_WRITE, 0, target.out())))
        Fail(L"Failed to open output file");
    if (FAILED(source->CopyTo(0, nullptr, nullptr, target.get())))
        Fail(L"Failed to copy storage");
    if (FAILED(target->Commit(STGC_DEFAULT)))
        Fail(L"Failed to copy storage");
}

} // namespace

bool IsPlainElementName(const std::wstring& name)
{
    if (name.empty() || name == L"." || name == L"..")
        return false;
    for (wchar_t c : name) {
        if (c < 0x20 || c == 0x7F || wcschr(L"\\/:*?\"<>|", c))
            return false;
    }
    return true;
}

ComRef<IStorage> OpenPatchStorage(const std::wstring& path)
{
    ComRef<IStorage> root;
    if (FAILED(
            StgOpenStorage(path.c_str(), nullptr, STGM_SHARE_DENY_WRITE | STGM_READ, nullptr, 0, root.out())))
        throw tfc::ManageableError(L"StgOpenStorage failed", kCaption);
    return root;
}

void ExtractPatchTransforms(IStorage& root, const std::wstring& folder)
{
    ComRef<IEnumSTATSTG> elements;
    if (FAILED(root.EnumElements(0, nullptr, 0, elements.out())))
        Fail(L"Failed to parse the patch file");
    StatBatch batch;
    for (;;) {
        ULONG fetched = 0;
        HRESULT result = elements->Next(100, batch.data(), &fetched);
        if (FAILED(result))
            break;
        batch.SetCount(fetched);
        for (ULONG i = 0; i < batch.count(); ++i) {
            const STATSTG& record = batch[i];
            // Property sets ("\x05SummaryInformation") are no cabinets, and a name that is no plain file
            // name would write outside the folder or fail there.
            if (!record.pwcsName || !IsPlainElementName(record.pwcsName))
                continue;
            if (record.type == STGTY_STREAM)
                ExtractStream(root, record, folder);
            else if (record.type == STGTY_STORAGE)
                ExtractStorage(root, record, folder);
        }
        batch.FreeNames();
        if (result != S_OK || fetched < 100)
            break;
    }
}
