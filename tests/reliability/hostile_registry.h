// The settings key as hostile input: seeded random corruptions written byte
// for byte, and what the program must make of whatever is stored, worked out
// from the raw registry on its own terms.
#pragma once
#include <windows.h>
#include <cstdint>
#include <random>
#include <string>
#include <vector>
#include "registry_fixture.h"

// Writes one corruption of the settings key (which must be absent): every
// known value and a few unknown ones with random types and sizes of 0 to
// 1,024 bytes, odd sizes and unterminated texts among them, and window
// records with names of every length, missing and wrong-typed values. With
// manyRecords the key also gets 1,000 record subkeys.
void WriteHostileSettings(std::mt19937& random, bool manyRecords);

// count well-formed records under random resolution names other than the screen's.
void WriteWellFormedRecords(int count, unsigned seed);

// What a load must yield, read from the registry as it stands.
struct ExpectedSettings {
    bool AutoExec = false;
    bool AutoClose = false;
    bool Swapped = false;
    int32_t Transparency = 25;
    int32_t Sensitivity = 10;
    std::wstring Path;  // no install record is stored, so the default is empty
    struct Record {
        std::wstring Key;
        RECT Input;
        RECT Game;
    };
    std::vector<Record> Records;
};
ExpectedSettings ExpectFromRegistry();

// Empty when the global Settings hold what was expected; else what differs.
std::string CompareLoaded(const ExpectedSettings& expected);

// Empty when the settings key holds exactly what a save of the global
// Settings must write, well formed; else what is wrong.
std::string CheckSavedForm();

// Every value and subkey under the settings key, for telling whether
// something wrote to it.
std::vector<std::wstring> DescribeSettingsKey();
