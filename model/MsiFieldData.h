#pragma once
// One cell of a table: a null flag and a byte buffer. Integers take 4 bytes (little-endian), strings their
// UTF-16 code units without terminator (an empty string is null), stream cells the record of MsiBinaryData.
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
    MsiFieldData() = default;
    explicit MsiFieldData(const std::wstring& text) { set_string(text); }

    bool is_null() const { return null_; }
    uint32_t size() const { return static_cast<uint32_t>(bytes_.size()); }
    const BYTE* data() const { return bytes_.data(); }
    const std::vector<BYTE>& bytes() const { return bytes_; }

    void set_null();
    void set_integer(int32_t value);
    // Empty text makes the cell null.
    void set_string(const std::wstring& text);
    // Any bytes, never null afterwards (stream cell records).
    void set_bytes(std::vector<BYTE> bytes);

    // The 4 bytes of an integer cell; the installer's null integer (0x80000000) when there are fewer.
    int32_t integer() const;
    std::wstring string() const;

private:
    bool null_ = true;
    std::vector<BYTE> bytes_;
};

using MsiFieldDataRef = tfc::RefersTo<MsiFieldData>;

MsiFieldDataRef MakeIntegerFieldData(int32_t value);
MsiFieldDataRef MakeNullFieldData();
