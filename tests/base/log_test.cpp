#include <doctest/doctest.h>
#include "base/log.h"
#include "support.h"

namespace {

LONGLONG FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

TEST_CASE("the diagnostic log stays within its bound, keeps the full file once, ends when closed")
{
    const DWORD limit = 4096;
    const std::wstring path = TempFilePath(L"diagnostic-bound");
    DeleteFileW((path + L".1").c_str());
    // Three files' worth: the kept file is replaced too.
    REQUIRE(OpenDiagnosticLog(path.c_str(), limit));
    for (int event = 1; event <= 300; ++event) LogEvent("event %d", event);
    CloseDiagnosticLog();
    LogEvent("event after the end");

    CHECK(FileSize(path) <= limit);
    REQUIRE(FileSize(path + L".1") > limit / 2);
    CHECK(FileSize(path + L".1") <= limit);
    const std::vector<std::string> newest = ReadGameLog(path);
    REQUIRE_FALSE(newest.empty());
    CHECK(newest.back().find("event 300") != std::string::npos);
    CHECK(ReadGameLog(path + L".1").back().find("event 300") == std::string::npos);
}

TEST_CASE("a log file held by a viewer is written on past the limit, and turned over once free")
{
    const DWORD limit = 4096;
    const std::wstring path = TempFilePath(L"diagnostic-viewer");
    DeleteFileW((path + L".1").c_str());
    REQUIRE(OpenDiagnosticLog(path.c_str(), limit));
    // A viewer that shares reading and writing, but not deletion: no rename.
    const HANDLE viewer =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    REQUIRE(viewer != INVALID_HANDLE_VALUE);
    for (int event = 1; event <= 150; ++event) LogEvent("event %d", event);
    CHECK(FileSize(path) > limit);
    CHECK(ReadGameLog(path).size() == 150);
    CloseHandle(viewer);
    for (int event = 151; event <= 200; ++event) LogEvent("event %d", event);
    CloseDiagnosticLog();
    CHECK(ReadGameLog(path + L".1").size() >= 150);
    CHECK(FileSize(path) <= limit);
}
