#pragma once
// The target folders that component nodes show in their labels, shared by every component node of one
// Directory table: resolved from the table in memory, read again only after the table changed. Each event
// of the table relabels those nodes, as the folders they show may have changed.
#include "model/DirectoryResolver.h"
#include "model/EventEngine.h"
#include "model/MsiFile.h"

#include <memory>
#include <set>
#include <string>

class ComponentNode;

class ComponentFolders : public EventEngineSubscriber<MsiTable*, MsiFile::TableEventArg>,
                         public std::enable_shared_from_this<ComponentFolders>
{
public:
    using TableEngine = EventEngine<MsiTable*, MsiFile::TableEventArg>;

    // The folders of that Directory table, made when no node holds them.
    static std::shared_ptr<ComponentFolders> For(MsiFile& file, MsiTable& directory);
    ComponentFolders(MsiFile& file, MsiTable& directory);
    ~ComponentFolders() override;
    ComponentFolders(const ComponentFolders&) = delete;
    ComponentFolders& operator=(const ComponentFolders&) = delete;

    void Join(ComponentNode* node) { nodes_.insert(node); }
    void Leave(ComponentNode* node) { nodes_.erase(node); }
    // False once the table was dropped.
    bool HasTable() const { return directory_ != nullptr; }
    std::wstring Resolve(const std::wstring& id);

protected:
    bool notify(MsiTable* const& table, const MsiFile::TableEventArg& arg, TableEngine& engine) override;

private:
    void Forget();

    MsiFile* file_;
    MsiTable* directory_;
    MsiTable* key_;
    DirectoryResolver resolver_;
    bool loaded_ = false;
    // By address: the order in which they were relabelled when each watched the table itself.
    std::set<ComponentNode*> nodes_;
};
