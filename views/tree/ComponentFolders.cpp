#include "views/tree/ComponentFolders.h"

#include "views/tree/ComponentNode.h"

#include <map>
#include <vector>

namespace {

std::map<MsiTable*, std::weak_ptr<ComponentFolders>>& Shared()
{
    static std::map<MsiTable*, std::weak_ptr<ComponentFolders>> shared;
    return shared;
}

} // namespace

std::shared_ptr<ComponentFolders> ComponentFolders::For(MsiFile& file, MsiTable& directory)
{
    std::weak_ptr<ComponentFolders>& slot = Shared()[&directory];
    std::shared_ptr<ComponentFolders> folders = slot.lock();
    if (!folders) {
        folders = std::make_shared<ComponentFolders>(file, directory);
        slot = folders;
    }
    return folders;
}

ComponentFolders::ComponentFolders(MsiFile& file, MsiTable& directory)
    : file_(&file), directory_(&directory), key_(&directory)
{
    file_->table_events().Subscribe(directory_, this);
}

ComponentFolders::~ComponentFolders()
{
    if (directory_)
        file_->table_events().Unsubscribe(this);
    Forget();
}

void ComponentFolders::Forget()
{
    auto& shared = Shared();
    auto found = shared.find(key_);
    if (found != shared.end() && (found->second.expired() || found->second.lock().get() == this))
        shared.erase(found);
}

std::wstring ComponentFolders::Resolve(const std::wstring& id)
{
    if (!directory_)
        return std::wstring();
    if (!loaded_) {
        resolver_.Load(*directory_);
        loaded_ = true;
    }
    return resolver_.Resolve(id);
}

bool ComponentFolders::notify(MsiTable* const&, const MsiFile::TableEventArg& arg, TableEngine& engine)
{
    MsiFile::TableEvents code = std::get<0>(arg);
    // A node may let go of the last holder while it is relabelled.
    std::shared_ptr<ComponentFolders> self = shared_from_this();
    loaded_ = false;
    if (code == MsiFile::TableDropped) {
        // The table goes after this: nothing may touch it later, the destructor included.
        engine.Unsubscribe(this);
        directory_ = nullptr;
        Forget();
    }
    std::vector<tfc::RefersTo<ContainerNode>> held;
    std::vector<ComponentNode*> nodes(nodes_.begin(), nodes_.end());
    for (ComponentNode* node : nodes) {
        if (node->ref_count() > 0)
            held.emplace_back(node);
    }
    for (ComponentNode* node : nodes) {
        if (nodes_.count(node))
            node->UpdateLabel();
    }
    // A row is deleted after its event: the next label reads the table without it.
    if (code == MsiFile::RowDeleted)
        loaded_ = false;
    return code == MsiFile::TableDropped;
}
