#pragma once
// Where settings live: HKCU "Software\Varnock\Dravnetta", unless the environment variable
// DRAVNETTA_SETTINGS_KEY names another key (test runs point it at a scratch key).
#include <string>

// Valid until the process ends, also while statics are destroyed.
const std::wstring& SettingsKeyPath();
void SetSettingsKeyPath(const std::wstring& path);
