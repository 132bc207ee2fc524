#pragma once
// The user's settings, read from the registry at start-up and written back at exit.
#include <windows.h>
#include <string>

class Options
{
public:
    enum LastSavedByState
    {
        SI_UNCHANGED = 0,
        SI_USERNAME = 1,
        SI_CUSTOM_NAME = 2,
    };
    enum BitFlagsDisplay
    {
        BIT_FLAGS_DECIMAL = 0,
        BIT_FLAGS_HEX = 1,
        BIT_FLAGS_DEFAULT = 2,
    };
    enum Colour
    {
        COLOR_DIFFERENT_START,
        COLOR_DIFFERENT_END,
        COLOR_BASE_ONLY_START,
        COLOR_BASE_ONLY_END,
        COLOR_INVALID_START,
        COLOR_INVALID_END,
        COLOR_HAS_ERRORS_START,
        COLOR_HAS_ERRORS_END,
        COLOR_VALID_START,
        COLOR_VALID_END,
        COLOR_SELECTED_START,
        COLOR_SELECTED_END,
        COLOR_FOCUSED_START,
        COLOR_FOCUSED_END,
        COLOR_COUNT
    };

    // The defaults; Load reads the settings key as it is then (see SettingsKeyPath).
    Options();
    // Loads from, and at destruction saves to, "<settings_path>\Options" under root.
    Options(HKEY root, const std::wstring& settings_path);
    // Saves when loaded; never throws.
    ~Options();
    Options(const Options&) = delete;
    Options& operator=(const Options&) = delete;

    void SetDefaults();
    // Reads the "Options" key under the settings key: a missing or mistyped value keeps its default,
    // and the others are still read.
    void Load();
    // Writes every value back; a value that cannot be written is skipped.
    void Save() const;

    // ARGB, alpha in the top byte.
    DWORD colours[COLOR_COUNT];
    int last_saved_by_state;
    std::wstring last_saved_by_name;
    std::wstring help_table_prefix;
    std::wstring help_table_suffix;
    std::wstring help_start_page;
    int tracking_threshold;
    bool field_tips;
    int bit_flags_display;
    bool bit_flags_menu_numbers;

    static const wchar_t* const colour_names[COLOR_COUNT];

private:
    std::wstring OptionsKeyPath() const;

    HKEY root_;
    // Empty: the settings key of the moment.
    std::wstring settings_path_;
    bool loaded_ = false;
};

extern Options gOptions;
