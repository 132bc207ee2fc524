#pragma once
// Taking a patch (.msp) apart: every sub-storage becomes "<name>.mst" and every stream "<name>.cab" in a
// folder. No window code.
#include <windows.h>
#include <objidl.h>
#include <string>

// One COM interface pointer, released when it goes.
template <typename T> class ComRef
{
public:
    ComRef() = default;
    explicit ComRef(T* pointer) : pointer_(pointer) {}
    ~ComRef() { reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ComRef(ComRef&& other) noexcept : pointer_(other.pointer_) { other.pointer_ = nullptr; }
    void reset()
    {
        if (pointer_)
            pointer_->Release();
        pointer_ = nullptr;
    }
    T** out()
    {
        reset();
        return &pointer_;
    }
    T* get() const { return pointer_; }
    T* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }

private:
    T* pointer_ = nullptr;
};

// The patch's root storage, read access with writers denied; ManageableError ("StgOpenStorage failed",
// "Failed to open msp file") when it does not open.
ComRef<IStorage> OpenPatchStorage(const std::wstring& path);

// Writes the transforms and cabinets of the patch into the folder (a path without a trailing backslash).
// Property-set streams ("\x05...") and elements whose names are no plain file names (a folder separator,
// a drive colon, a control or wildcard character) are left out; an element that does not open is skipped.
// Failures throw ManageableError with the caption "Failed to open msp file"; what was written stays.
void ExtractPatchTransforms(IStorage& root, const std::wstring& folder);

// Whether an element name makes a file name inside the folder and nowhere else.
bool IsPlainElementName(const std::wstring& name);
