// Finding the game's window among real top-level windows made by this test.
#include <doctest/doctest.h>
#include <string>
#include "game/game.h"
#include "test_windows.h"

namespace {

int Enumerations = 0;

BOOL WINAPI CountingEnumWindows(WNDENUMPROC callback, LPARAM param)
{
    ++Enumerations;
    return EnumWindows(callback, param);
}

// Counts searches and starts from an empty cache; restores both afterwards.
struct DiscoveryScope {
    DiscoveryCalls saved = Discovery;
    HWND savedCache = CachedGameWindow;
    DiscoveryScope()
    {
        Discovery.EnumWindows = CountingEnumWindows;
        Enumerations = 0;
        CachedGameWindow = nullptr;
    }
    ~DiscoveryScope()
    {
        Discovery = saved;
        CachedGameWindow = savedCache;
    }
};

}  // namespace

TEST_CASE("the search picks the highest window of exactly the game's class")
{
    DiscoveryScope scope;
    UniqueWindow first = CreateGameClassWindow(100, 100, 300, 200);
    UniqueWindow second = CreateGameClassWindow(200, 150, 300, 200);
    UniqueWindow lookalike = CreateLookalikeWindow();
    REQUIRE(first);
    REQUIRE(second);
    REQUIRE(lookalike);

    struct Row {
        const char* order;
        HWND bottom, middle, top;
        HWND expected;
    };
    const Row rows[] = {
        {"first on top", second.get(), lookalike.get(), first.get(), first.get()},
        {"second on top", first.get(), lookalike.get(), second.get(), second.get()},
        {"look-alike above both, first higher", second.get(), first.get(), lookalike.get(),
         first.get()},
        {"look-alike above both, second higher", first.get(), second.get(), lookalike.get(),
         second.get()},
    };
    for (const Row& row : rows) {
        INFO(std::string(row.order));
        RaiseWindow(row.bottom);
        RaiseWindow(row.middle);
        RaiseWindow(row.top);
        CachedGameWindow = nullptr;
        CHECK(FindGameWindow() == row.expected);
        CHECK(CachedGameWindow == row.expected);
    }

    // With only the look-alike left there is no game.
    first.reset();
    second.reset();
    CachedGameWindow = nullptr;
    CHECK(FindGameWindow() == nullptr);
    CHECK(GetGameWindow() == nullptr);
    CHECK(CachedGameWindow == nullptr);
}

TEST_CASE("the cache outlives the game until a validated access")
{
    DiscoveryScope scope;
    UniqueWindow game = CreateGameClassWindow(100, 100, 300, 200);
    REQUIRE(game);
    const HWND handle = game.get();
    REQUIRE(FindGameWindow() == handle);
    REQUIRE(GetGameWindow() == handle);

    game.reset();
    REQUIRE_FALSE(IsWindow(handle));

    // A search that finds nothing keeps what was cached.
    CHECK(FindGameWindow() == nullptr);
    CHECK(CachedGameWindow == handle);

    // The validated access notices the window has gone.
    CHECK(GetGameWindow() == nullptr);
    CHECK(CachedGameWindow == nullptr);
}

TEST_CASE("a validated access searches only when the cache is empty, dead or reused")
{
    DiscoveryScope scope;
    UniqueWindow game = CreateGameClassWindow(100, 100, 300, 200);
    UniqueWindow lookalike = CreateLookalikeWindow();
    REQUIRE(game);
    REQUIRE(lookalike);

    UniqueWindow dead = CreateGameClassWindow(150, 150, 100, 100);
    const HWND deadHandle = dead.get();
    dead.reset();

    struct Row {
        const char* cache;
        HWND cached;
        int searches;
    };
    const Row rows[] = {
        {"the live game window", game.get(), 0},
        {"empty", nullptr, 1},
        {"a destroyed window", deadHandle, 1},
        {"a live window of another class", lookalike.get(), 1},
    };
    for (const Row& row : rows) {
        INFO(std::string(row.cache));
        CachedGameWindow = row.cached;
        Enumerations = 0;
        CHECK(GetGameWindow() == game.get());
        CHECK(CachedGameWindow == game.get());
        CHECK(Enumerations == row.searches);
    }
}
