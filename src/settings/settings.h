// Settings: the settings record and its registry store, per-resolution window
// records, the game's install path lookup, and the settings dialog.
#pragma once
#include <windows.h>

// HKEY_CURRENT_USER key that holds the settings.
constexpr const wchar_t* SettingsKeyPath = L"SOFTWARE\\Lumenkey Works\\Orvex";
