#include "export/preview.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "export/brush_faces.h"
#include "export/coordinates.h"
#include "export/gltf_writer.h"
#include "export/placement.h"
#include "export/raster.h"

namespace exporter {

namespace {

// The eye's direction from the centre: front right and above, about 37
// degrees round from the front (+z) towards +x and 27 degrees up. Literal
// components rather than sines keep the picture independent of the maths library.
const Vec3 kViewFrom = normalized({0.6, 0.5, 0.8});
const Vec3 kTowardsLight = normalized({-0.3, 1.0, 0.5});
constexpr double kAmbient = 0.35;
constexpr double kTanHalfView = 0.36;      // about 40 degrees across the shorter side
constexpr double kMargin = 1.08;           // distance over the one that makes the sphere touch the frame
constexpr double kEdgeSlack = 0.02;        // of the radius: an edge shows on its own faces
constexpr double kShortestEdge = 3;         // pixels on the picture: shorter edges are not drawn
constexpr double kBrushOpacity = 0.35;
constexpr Rgb kBackground{242, 242, 242};
constexpr Rgb kEdgeColour{38, 38, 38};
constexpr std::size_t kSupersampleLimit = std::size_t{2048} * 2048;  // pixels: 2x2 samples up to here

struct Paint {
    Vec3 colour;  // 0..1, written as sRGB
    double alpha;
};

struct Face {
    std::array<std::uint32_t, 3> corners;
    std::uint32_t paint;
};

// Everything in the glTF frame, as indices into one list of points (a
// file holds less than 2^32 vertices).
struct Scene {
    std::vector<Vec3> points;
    std::vector<Paint> paints;
    std::vector<Face> opaque, translucent;
    std::vector<std::array<std::uint32_t, 2>> lines;
};

std::uint32_t index(size_t i) { return static_cast<std::uint32_t>(i); }

void addLod(Scene& scene, const modelfile::Lod& lod, const Placement& placement) {
    const std::uint32_t base = index(scene.points.size());
    for (const modelfile::Vertex& v : lod.vertices) scene.points.push_back(place(placement, toGltf(v.position)));
    for (const modelfile::Group& group : lod.groups)
        for (const auto& t : group.triangles)
            scene.opaque.push_back({{base + t[0], base + t[1], base + t[2]}, group.material});
    for (const auto& e : lod.edges) scene.lines.push_back({base + e[0], base + e[1]});
}

void addBrush(Scene& scene, const modelfile::BrushRecord& brush, size_t number, const Placement& placement) {
    const BrushShape shape = brushShape(brush);
    const std::uint32_t base = index(scene.points.size()), paint = index(scene.paints.size());
    scene.paints.push_back({brushColour(number), kBrushOpacity});
    for (const Vec3& p : shape.positions) scene.points.push_back(place(placement, p));
    for (const auto& t : shape.triangles) scene.translucent.push_back({{base + t[0], base + t[1], base + t[2]}, paint});
    for (const auto& e : shape.edges) scene.lines.push_back({base + e[0], base + e[1]});
}

bool finite(const Vec3& p) { return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]); }

