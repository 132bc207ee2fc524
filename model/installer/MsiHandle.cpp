#include "model/installer/MsiHandle.h"
#include "model/installer/MsiStreamChanges.h"

MsiHandle::MsiHandle(MSIHANDLE handle)
{
    if (handle)
        owner_ = std::make_shared<Owner>(handle);
}

MsiHandle::Owner::~Owner()
{
    // A close that fails leaves nothing to undo; destructors never throw.
    if (handle) {
        MsiCloseHandle(handle);
        msi::detail::HandleClosed(handle);
    }
    handle = 0;
}
