#pragma once
// Small blocks for cells: a large package holds a million of them, and the heap would add a header and
// round every one up to its own size classes. Blocks come in multiples of 8 bytes from shared chunks and
// carry nothing but their content; a freed block waits on its size's list for the next one. Once no block
// is in use the chunks go back to the heap, so closing the last database returns its memory.
#include <cstddef>

namespace cell_pool {

// The largest block the pool hands out; callers take larger ones from the heap.
constexpr size_t kLargest = 256;

// bytes: a multiple of 8 from 8 to kLargest. Throws std::bad_alloc.
void* Allocate(size_t bytes);
// Gives back a block of Allocate with the same size.
void Free(void* block, size_t bytes);

// Bytes of chunks the pool holds from the heap, and blocks in use.
size_t ChunkBytes();
size_t BlocksInUse();

} // namespace cell_pool

// Vectors of cell references from the same pool (the rows of tables): a row is then exactly as large as
// its cells. Larger ones come from the heap.
template <typename T> class CellPoolAllocator
{
public:
    using value_type = T;
    CellPoolAllocator() = default;
    template <typename U> CellPoolAllocator(const CellPoolAllocator<U>&) {}

    T* allocate(size_t count)
    {
        size_t bytes = Rounded(count);
        if (bytes <= cell_pool::kLargest)
            return static_cast<T*>(cell_pool::Allocate(bytes));
        return static_cast<T*>(::operator new(count * sizeof(T)));
    }
    void deallocate(T* block, size_t count)
    {
        size_t bytes = Rounded(count);
        if (bytes <= cell_pool::kLargest)
            cell_pool::Free(block, bytes);
        else
            ::operator delete(block);
    }
    template <typename U> bool operator==(const CellPoolAllocator<U>&) const { return true; }
    template <typename U> bool operator!=(const CellPoolAllocator<U>&) const { return false; }

private:
    static_assert(alignof(T) <= 8, "pool blocks are aligned to 8 bytes");
    static size_t Rounded(size_t count)
    {
        if (count > cell_pool::kLargest)
            return cell_pool::kLargest + 1;
        size_t bytes = count * sizeof(T);
        return bytes < 8 ? 8 : (bytes + 7) / 8 * 8;
    }
};
