// The overlay's appearance after a settings change that concerns the display.
#include "app.h"
#include "input/input.h"
#include "pad/pad.h"
#include "render/render.h"
#include "settings/settings.h"

void ApplyDisplaySettings(HWND window)
{
    SetLayeredWindowAttributes(window, 0, OverlayAlpha(Settings.Transparency), LWA_ALPHA);
    BuildPadLayout();
    // The new pad shows what the game still holds, as the old one did.
    PressElements(TouchMask | MouseMask);
    if (SkipLatched) LatchSkipElements();
    BuildElementGeometries();
    DiscardDeviceResources();
    InvalidateRect(window, nullptr, FALSE);
}
