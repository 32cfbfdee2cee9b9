// Soak: minutes of random real mouse input on the running overlay, with the
// overlay's memory and object counts sampled as it goes.
#pragma once
#include <string>
#include <vector>
#include "harness.h"

struct SoakSample {
    double Seconds;
    ProcessSample Overlay;
};

struct SoakResult {
    bool Ran = false;
    int Events = 0;
    int GameKeyEvents = 0;      // key events the game received meanwhile
    bool OverlayAlive = false;  // still running at the end
    std::vector<SoakSample> Samples;
    std::string Note;
};

// About eventsPerSecond mouse events (moves, presses, releases, double
// clicks on the pad's elements and between them) for the given time.
SoakResult RunSoak(unsigned seed, double seconds, double sampleEverySeconds,
                   int eventsPerSecond = 100);
// Whether memory, handles and object counts stayed flat after the first
// sixth of the run; why not, when they did not.
bool SoakStayedFlat(const SoakResult& result, std::string& why);
std::string FormatSoak(const SoakResult& result);
