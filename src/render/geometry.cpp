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

// The whole-pixel rectangle around an element's outline, edges included.
struct OutlineBounds {
    int64_t Left, Top, Right, Bottom;
};

OutlineBounds BoundsOf(const PadElement& element)
{
    const int64_t x = element.OriginX;
    const int64_t y = element.OriginY;
    const OutlinePoint first = element.OutlinePoints[0];
    OutlineBounds bounds = {x, y, x, y};
    const auto take = [&bounds](int64_t px, int64_t py) {
        bounds.Left = std::min(bounds.Left, px);
        bounds.Right = std::max(bounds.Right, px);
        bounds.Top = std::min(bounds.Top, py);
        bounds.Bottom = std::max(bounds.Bottom, py);
    };
    if (element.ShapeKind == ShapeRectangle) {
        take(x + first.x, y + first.y);
    } else {
        bounds = {x + first.x, y + first.y, x + first.x, y + first.y};
        for (const OutlinePoint& p : element.OutlinePoints) take(x + p.x, y + p.y);
    }
    return bounds;
}

// A contact outside the bounds lies a pixel or more from the shape, farther
// than the fill test's tolerance, so asking the geometry could only give no.
bool WithinBounds(const OutlineBounds& bounds, const ContactPoint& point)
{
    return point.x >= bounds.Left && point.x <= bounds.Right && point.y >= bounds.Top &&
           point.y <= bounds.Bottom;
}

}  // namespace

bool BuildElementGeometries()
{
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
    const OutlineBounds bounds = bounded ? BoundsOf(element) : OutlineBounds{};
    bool contained = false;
    for (int32_t i = 0; i < count; ++i) {
        if (bounded && !WithinBounds(bounds, points[i])) continue;
        BOOL inside = FALSE;
        const HRESULT hr = element.Geometry->FillContainsPoint(PixelPoint(points[i].x, points[i].y),
                                                               nullptr, 0.25f, &inside);
        if (SUCCEEDED(hr) && inside) contained = true;
    }
    return contained;
}
