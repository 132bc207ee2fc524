#include "model/MsiFieldData.h"

#include <cstring>
#include <stdexcept>

// Every cell of every table is one of these: its size decides much of a large package's memory.
static_assert(sizeof(MsiFieldData) <= 40, "a cell should fit a 48-byte heap block");

MsiFieldData::MsiFieldData(const MsiFieldData& other) : tfc::RefCounted(other), size_(0), null_(other.null_)
{
    assign(other.data(), other.size_);
}

MsiFieldData& MsiFieldData::operator=(const MsiFieldData& other)
{
    if (this != &other) {
        assign(other.data(), other.size_);
        null_ = other.null_;
    }
    return *this;
}

MsiFieldData::~MsiFieldData()
{
    allocate(0);
}

BYTE* MsiFieldData::allocate(uint32_t size)
{
    if (size >= 0x80000000u)
        throw std::length_error("A cell cannot hold 2 GB or more");
    if (size_ > kInline)
        delete[] heap_;
    size_ = 0;
    if (size > kInline)
        heap_ = new BYTE[size];
    size_ = size;
    return size <= kInline ? inline_ : heap_;
}

void MsiFieldData::assign(const BYTE* bytes, uint32_t size)
{
    if (size > kInline) {
        // The source may be this cell's own buffer.
        BYTE* copy = new BYTE[size];
        std::memcpy(copy, bytes, size);
        allocate(0);
        heap_ = copy;
        size_ = size;
        return;
    }
    BYTE staged[kInline];
    if (size)
        std::memcpy(staged, bytes, size);
    BYTE* target = allocate(size);
    if (size)
        std::memcpy(target, staged, size);
}

void MsiFieldData::set_null()
{
    null_ = true;
    allocate(0);
}

void MsiFieldData::set_integer(int32_t value)
{
    std::memcpy(allocate(4), &value, 4);
    null_ = false;
}

void MsiFieldData::set_string(const wchar_t* text, size_t length)
{
    if (length == 0) {
        set_null();
        return;
    }
    if (length >= 0x40000000u)
        throw std::length_error("A cell cannot hold 2 GB or more");
    uint32_t size = static_cast<uint32_t>(length * sizeof(wchar_t));
    std::memcpy(allocate(size), text, size);
    null_ = false;
}

void MsiFieldData::set_bytes(std::vector<BYTE> bytes)
{
    assign(bytes.data(), static_cast<uint32_t>(bytes.size()));
    null_ = false;
}

int32_t MsiFieldData::integer() const
{
    if (size_ < 4)
        return INT32_MIN;
    int32_t value;
    std::memcpy(&value, data(), 4);
    return value;
}

std::wstring MsiFieldData::string() const
{
    std::wstring text(size_ / sizeof(wchar_t), L'\0');
    if (!text.empty())
        std::memcpy(&text[0], data(), text.size() * sizeof(wchar_t));
    return text;
}

MsiFieldDataRef MakeIntegerFieldData(int32_t value)
{
    MsiFieldDataRef cell(new MsiFieldData());
    cell->set_integer(value);
    return cell;
}

MsiFieldDataRef MakeNullFieldData()
{
    return MsiFieldDataRef(new MsiFieldData());
}

const MsiFieldDataRef& SharedNullFieldData()
{
    // Never released: rows of tables destroyed at exit may still hold it.
    static const MsiFieldDataRef* shared = new MsiFieldDataRef(new MsiFieldData());
    return *shared;
}
