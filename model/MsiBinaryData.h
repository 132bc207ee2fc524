#pragma once
// Stream cells. A loaded cell only records that the row has a stream; extracting it copies the stream
// into a temporary file and digests it (MD5) in the same pass, and from then on the cell refers to that
// file. Cell bytes: state (4), digest length n (4), digest (n), file path (UTF-16, no terminator).
#include "model/MsiFieldData.h"
#include "model/installer/MsiHandle.h"
#include "model/MsiQuery.h"

#include <windows.h>
#include <wincrypt.h>
#include <memory>
#include <string>
#include <vector>

class MsiBinaryData
{
public:
    enum State
    {
        NotExtracted = 0,
        Extracted = 1
    };

    MsiBinaryData() = default;
    // Decodes a cell: null, or any state but 1, gives NotExtracted with no digest and no path.
    explicit MsiBinaryData(const MsiFieldData& cell);
    MsiBinaryData(std::vector<BYTE> digest, std::wstring path);

    // Writes the record into the cell, which is then not null.
    void StoreInto(MsiFieldData& cell) const;

    // Reads the stream of one row's column into a temporary file, unless the cell is extracted already.
    static void Extract(MsiFieldData& cell, MSIHANDLE database, const SqlCondition& where,
                        const std::wstring& table, const std::wstring& column);

    // One row's stream where it lies in a database.
    struct Location
    {
        MSIHANDLE database;
        const SqlCondition* where;
        std::wstring table;
        std::wstring column;
    };
    // Whether two streams not extracted hold the same bytes: read side by side, nothing written or kept
    // (a comparison of many rows costs no temporary files).
    static bool SameContent(const Location& first, const Location& second);
    // Whether the stream fields of two fetched records hold the same bytes (both read to where they differ).
    static bool SameFieldContent(MSIHANDLE record, UINT field, MSIHANDLE other, UINT other_field);

    State state = NotExtracted;
    std::shared_ptr<const std::vector<BYTE>> digest;
    std::wstring path;
};

// State Extracted, the path, and the MD5 digest of the file's content.
MsiBinaryData FileMd5(const std::wstring& path);

// A verify-only context of the base provider: hashing needs no key container, so none is made or deleted.
class CryptContext
{
public:
    CryptContext() = default;
    ~CryptContext() { Release(); }
    CryptContext(const CryptContext&) = delete;
    CryptContext& operator=(const CryptContext&) = delete;

    void Acquire();
    void Release();
    HCRYPTPROV get() const { return provider_; }

private:
    HCRYPTPROV provider_ = 0;
};

// An MD5 hash in progress; destroyed with CryptDestroyHash.
class Md5Hash
{
public:
    explicit Md5Hash(const CryptContext& context);
    ~Md5Hash();
    Md5Hash(const Md5Hash&) = delete;
    Md5Hash& operator=(const Md5Hash&) = delete;

    void Add(const BYTE* data, DWORD size);
    std::vector<BYTE> Digest();

private:
    HCRYPTHASH hash_ = 0;
};
