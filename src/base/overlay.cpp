#include "base/overlay.h"

HWND MainWindow = nullptr;
bool WindowClosing = false;
HWND CachedGameWindow = nullptr;
SIZE OverlayClientSize = {OverlayClientWidth, OverlayClientHeight};
