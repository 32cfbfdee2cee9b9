#include "hostile_registry.h"
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include "settings/settings.h"

namespace {

const wchar_t* const BoolNames[] = {L"IsAutoMGQExec", L"IsAutoMGQClose", L"IsOKCancelChange"};
const wchar_t* const RecordValueNames[8] = {L"Input_x", L"Input_y", L"Input_width", L"Input_height",
                                            L"MGQ_x",   L"MGQ_y",   L"MGQ_width",   L"MGQ_height"};
constexpr size_t PathBytes = 520;  // 260 wide characters, terminator included
constexpr size_t NameCapacity = 16;

// Numbers that sit on or beside a limit of some field.
const int32_t Interesting[] = {0,  1,  2,   -1,  -5,  9,   10,  11,      25,      89,     90,
                               91, 95, 100, 255, 256, 340, 520, INT_MAX, INT_MIN, 1 << 30};

class Dice {
public:
    explicit Dice(std::mt19937& random) : random_(random) {}
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    bool Chance(int percent) { return Pick(100) < percent; }
    int32_t Number()
    {
        if (Chance(60))
            return Interesting[Pick(
                static_cast<int>(sizeof(Interesting) / sizeof(Interesting[0])))];
        return static_cast<int32_t>(random_());
    }
    std::vector<BYTE> Bytes(size_t n)
    {
        std::vector<BYTE> bytes(n);
        for (BYTE& b : bytes) b = static_cast<BYTE>(random_());
        return bytes;
    }
    DWORD AnyType()
    {
        const DWORD types[] = {
            REG_NONE, REG_SZ,       REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_DWORD_BIG_ENDIAN,
            REG_LINK, REG_MULTI_SZ, REG_QWORD,     0x4D2};
        return types[Pick(static_cast<int>(sizeof(types) / sizeof(types[0])))];
    }
    // Mostly small, often odd, now and then up to 1,024 bytes.
    size_t AnySize()
    {
        const int kind = Pick(4);
        if (kind < 2) return static_cast<size_t>(Pick(10));
        if (kind == 2) return static_cast<size_t>(10 + Pick(55));
        return static_cast<size_t>(65 + Pick(960));
    }
    // Letters, digits, punctuation and a few wide characters; never a backslash
    // (it separates key names) nor a terminator.
    std::wstring Name(size_t length)
    {
        static const wchar_t pool[] = L"abcxyzABCXYZ0123456789x-_. ()[]{}%$#@!~`'\"|/?*:;,+=^&"
                                      L"\u00e9\u03a9\u30a2\u30b9\u6f22\u5b57\uff01\u2603";
        std::wstring name;
        for (size_t i = 0; i < length; ++i)
            name += pool[Pick(static_cast<int>(sizeof(pool) / sizeof(wchar_t)) - 1)];
        return name;
    }
    std::wstring Text(size_t length)
    {
        std::wstring text;
        for (size_t i = 0; i < length; ++i) text += static_cast<wchar_t>(1 + Pick(0xD7FF));
        return text;
    }

private:
    std::mt19937& random_;
};

std::wstring KeyPath(const std::wstring& tail)
{
    return tail.empty() ? std::wstring(SettingsKeyPath) : SettingsSubkey(tail);
}

void CreateKey(const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, KeyPath(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) == ERROR_SUCCESS)
        RegCloseKey(key);
}

void PutBytes(const std::wstring& path, const std::wstring& name, DWORD type,
              const std::vector<BYTE>& bytes)
{
    SetRawValue(HKEY_CURRENT_USER, KeyPath(path), name.c_str(), type, bytes.data(),
                static_cast<DWORD>(bytes.size()));
}

void PutNumber(const std::wstring& path, const std::wstring& name, int32_t value)
{
    SetRawValue(HKEY_CURRENT_USER, KeyPath(path), name.c_str(), REG_DWORD, &value, sizeof(value));
}