class Camera {
public:
    // Frames the box-centred sphere round every finite point; false when
    // there is none, or the sphere is too large for doubles.
    bool frame(const std::vector<Vec3>& points, size_t width, size_t height) {
        Vec3 low{INFINITY, INFINITY, INFINITY}, high{-INFINITY, -INFINITY, -INFINITY};
        for (const Vec3& p : points)
            if (finite(p))
                for (size_t k = 0; k < 3; ++k) {
                    low[k] = std::min(low[k], p[k]);
                    high[k] = std::max(high[k], p[k]);
                }
        if (!(low[0] <= high[0])) return false;
        const Vec3 centre = scale(add(low, high), 0.5);
        double radius = 0, largest = 0;
        for (const Vec3& p : points)
            if (finite(p)) radius = std::max(radius, dot(sub(p, centre), sub(p, centre)));
        for (const double c : centre) largest = std::max(largest, std::abs(c));
        radius = std::sqrt(radius);
        // A point, or a speck far from the origin: the eye must still stand apart from the centre.
        if (!(radius > 0)) radius = 1;
        radius = std::max(radius, 1e-9 * largest);
        const double distance = radius * std::sqrt(1 + kTanHalfView * kTanHalfView) / kTanHalfView * kMargin;
        eye_ = add(centre, scale(kViewFrom, distance));
        forward_ = scale(kViewFrom, -1);
        right_ = normalized(cross(forward_, {0, 1, 0}));
        up_ = cross(right_, forward_);
        focal_ = static_cast<double>(std::min(width, height)) / 2 / kTanHalfView;
        middleX_ = static_cast<double>(width) / 2;
        middleY_ = static_cast<double>(height) / 2;
        radius_ = radius;
        return finite(eye_) && std::isfinite(distance);
    }

    ScreenPoint project(const Vec3& p) const {
        const Vec3 d = sub(p, eye_);
        const double depth = dot(d, forward_);
        return {middleX_ + focal_ * dot(d, right_) / depth, middleY_ - focal_ * dot(d, up_) / depth, 1 / depth};
    }

    const Vec3& eye() const { return eye_; }
    double radius() const { return radius_; }

private:
    Vec3 eye_{}, forward_{}, right_{}, up_{};
    double focal_ = 0, middleX_ = 0, middleY_ = 0, radius_ = 0;
};

std::uint8_t channel(double value) { return static_cast<std::uint8_t>(std::floor(std::clamp(value, 0.0, 1.0) * 255 + 0.5)); }

// The paint lit by the fixed light; both sides of a face are lit as the one facing the eye.
Rgb shaded(const Paint& paint, const std::array<Vec3, 3>& p, const Vec3& eye) {
    Vec3 normal = normalized(cross(sub(p[1], p[0]), sub(p[2], p[0])));
    if (dot(normal, sub(eye, p[0])) < 0) normal = scale(normal, -1);
    const double light = kAmbient + (1 - kAmbient) * std::max(0.0, dot(normal, kTowardsLight));
    return {channel(paint.colour[0] * light), channel(paint.colour[1] * light), channel(paint.colour[2] * light)};
}

Picture render(const Scene& scene, PictureSize size) {
    const size_t factor = size.width * size.height <= kSupersampleLimit ? 2 : 1;
    Raster raster(size.width * factor, size.height * factor, kBackground);
    Camera camera;
    if (camera.frame(scene.points, raster.width(), raster.height())) {
        std::vector<ScreenPoint> screen;
        screen.reserve(scene.points.size());
        for (const Vec3& p : scene.points) screen.push_back(camera.project(p));
        // Opaque faces first: translucent ones blend over them, edges test against them.
        for (const std::vector<Face>* faces : {&scene.opaque, &scene.translucent})
            for (const Face& f : *faces) {
                const Paint& paint = scene.paints[f.paint];
                const std::array<Vec3, 3> corners{scene.points[f.corners[0]], scene.points[f.corners[1]],
                                                  scene.points[f.corners[2]]};
                raster.triangle({screen[f.corners[0]], screen[f.corners[1]], screen[f.corners[2]]},
                                shaded(paint, corners, camera.eye()), paint.alpha);
            }
        const double shortest = kShortestEdge * static_cast<double>(factor);
        for (const auto& l : scene.lines) {
            const ScreenPoint &a = screen[l[0]], &b = screen[l[1]];
            // Edges of dense meshes would only darken the surface they outline.
            if (!(std::max(std::abs(a.x - b.x), std::abs(a.y - b.y)) >= shortest)) continue;
            raster.line(a, b, kEdgeColour, static_cast<int>(factor), kEdgeSlack * camera.radius());
        }
    }
    return {size.width, size.height, raster.resolve(factor)};
}

}  // namespace

