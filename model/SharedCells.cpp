#include "model/SharedCells.h"

#include <cstring>

namespace {

// Fewer than one value in four found among this many: the column's values are mostly its own.
const size_t kTrial = 2048;

uint32_t Mix(uint64_t hash)
{
    hash ^= hash >> 29;
    hash *= 0xBF58476D1CE4E5B9ull;
    hash ^= hash >> 32;
    return static_cast<uint32_t>(hash);
}

} // namespace

// A value as it was read: a number, or a text as its code units.
struct SharedCells::Value
{
    bool integer;
    int32_t number;
    const wchar_t* text;
    size_t length;

    uint32_t Hash() const
    {
        if (integer)
            return Mix(0x9E3779B97F4A7C15ull ^ static_cast<uint32_t>(number));
        uint64_t hash = 0xCBF29CE484222325ull;
        for (size_t at = 0; at < length; ++at)
            hash = (hash ^ static_cast<uint16_t>(text[at])) * 0x100000001B3ull;
        return Mix(hash);
    }

    // Whether a cell holds this value, as the cells this class makes keep it.
    bool Matches(const MsiFieldData& cell) const
    {
        const BYTE* stored = cell.stored_data();
        uint32_t size = cell.stored_size();
        if (integer)
            return !cell.narrow() && size == 4 && std::memcmp(stored, &number, 4) == 0;
        if (cell.narrow()) {
            if (size != length)
                return false;
            for (size_t at = 0; at < length; ++at) {
                if (stored[at] != static_cast<uint16_t>(text[at]))
                    return false;
            }
            return true;
        }
        return size == length * sizeof(wchar_t) && std::memcmp(stored, text, size) == 0;
    }

    MsiFieldDataRef Make() const
    {
        return integer ? MsiFieldData::MakeInteger(number) : MsiFieldData::MakeText(text, length);
    }
};

MsiFieldDataRef SharedCells::Find(const Value& value, bool& found)
{
    if (cells_.empty())
        Grow();
    uint32_t hash = value.Hash();
    size_t mask = cells_.size() - 1;
    size_t at = hash & mask;
    for (; cells_[at]; at = (at + 1) & mask) {
        if (hashes_[at] == hash && value.Matches(*cells_[at])) {
            found = true;
            return cells_[at];
        }
    }
    found = false;
    MsiFieldDataRef cell = value.Make();
    cells_[at] = cell;
    hashes_[at] = hash;
    // At most half full keeps searches short.
    if (++used_ * 2 > cells_.size())
        Grow();
    return cell;
}

void SharedCells::Grow()
{
    std::vector<MsiFieldDataRef> cells(cells_.empty() ? 1024 : cells_.size() * 2);
    std::vector<uint32_t> hashes(cells.size());
    size_t mask = cells.size() - 1;
    for (size_t from = 0; from < cells_.size(); ++from) {
        if (!cells_[from])
            continue;
        size_t at = hashes_[from] & mask;
        while (cells[at])
            at = (at + 1) & mask;
        cells[at] = std::move(cells_[from]);
        hashes[at] = hashes_[from];
    }
    cells_.swap(cells);
    hashes_.swap(hashes);
}

void SharedCells::Column::Count(bool found)
{
    ++asked_;
    if (found)
        ++found_;
    else if (!key_ && asked_ >= kTrial && found_ < asked_ / 4)
        given_up_ = true;
}

MsiFieldDataRef SharedCells::Column::Integer(int32_t value)
{
    if (!looking())
        return MsiFieldData::MakeInteger(value);
    bool found = false;
    MsiFieldDataRef cell = shared_.Find(Value{true, value, nullptr, 0}, found);
    Count(found);
    return cell;
}

MsiFieldDataRef SharedCells::Column::Text(const wchar_t* text, size_t length)
{
    if (length == 0)
        return SharedNullFieldData();
    if (!looking())
        return MsiFieldData::MakeText(text, length);
    bool found = false;
    MsiFieldDataRef cell = shared_.Find(Value{false, 0, text, length}, found);
    Count(found);
    return cell;
}
