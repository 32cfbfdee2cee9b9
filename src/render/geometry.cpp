// Element geometries: one closed, filled path figure per element, in client
// pixels, used alike for drawing and for hit testing.
#include "render/render.h"
#include <algorithm>
#include <vector>

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

// A contact outside the extent lies a pixel or more from the shape, farther
// than the fill test's tolerance, so asking the geometry could only give no.
// The offsets are taken in 64 bits: neither side is trusted to be small.
bool WithinExtent(const PadElement& element, const OutlineExtent& extent, const ContactPoint& point)
{
    const int64_t dx = int64_t{point.x} - element.OriginX;
    const int64_t dy = int64_t{point.y} - element.OriginY;
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
    bool contained = false;
    for (int32_t i = 0; i < count; ++i) {
        if (bounded && !WithinExtent(element, extent, points[i])) continue;
        BOOL inside = FALSE;
        const HRESULT hr = element.Geometry->FillContainsPoint(PixelPoint(points[i].x, points[i].y),
                                                               nullptr, 0.25f, &inside);
        if (SUCCEEDED(hr) && inside) contained = true;
    }
    return contained;
}
