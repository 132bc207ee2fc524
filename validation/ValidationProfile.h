#pragma once
// Validation profiles: named choices of .cub files, and for each the ICEs to run and whether information
// messages are kept. Profiles live under the settings key's "ValidationProfiles"; the .cub files come from
// the installer's qualified component of validation modules and from files the user added.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct ValidationCub
{
    // Reads the cub's ICE names (the `_ICESequence` actions by Sequence); all selected, not enabled.
    // A file that will not open throws Win32Error "MsiOpenDatabase".
    explicit ValidationCub(const std::wstring& path);

    std::wstring path;
    // Shown in lists and stored: the installed cub's application data, else what was stored or the path.
    std::wstring name;
    bool ShowInfo = false;
    std::vector<std::wstring> ice_names;
    // Positions into ice_names, in selection order.
    std::vector<uint32_t> selected_ices;
    // Only enabled cubs run and are saved.
    bool enabled = false;
};

class ValidationProfile
{
public:
    // The installed cubs, then the profile's stored choices (a profile never saved has none). Reading
    // creates no key.
    explicit ValidationProfile(const std::wstring& name);

    // Replaces the profile's key with one holding the enabled cubs.
    void Save();

    const std::wstring& name() const { return name_; }
    void set_name(const std::wstring& name) { name_ = name; }
    std::vector<ValidationCub>& cubs() { return cubs_; }
    const std::vector<ValidationCub>& cubs() const { return cubs_; }

    // "...\ValidationProfiles" under the settings key.
    static std::wstring ProfilesKeyPath();
    static std::wstring KeyPath(const std::wstring& name);
    // A name that can be a key of its own below the profiles key: not empty, no backslash.
    static bool IsValidName(const std::wstring& name);

private:
    void AddInstalledCubs();
    void ReadStoredCubs();

    std::wstring name_;
    std::vector<ValidationCub> cubs_;
};

using ValidationProfileRef = std::shared_ptr<ValidationProfile>;
