#include "foundation/RegKey.h"
#include "foundation/SettingsKey.h"
#include "shell/Options.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <memory>

using tamblewick_foundation_classes_v1_0::RegKey;
using testing_support::ScratchRegistryKey;

namespace {

RegKey options_key(const ScratchRegistryKey& scratch)
{
    RegKey key;
    key.create(HKEY_CURRENT_USER, scratch.path() + L"\\Options");
    return key;
}

} // namespace

TEST(Options, MissingKeyGivesDefaultsAndSavesEveryValue)
{
    ScratchRegistryKey scratch;
    {
        Options options(HKEY_CURRENT_USER, scratch.path());
        EXPECT_EQ(options.colours[Options::COLOR_FOCUSED_START], 0x3C64B4FFu);
        EXPECT_EQ(options.last_saved_by_state, Options::SI_USERNAME);
        EXPECT_EQ(options.tracking_threshold, 2000);
        EXPECT_FALSE(options.field_tips);
        EXPECT_EQ(options.bit_flags_display, Options::BIT_FLAGS_DEFAULT);
        EXPECT_TRUE(options.bit_flags_menu_numbers);
        EXPECT_EQ(options.help_table_suffix, L"_table.asp?frame=true");
    }
    RegKey key = options_key(scratch);
    EXPECT_EQ(key.query_string(L"SI_STATE_ON_SAVE"), L"username");
    EXPECT_EQ(key.query_dword(L"COLOR_DIFFERENT_START"), 0xFF5BC88Cu);
    EXPECT_EQ(key.query_dword(L"BIT_FLAGS_DISPLAY"), 0u);
    EXPECT_FALSE(key.value_exists(L"SDK_URL_TABLE_PREFIX")) << "help URLs are never written";
}

TEST(Options, StoredValuesAndTheirMappings)
{
    ScratchRegistryKey scratch;
    {
        RegKey key = options_key(scratch);
        key.set_string(L"SI_STATE_ON_SAVE", L"CUSTOM_NAME");
        key.set_string(L"SI_SAVE_NAME", L"");
        key.set_dword(L"BIT_FLAGS_DISPLAY", 7);
        key.set_string(L"SDK_URL_TABLE_PREFIX", L"http://example.invalid/");
    }
    {
        Options options(HKEY_CURRENT_USER, scratch.path());
        EXPECT_EQ(options.last_saved_by_state, Options::SI_USERNAME) << "custom without a name falls back";
        EXPECT_EQ(options.bit_flags_display, Options::BIT_FLAGS_DECIMAL);
        EXPECT_EQ(options.help_table_prefix, L"http://example.invalid/");
    }
    RegKey key = options_key(scratch);
    EXPECT_EQ(key.query_dword(L"BIT_FLAGS_DISPLAY"), 2u);
    EXPECT_EQ(key.query_string(L"SDK_URL_TABLE_PREFIX"), L"http://example.invalid/");
}

TEST(Options, OneBadValueDoesNotCostTheOthers)
{
    ScratchRegistryKey scratch;
    {
        RegKey key = options_key(scratch);
        key.set_string(L"COLOR_INVALID_START", L"not a number");
        const BYTE two[] = {1, 2};
        key.set_value(L"COLOR_VALID_END", REG_BINARY, two, 2);
        key.set_dword(L"REFERENCE_TRACKING_ROW_THRESHOLD", 17);
        key.set_string(L"SI_STATE_ON_SAVE", L"custom_name");
        key.set_string(L"SI_SAVE_NAME", L"Builder");
        key.set_dword(L"ENABLE_FIELD_TIPS", 1);
        key.set_dword(L"BIT_FLAGS_MENU_NUMBERS", 0);
        key.set_dword(L"COLOR_FOCUSED_END", 0x11223344);
    }
    {
        Options options(HKEY_CURRENT_USER, scratch.path());
        EXPECT_EQ(options.colours[Options::COLOR_INVALID_START], 0xFFFFFFA6u);
        EXPECT_EQ(options.colours[Options::COLOR_VALID_END], 0xFFFFFFFFu);
        EXPECT_EQ(options.colours[Options::COLOR_FOCUSED_END], 0x11223344u);
        EXPECT_EQ(options.tracking_threshold, 17);
        EXPECT_EQ(options.last_saved_by_state, Options::SI_CUSTOM_NAME);
        EXPECT_EQ(options.last_saved_by_name, L"Builder");
        EXPECT_TRUE(options.field_tips);
        EXPECT_FALSE(options.bit_flags_menu_numbers);
    }
    // The exit-time save kept what was stored.
    Options again(HKEY_CURRENT_USER, scratch.path());
    EXPECT_EQ(again.tracking_threshold, 17);
    EXPECT_EQ(again.last_saved_by_name, L"Builder");
    EXPECT_EQ(again.colours[Options::COLOR_FOCUSED_END], 0x11223344u);
}

TEST(Options, TheGlobalKindReadsTheSettingsKeyWhenLoadedAndWritesOnlyThen)
{
    ScratchRegistryKey scratch;
    const std::wstring previous = SettingsKeyPath();
    SetSettingsKeyPath(scratch.path());
    {
        Options unloaded;
        unloaded.tracking_threshold = 7;
    }
    RegKey probe;
    EXPECT_FALSE(probe.open(HKEY_CURRENT_USER, scratch.path() + L"\\Options")) << "an unloaded object wrote";
    options_key(scratch).set_dword(L"REFERENCE_TRACKING_ROW_THRESHOLD", 55);
    {
        Options options;
        EXPECT_EQ(options.tracking_threshold, 2000);
        options.Load();
        EXPECT_EQ(options.tracking_threshold, 55);
        options.field_tips = true;
    }
    EXPECT_EQ(options_key(scratch).query_dword(L"ENABLE_FIELD_TIPS"), 1u);
    SetSettingsKeyPath(previous);
}
