// Watching what programs show on the screen, for benchmarks and robustness
// tests that drive the real programs from outside.
#pragma once
#include <windows.h>
#include <cstdint>
#include "support.h"

// The overlay shows a painted pad: the rest fill inside "↑" and inside the
// bottom-left button ("○", or "×" when swapped), with their black outlines,
// read from the screen. A frame shows only once its whole pass has ended.
bool PadDrawnOnScreen(HWND overlay);
// The stand-in game shows its painted client area: white, with its text.
bool StandinDrawnOnScreen(HWND game);

// Starts a program and watches the screen until its window shows painted.
// Returns the milliseconds from just before the process was created to the
// first look that found it drawn, or -1 when it did not show in time.
struct FirstPaintWatch {
    const wchar_t* ClassName;    // the window to wait for
    bool (*Drawn)(HWND window);  // what "painted" looks like
};
double TimeToFirstPaint(ChildProcess& process, const std::wstring& commandLine,
                        const FirstPaintWatch& watch, HWND& window, DWORD timeoutMs = 20000);
// The watches for the two programs.
FirstPaintWatch OverlayPaintWatch();
FirstPaintWatch StandinPaintWatch();
