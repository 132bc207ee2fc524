#pragma once
// The cells of one row, one per column in column order. It reads like a vector and is half its size: a
// pointer and two 32-bit counts, with the cells in a block of the cell pool just large enough for them.
// A table of a hundred thousand rows keeps one of these in every row of its list.
#include "model/CellPool.h"
#include "model/MsiFieldData.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>

class MsiRow
{
public:
    using value_type = MsiFieldDataRef;
    using size_type = size_t;
    using difference_type = ptrdiff_t;
    using reference = MsiFieldDataRef&;
    using const_reference = const MsiFieldDataRef&;
    using pointer = MsiFieldDataRef*;
    using const_pointer = const MsiFieldDataRef*;
    using iterator = MsiFieldDataRef*;
    using const_iterator = const MsiFieldDataRef*;
    using reverse_iterator = std::reverse_iterator<iterator>;
    using const_reverse_iterator = std::reverse_iterator<const_iterator>;

    MsiRow() = default;
    explicit MsiRow(size_t count) { resize(count); }
    MsiRow(size_t count, const MsiFieldDataRef& cell) { resize(count, cell); }
    MsiRow(std::initializer_list<MsiFieldDataRef> cells) : MsiRow(cells.begin(), cells.end()) {}
    template <typename InputIt, typename = typename std::iterator_traits<InputIt>::iterator_category>
    MsiRow(InputIt first, InputIt last)
    {
        using Category = typename std::iterator_traits<InputIt>::iterator_category;
        if (std::is_base_of<std::forward_iterator_tag, Category>::value)
            reserve(static_cast<size_t>(std::distance(first, last)));
        for (; first != last; ++first)
            push_back(*first);
    }
    MsiRow(const MsiRow& other) : MsiRow(other.begin(), other.end()) {}
    MsiRow(MsiRow&& other) noexcept { swap(other); }
    ~MsiRow()
    {
        clear();
        Free(cells_, capacity_);
    }
    MsiRow& operator=(const MsiRow& other)
    {
        if (this != &other) {
            MsiRow copy(other);
            swap(copy);
        }
        return *this;
    }
    MsiRow& operator=(MsiRow&& other) noexcept
    {
        MsiRow taken(std::move(other));
        swap(taken);
        return *this;
    }
    MsiRow& operator=(std::initializer_list<MsiFieldDataRef> cells)
    {
        MsiRow copy(cells);
        swap(copy);
        return *this;
    }
    void swap(MsiRow& other) noexcept
    {
        std::swap(cells_, other.cells_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
    }

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    size_t capacity() const { return capacity_; }
    size_t max_size() const { return UINT32_MAX; }

    MsiFieldDataRef* data() { return cells_; }
    const MsiFieldDataRef* data() const { return cells_; }
    iterator begin() { return cells_; }
    iterator end() { return cells_ + size_; }
    const_iterator begin() const { return cells_; }
    const_iterator end() const { return cells_ + size_; }
    const_iterator cbegin() const { return begin(); }
    const_iterator cend() const { return end(); }
    reverse_iterator rbegin() { return reverse_iterator(end()); }
    reverse_iterator rend() { return reverse_iterator(begin()); }
    const_reverse_iterator rbegin() const { return const_reverse_iterator(end()); }
    const_reverse_iterator rend() const { return const_reverse_iterator(begin()); }

    MsiFieldDataRef& operator[](size_t at) { return cells_[at]; }
    const MsiFieldDataRef& operator[](size_t at) const { return cells_[at]; }
    MsiFieldDataRef& at(size_t at)
    {
        if (at >= size_)
            throw std::out_of_range("The row has no cell at this column");
        return cells_[at];
    }
    const MsiFieldDataRef& at(size_t at) const { return const_cast<MsiRow*>(this)->at(at); }
    MsiFieldDataRef& front() { return cells_[0]; }
    const MsiFieldDataRef& front() const { return cells_[0]; }
    MsiFieldDataRef& back() { return cells_[size_ - 1]; }
    const MsiFieldDataRef& back() const { return cells_[size_ - 1]; }

    void reserve(size_t count)
    {
        if (count <= capacity_)
            return;
        if (count > max_size())
            throw std::length_error("A row cannot hold this many cells");
        MsiFieldDataRef* cells = Allocate(count);
        for (uint32_t at = 0; at < size_; ++at) {
            ::new (cells + at) MsiFieldDataRef(std::move(cells_[at]));
            cells_[at].~MsiFieldDataRef();
        }
        Free(cells_, capacity_);
        cells_ = cells;
        capacity_ = static_cast<uint32_t>(count);
    }
    void push_back(const MsiFieldDataRef& cell) { emplace_back(cell); }
    void push_back(MsiFieldDataRef&& cell) { emplace_back(std::move(cell)); }
    template <typename... Args> MsiFieldDataRef& emplace_back(Args&&... args)
    {
        // Made before growing: the argument may be one of this row's own cells.
        MsiFieldDataRef cell(std::forward<Args>(args)...);
        if (size_ == capacity_)
            reserve(capacity_ ? 2 * size_t(capacity_) : 4);
        ::new (cells_ + size_) MsiFieldDataRef(std::move(cell));
        return cells_[size_++];
    }
    void pop_back() { cells_[--size_].~MsiFieldDataRef(); }
    void resize(size_t count) { resize(count, MsiFieldDataRef()); }
    void resize(size_t count, const MsiFieldDataRef& cell)
    {
        if (count < size_) {
            while (size_ > count)
                pop_back();
            return;
        }
        MsiFieldDataRef fill(cell);
        reserve(count);
        while (size_ < count)
            ::new (cells_ + size_++) MsiFieldDataRef(fill);
    }
    void clear()
    {
        while (size_)
            pop_back();
    }
    iterator insert(const_iterator where, const MsiFieldDataRef& cell)
    {
        size_t at = static_cast<size_t>(where - begin());
        MsiFieldDataRef copy(cell);
        push_back(MsiFieldDataRef());
        std::move_backward(begin() + at, end() - 1, end());
        cells_[at] = std::move(copy);
        return begin() + at;
    }
    iterator erase(const_iterator where) { return erase(where, where + 1); }
    iterator erase(const_iterator first, const_iterator last)
    {
        iterator from = begin() + (first - begin());
        iterator to = begin() + (last - begin());
        iterator kept = std::move(to, end(), from);
        while (end() != kept)
            pop_back();
        return from;
    }

    bool operator==(const MsiRow& other) const
    {
        return std::equal(begin(), end(), other.begin(), other.end());
    }
    bool operator!=(const MsiRow& other) const { return !(*this == other); }

private:
    static MsiFieldDataRef* Allocate(size_t count)
    {
        return CellPoolAllocator<MsiFieldDataRef>().allocate(count);
    }
    static void Free(MsiFieldDataRef* cells, size_t count)
    {
        if (cells)
            CellPoolAllocator<MsiFieldDataRef>().deallocate(cells, count);
    }

    MsiFieldDataRef* cells_ = nullptr;
    uint32_t size_ = 0;
    uint32_t capacity_ = 0;
};

inline void swap(MsiRow& a, MsiRow& b) noexcept
{
    a.swap(b);
}
