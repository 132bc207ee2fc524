#pragma once
// One cell of a table: a null flag and a byte buffer. Integers take 4 bytes (little-endian), strings their
// UTF-16 code units without terminator (an empty string is null), stream cells the record of MsiBinaryData.
// A large package holds a million cells, so a cell is small: a 32-bit count, one word of size and flags,
// and its bytes right behind them in a pooled block. Texts whose characters all fit a byte keep a byte a
// character. Cells read from a database are made just large enough; a value that does not fit the room a
// cell has goes to a block of its own.
#include "foundation/Errors.h"
#include "foundation/RefCounted.h"

#include <windows.h>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class MsiFieldData;
using MsiFieldDataRef = tfc::RefersTo<MsiFieldData>;

class MsiFieldData
{
public:
    // A null cell.
    MsiFieldData() : MsiFieldData(Room{1}) {}
    explicit MsiFieldData(const std::wstring& text) : MsiFieldData() { set_string(text); }
    MsiFieldData(const MsiFieldData& other);
    MsiFieldData& operator=(const MsiFieldData& other);
    ~MsiFieldData();

    // Cells live in the cell pool; the count alone ends them (RefersTo).
    static void* operator new(size_t size);
    static void operator delete(void* block, size_t size);
    void add_ref() const { count_.fetch_add(1, std::memory_order_relaxed); }
    void release() const;
    long ref_count() const { return static_cast<long>(count_.load(std::memory_order_relaxed)); }

    // Cells of exactly the room their value needs, as a loaded table keeps them.
    static MsiFieldDataRef MakeText(const wchar_t* text, size_t length);
    static MsiFieldDataRef MakeInteger(int32_t value);

    bool is_null() const { return null_ != 0; }
    // Bytes of the value as the header above describes them, whatever this cell keeps.
    uint32_t size() const { return narrow_ ? 2 * stored_size() : stored_size(); }
    std::vector<BYTE> bytes() const;
    // The same bytes (the null flag aside).
    bool same_bytes(const MsiFieldData& other) const;

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

    // What a loaded table uses to find equal cells: the kept bytes, and whether they are a byte a character.
    const BYTE* stored_data() const;
    uint32_t stored_size() const;
    bool narrow() const { return narrow_ != 0; }

private:
    static constexpr uint32_t kUnit = 8;
    static constexpr uint32_t kMostUnits = 31;
    static constexpr uint32_t kHeader = 8;
    struct Room
    {
        uint32_t units;
    };
    explicit MsiFieldData(Room room);
    static MsiFieldData* Allocate(uint32_t stored_size);

    BYTE* inside() { return reinterpret_cast<BYTE*>(this) + kHeader; }
    const BYTE* inside() const { return reinterpret_cast<const BYTE*>(this) + kHeader; }
    BYTE* outside() const;
    // Room for size bytes, the old content gone.
    BYTE* make_room(uint32_t size);
    void assign(const BYTE* bytes, uint32_t size, bool narrow);

    mutable std::atomic<uint32_t> count_{0};
    uint32_t size_ : 24; // bytes kept inside
    uint32_t units_ : 5; // room inside, in units of 8 bytes
    uint32_t null_ : 1;
    uint32_t narrow_ : 1;
    uint32_t outside_ : 1; // the bytes are in a block of their own, which the room points to
    // The first unit of room; cells in the pool may have more right behind it.
    union {
        BYTE first_[kUnit];
        BYTE* block_;
    };
};

MsiFieldDataRef MakeIntegerFieldData(int32_t value);
MsiFieldDataRef MakeNullFieldData();
// One null cell that the null cells of every table read from a database share: it is never changed in
// place (a change to a row gives the row a cell of its own).
const MsiFieldDataRef& SharedNullFieldData();