std::vector<BYTE> TextBytes(const std::wstring& text)
{
    const BYTE* begin = reinterpret_cast<const BYTE*>(text.data());
    return std::vector<BYTE>(begin, begin + text.size() * sizeof(wchar_t));
}

// A value read as a number: missing, well formed, short, or anything at all.
void WriteNumberLike(Dice& dice, const std::wstring& path, const wchar_t* name)
{
    const int kind = dice.Pick(100);
    if (kind < 15) return;
    if (kind < 55) return PutNumber(path, name, dice.Number());
    if (kind < 70) {
        const size_t sizes[] = {0, 1, 2, 3, 5, 6, 7, 8};
        return PutBytes(path, name, REG_DWORD, dice.Bytes(sizes[dice.Pick(8)]));
    }
    PutBytes(path, name, dice.AnyType(), dice.Bytes(dice.AnySize()));
}

// The game's path: texts of every length around the buffer's, with and without
// terminators, with an odd byte or a terminator inside, of other types.
void WritePathLike(Dice& dice)
{
    const int kind = dice.Pick(100);
    if (kind < 10) return;
    if (kind < 80) {
        const size_t lengths[] = {0, 1, 3, 258, 259, 260, 261, 300, 511, 512};
        const size_t length =
            kind < 45 ? static_cast<size_t>(dice.Pick(300)) : lengths[dice.Pick(10)];
        std::wstring text = L"C:\\" + dice.Text(length);
        text.resize(length);
        if (dice.Chance(10) && length > 2)
            text[static_cast<size_t>(dice.Pick(static_cast<int>(length)))] = L'\0';
        if (dice.Chance(50)) text += L'\0';
        std::vector<BYTE> bytes = TextBytes(text);
        if (dice.Chance(20)) bytes.push_back(static_cast<BYTE>(dice.Pick(256)));
        if (bytes.size() > 1024) bytes.resize(1024);
        return PutBytes(L"", L"MGQpath", kind < 70 ? REG_SZ : REG_EXPAND_SZ, bytes);
    }
    PutBytes(L"", L"MGQpath", dice.AnyType(), dice.Bytes(dice.AnySize()));
}

std::wstring ResolutionName(int width, int height)
{
    wchar_t text[64];
    std::swprintf(text, 64, L"%dx%d", width, height);
    return text;
}

