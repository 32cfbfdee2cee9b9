// Key-state update cost, in-process on the real layout: UpdateKeyState with
// 1, 2 and 10 resting contacts (the touch messages that arrive while fingers
// stay put), beside one FillContainsPoint. The hit test by the exact test alone,
// as it was before the bounding-box rejection, is timed beside it.
#include <functional>
#include <random>
#include "bench.h"
#include "padinput.h"
#include "render/render.h"

namespace {

// The hit test without the box check: every element's geometry asked for every point.
KeySet HitTestExactly(const ContactPoint* points, int32_t count)
{
    KeySet keys = 0;
    for (int32_t i = CurrentPadTable->Count - 1; i >= 0; --i) {
        const PadElement& element = CurrentPadTable->Items[i];
        if (!element.Geometry) continue;
        bool hit = false;
        for (int32_t p = 0; p < count; ++p) {
            BOOL inside = FALSE;
            const D2D1_POINT_2F point =
                D2D1::Point2F(static_cast<float>(points[p].x), static_cast<float>(points[p].y));
            if (SUCCEEDED(element.Geometry->FillContainsPoint(point, nullptr, 0.25f, &inside)) &&
                inside)
                hit = true;
        }
        if (hit) keys |= ToKeySet(element.KeyMask);
    }
    return keys;
}

// Microseconds per call of each of the calls, one sample per batch; the
// calls take turns batch by batch, so that a slow spell hits them alike.
std::vector<Distribution> TimeCalls(const BenchOptions& options,
                                    const std::vector<std::function<void()>>& calls)
{
    std::vector<std::vector<double>> samples(calls.size());
    for (int batch = 0; batch < options.KeyStateBatches; ++batch) {
        for (size_t c = 0; c < calls.size(); ++c) {
            const int64_t start = NowTicks();
            for (int i = 0; i < options.KeyStateCalls; ++i) calls[c]();
            const double ms = static_cast<double>(NowTicks() - start) / TicksPerMs();
            samples[c].push_back(ms * 1000.0 / options.KeyStateCalls);
        }
    }
    std::vector<Distribution> result;
    for (const auto& s : samples) result.push_back(Summarize(s));
    return result;
}

const PadElement* ElementWithKey(KeyMask mask)
{
    for (int32_t i = 0; i < CurrentPadTable->Count; ++i)
        if (CurrentPadTable->Items[i].KeyMask == mask) return &CurrentPadTable->Items[i];
    return nullptr;
}

}  // namespace

void BenchKeyState(const BenchOptions& options, std::vector<BenchRow>& rows)
{
    const bool built = BuildTestPad();
    const PadElement* circle = built ? ElementWithKey(0x10) : nullptr;
    if (!circle || !circle->Geometry) {
        BenchRow row;
        row.Name = "key-state update";
        row.Note = "the pad could not be built in-process";
        rows.push_back(row);
        return;
    }
    UseTestPadWindows();
    const KeyOutputRecorder recorder;  // keys are counted, not sent

    // "○" at its centre; "○" and "↑"; ten points anywhere on the client area.
    std::vector<ContactPoint> spread;
    std::mt19937 random(options.Seed);
    std::uniform_int_distribution<int32_t> x(0, 339), y(0, 519);
    for (int i = 0; i < 10; ++i) spread.push_back({x(random), y(random)});
    const std::vector<std::vector<ContactPoint>> sets = {
        {{50, 420}}, {{50, 420}, {170, 200}}, spread};

    const D2D1_POINT_2F centre = D2D1::Point2F(50, 420);
    for (const auto& contacts : sets) {
        const ContactPoint* points = contacts.data();
        const int32_t count = static_cast<int32_t>(contacts.size());
        const std::string what = std::to_string(count) + (count == 1 ? " contact" : " contacts");
        UpdateKeyState(points, count, true);  // the keys go down once; later calls change nothing
        const std::vector<Distribution> times = TimeCalls(
            options,
            {[&] {
                 BOOL inside = FALSE;
                 circle->Geometry->FillContainsPoint(centre, nullptr, 0.25f, &inside);
             },
             [&] { UpdateKeyState(points, count, true); }, [&] { HitTestElements(points, count); },
             [&] { HitTestExactly(points, count); }});

        BenchRow update;
        update.Name = "UpdateKeyState, " + what;
        update.Unit = "us";
        update.Figure = times[1];
        update.BaselineName = "one FillContainsPoint";
        update.Baseline = times[0];
        update.Measured = true;
        if (count == 1)
            update.Note =
                std::to_string(options.KeyStateBatches) + " batches of " +
                std::to_string(options.KeyStateCalls) +
                " calls of each, in turns; the contacts rest, so no key changes after the first "
                "call; the ten points are drawn from the seed";
        rows.push_back(update);

        BenchRow boxed = update;
        boxed.Name = "hit test with the box check, " + what;
        boxed.Figure = times[2];
        boxed.Note = "";
        rows.push_back(boxed);

        BenchRow exact = update;
        exact.Name = "hit test, exact test only, " + what;
        exact.Figure = times[3];
        exact.Note = count == 1
                         ? "every element's geometry asked for every point, as before the box check"
                         : "";
        rows.push_back(exact);
    }
    ClearInputState();
}
