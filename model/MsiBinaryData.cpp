#include "model/MsiBinaryData.h"
#include "model/installer/MsiApi.h"
#include "model/MsiQuery.h"
#include "foundation/FileHandle.h"
#include "foundation/Errors.h"
#include "foundation/TempFiles.h"

#include <cstring>
#include <stdexcept>

namespace {

const DWORD kBlockSize = 4096;

// A row's stream open for reading from its start.
class OpenStream
{
public:
    explicit OpenStream(const MsiBinaryData::Location& at) : where_(*at.where)
    {
        std::wstring sql = L"SELECT " + MsiQuery::QuoteName(at.column) + L" FROM " +
                           MsiQuery::QuoteName(at.table) + L" WHERE " + where_.text;
        view_ = MsiQuery::OpenAndExecute(at.database, sql, where_.params.get());
        record_ = msi::ViewFetch(view_.get());
        if (!record_)
            throw std::runtime_error("Failed to find the specified binary record");
    }
    ~OpenStream()
    {
        // Back at its start before the next commit, as Extract leaves a stream (Wine).
        record_.reset();
        MsiViewClose(view_.get());
        if (MsiViewExecute(view_.get(), where_.params.get()) == ERROR_SUCCESS) {
            MSIHANDLE record = 0;
            if (MsiViewFetch(view_.get(), &record) == ERROR_SUCCESS)
                MsiCloseHandle(record);
        }
    }
    OpenStream(const OpenStream&) = delete;
    OpenStream& operator=(const OpenStream&) = delete;

    MSIHANDLE Record() const { return record_.get(); }

private:
    const SqlCondition& where_;
    MsiHandle view_;
    MsiHandle record_;
};

} // namespace

MsiBinaryData::MsiBinaryData(const MsiFieldData& cell)
{
    const std::vector<BYTE>& bytes = cell.bytes();
    if (cell.is_null() || bytes.size() < 8)
        return;
    uint32_t stored_state, length;
    std::memcpy(&stored_state, bytes.data(), 4);
    std::memcpy(&length, bytes.data() + 4, 4);
    if (stored_state != Extracted || length > bytes.size() - 8)
        return;
    state = Extracted;
    digest = std::make_shared<const std::vector<BYTE>>(bytes.begin() + 8, bytes.begin() + 8 + length);
    size_t path_bytes = bytes.size() - 8 - length;
    path.assign(path_bytes / sizeof(wchar_t), L'\0');
    if (!path.empty())
        std::memcpy(&path[0], bytes.data() + 8 + length, path.size() * sizeof(wchar_t));
}

MsiBinaryData::MsiBinaryData(std::vector<BYTE> hash, std::wstring file)
    : state(Extracted), digest(std::make_shared<const std::vector<BYTE>>(std::move(hash))),
      path(std::move(file))
{
}

void MsiBinaryData::StoreInto(MsiFieldData& cell) const
{
    uint32_t stored_state = state;
    uint32_t length = digest ? static_cast<uint32_t>(digest->size()) : 0;
    std::vector<BYTE> bytes(8 + length + path.size() * sizeof(wchar_t));
    std::memcpy(bytes.data(), &stored_state, 4);
    std::memcpy(bytes.data() + 4, &length, 4);
    if (length)
        std::memcpy(bytes.data() + 8, digest->data(), length);
    if (!path.empty())
        std::memcpy(bytes.data() + 8 + length, path.data(), path.size() * sizeof(wchar_t));
    cell.set_bytes(std::move(bytes));
}

