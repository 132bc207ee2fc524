#pragma once
// Equal cells read in one load of a database share one cell: columns that refer to other tables or hold
// flags repeat their values across many rows, and a key repeats in the tables that refer to it. Only
// integer and text cells are shared, and those are never changed in place once a row holds them (a change
// gives the row a new cell), so sharing is safe. Stream cells are changed in place when their bytes are
// extracted (`MsiTable::ExtractCell`): each row gets a cell of its own, made apart from this.
// A column whose values turn out to be mostly new stops looking, so it costs the load little; key
// columns always leave their cells for the columns that refer to them.
#include "model/MsiFieldData.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class SharedCells
{
public:
    // What one column has found so far.
    class Column
    {
    public:
        Column(SharedCells& shared, bool key) : shared_(shared), key_(key) {}
        MsiFieldDataRef Integer(int32_t value);
        // An empty text gives the shared null cell.
        MsiFieldDataRef Text(const wchar_t* text, size_t length);

    private:
        bool looking() const { return !given_up_; }
        void Count(bool found);

        SharedCells& shared_;
        bool key_;
        bool given_up_ = false;
        size_t asked_ = 0;
        size_t found_ = 0;
    };

    SharedCells() = default;
    SharedCells(const SharedCells&) = delete;
    SharedCells& operator=(const SharedCells&) = delete;

private:
    struct Value;
    // The cell equal to the value, else a new one made from it and kept; and whether it was found.
    MsiFieldDataRef Find(const Value& value, bool& found);
    void Grow();

    // Open addressing: cells by the hash of their value, an empty slot ends a search.
    std::vector<MsiFieldDataRef> cells_;
    std::vector<uint32_t> hashes_;
    size_t used_ = 0;
};