std::optional<PictureSize> parsePictureSize(std::string_view text) {
    const size_t cross = text.find('x');
    if (cross == std::string_view::npos) return std::nullopt;
    auto side = [](std::string_view digits) -> std::optional<size_t> {
        size_t value = 0;
        const char* last = digits.data() + digits.size();
        const auto [end, ec] = std::from_chars(digits.data(), last, value);
        if (digits.empty() || digits.front() == '-' || ec != std::errc() || end != last) return std::nullopt;
        if (value == 0 || value > kMaxPictureSide) return std::nullopt;
        return value;
    };
    const std::optional<size_t> width = side(text.substr(0, cross)), height = side(text.substr(cross + 1));
    if (!width || !height || *width * *height > kMaxPicturePixels) return std::nullopt;
    return PictureSize{*width, *height};
}

Picture modelPicture(const modelfile::Model& model, std::uint32_t lod, PictureSize size,
                     const modelfile::HxmFile* collision) {
    requireLod(model, lod);
    Scene scene;
    for (const modelfile::Material& m : model.materials)
        scene.paints.push_back({{m.diffuse[0] / 255.0, m.diffuse[1] / 255.0, m.diffuse[2] / 255.0}, 1});
    const std::vector<Placement> world = worldPlacements(model);
    for (size_t i = 0; i < model.elements.size(); ++i) {
        const modelfile::Element& e = model.elements[i];
        if (e.type == 1 && lod < e.lods.size()) addLod(scene, e.lods[lod], world[i]);
    }
    if (collision != nullptr) {
        const std::vector<int> parents = brushParents(model, *collision);
        for (size_t b = 0; b < collision->brushes.size(); ++b) {
            Placement placement;
            if (parents[b] >= 0) {
                const auto parent = static_cast<size_t>(parents[b]);
                placement = world[parent];
                if (collision->layout == modelfile::Layout::Flat) {
                    Placement frame = flatBrushFrame(model.elements[parent]);
                    if (!finite(frame.translation)) frame.translation = {0, 0, 0};
                    placement = compose(placement, frame);
                }
            }
            addBrush(scene, collision->brushes[b], b, placement);
        }
    }
    return render(scene, size);
}

Picture lodPictures(const modelfile::Model& model, PictureSize size, const modelfile::HxmFile* collision) {
    const std::size_t count = std::max<std::size_t>(model.lodCount, 1);
    if (size.width > kMaxPictureSide / count || size.width * count * size.height > kMaxPicturePixels)
        throw ExportError(std::to_string(count) + " LODs of " + std::to_string(size.width) + "x" +
                          std::to_string(size.height) + " pixels side by side make too large a picture");
    Picture strip{size.width * count, size.height, {}};
    strip.rgb.resize(strip.width * strip.height * 3);
    for (std::size_t lod = 0; lod < count; ++lod) {
        const Picture panel = modelPicture(model, static_cast<std::uint32_t>(lod), size, collision);
        for (std::size_t y = 0; y < size.height; ++y)
            std::copy_n(panel.rgb.begin() + static_cast<std::ptrdiff_t>(y * size.width * 3), size.width * 3,
                        strip.rgb.begin() + static_cast<std::ptrdiff_t>((y * strip.width + lod * size.width) * 3));
        if (lod == 0) continue;
        for (std::size_t y = 0; y < size.height; ++y)
            std::fill_n(strip.rgb.begin() + static_cast<std::ptrdiff_t>((y * strip.width + lod * size.width) * 3), 3,
                        std::uint8_t{160});
    }
    return strip;
}

Picture brushesPicture(const modelfile::HxmFile& file, PictureSize size) {
    Scene scene;
    for (size_t b = 0; b < file.brushes.size(); ++b) addBrush(scene, file.brushes[b], b, {});
    return render(scene, size);
}

}  // namespace exporter