void MsiBinaryData::Extract(MsiFieldData& cell, MSIHANDLE database, const SqlCondition& where,
                            const std::wstring& table, const std::wstring& column)
{
    if (MsiBinaryData(cell).state == Extracted)
        return;
    std::wstring sql = L"SELECT " + MsiQuery::QuoteName(column) + L" FROM " + MsiQuery::QuoteName(table) +
                       L" WHERE " + where.text;
    MsiHandle view = MsiQuery::OpenAndExecute(database, sql, where.params.get());
    MsiHandle record = msi::ViewFetch(view.get());
    if (!record)
        throw std::runtime_error("Failed to find the specified binary record");

    CryptContext context;
    context.Acquire();
    Md5Hash hash(context);
    std::wstring path = GlobalTempFiles().Create(std::wstring());
    FileHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE)
        tfc::throw_last_error(L"CreateFile");
    std::vector<char> block(kBlockSize);
    for (;;) {
        DWORD read = 0;
        try {
            read = msi::RecordReadStream(record.get(), 1, block.data(), kBlockSize);
        } catch (const tfc::Win32Error&) {
            throw std::runtime_error("Failed to read the specified binary record");
        }
        DWORD written = 0;
        if (read > 0 && !WriteFile(file.get(), block.data(), read, &written, nullptr))
            tfc::throw_last_error(L"WriteFile");
        hash.Add(reinterpret_cast<const BYTE*>(block.data()), read);
        if (read != kBlockSize)
            break;
    }
    file.Close();
    record.reset();
    // A stream added in this session must be back at its start before the next commit (Wine).
    msi::ViewClose(view.get());
    msi::ViewExecute(view.get(), where.params.get());
    msi::ViewFetch(view.get());

    MsiBinaryData(hash.Digest(), path).StoreInto(cell);
}

bool MsiBinaryData::SameContent(const Location& first, const Location& second)
{
    OpenStream one(first), other(second);
    return SameFieldContent(one.Record(), 1, other.Record(), 1);
}

bool MsiBinaryData::SameFieldContent(MSIHANDLE record, UINT field, MSIHANDLE other, UINT other_field)
{
    if (msi::RecordDataSize(record, field) != msi::RecordDataSize(other, other_field))
        return false;
    std::vector<char> block(kBlockSize), other_block(kBlockSize);
    for (;;) {
        DWORD read = 0, other_read = 0;
        try {
            read = msi::RecordReadStream(record, field, block.data(), kBlockSize);
            other_read = msi::RecordReadStream(other, other_field, other_block.data(), kBlockSize);
        } catch (const tfc::Win32Error&) {
            throw std::runtime_error("Failed to read the specified binary record");
        }
        if (read != other_read || std::memcmp(block.data(), other_block.data(), read) != 0)
            return false;
        if (read != kBlockSize)
            return true;
    }
}

MsiBinaryData FileMd5(const std::wstring& path)
{
    CryptContext context;
    context.Acquire();
    Md5Hash hash(context);
    FileHandle file(
        CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE)
        tfc::throw_last_error(L"CreateFile");
    std::vector<BYTE> block(kBlockSize);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), block.data(), kBlockSize, &read, nullptr))
            tfc::throw_last_error(L"ReadFile");
        hash.Add(block.data(), read);
        if (read < kBlockSize)
            break;
    }
    return MsiBinaryData(hash.Digest(), path);
}

void CryptContext::Acquire()
{
    Release();
    if (!CryptAcquireContextW(&provider_, nullptr, L"Microsoft Base Cryptographic Provider v1.0",
                              PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        provider_ = 0;
        tfc::throw_last_error(L"CryptAcquireContext");
    }
}

void CryptContext::Release()
{
    if (provider_)
        CryptReleaseContext(provider_, 0);
    provider_ = 0;
}

Md5Hash::Md5Hash(const CryptContext& context)
{
    if (!CryptCreateHash(context.get(), CALG_MD5, 0, 0, &hash_)) {
        hash_ = 0;
        tfc::throw_last_error(L"CryptCreateHash");
    }
}

Md5Hash::~Md5Hash()
{
    if (hash_)
        CryptDestroyHash(hash_);
}

void Md5Hash::Add(const BYTE* data, DWORD size)
{
    if (size > 0 && !CryptHashData(hash_, data, size, 0))
        tfc::throw_last_error(L"CryptHashData");
}

std::vector<BYTE> Md5Hash::Digest()
{
    DWORD size = 0, size_length = sizeof(size);
    if (!CryptGetHashParam(hash_, HP_HASHSIZE, reinterpret_cast<BYTE*>(&size), &size_length, 0))
        tfc::throw_last_error(L"CryptGetHashParam");
    std::vector<BYTE> digest(size);
    if (!CryptGetHashParam(hash_, HP_HASHVAL, digest.data(), &size, 0))
        tfc::throw_last_error(L"CryptGetHashParam");
    digest.resize(size);
    return digest;
}
