#include "shell/Options.h"
#include "foundation/RegKey.h"
#include "foundation/SettingsKey.h"

using tamblewick_foundation_classes_v1_0::RegKey;

// Built before the entry function with the defaults; start-up loads it, so a program that never does
// (a test program) never reads or writes the user's settings.
Options gOptions;

const wchar_t* const Options::colour_names[COLOR_COUNT] = {
    L"COLOR_DIFFERENT_START", L"COLOR_DIFFERENT_END", L"COLOR_BASE_ONLY_START",  L"COLOR_BASE_ONLY_END",
    L"COLOR_INVALID_START",   L"COLOR_INVALID_END",   L"COLOR_HAS_ERRORS_START", L"COLOR_HAS_ERRORS_END",
    L"COLOR_VALID_START",     L"COLOR_VALID_END",     L"COLOR_SELECTED_START",   L"COLOR_SELECTED_END",
    L"COLOR_FOCUSED_START",   L"COLOR_FOCUSED_END",
};

namespace {

const DWORD default_colours[Options::COLOR_COUNT] = {
    0xFF5BC88C, 0xFFF0FFF0, 0xFFB4B4B4, 0xFFF0F0F0, 0xFFFFFFA6, 0xFFFE927E, 0xFFFE927E,
    0xFFFFFFA6, 0xFFFFFFFF, 0xFFFFFFFF, 0xFF96F0FF, 0xFF64B4FF, 0x3C64B4FF, 0x3C96F0FF,
};

const wchar_t vendor_reference[] = L"http://msdn.microsoft.com";

// Reads one value when it exists; a value of the wrong type or size is skipped, not fatal.
template <typename Read> void read_value(const RegKey& key, const wchar_t* name, Read read)
{
    try {
        if (key.value_exists(name))
            read();
    } catch (...) {
    }
}

template <typename Write> void write_value(Write write)
{
    try {
        write();
    } catch (...) {
    }
}

} // namespace

Options::Options() : root_(HKEY_CURRENT_USER)
{
    SetDefaults();
}

Options::Options(HKEY root, const std::wstring& settings_path) : root_(root), settings_path_(settings_path)
{
    SetDefaults();
    Load();
}

Options::~Options()
{
    if (loaded_)
        Save();
}

std::wstring Options::OptionsKeyPath() const
{
    // The settings key is taken when it is used, not when the global is built.
    return (settings_path_.empty() ? SettingsKeyPath() : settings_path_) + L"\\Options";
}

void Options::SetDefaults()
{
    for (int i = 0; i < COLOR_COUNT; ++i)
        colours[i] = default_colours[i];
    last_saved_by_state = SI_USERNAME;
    last_saved_by_name.clear();
    help_table_prefix = std::wstring(vendor_reference) + L"/library/en-us/msi/setup/";
    help_table_suffix = L"_table.asp?frame=true";
    help_start_page = std::wstring(vendor_reference) +
                      L"/library/default.asp?url=/library/en-us/msi/setup/windows_installer_start_page.asp";
    tracking_threshold = 2000;
    field_tips = false;
    bit_flags_display = BIT_FLAGS_DEFAULT;
    bit_flags_menu_numbers = true;
}

void Options::Load()
{
    loaded_ = true;
    try {
        RegKey key;
        key.create(root_, OptionsKeyPath(), REG_OPTION_NON_VOLATILE, KEY_READ);
        for (int i = 0; i < COLOR_COUNT; ++i)
            read_value(key, colour_names[i], [&] { colours[i] = key.query_dword(colour_names[i]); });
        read_value(key, L"SI_STATE_ON_SAVE", [&] {
            std::wstring state = key.query_string(L"SI_STATE_ON_SAVE");
            if (lstrcmpiW(state.c_str(), L"unchanged") == 0)
                last_saved_by_state = SI_UNCHANGED;
            else if (lstrcmpiW(state.c_str(), L"username") == 0)
                last_saved_by_state = SI_USERNAME;
            else if (lstrcmpiW(state.c_str(), L"custom_name") == 0)
                last_saved_by_state = SI_CUSTOM_NAME;
        });
        read_value(key, L"SI_SAVE_NAME", [&] { last_saved_by_name = key.query_string(L"SI_SAVE_NAME"); });
        if (last_saved_by_name.empty() && last_saved_by_state == SI_CUSTOM_NAME)
            last_saved_by_state = SI_USERNAME;
        read_value(key, L"SDK_URL_TABLE_PREFIX",
                   [&] { help_table_prefix = key.query_string(L"SDK_URL_TABLE_PREFIX"); });
        read_value(key, L"SDK_URL_TABLE_SUFFIX",
                   [&] { help_table_suffix = key.query_string(L"SDK_URL_TABLE_SUFFIX"); });
        read_value(key, L"REFERENCE_TRACKING_ROW_THRESHOLD", [&] {
            tracking_threshold = static_cast<int>(key.query_dword(L"REFERENCE_TRACKING_ROW_THRESHOLD"));
        });
        read_value(key, L"ENABLE_FIELD_TIPS",
                   [&] { field_tips = key.query_dword(L"ENABLE_FIELD_TIPS") != 0; });
        read_value(key, L"BIT_FLAGS_DISPLAY", [&] {
            DWORD stored = key.query_dword(L"BIT_FLAGS_DISPLAY");
            bit_flags_display = stored == 0   ? BIT_FLAGS_DEFAULT
                                : stored == 1 ? BIT_FLAGS_HEX
                                              : BIT_FLAGS_DECIMAL;
        });
        read_value(key, L"BIT_FLAGS_MENU_NUMBERS",
                   [&] { bit_flags_menu_numbers = key.query_dword(L"BIT_FLAGS_MENU_NUMBERS") != 0; });
    } catch (...) {
        // No key: the defaults hold.
    }
}

void Options::Save() const
{
    try {
        RegKey key;
        key.create(root_, OptionsKeyPath(), REG_OPTION_NON_VOLATILE, KEY_WRITE);
        for (int i = 0; i < COLOR_COUNT; ++i)
            write_value([&] { key.set_dword(colour_names[i], colours[i]); });
        write_value([&] {
            key.set_string(L"SI_STATE_ON_SAVE", last_saved_by_state == SI_UNCHANGED     ? L"unchanged"
                                                : last_saved_by_state == SI_CUSTOM_NAME ? L"custom_name"
                                                                                        : L"username");
        });
        write_value([&] { key.set_string(L"SI_SAVE_NAME", last_saved_by_name); });
        write_value([&] {
            key.set_dword(L"REFERENCE_TRACKING_ROW_THRESHOLD", static_cast<DWORD>(tracking_threshold));
        });
        write_value([&] { key.set_dword(L"ENABLE_FIELD_TIPS", field_tips ? 1 : 0); });
        write_value([&] {
            key.set_dword(L"BIT_FLAGS_DISPLAY", bit_flags_display == BIT_FLAGS_DEFAULT ? 0
                                                : bit_flags_display == BIT_FLAGS_HEX   ? 1
                                                                                       : 2);
        });
        write_value([&] { key.set_dword(L"BIT_FLAGS_MENU_NUMBERS", bit_flags_menu_numbers ? 1 : 0); });
    } catch (...) {
        // Runs at exit: nothing may escape.
    }
}
