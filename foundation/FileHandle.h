#pragma once
// Owns a file handle and closes it on every way out.
#include <windows.h>

class FileHandle
{
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return handle_; }
    // False when closing fails (a write still buffered may be lost); true when there was nothing to close.
    bool Close()
    {
        if (handle_ == INVALID_HANDLE_VALUE)
            return true;
        bool closed = CloseHandle(handle_) != FALSE;
        handle_ = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE handle_;
};