std::wstring RecordName(Dice& dice)
{
    const int kind = dice.Pick(100);
    if (kind < 30) return ResolutionName(dice.Number() % 5000, dice.Number() % 5000);
    if (kind < 40)
        return ResolutionName(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    if (kind < 55) return dice.Name(15);
    if (kind < 65) return dice.Name(16);
    if (kind < 73) return dice.Name(255);
    return dice.Name(1 + static_cast<size_t>(dice.Pick(40)));
}

void WriteRecord(Dice& dice, const std::wstring& name)
{
    const std::wstring path = L"Window\\" + name;
    const int kind = dice.Pick(100);
    const int broken = dice.Pick(8);
    for (int i = 0; i < 8; ++i) {
        if (kind >= 50 && kind < 65 && i == broken) continue;  // one missing
        if (kind >= 65 && kind < 80 && i == broken) {          // one of another type or size
            const DWORD type = dice.Chance(50) ? REG_DWORD : dice.AnyType();
            PutBytes(path, RecordValueNames[i], type,
                     dice.Bytes(type == REG_DWORD ? 5 + dice.Pick(8) : dice.AnySize()));
            continue;
        }
        if (kind >= 80 && kind < 90) {  // short numbers, read zero-extended
            PutBytes(path, RecordValueNames[i], REG_DWORD,
                     dice.Bytes(static_cast<size_t>(dice.Pick(4))));
            continue;
        }
        PutNumber(path, RecordValueNames[i], dice.Number());
    }
    if (kind >= 90) {
        for (int extra = dice.Pick(4); extra >= 0; --extra)
            PutBytes(path, dice.Name(1 + static_cast<size_t>(dice.Pick(20))), dice.AnyType(),
                     dice.Bytes(dice.AnySize()));
    }
    // A record with a key of its own below it, which a save must delete with it.
    if (dice.Chance(5)) PutNumber(path + L"\\" + dice.Name(5), L"Nested", 1);
}

void WriteWindowRecords(Dice& dice, bool manyRecords)
{
    const int kind = manyRecords ? 100 : dice.Pick(100);
    if (kind < 15) return;
    if (kind < 20) return PutBytes(L"", L"Window", REG_SZ, TextBytes(L"not a key"));
    CreateKey(L"Window");
    if (manyRecords) WriteWellFormedRecords(1000, static_cast<unsigned>(dice.Pick(1 << 30)));
    for (int n = dice.Pick(13); n > 0; --n) WriteRecord(dice, RecordName(dice));
}

const StoredValue* FindValue(const std::vector<StoredValue>& values, const wchar_t* name)
{
    for (const StoredValue& value : values)
        if (_wcsicmp(value.Name.c_str(), name) == 0) return &value;
    return nullptr;
}

// A number is taken when it is a REG_DWORD of at most 4 bytes, zero-extended.
bool AcceptedNumber(const std::vector<StoredValue>& values, const wchar_t* name, int32_t& number)
{
    const StoredValue* value = FindValue(values, name);
    if (!value || value->Type != REG_DWORD || value->Data.size() > 4) return false;
    uint32_t bits = 0;
    for (size_t i = value->Data.size(); i > 0; --i) bits = (bits << 8) | value->Data[i - 1];
    number = static_cast<int32_t>(bits);
    return true;
}

int32_t Clamp(int32_t value, int32_t high)
{
    return std::min(std::max(value, 0), high);
}

int32_t Saturate(int64_t value)
{
    return static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(value, INT_MIN), INT_MAX));
}

std::string Utf8(const std::wstring& text)
{
    char buffer[1024] = "";
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, buffer, sizeof(buffer), nullptr, nullptr);
    return buffer;
}

std::string Differs(const char* what, int64_t got, int64_t wanted)
{
    char text[160];
    std::snprintf(text, sizeof(text), "%s is %lld, expected %lld; ", what,
                  static_cast<long long>(got), static_cast<long long>(wanted));
    return text;
}

void ListKey(const std::wstring& path, std::vector<std::wstring>& lines)
{
    for (const StoredValue& value : ListValues(HKEY_CURRENT_USER, path)) {
        std::wstring line = path + L"|" + value.Name + L"|" + std::to_wstring(value.Type) + L"|";
        for (BYTE b : value.Data)
            line += static_cast<wchar_t>(L'A' + (b & 0x0F)),
                line += static_cast<wchar_t>(L'A' + (b >> 4));
        lines.push_back(line);
    }
    for (const std::wstring& subkey : ListSubkeys(HKEY_CURRENT_USER, path)) {
        lines.push_back(path + L"\\" + subkey);
        ListKey(path + L"\\" + subkey, lines);
    }
}

}  // namespace

void WriteHostileSettings(std::mt19937& random, bool manyRecords)
{
    Dice dice(random);
    for (const wchar_t* name : BoolNames) WriteNumberLike(dice, L"", name);
    WriteNumberLike(dice, L"", L"Transparency");
    WriteNumberLike(dice, L"", L"CrossPressSensitivity");
    WritePathLike(dice);
    const size_t nameLengths[] = {1, 8, 15, 16, 64, 255, 300};
    for (int n = dice.Pick(6); n > 0; --n)
        PutBytes(L"", dice.Name(nameLengths[dice.Pick(7)]), dice.AnyType(),
                 dice.Bytes(dice.AnySize()));
    WriteWindowRecords(dice, manyRecords);
    // The key exists even when nothing else was written.
    CreateKey(L"");
}

