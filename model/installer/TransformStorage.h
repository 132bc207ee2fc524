#pragma once
// The structured-storage calls the transform writer needs, with COM references that release
// themselves. HRESULT failures throw Win32Error named after the call.
#include <windows.h>
#include <objbase.h>
#include <string>
#include <utility>
#include <vector>

namespace msi {

// Owns one COM interface reference.
template <typename Interface> class ComRef
{
public:
    ComRef() = default;
    ~ComRef() { reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    // For the out-parameter of a call; drops what was held.
    Interface** receive()
    {
        reset();
        return &pointer_;
    }
    void reset()
    {
        if (pointer_)
            pointer_->Release();
        pointer_ = nullptr;
    }

private:
    Interface* pointer_ = nullptr;
};

void CheckHresult(HRESULT result, const wchar_t* function);

// The little-endian number of width bytes at `at` in stream bytes (pools and tables store them so).
unsigned ReadLittleEndian(const std::string& bytes, size_t at, unsigned width);
// The stream from where it stands to its end.
std::string ReadWholeStream(IStream* stream);
// Creates the stream, or replaces one of that name, holding size bytes of data.
void PutStream(IStorage* storage, const std::wstring& name, const void* data, size_t size);

// A new structured-storage file at path (replacing any file there) with the class id and the streams.
// A failure part-way deletes the file.
void WriteStorageFile(const std::wstring& path, const CLSID& class_id,
                      const std::vector<std::pair<std::wstring, std::vector<BYTE>>>& streams);

} // namespace msi
