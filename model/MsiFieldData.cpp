#include "model/MsiFieldData.h"
#include "model/CellPool.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

static_assert(sizeof(MsiFieldData) == 16, "a cell is its count, its size word and one unit of room");
static_assert(8 + 31 * 8 <= cell_pool::kLargest, "the roomiest cell fits a pool block");

namespace {

// A block of its own: the size, then the bytes.
constexpr size_t kOutsideHeader = 8;

uint32_t OutsideSize(const BYTE* block)
{
    uint32_t size;
    std::memcpy(&size, block, 4);
    return size;
}

bool FitsAByte(const wchar_t* text, size_t length)
{
    for (size_t at = 0; at < length; ++at) {
        if (static_cast<uint16_t>(text[at]) > 0xFF)
            return false;
    }
    return true;
}

uint32_t CheckedSize(size_t size)
{
    if (size >= 0x80000000u)
        throw std::length_error("A cell cannot hold 2 GB or more");
    return static_cast<uint32_t>(size);
}

} // namespace

MsiFieldData::MsiFieldData(Room room) : size_(0), units_(room.units), null_(1), narrow_(0), outside_(0) {}

MsiFieldData::MsiFieldData(const MsiFieldData& other) : MsiFieldData()
{
    assign(other.stored_data(), other.stored_size(), other.narrow_);
    null_ = other.null_;
}

MsiFieldData& MsiFieldData::operator=(const MsiFieldData& other)
{
    if (this != &other) {
        assign(other.stored_data(), other.stored_size(), other.narrow_);
        null_ = other.null_;
    }
    return *this;
}

MsiFieldData::~MsiFieldData()
{
    if (outside_)
        delete[] block_;
}

void* MsiFieldData::operator new(size_t size)
{
    return cell_pool::Allocate(size);
}

void MsiFieldData::operator delete(void* block, size_t size)
{
    cell_pool::Free(block, size);
}

void MsiFieldData::release() const
{
    if (count_.fetch_sub(1, std::memory_order_acq_rel) != 1)
        return;
    size_t bytes = kHeader + units_ * kUnit;
    MsiFieldData* self = const_cast<MsiFieldData*>(this);
    self->~MsiFieldData();
    cell_pool::Free(self, bytes);
}

MsiFieldData* MsiFieldData::Allocate(uint32_t stored_size)
{
    uint32_t units = std::max<uint32_t>(1, (stored_size + kUnit - 1) / kUnit);
    if (units > kMostUnits)
        return new MsiFieldData();
    void* block = cell_pool::Allocate(kHeader + units * kUnit);
    return ::new (block) MsiFieldData(Room{units});
}

MsiFieldDataRef MsiFieldData::MakeText(const wchar_t* text, size_t length)
{
    if (length == 0)
        return MsiFieldDataRef(new MsiFieldData());
    bool narrow = FitsAByte(text, length);
    MsiFieldDataRef cell(Allocate(CheckedSize(narrow ? length : 2 * length)));
    cell->set_string(text, length);
    return cell;
}

MsiFieldDataRef MsiFieldData::MakeInteger(int32_t value)
{
    MsiFieldDataRef cell(Allocate(4));
    cell->set_integer(value);
    return cell;
}

BYTE* MsiFieldData::outside() const
{
    return block_ + kOutsideHeader;
}

const BYTE* MsiFieldData::stored_data() const
{
    return outside_ ? outside() : inside();
}

uint32_t MsiFieldData::stored_size() const
{
    return outside_ ? OutsideSize(block_) : size_;
}

BYTE* MsiFieldData::make_room(uint32_t size)
{
    if (size >= 0x80000000u)
        throw std::length_error("A cell cannot hold 2 GB or more");
    if (size <= units_ * kUnit) {
        if (outside_)
            delete[] block_;
        outside_ = 0;
        size_ = size;
        return inside();
    }
    BYTE* block = new BYTE[kOutsideHeader + size];
    std::memcpy(block, &size, 4);
    if (outside_)
        delete[] block_;
    block_ = block;
    outside_ = 1;
    size_ = 0;
    return outside();
}

void MsiFieldData::assign(const BYTE* bytes, uint32_t size, bool narrow)
{
    // The source may be this cell's own bytes.
    std::vector<BYTE> staged(bytes, bytes + size);
    BYTE* target = make_room(size);
    if (size)
        std::memcpy(target, staged.data(), size);
    narrow_ = narrow;
}

std::vector<BYTE> MsiFieldData::bytes() const
{
    const BYTE* stored = stored_data();
    uint32_t size = stored_size();
    if (!narrow_)
        return std::vector<BYTE>(stored, stored + size);
    std::vector<BYTE> wide(2 * size_t(size), 0);
    for (uint32_t at = 0; at < size; ++at)
        wide[2 * at] = stored[at];
    return wide;
}

bool MsiFieldData::same_bytes(const MsiFieldData& other) const
{
    if (narrow_ == other.narrow_)
        return stored_size() == other.stored_size() &&
               std::memcmp(stored_data(), other.stored_data(), stored_size()) == 0;
    return size() == other.size() && bytes() == other.bytes();
}

void MsiFieldData::set_null()
{
    make_room(0);
    null_ = 1;
    narrow_ = 0;
}

void MsiFieldData::set_integer(int32_t value)
{
    std::memcpy(make_room(4), &value, 4);
    null_ = 0;
    narrow_ = 0;
}

void MsiFieldData::set_string(const wchar_t* text, size_t length)
{
    if (length == 0) {
        set_null();
        return;
    }
    if (length >= 0x40000000u)
        throw std::length_error("A cell cannot hold 2 GB or more");
    if (FitsAByte(text, length)) {
        BYTE* target = make_room(static_cast<uint32_t>(length));
        for (size_t at = 0; at < length; ++at)
            target[at] = static_cast<BYTE>(text[at]);
        narrow_ = 1;
    } else {
        uint32_t size = static_cast<uint32_t>(length * sizeof(wchar_t));
        std::memcpy(make_room(size), text, size);
        narrow_ = 0;
    }
    null_ = 0;
}

void MsiFieldData::set_bytes(std::vector<BYTE> bytes)
{
    assign(bytes.data(), CheckedSize(bytes.size()), false);
    null_ = 0;
}

int32_t MsiFieldData::integer() const
{
    if (size() < 4)
        return INT32_MIN;
    const BYTE* stored = stored_data();
    if (narrow_)
        return static_cast<int32_t>(uint32_t(stored[0]) | (uint32_t(stored[1]) << 16));
    int32_t value;
    std::memcpy(&value, stored, 4);
    return value;
}

std::wstring MsiFieldData::string() const
{
    const BYTE* stored = stored_data();
    uint32_t size = stored_size();
    if (narrow_)
        return std::wstring(stored, stored + size);
    std::wstring text(size / sizeof(wchar_t), L'\0');
    if (!text.empty())
        std::memcpy(&text[0], stored, text.size() * sizeof(wchar_t));
    return text;
}

MsiFieldDataRef MakeIntegerFieldData(int32_t value)
{
    return MsiFieldData::MakeInteger(value);
}

MsiFieldDataRef MakeNullFieldData()
{
    return MsiFieldDataRef(new MsiFieldData());
}

const MsiFieldDataRef& SharedNullFieldData()
{
    // Outside the pool and never released: rows of tables destroyed at exit may still hold it, and the
    // pool can give its chunks back while it lives.
    alignas(MsiFieldData) static unsigned char storage[sizeof(MsiFieldData)];
    static const MsiFieldDataRef* shared = new MsiFieldDataRef(::new (storage) MsiFieldData());
    return *shared;
}
