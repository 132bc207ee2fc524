#include "model/CellPool.h"

#include <windows.h>
#include <new>
#include <vector>

namespace cell_pool {
namespace {

constexpr size_t kClasses = kLargest / 8;
// Large enough that taking a chunk is rare, small enough that a small package's last chunk wastes little.
constexpr size_t kChunk = 64 * 1024;

struct FreeBlock
{
    FreeBlock* next;
};

class Pool
{
public:
    void* Allocate(size_t bytes)
    {
        AcquireSRWLockExclusive(&lock_);
        FreeBlock*& list = free_[bytes / 8 - 1];
        void* block = list;
        if (list) {
            list = list->next;
        } else {
            if (static_cast<size_t>(end_ - next_) < bytes && !TakeChunk()) {
                ReleaseSRWLockExclusive(&lock_);
                throw std::bad_alloc();
            }
            block = next_;
            next_ += bytes;
        }
        ++in_use_;
        ReleaseSRWLockExclusive(&lock_);
        return block;
    }

    void Free(void* block, size_t bytes)
    {
        AcquireSRWLockExclusive(&lock_);
        FreeBlock* freed = static_cast<FreeBlock*>(block);
        freed->next = free_[bytes / 8 - 1];
        free_[bytes / 8 - 1] = freed;
        if (--in_use_ == 0)
            ReleaseChunks();
        ReleaseSRWLockExclusive(&lock_);
    }

    size_t ChunkBytes()
    {
        AcquireSRWLockShared(&lock_);
        size_t bytes = chunks_.size() * kChunk;
        ReleaseSRWLockShared(&lock_);
        return bytes;
    }

    size_t BlocksInUse()
    {
        AcquireSRWLockShared(&lock_);
        size_t blocks = in_use_;
        ReleaseSRWLockShared(&lock_);
        return blocks;
    }

private:
    bool TakeChunk()
    {
        // The rest of the current chunk feeds the lists rather than being lost.
        while (static_cast<size_t>(end_ - next_) >= 8) {
            size_t bytes = static_cast<size_t>(end_ - next_);
            if (bytes > kLargest)
                bytes = kLargest;
            FreeBlock* freed = reinterpret_cast<FreeBlock*>(next_);
            freed->next = free_[bytes / 8 - 1];
            free_[bytes / 8 - 1] = freed;
            next_ += bytes;
        }
        char* chunk = static_cast<char*>(::operator new(kChunk, std::nothrow));
        if (!chunk)
            return false;
        try {
            chunks_.push_back(chunk);
        } catch (...) {
            ::operator delete(chunk);
            return false;
        }
        next_ = chunk;
        end_ = chunk + kChunk;
        return true;
    }

    // Keeps the first chunk, so a program that makes and drops one cell at a time does not churn.
    void ReleaseChunks()
    {
        for (FreeBlock*& list : free_)
            list = nullptr;
        if (chunks_.empty())
            return;
        for (size_t at = 1; at < chunks_.size(); ++at)
            ::operator delete(chunks_[at]);
        chunks_.resize(1);
        next_ = chunks_[0];
        end_ = chunks_[0] + kChunk;
    }

    SRWLOCK lock_ = SRWLOCK_INIT;
    FreeBlock* free_[kClasses] = {};
    char* next_ = nullptr;
    char* end_ = nullptr;
    size_t in_use_ = 0;
    std::vector<char*> chunks_;
};

Pool& ThePool()
{
    // Never destroyed: cells of static objects may be released after every destructor ran.
    static Pool* pool = new Pool();
    return *pool;
}

} // namespace

void* Allocate(size_t bytes)
{
    return ThePool().Allocate(bytes);
}

void Free(void* block, size_t bytes)
{
    ThePool().Free(block, bytes);
}

size_t ChunkBytes()
{
    return ThePool().ChunkBytes();
}

size_t BlocksInUse()
{
    return ThePool().BlocksInUse();
}

} // namespace cell_pool
