#include "PackageDocument.h"

#include "model/lookups/MsiTableLookup.h"

namespace shell_testing {

PackageDocument::PackageDocument(const std::wstring& name, bool read_only)
    : TableViewsTab(read_only), file_(new MsiFile)
{
    std::wstring source = testing_support::TestDataPath(name);
    if (source.empty())
        return;
    path_ = folder_.copy_in(source, name);
    file_->Open(path_, read_only ? MSIDBOPEN_READONLY : MSIDBOPEN_TRANSACT);
    opened_ = true;
}

PackageDocument::~PackageDocument()
{
    Close();
}

void PackageDocument::Close()
{
    lookups_.clear();
    file_.reset();
}

void PackageDocument::AddTableViews(MsiFile& database, bool only_database_tables)
{
    for (auto& entry : database.tables()) {
        if (only_database_tables && !entry.second->user_table())
            continue;
        lookups_.erase(entry.first);
        file_->AddTableWithRows(*entry.second);
        SetDirty(true);
    }
}

std::shared_ptr<MsiTableLookupBase> PackageDocument::GetTableLookup(const std::wstring& name)
{
    auto found = lookups_.find(name);
    if (found != lookups_.end())
        return found->second;
    MsiTableRef table = file_->FindTable(name);
    if (!table)
        return nullptr;
    auto lookup = std::make_shared<MsiTableLookup>(*table);
    lookups_[name] = lookup;
    return lookup;
}

} // namespace shell_testing
