// Element geometries: one closed, filled path figure per element, in client
// pixels, used alike for drawing and for hit testing.
#include "render/render.h"
#include <algorithm>
#include <vector>
#include "pad/padlayout.h"

using Microsoft::WRL::ComPtr;

namespace {

bool HasEnoughPoints(const PadElement& element)
{
    const int32_t count = static_cast<int32_t>(element.OutlinePoints.size());
    if (count != element.PointCount) return false;
    if (element.ShapeKind == ShapeRectangle) return count >= 1;
    if (element.ShapeKind == ShapePolygon) return count >= 2;
    return false;
}

D2D1_POINT_2F PixelPoint(int32_t x, int32_t y)
{
    return D2D1::Point2F(static_cast<float>(x), static_cast<float>(y));
}

// The figure's corners in drawing order: a rectangle from its origin clockwise,
// a polygon's vertices moved by the origin.
std::vector<D2D1_POINT_2F> FigureVertices(const PadElement& element)
{
    const int32_t x = element.OriginX;
    const int32_t y = element.OriginY;
    std::vector<D2D1_POINT_2F> vertices;
    if (element.ShapeKind == ShapeRectangle) {
        const OutlinePoint size = element.OutlinePoints[0];
        vertices = {PixelPoint(x, y), PixelPoint(x + size.x, y), PixelPoint(x + size.x, y + size.y),
                    PixelPoint(x, y + size.y)};
    } else {
        for (const OutlinePoint& p : element.OutlinePoints)
            vertices.push_back(PixelPoint(x + p.x, y + p.y));
    }
    return vertices;
}

ComPtr<ID2D1PathGeometry> CreateFigureGeometry(const std::vector<D2D1_POINT_2F>& vertices)
{
    ComPtr<ID2D1PathGeometry> geometry;
    if (FAILED(D2DFactory->CreatePathGeometry(geometry.GetAddressOf()))) return nullptr;
    ComPtr<ID2D1GeometrySink> sink;
    if (FAILED(geometry->Open(sink.GetAddressOf()))) return nullptr;
    sink->BeginFigure(vertices[0], D2D1_FIGURE_BEGIN_FILLED);
    for (size_t i = 1; i < vertices.size(); ++i) sink->AddLine(vertices[i]);
    sink->EndFigure(D2D1_FIGURE_END_CLOSED);
    // A sink that fails to close leaves an unusable geometry: the element goes without one.
    if (FAILED(sink->Close())) return nullptr;
    return geometry;
}

// The whole-pixel rectangle around an element's outline, edges included, as
// offsets from its origin.
struct OutlineExtent {
    int32_t Left, Top, Right, Bottom;
};

OutlineExtent ExtentOf(const PadElement& element)
{
    const OutlinePoint first = element.OutlinePoints[0];
    if (element.ShapeKind == ShapeRectangle)
        return {std::min(0, first.x), std::min(0, first.y), std::max(0, first.x),
                std::max(0, first.y)};
    OutlineExtent extent = {first.x, first.y, first.x, first.y};
    for (const OutlinePoint& p : element.OutlinePoints) {
        extent.Left = std::min(extent.Left, p.x);
        extent.Right = std::max(extent.Right, p.x);
        extent.Top = std::min(extent.Top, p.y);
        extent.Bottom = std::max(extent.Bottom, p.y);
    }
    return extent;
}

// A contact in pad pixels: client pixels divided by the layout's scale, so
// that what is hit is what is drawn at that scale.
D2D1_POINT_2F PadPoint(const ContactPoint& point, float scale)
{
    return D2D1::Point2F(static_cast<float>(point.x) / scale, static_cast<float>(point.y) / scale);
}

// A contact outside the extent lies a pixel or more from the shape, farther
// than the fill test's tolerance, so asking the geometry could only give no.
// The offsets are taken in double: neither side is trusted to be small.
bool WithinExtent(const PadElement& element, const OutlineExtent& extent, D2D1_POINT_2F point)
{
    const double dx = double{point.x} - element.OriginX;
    const double dy = double{point.y} - element.OriginY;
    return dx >= extent.Left && dx <= extent.Right && dy >= extent.Top && dy <= extent.Bottom;
}

}  // namespace

bool BuildElementGeometries()
{
    DiscardStillLayer();  // drawn from the geometries being replaced
    if (!CurrentPadTable || CurrentPadTable->Items.empty()) return false;
    if (!D2DFactory) return false;

    PadElementTable& table = *CurrentPadTable;
    bool complete = true;
    for (int32_t i = 0; i < table.Count; ++i) {
        PadElement& element = table.Items[i];
        element.Geometry.Reset();
        if (!HasEnoughPoints(element)) {
            complete = false;
            continue;
        }
        element.Geometry = CreateFigureGeometry(FigureVertices(element));
        if (!element.Geometry) complete = false;
    }
    return complete;
}

bool ElementContainsAnyPoint(const PadElement& element, const ContactPoint* points, int32_t count)
{
    if (!element.Geometry || !points || count <= 0) return false;
    // Geometries are built from the outline points; without them only the exact test can tell.
    const bool bounded = !element.OutlinePoints.empty();
    const OutlineExtent extent = bounded ? ExtentOf(element) : OutlineExtent{};
    const float scale = ActivePadScale();
    bool contained = false;
    for (int32_t i = 0; i < count; ++i) {
        const D2D1_POINT_2F point = PadPoint(points[i], scale);
        if (bounded && !WithinExtent(element, extent, point)) continue;
        BOOL inside = FALSE;
        const HRESULT hr = element.Geometry->FillContainsPoint(point, nullptr, 0.25f, &inside);
        if (SUCCEEDED(hr) && inside) contained = true;
    }
    return contained;
}

KeySet HitTestElements(const ContactPoint* points, int32_t count)
{
    if (!points || count <= 0 || !CurrentPadTable || CurrentPadTable->Items.empty()) return 0;
    const PadElementTable& table = *CurrentPadTable;
    KeySet keys = 0;
    for (int32_t i = table.Count - 1; i >= 0; --i) {
        const PadElement& element = table.Items[i];
        if (ElementContainsAnyPoint(element, points, count)) keys |= ToKeySet(element.KeyMask);
    }
    return keys;
}
