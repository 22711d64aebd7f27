// A small software rasteriser for the previews: a colour and a depth sample
// per cell, filled triangles and lines with a depth test. Everything is
// double arithmetic in a fixed order, so a picture is the same bytes on every
// machine. Any coordinates are safe: a primitive with a non-finite one (or a
// triangle whose area overflows) is skipped, and everything is clipped to the
// canvas before it is indexed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace exporter {

using Rgb = std::array<std::uint8_t, 3>;

// A projected point: sample coordinates (x right, y down; sample (i, j)
// covers [i, i+1) x [j, j+1)) and the reciprocal of its distance in front of
// the eye, which is affine on the screen and so interpolates exactly.
struct ScreenPoint {
    double x = 0, y = 0, inverseDepth = 0;
};

class Raster {
public:
    // Throws std::length_error when width x height samples cannot be held.
    Raster(std::size_t width, std::size_t height, Rgb background);

    // An opaque triangle (alpha 1) writes its depth; a translucent one is
    // blended over what is nearer-or-equal behind it and leaves the depth.
    // Both sides are drawn. Cost: the rows it spans plus the samples it covers.
    void triangle(const std::array<ScreenPoint, 3>& corners, Rgb colour, double alpha);

    // A line `thickness` samples wide, hidden only where a surface is nearer
    // than its own depth by more than `slack` (the distance unit of the depths).
    void line(ScreenPoint a, ScreenPoint b, Rgb colour, int thickness, double slack);

    // The picture reduced by `factor` in both directions (each pixel the
    // rounded mean of factor x factor samples), RGB rows top to bottom.
    std::vector<std::uint8_t> resolve(std::size_t factor) const;

    std::size_t width() const { return width_; }
    std::size_t height() const { return height_; }

private:
    void blend(std::size_t at, Rgb colour, double alpha);

    std::size_t width_, height_;
    std::vector<Rgb> colour_;
    std::vector<float> inverseDepth_;  // 0: nothing drawn there yet; float halves the largest canvas
};

}  // namespace exporter
