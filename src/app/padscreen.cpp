// The overlay's appearance after a settings change that concerns the display.
#include "app.h"
#include "pad/pad.h"
#include "render/render.h"
#include "settings/settings.h"

void ApplyDisplaySettings(HWND window)
{
    SetLayeredWindowAttributes(window, 0, OverlayAlpha(Settings.Transparency), LWA_ALPHA);
    BuildPadLayout();
    BuildElementGeometries();
    DiscardDeviceResources();
    InvalidateRect(window, nullptr, FALSE);
}
