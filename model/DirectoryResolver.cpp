#include "model/DirectoryResolver.h"
#include "model/installer/MsiApi.h"
#include "model/MsiQuery.h"
#include "model/MsiTable.h"

#include <list>

namespace {

const wchar_t kErrorLevel[] = L"<Error>";

} // namespace

const std::set<std::wstring>& StandardFolderNames()
{
    static const std::set<std::wstring> names = {
        L"AdminToolsFolder",   L"AppDataFolder",     L"CommonAppDataFolder", L"CommonFiles64Folder",
        L"CommonFilesFolder",  L"DesktopFolder",     L"FavoritesFolder",     L"FontsFolder",
        L"LocalAppDataFolder", L"MyPicturesFolder",  L"PersonalFolder",      L"ProgramFiles64Folder",
        L"ProgramFilesFolder", L"ProgramMenuFolder", L"SendToFolder",        L"StartMenuFolder",
        L"StartupFolder",      L"System16Folder",    L"System64Folder",      L"SystemFolder",
        L"TempFolder",         L"TemplateFolder",    L"WindowsFolder",       L"WindowsVolume"};
    return names;
}

std::wstring DefaultDirTargetPart(const std::wstring& text)
{
    return text.substr(0, text.find(L':'));
}

std::wstring DefaultDirLongName(const std::wstring& text)
{
    size_t bar = text.find(L'|');
    return bar == std::wstring::npos ? text : text.substr(bar + 1);
}

std::wstring DirectoryResolver::StandardFolderPrefix(const std::wstring& id)
{
    for (const std::wstring& name : StandardFolderNames()) {
        if (id.compare(0, name.size(), name) == 0)
            return name;
    }
    return std::wstring();
}

void DirectoryResolver::Load(MSIHANDLE database)
{
    entries_.clear();
    cache_.clear();
    if (!MsiQuery::TableExists(database, L"Directory"))
        return;
    MsiHandle view = MsiQuery::OpenAndExecute(database, L"SELECT * FROM `Directory`", 0);
    while (MsiHandle record = msi::ViewFetch(view.get())) {
        entries_[msi::RecordGetString(record.get(), 1)] =
            std::make_pair(msi::RecordGetString(record.get(), 2), msi::RecordGetString(record.get(), 3));
    }
}

void DirectoryResolver::Load(const MsiTable& directory)
{
    entries_.clear();
    cache_.clear();
    const MsiColumns& columns = directory.columns();
    if (columns.size() < 3)
        return;
    for (const MsiRow& row : directory.rows()) {
        entries_[columns[0]->clipboard_str(*row[0])] =
            std::make_pair(columns[1]->clipboard_str(*row[1]), columns[2]->clipboard_str(*row[2]));
    }
}

std::wstring DirectoryResolver::Resolve(const std::wstring& id)
{
    std::wstring result;
    std::list<std::pair<std::wstring, std::wstring>> chain; // (id, name), topmost first
    std::set<std::wstring> visited;
    bool looped = false;
    for (std::wstring current = id; !current.empty();) {
        auto entry = entries_.find(current);
        if (entry == entries_.end()) {
            chain.emplace_front(current, kErrorLevel);
            break;
        }
        auto cached = cache_.find(current);
        if (cached != cache_.end()) {
            result = cached->second;
            break;
        }
        if (!visited.insert(current).second) {
            // Parents that run in a circle: the level where it closes has no name.
            chain.emplace_front(current, kErrorLevel);
            looped = true;
            break;
        }
        std::wstring prefix = StandardFolderPrefix(current);
        std::wstring name;
        if (!prefix.empty())
            name = prefix;
        else if (current == L"TARGETDIR")
            name = L"TARGETDIR";
        else
            name = DefaultDirLongName(DefaultDirTargetPart(entry->second.second));
        chain.emplace_front(current, name);
        const std::wstring& parent = entry->second.first;
        if (parent.empty() || parent == current || !prefix.empty())
            break;
        current = parent;
    }
    for (const auto& level : chain) {
        if (!level.second.empty() && level.second != L".") {
            if (!result.empty())
                result += L"\\";
            result += level.second;
        }
        // A path through a loop depends on where the walk started: keep none of them.
        if (!looped)
            cache_[level.first] = result;
    }
    return result;
}
