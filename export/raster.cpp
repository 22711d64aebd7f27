#include "export/raster.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace exporter {

namespace {

bool usable(const ScreenPoint& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.inverseDepth) && p.inverseDepth > 0;
}

// Twice the signed area of (a, b, p): positive on one side of a->b.
double edge(const ScreenPoint& a, const ScreenPoint& b, double x, double y) {
    return (b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x);
}

// A sample exactly on an edge shared by two triangles belongs to one of them:
// the two run along it in opposite directions, and only one direction owns it.
bool owns(const ScreenPoint& a, const ScreenPoint& b) {
    const double dy = b.y - a.y;
    return dy > 0 || (dy == 0 && b.x - a.x > 0);
}

bool inside(double e, const ScreenPoint& a, const ScreenPoint& b) { return e > 0 || (e == 0 && owns(a, b)); }

std::uint8_t mix(std::uint8_t under, std::uint8_t over, double alpha) {
    return static_cast<std::uint8_t>(std::floor(under * (1 - alpha) + over * alpha + 0.5));
}

ScreenPoint along(const ScreenPoint& a, const ScreenPoint& b, double t) {
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.inverseDepth + (b.inverseDepth - a.inverseDepth) * t};
}

// Narrows [t0, t1] to where p * t <= q (Liang-Barsky); false when nothing is left.
bool clip(double p, double q, double& t0, double& t1) {
    if (p == 0) return q >= 0;
    const double r = q / p;
    if (p < 0)
        t0 = std::max(t0, r);
    else
        t1 = std::min(t1, r);
    return t0 <= t1;
}

}  // namespace

Raster::Raster(std::size_t width, std::size_t height, Rgb background) : width_(width), height_(height) {
    if (width != 0 && height > std::numeric_limits<std::size_t>::max() / width)
        throw std::length_error("raster too large");
    colour_.assign(width * height, background);
    inverseDepth_.assign(width * height, 0.0f);
}

void Raster::blend(std::size_t at, Rgb colour, double alpha) {
    Rgb& c = colour_[at];
    for (int k = 0; k < 3; ++k) c[k] = mix(c[k], colour[k], alpha);
}

void Raster::triangle(const std::array<ScreenPoint, 3>& corners, Rgb colour, double alpha) {
    if (width_ == 0 || height_ == 0) return;
    std::array<ScreenPoint, 3> v = corners;
    for (const ScreenPoint& p : v)
        if (!usable(p)) return;
    double area = edge(v[0], v[1], v[2].x, v[2].y);
    if (!std::isfinite(area) || area == 0) return;
    if (area < 0) {
        std::swap(v[1], v[2]);
        area = -area;
    }
    const double top = std::min({v[0].y, v[1].y, v[2].y}), bottom = std::max({v[0].y, v[1].y, v[2].y});
    const double firstRow = std::max(std::ceil(top - 0.5), 0.0);
    const double lastRow = std::min(std::floor(bottom - 0.5), static_cast<double>(height_ - 1));
    if (!(firstRow <= lastRow)) return;
    const bool opaque = alpha >= 1;
    const std::array<std::pair<int, int>, 3> edges{{{1, 2}, {2, 0}, {0, 1}}};  // edge k faces corner k

    for (auto row = static_cast<std::size_t>(firstRow); row <= static_cast<std::size_t>(lastRow); ++row) {
        const double y = static_cast<double>(row) + 0.5;
        // The span of x where every edge function is >= 0, widened by one
        // sample on each side; the exact test below decides each sample.
        double low = -std::numeric_limits<double>::infinity(), high = std::numeric_limits<double>::infinity();
        bool empty = false;
        for (const auto& [from, to] : edges) {
            const ScreenPoint &a = v[static_cast<size_t>(from)], &b = v[static_cast<size_t>(to)];
            const double slope = b.y - a.y, rise = (b.x - a.x) * (y - a.y);
            if (slope == 0)
                empty = empty || rise < 0;
            else if (slope > 0)
                high = std::min(high, a.x + rise / slope);
            else
                low = std::max(low, a.x + rise / slope);
        }
        if (empty || !(low <= high)) continue;
        const double firstColumn = std::max(std::ceil(low - 0.5) - 1, 0.0);
        const double lastColumn = std::min(std::floor(high - 0.5) + 1, static_cast<double>(width_ - 1));
        if (!(firstColumn <= lastColumn)) continue;
        for (auto column = static_cast<std::size_t>(firstColumn); column <= static_cast<std::size_t>(lastColumn);
             ++column) {
            const double x = static_cast<double>(column) + 0.5;
            const double e0 = edge(v[1], v[2], x, y), e1 = edge(v[2], v[0], x, y), e2 = edge(v[0], v[1], x, y);
            if (!inside(e0, v[1], v[2]) || !inside(e1, v[2], v[0]) || !inside(e2, v[0], v[1])) continue;
            const double depth = (e0 * v[0].inverseDepth + e1 * v[1].inverseDepth + e2 * v[2].inverseDepth) / area;
            const std::size_t at = row * width_ + column;
            if (opaque) {
                if (!(depth > inverseDepth_[at])) continue;
                colour_[at] = colour;
                inverseDepth_[at] = static_cast<float>(depth);
            } else if (depth >= inverseDepth_[at]) {
                blend(at, colour, alpha);
            }
        }
    }
}

