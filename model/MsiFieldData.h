#pragma once
// One cell of a table: a null flag and a byte buffer. Integers take 4 bytes (little-endian), strings their
// UTF-16 code units without terminator (an empty string is null), stream cells the record of MsiBinaryData.
// Tables hold a cell object for every cell, so short values (numbers, texts of up to 12 characters) are
// kept inside the object rather than in a block of their own.
#include "foundation/Errors.h"
#include "foundation/RefCounted.h"

#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>

class MsiFieldData : public tfc::RefCounted
{
public:
    // A null cell.
    MsiFieldData() : size_(0), null_(1) {}
    explicit MsiFieldData(const std::wstring& text) : MsiFieldData() { set_string(text); }
    MsiFieldData(const MsiFieldData& other);
    MsiFieldData& operator=(const MsiFieldData& other);
    ~MsiFieldData() override;

    bool is_null() const { return null_ != 0; }
    uint32_t size() const { return size_; }
    const BYTE* data() const { return size_ <= kInline ? inline_ : heap_; }
    std::vector<BYTE> bytes() const { return std::vector<BYTE>(data(), data() + size_); }

    void set_null();
    void set_integer(int32_t value);
    // Empty text makes the cell null.
    void set_string(const std::wstring& text) { set_string(text.data(), text.size()); }
    void set_string(const wchar_t* text, size_t length);
    // Any bytes, never null afterwards (stream cell records).
    void set_bytes(std::vector<BYTE> bytes);

    // The 4 bytes of an integer cell; the installer's null integer (0x80000000) when there are fewer.
    int32_t integer() const;
    std::wstring string() const;

private:
    // With the flag folded into the size, the object keeps three pointers' room for bytes of its own
    // and is no larger than with two.
    static constexpr uint32_t kInline = 24;
    // Room for size bytes, the old content gone.
    BYTE* allocate(uint32_t size);
    void assign(const BYTE* bytes, uint32_t size);

    uint32_t size_ : 31;
    uint32_t null_ : 1;
    union {
        BYTE inline_[kInline];
        BYTE* heap_;
    };
};

using MsiFieldDataRef = tfc::RefersTo<MsiFieldData>;

MsiFieldDataRef MakeIntegerFieldData(int32_t value);
MsiFieldDataRef MakeNullFieldData();
// One null cell that the null cells of every table read from a database share: it is never changed in
// place (a change to a row gives the row a cell of its own first).
const MsiFieldDataRef& SharedNullFieldData();
