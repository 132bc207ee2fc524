#include "validation/ValidationProfile.h"

#include "foundation/Errors.h"
#include "foundation/RegKey.h"
#include "foundation/SettingsKey.h"
#include "model/MsiApi.h"

#include <windows.h>
#include <algorithm>

namespace {

const wchar_t kCubComponent[] = L"{DC441E1D-3ECB-4DCF-B0A5-791F9C0F4F5B}";

// Names of a REG_MULTI_SZ value, each ended by a null, the list by one more.
std::vector<std::wstring> SplitMultiString(const std::vector<BYTE>& bytes)
{
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    std::copy(bytes.begin(), bytes.begin() + text.size() * sizeof(wchar_t),
              reinterpret_cast<BYTE*>(&text[0]));
    std::vector<std::wstring> names;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\0', start);
        if (end == std::wstring::npos)
            end = text.size();
        if (end == start)
            break;
        names.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::wstring JoinMultiString(const std::vector<std::wstring>& names)
{
    std::wstring text;
    for (const std::wstring& name : names) {
        text += name;
        text += L'\0';
    }
    text += L'\0';
    return text;
}

bool FileExists(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

ValidationCub::ValidationCub(const std::wstring& cub_path) : path(cub_path), name(cub_path)
{
    MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_READONLY);
    MsiHandle check =
        msi::DatabaseOpenView(database.get(), L"SELECT `Name` FROM `_Tables` WHERE `Name` = '_ICESequence'");
    msi::ViewExecute(check.get(), 0);
    if (!msi::ViewFetch(check.get()))
        return;
    MsiHandle view =
        msi::DatabaseOpenView(database.get(), L"SELECT `Action` FROM `_ICESequence` ORDER BY `Sequence`");
    msi::ViewExecute(view.get(), 0);
    while (MsiHandle record = msi::ViewFetch(view.get())) {
        selected_ices.push_back(static_cast<uint32_t>(ice_names.size()));
        ice_names.push_back(msi::RecordGetString(record.get(), 1));
    }
}

ValidationProfile::ValidationProfile(const std::wstring& name) : name_(name)
{
    AddInstalledCubs();
    ReadStoredCubs();
}

std::wstring ValidationProfile::ProfilesKeyPath()
{
    return SettingsKeyPath() + L"\\ValidationProfiles";
}

std::wstring ValidationProfile::KeyPath(const std::wstring& name)
{
    return ProfilesKeyPath() + L"\\" + name;
}

bool ValidationProfile::IsValidName(const std::wstring& name)
{
    return !name.empty() && name.find(L'\\') == std::wstring::npos;
}

void ValidationProfile::AddInstalledCubs()
{
    std::wstring qualifier, application_data;
    for (DWORD index = 0; msi::EnumComponentQualifiers(kCubComponent, index, qualifier, application_data);
         ++index) {
        cubs_.emplace_back(msi::ProvideQualifiedComponent(kCubComponent, qualifier, INSTALLMODE_DEFAULT));
        cubs_.back().name = application_data;
    }
}

void ValidationProfile::ReadStoredCubs()
{
    // An empty name would read the parent key's subkeys, which are other profiles.
    if (!IsValidName(name_))
        return;
    tfc::RegKey profile;
    if (!profile.open(HKEY_CURRENT_USER, KeyPath(name_), KEY_READ))
        return;
    for (const std::wstring& subkey : tfc::EnumRegistrySubkeyNames(profile)) {
        tfc::RegKey entry;
        if (!entry.open(profile, subkey, KEY_READ) || !entry.value_exists(L""))
            continue;
        std::wstring stored = entry.query_string(L"");
        bool by_path = stored.find(L'\\') != std::wstring::npos;
        auto found = std::find_if(cubs_.begin(), cubs_.end(), [&](const ValidationCub& cub) {
            return by_path ? lstrcmpiW(cub.path.c_str(), stored.c_str()) == 0 : cub.name == stored;
        });
        if (found == cubs_.end()) {
            if (!FileExists(stored))
                continue;
            cubs_.emplace_back(stored);
            cubs_.back().name = stored;
            found = cubs_.end() - 1;
        }
        ValidationCub& cub = *found;
        if (entry.value_exists(L"ShowInfo"))
            cub.ShowInfo = entry.query_dword(L"ShowInfo") != 0;
        cub.selected_ices.clear();
        if (entry.value_exists(L"SelectedICEs")) {
            for (const std::wstring& ice : SplitMultiString(entry.query_binary(L"SelectedICEs"))) {
                auto position = std::find(cub.ice_names.begin(), cub.ice_names.end(), ice);
                if (position != cub.ice_names.end())
                    cub.selected_ices.push_back(static_cast<uint32_t>(position - cub.ice_names.begin()));
            }
        }
        cub.enabled = !cub.selected_ices.empty();
    }
}

void ValidationProfile::Save()
{
    if (!IsValidName(name_))
        throw tfc::ManageableError(L"You must specify a name", L"Invalid Name");
    tfc::DeleteRegistryTree(HKEY_CURRENT_USER, KeyPath(name_));
    tfc::RegKey profile;
    profile.create(HKEY_CURRENT_USER, KeyPath(name_));
    int number = 0;
    for (const ValidationCub& cub : cubs_) {
        if (!cub.enabled)
            continue;
        wchar_t subkey[16];
        wsprintfW(subkey, L"Cub%03i", number++);
        tfc::RegKey entry;
        entry.create(profile, subkey);
        entry.set_string(L"", cub.name);
        entry.set_dword(L"ShowInfo", cub.ShowInfo ? 1 : 0);
        std::vector<std::wstring> names;
        for (uint32_t position : cub.selected_ices)
            if (position < cub.ice_names.size())
                names.push_back(cub.ice_names[position]);
        std::wstring multi = JoinMultiString(names);
        entry.set_value(L"SelectedICEs", REG_MULTI_SZ, multi.data(),
                        static_cast<DWORD>(multi.size() * sizeof(wchar_t)));
    }
}
