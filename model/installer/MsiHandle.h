#pragma once
// A shared owner of one installer handle: copies share it and the last owner closes it.
#include <windows.h>
#include <msi.h>
#include <memory>

class MsiHandle
{
public:
    MsiHandle() = default;
    // Takes ownership; 0 gives an empty holder.
    explicit MsiHandle(MSIHANDLE handle);

    MSIHANDLE get() const { return owner_ ? owner_->handle : 0; }
    explicit operator bool() const { return get() != 0; }
    // Drops this owner's share; the handle closes when no other owner holds it.
    void reset() { owner_.reset(); }
    long use_count() const { return owner_.use_count(); }

    bool operator==(const MsiHandle& other) const { return get() == other.get(); }
    bool operator!=(const MsiHandle& other) const { return get() != other.get(); }

private:
    struct Owner
    {
        explicit Owner(MSIHANDLE owned) : handle(owned) {}
        ~Owner();
        Owner(const Owner&) = delete;
        Owner& operator=(const Owner&) = delete;
        MSIHANDLE handle;
    };
    std::shared_ptr<Owner> owner_;
};
