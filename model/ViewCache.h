#pragma once
// Prepared views of change-log statements, so that a run of inserts into one table prepares its statement
// once. A cache serves one database handle and holds a share of it: the handle cannot close while views
// of it are cached, so its number is never reused under the cache's feet. Binding the cache to another
// handle empties it, and so must every table creation or drop (a statement prepared before answers 1627
// afterwards). The lock lets a save on a worker thread and the user-interface thread share one cache.
#include "model/installer/MsiHandle.h"

#include <map>
#include <mutex>
#include <string>

class ViewCache
{
public:
    ViewCache() = default;
    ~ViewCache();
    ViewCache(const ViewCache&) = delete;
    ViewCache& operator=(const ViewCache&) = delete;

    // Makes the cache serve this handle; any other handle's views are closed first.
    void Bind(const MsiHandle& database);
    // True when the cache serves this handle.
    bool Serves(MSIHANDLE database);
    // The view prepared for sql, or empty.
    MsiHandle Find(const std::wstring& sql);
    void Add(const std::wstring& sql, const MsiHandle& view);
    // Closes every view; the cache still serves its handle.
    void Clear();
    // Closes every view and lets go of the handle (the handle's owner changes or closes it).
    void Unbind();
    size_t size();

private:
    std::mutex lock_;
    MsiHandle database_;
    std::map<std::wstring, MsiHandle> views_;
};
