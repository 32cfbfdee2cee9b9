// The bounding-box rejection in front of the exact fill test changes no hit:
// every whole pixel around the pad, for every layout, asked both ways.
#include <doctest/doctest.h>
#include <random>
#include <vector>
#include "render/render.h"
#include "render_test_window.h"
#include "settings/settings.h"

namespace {

bool ExactlyInside(const PadElement& element, int32_t x, int32_t y)
{
    BOOL inside = FALSE;
    const D2D1_POINT_2F point = D2D1::Point2F(static_cast<float>(x), static_cast<float>(y));
    return SUCCEEDED(element.Geometry->FillContainsPoint(point, nullptr, 0.25f, &inside)) && inside;
}

struct SavedLayoutSettings {
    SavedLayoutSettings()
        : sensitivity(Settings.CrossPressSensitivity), swapped(Settings.IsOKCancelChange)
    {}
    ~SavedLayoutSettings()
    {
        Settings.CrossPressSensitivity = sensitivity;
        Settings.IsOKCancelChange = swapped;
        DestroyPadElementTable(CurrentPadTable);
    }
    int32_t sensitivity;
    bool swapped;
};

}  // namespace

TEST_CASE("every pixel around the pad hits the same elements with and without the box check")
{
    SavedLayoutSettings saved;
    REQUIRE(CreateDeviceIndependentResources());
    for (int32_t sensitivity = 0; sensitivity <= 10; ++sensitivity) {
        for (const bool swapped : {false, true}) {
            CAPTURE(sensitivity);
            CAPTURE(swapped);
            BuildTestLayout(sensitivity, swapped);
            REQUIRE(CurrentPadTable);
            for (int32_t i = 0; i < CurrentPadTable->Count; ++i)
                REQUIRE(CurrentPadTable->Items[i].Geometry);
            int mismatches = 0;
            std::vector<int> hits(CurrentPadTable->Count, 0);
            // The client area is 340 x 520; a margin around it catches edges and outliers.
            for (int32_t y = -30; y < 550; ++y) {
                for (int32_t x = -30; x < 370; ++x) {
                    const ContactPoint point = {x, y};
                    for (int32_t i = 0; i < CurrentPadTable->Count; ++i) {
                        const PadElement& element = CurrentPadTable->Items[i];
                        const bool exact = ExactlyInside(element, x, y);
                        if (ElementContainsAnyPoint(element, &point, 1) != exact &&
                            ++mismatches <= 5) {
                            CAPTURE(x);
                            CAPTURE(y);
                            CAPTURE(i);
                            CHECK(false);
                        }
                        hits[i] += exact;
                    }
                }
            }
            CHECK(mismatches == 0);
            // Every element was really hit somewhere, so the comparison covered its inside too.
            for (int32_t i = 0; i < CurrentPadTable->Count; ++i) {
                CAPTURE(i);
                CHECK(hits[i] > 0);
            }
        }
    }
}

TEST_CASE("several contacts at once: a hit when any one of them is inside, wherever the others are")
{
    SavedLayoutSettings saved;
    REQUIRE(CreateDeviceIndependentResources());
    BuildTestLayout(5, false);
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int32_t> x(-40, 380), y(-40, 560), count(1, 10);
    for (int round = 0; round < 2000; ++round) {
        std::vector<ContactPoint> points(count(random));
        for (ContactPoint& p : points) p = {x(random), y(random)};
        for (int32_t i = 0; i < CurrentPadTable->Count; ++i) {
            const PadElement& element = CurrentPadTable->Items[i];
            bool any = false;
            for (const ContactPoint& p : points) any = any || ExactlyInside(element, p.x, p.y);
            CAPTURE(round);
            CAPTURE(i);
            REQUIRE(ElementContainsAnyPoint(element, points.data(),
                                            static_cast<int32_t>(points.size())) == any);
        }
    }
    // Far outside in every direction, also past the 16-bit range mouse messages give.
    const ContactPoint distant[] = {
        {-100000, 200}, {100000, 200}, {170, -100000}, {170, 100000}, {65535, 65535}};
    for (int32_t i = 0; i < CurrentPadTable->Count; ++i)
        CHECK_FALSE(ElementContainsAnyPoint(CurrentPadTable->Items[i], distant, 5));
}
