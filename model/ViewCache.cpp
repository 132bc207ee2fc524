#include "model/ViewCache.h"

ViewCache::~ViewCache()
{
    Unbind();
}

void ViewCache::Bind(const MsiHandle& database)
{
    std::lock_guard<std::mutex> hold(lock_);
    if (database_ == database && database_)
        return;
    views_.clear();
    database_ = database;
}

bool ViewCache::Serves(MSIHANDLE database)
{
    std::lock_guard<std::mutex> hold(lock_);
    return database != 0 && database_.get() == database;
}

MsiHandle ViewCache::Find(const std::wstring& sql)
{
    std::lock_guard<std::mutex> hold(lock_);
    auto found = views_.find(sql);
    return found == views_.end() ? MsiHandle() : found->second;
}

void ViewCache::Add(const std::wstring& sql, const MsiHandle& view)
{
    std::lock_guard<std::mutex> hold(lock_);
    if (database_)
        views_[sql] = view;
}

void ViewCache::Clear()
{
    std::lock_guard<std::mutex> hold(lock_);
    views_.clear();
}

void ViewCache::Unbind()
{
    std::lock_guard<std::mutex> hold(lock_);
    // Views go before the handle they were prepared on.
    views_.clear();
    database_.reset();
}

size_t ViewCache::size()
{
    std::lock_guard<std::mutex> hold(lock_);
    return views_.size();
}