void WriteWellFormedRecords(int count, unsigned seed)
{
    std::mt19937 random(seed);
    const std::wstring screen =
        ResolutionName(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    for (int i = 0; i < count; ++i) {
        const std::wstring name = ResolutionName(100 + i, 100 + static_cast<int>(random() % 4000));
        if (name == screen) continue;
        for (const wchar_t* value : RecordValueNames)
            PutNumber(L"Window\\" + name, value, static_cast<int32_t>(random() % 2000));
    }
}

ExpectedSettings ExpectFromRegistry()
{
    ExpectedSettings expected;
    if (!KeyExists(HKEY_CURRENT_USER, SettingsKeyPath)) return expected;
    const std::vector<StoredValue> values = ListValues(HKEY_CURRENT_USER, SettingsKeyPath);
    int32_t number = 0;
    if (AcceptedNumber(values, L"IsAutoMGQExec", number)) expected.AutoExec = number != 0;
    if (AcceptedNumber(values, L"IsAutoMGQClose", number)) expected.AutoClose = number != 0;
    if (AcceptedNumber(values, L"IsOKCancelChange", number)) expected.Swapped = number != 0;
    if (AcceptedNumber(values, L"Transparency", number)) expected.Transparency = Clamp(number, 90);
    if (AcceptedNumber(values, L"CrossPressSensitivity", number))
        expected.Sensitivity = Clamp(number, 10);
    // A REG_SZ that fits 260 characters: its text up to the first terminator,
    // taken when that leaves room for one.
    const StoredValue* path = FindValue(values, L"MGQpath");
    if (path && path->Type == REG_SZ && path->Data.size() <= PathBytes) {
        const wchar_t* chars = reinterpret_cast<const wchar_t*>(path->Data.data());
        const size_t count = path->Data.size() / sizeof(wchar_t);
        const std::wstring text(chars, std::find(chars, chars + count, L'\0'));
        if (text.size() < PathBytes / sizeof(wchar_t)) expected.Path = text;
    }

    const std::wstring window = SettingsSubkey(L"Window");
    // Records are read in the registry's order, passing over names too long
    // for the program's buffer.
    for (const std::wstring& name : ListSubkeys(HKEY_CURRENT_USER, window)) {
        if (name.size() >= NameCapacity) continue;
        const std::vector<StoredValue> stored =
            ListValues(HKEY_CURRENT_USER, window + L"\\" + name);
        int32_t n[8];
        bool complete = true;
        for (int i = 0; i < 8 && complete; ++i)
            complete = AcceptedNumber(stored, RecordValueNames[i], n[i]);
        if (!complete) continue;
        expected.Records.push_back(
            {name,
             {n[0], n[1], Saturate(int64_t{n[0]} + n[2]), Saturate(int64_t{n[1]} + n[3])},
             {n[4], n[5], Saturate(int64_t{n[4]} + n[6]), Saturate(int64_t{n[5]} + n[7])}});
    }
    return expected;
}

std::string CompareLoaded(const ExpectedSettings& expected)
{
    std::string faults;
    if (Settings.IsAutoMGQExec != expected.AutoExec)
        faults += Differs("IsAutoMGQExec", Settings.IsAutoMGQExec, expected.AutoExec);
    if (Settings.IsAutoMGQClose != expected.AutoClose)
        faults += Differs("IsAutoMGQClose", Settings.IsAutoMGQClose, expected.AutoClose);
    if (Settings.IsOKCancelChange != expected.Swapped)
        faults += Differs("IsOKCancelChange", Settings.IsOKCancelChange, expected.Swapped);
    if (Settings.Transparency != expected.Transparency)
        faults += Differs("Transparency", Settings.Transparency, expected.Transparency);
    if (Settings.CrossPressSensitivity != expected.Sensitivity)
        faults +=
            Differs("CrossPressSensitivity", Settings.CrossPressSensitivity, expected.Sensitivity);
    const size_t pathLength = wcsnlen(Settings.MGQpath, PathCapacity);
    if (pathLength >= PathCapacity)
        faults += "MGQpath is not terminated; ";
    else if (std::wstring(Settings.MGQpath) != expected.Path)
        faults += "MGQpath is \"" + Utf8(Settings.MGQpath) + "\", expected \"" +
                  Utf8(expected.Path) + "\"; ";
    const WindowRecordList& records = Settings.WindowRecords;
    if (records.size() != expected.Records.size())
        return faults + Differs("record count", static_cast<int64_t>(records.size()),
                                static_cast<int64_t>(expected.Records.size()));
    for (size_t i = 0; i < records.size(); ++i) {
        const ExpectedSettings::Record& e = expected.Records[i];
        if (records[i].ResolutionKey != e.Key || !SameRect(records[i].InputRect, e.Input) ||
            !SameRect(records[i].MGQRect, e.Game))
            faults += "record " + std::to_string(i) + " (" + Utf8(e.Key) + ") differs; ";
    }
    return faults;
}

std::string CheckSavedForm()
{
    std::string faults;
    const std::vector<StoredValue> values = ListValues(HKEY_CURRENT_USER, SettingsKeyPath);
    const auto expectNumber = [&](const std::vector<StoredValue>& in, const wchar_t* name,
                                  int32_t wanted, const std::wstring& where) {
        const StoredValue* value = FindValue(in, name);
        int32_t number = 0;
        if (!value || value->Type != REG_DWORD || value->Data.size() != 4 ||
            !AcceptedNumber(in, name, number) || number != wanted)
            faults += Utf8(where) + "\\" + Utf8(name) + " is not the 4-byte REG_DWORD " +
                      std::to_string(wanted) + "; ";
    };
    expectNumber(values, L"IsAutoMGQExec", Settings.IsAutoMGQExec ? 1 : 0, L"");
    expectNumber(values, L"IsAutoMGQClose", Settings.IsAutoMGQClose ? 1 : 0, L"");
    expectNumber(values, L"IsOKCancelChange", Settings.IsOKCancelChange ? 1 : 0, L"");
    expectNumber(values, L"Transparency", Settings.Transparency, L"");
    expectNumber(values, L"CrossPressSensitivity", Settings.CrossPressSensitivity, L"");
    if (Settings.Transparency < 0 || Settings.Transparency > 90)
        faults += "Transparency out of range; ";
    if (Settings.CrossPressSensitivity < 0 || Settings.CrossPressSensitivity > 10)
        faults += "CrossPressSensitivity out of range; ";

    const StoredValue* path = FindValue(values, L"MGQpath");
    const std::wstring text(Settings.MGQpath, wcsnlen(Settings.MGQpath, PathCapacity));
    if (text.empty()) {
        if (path) faults += "MGQpath stored although empty; ";
    } else {
        std::vector<BYTE> wanted = TextBytes(text);
        wanted.push_back(0);
        wanted.push_back(0);
        if (!path || path->Type != REG_SZ || path->Data != wanted)
            faults += "MGQpath is not the terminated text; ";
    }

    const std::wstring window = SettingsSubkey(L"Window");
    for (const WindowRecord& record : Settings.WindowRecords) {
        const std::wstring where = window + L"\\" + record.ResolutionKey;
        const std::vector<StoredValue> stored = ListValues(HKEY_CURRENT_USER, where);
        const RECT& a = record.InputRect;
        const RECT& b = record.MGQRect;
        const int32_t numbers[8] = {a.left,
                                    a.top,
                                    Saturate(int64_t{a.right} - a.left),
                                    Saturate(int64_t{a.bottom} - a.top),
                                    b.left,
                                    b.top,
                                    Saturate(int64_t{b.right} - b.left),
                                    Saturate(int64_t{b.bottom} - b.top)};
        for (int i = 0; i < 8; ++i) expectNumber(stored, RecordValueNames[i], numbers[i], where);
    }
    return faults;
}

std::vector<std::wstring> DescribeSettingsKey()
{
    std::vector<std::wstring> lines;
    if (KeyExists(HKEY_CURRENT_USER, SettingsKeyPath)) ListKey(SettingsKeyPath, lines);
    return lines;
}
