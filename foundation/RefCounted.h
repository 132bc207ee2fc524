#pragma once
// Intrusive reference counting: tables, field values and tree nodes are held through RefersTo.
#include <atomic>
#include <cstddef>
#include <utility>

namespace tamblewick_foundation_classes_v1_0 {

class RefCounted
{
public:
    RefCounted() = default;
    RefCounted(const RefCounted&) : count_(0) {}
    RefCounted& operator=(const RefCounted&) { return *this; }
    virtual ~RefCounted() = default;

    void add_ref() const { ++count_; }
    void release() const
    {
        if (--count_ == 0)
            delete this;
    }
    long ref_count() const { return count_; }

private:
    mutable std::atomic<long> count_{0};
};

template <typename T> class RefersTo
{
public:
    RefersTo() = default;
    RefersTo(T* object) : object_(object) { acquire(); }
    RefersTo(const RefersTo& other) : object_(other.object_) { acquire(); }
    RefersTo(RefersTo&& other) noexcept : object_(other.object_) { other.object_ = nullptr; }
    template <typename U> RefersTo(const RefersTo<U>& other) : object_(other.get()) { acquire(); }
    ~RefersTo() { reset(); }

    RefersTo& operator=(RefersTo other) noexcept
    {
        std::swap(object_, other.object_);
        return *this;
    }

    void reset()
    {
        T* old = object_;
        object_ = nullptr;
        if (old)
            old->release();
    }

    T* get() const { return object_; }
    T* operator->() const { return object_; }
    T& operator*() const { return *object_; }
    explicit operator bool() const { return object_ != nullptr; }
    bool operator==(const RefersTo& other) const { return object_ == other.object_; }
    bool operator!=(const RefersTo& other) const { return object_ != other.object_; }
    bool operator<(const RefersTo& other) const { return object_ < other.object_; }

private:
    void acquire()
    {
        if (object_)
            object_->add_ref();
    }
    T* object_ = nullptr;
};

} // namespace tamblewick_foundation_classes_v1_0