void Raster::line(ScreenPoint a, ScreenPoint b, Rgb colour, int thickness, double slack) {
    if (width_ == 0 || height_ == 0 || !usable(a) || !usable(b)) return;
    const double dx = b.x - a.x, dy = b.y - a.y;
    double t0 = 0, t1 = 1;
    if (!clip(-dx, a.x, t0, t1) || !clip(dx, static_cast<double>(width_) - a.x, t0, t1) || !clip(-dy, a.y, t0, t1) ||
        !clip(dy, static_cast<double>(height_) - a.y, t0, t1))
        return;
    const ScreenPoint from = along(a, b, t0), to = along(a, b, t1);
    const bool steep = std::abs(to.y - from.y) > std::abs(to.x - from.x);
    // Clipped to the canvas, so at most about width + height steps.
    const double length = std::max(std::abs(to.x - from.x), std::abs(to.y - from.y));
    const auto steps = static_cast<std::size_t>(std::ceil(std::min(length, static_cast<double>(width_ + height_))));
    const double across = 0.5 - static_cast<double>(thickness) / 2;
    for (std::size_t k = 0; k <= steps; ++k) {
        const ScreenPoint p = along(from, to, steps == 0 ? 0 : static_cast<double>(k) / static_cast<double>(steps));
        const double lineDepth = 1 / p.inverseDepth;
        for (int o = 0; o < thickness; ++o) {
            const double x = std::floor(steep ? p.x + across + o : p.x), y = std::floor(steep ? p.y : p.y + across + o);
            if (!(x >= 0 && y >= 0 && x < static_cast<double>(width_) && y < static_cast<double>(height_))) continue;
            const std::size_t at = static_cast<std::size_t>(y) * width_ + static_cast<std::size_t>(x);
            const float surface = inverseDepth_[at];
            if (surface == 0 || lineDepth <= 1 / static_cast<double>(surface) + slack) colour_[at] = colour;
        }
    }
}

std::vector<std::uint8_t> Raster::resolve(std::size_t factor) const {
    const std::size_t width = width_ / factor, height = height_ / factor, count = factor * factor;
    std::vector<std::uint8_t> rgb;
    rgb.reserve(width * height * 3);
    for (std::size_t row = 0; row < height; ++row)
        for (std::size_t column = 0; column < width; ++column)
            for (int k = 0; k < 3; ++k) {
                std::size_t sum = 0;
                for (std::size_t j = 0; j < factor; ++j)
                    for (std::size_t i = 0; i < factor; ++i)
                        sum += colour_[(row * factor + j) * width_ + column * factor + i][static_cast<size_t>(k)];
                rgb.push_back(static_cast<std::uint8_t>((sum + count / 2) / count));
            }
    return rgb;
}

}  // namespace exporter
