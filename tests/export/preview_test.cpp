#include "export/preview.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <limits>

#include "export/gltf_writer.h"
#include "export/png_encoder.h"
#include "export/raster.h"
#include "tests/test_support.h"

namespace {

using exporter::Picture;
using exporter::Rgb;

std::vector<std::uint8_t> bytesOf(const std::string& path) {
    const std::string text = testsupport::readFile(std::string(PIPELINE_SOURCE_DIR) + "/" + path);
    return {text.begin(), text.end()};
}

Picture decoded(const std::vector<std::uint8_t>& png) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    EXPECT_NE(png_image_begin_read_from_memory(&image, png.data(), png.size()), 0) << image.message;
    image.format = PNG_FORMAT_RGB;
    Picture p{image.width, image.height, std::vector<std::uint8_t>(PNG_IMAGE_SIZE(image))};
    EXPECT_NE(png_image_finish_read(&image, nullptr, p.rgb.data(), 0, nullptr), 0) << image.message;
    return p;
}

Rgb pixel(const Picture& p, size_t x, size_t y) {
    const size_t at = 3 * (y * p.width + x);
    return {p.rgb[at], p.rgb[at + 1], p.rgb[at + 2]};
}

double coverage(const Picture& p) {
    const Rgb background = pixel(p, 0, 0);
    size_t differing = 0;
    for (size_t y = 0; y < p.height; ++y)
        for (size_t x = 0; x < p.width; ++x) differing += pixel(p, x, y) != background;
    return static_cast<double>(differing) / static_cast<double>(p.width * p.height);
}

// A lit face of this diffuse colour: each channel the diffuse one times one
// common light factor, ambient (0.35) to full, rounded.
bool shows(const Rgb& px, const std::array<std::uint8_t, 3>& diffuse) {
    double pd = 0, dd = 0;
    for (int k = 0; k < 3; ++k) pd += px[k] * diffuse[k], dd += diffuse[k] * diffuse[k];
    const double light = pd / dd;
    if (!(light > 0.34 && light < 1.01)) return false;
    for (int k = 0; k < 3; ++k)
        if (std::abs(px[k] - diffuse[k] * light) > 1.0) return false;
    return true;
}

// Mean position of the pixels showing `diffuse`, (-1, -1) when none does.
std::array<double, 2> centroid(const Picture& p, const std::array<std::uint8_t, 3>& diffuse) {
    double sx = 0, sy = 0, n = 0;
    for (size_t y = 0; y < p.height; ++y)
        for (size_t x = 0; x < p.width; ++x)
            if (shows(pixel(p, x, y), diffuse)) sx += static_cast<double>(x), sy += static_cast<double>(y), ++n;
    return n == 0 ? std::array<double, 2>{-1, -1} : std::array<double, 2>{sx / n, sy / n};
}

modelfile::Lod cube(std::array<float, 3> centre, float half, std::uint32_t material) {
    modelfile::Lod lod;
    for (int i = 0; i < 8; ++i) {
        modelfile::Vertex v;
        for (int k = 0; k < 3; ++k) v.position[k] = centre[k] + ((i >> k) & 1 ? half : -half);
        lod.vertices.push_back(v);
    }
    lod.groups.push_back({material, {{0, 1, 3}, {0, 3, 2}, {4, 7, 5}, {4, 6, 7}, {0, 5, 1}, {0, 4, 5},
                                     {2, 3, 7}, {2, 7, 6}, {0, 2, 6}, {0, 6, 4}, {1, 5, 7}, {1, 7, 3}}});
    lod.edges = {{0, 1}, {2, 3}, {4, 5}, {6, 7}, {0, 2}, {1, 3}, {4, 6}, {5, 7}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
    lod.hasIndexStream = lod.hasEdgeList = true;
    return lod;
}

constexpr std::array<std::uint8_t, 3> kBody{200, 60, 40}, kMarker{40, 90, 210};

// A body cube, and a marker cube in a child element placed at `offset` in it.
modelfile::Model bodyAndMarker(std::array<float, 3> offset, std::array<float, 4> bodyTurn) {
    modelfile::Model m;
    m.lodCount = 1;
    m.materials.resize(2);
    m.materials[0].diffuse = kBody;
    m.materials[1].diffuse = kMarker;
    modelfile::Element body, marker;
    body.type = marker.type = 1;
    body.localPosition = {10, 0, 0};
    body.localRotation = bodyTurn;
    body.lods = {cube({0, 0, 0}, 1, 0)};
    marker.parent = 0;
    marker.localPosition = offset;
    marker.localRotation = {0, 0, 0, 1};
    marker.lods = {cube({0, 0, 0}, 0.5f, 1)};
    m.elements = {body, marker};
    return m;
}

TEST(ModelPicture, CoversASensibleShareOfTheDefaultSizedPicture) {
    const modelfile::HxmFile brushes = modelfile::readHxm(bytesOf("tests/golden/SCENE2HXM/example_brushes_format2/out/brushes.hxm"));
    const std::vector<Picture> pictures{
        decoded(exporter::encodePng(exporter::modelPicture(
            modelfile::readVkm(bytesOf("tests/golden/DKS2VKM/vehicle/out/vehicle.vkm")), 0, {}))),
        decoded(exporter::encodePng(exporter::modelPicture(
            modelfile::readVkm(bytesOf("tests/golden/DKS2VKM/lod_with_missing_mesh/out/model.vkm")), 0, {}))),
        decoded(exporter::encodePng(exporter::brushesPicture(brushes, {}))),
        decoded(exporter::encodePng(exporter::brushesPicture(brushes, {123, 45})))};
    for (size_t i = 0; i < pictures.size(); ++i) {
        EXPECT_EQ(pictures[i].width, i < 3 ? 800u : 123u) << i;
        EXPECT_EQ(pictures[i].height, i < 3 ? 600u : 45u) << i;
        const double share = coverage(pictures[i]);
        EXPECT_GT(share, 0.05) << i;
        EXPECT_LT(share, 0.90) << i;
    }
}

TEST(ModelPicture, ShowsEveryMaterialOfTheExampleInItsDiffuseColourAndTheBarrelOnTheRight) {
    const modelfile::Model vkm = modelfile::readVkm(bytesOf("tests/golden/DKS2VKM/vehicle/out/vehicle.vkm"));
    const Picture p = exporter::modelPicture(vkm, 0, {400, 300});
    ASSERT_EQ(vkm.materials.size(), 4u);
    for (const modelfile::Material& m : vkm.materials) EXPECT_GE(centroid(p, m.diffuse)[0], 0) << m.name;
    // Gunmetal is the barrel alone, reaching out along +x from the camouflaged turret.
    EXPECT_GT(centroid(p, vkm.materials[0].diffuse)[0], centroid(p, vkm.materials[1].diffuse)[0] + 20);
}

TEST(ModelPicture, ShowsTheFileFrameUprightAndUnmirrored) {
    const std::array<float, 4> none{0, 0, 0, 1}, halfTurnAboutY{0, 1, 0, 0};
    struct Case {
        std::array<float, 3> offset;
        std::array<float, 4> bodyTurn;
        int right, up;  // where the marker shows from the body: +1, -1, or 0 for either
    } const cases[] = {
        {{3, 0, 0}, none, 1, 0},   {{-3, 0, 0}, none, -1, 0},           {{0, 3, 0}, none, 0, 1},
        {{0, -3, 0}, none, 0, -1}, {{0, 0, 3}, none, 1, 1},             {{0, 0, -3}, none, -1, -1},
        {{3, 0, 0}, halfTurnAboutY, -1, 0},
    };
    for (const Case& c : cases) {
        const Picture p = exporter::modelPicture(bodyAndMarker(c.offset, c.bodyTurn), 0, {320, 240});
        const auto body = centroid(p, kBody), marker = centroid(p, kMarker);
        ASSERT_GE(body[0], 0);
        ASSERT_GE(marker[0], 0);
        const std::string where = std::to_string(c.offset[0]) + " " + std::to_string(c.offset[1]) + " " +
                                  std::to_string(c.offset[2]) + (c.bodyTurn == none ? "" : " turned");
        if (c.right != 0) { EXPECT_GT(c.right * (marker[0] - body[0]), 10) << where; }
        if (c.up != 0) { EXPECT_GT(c.up * (body[1] - marker[1]), 10) << where; }
    }
}

TEST(ModelPicture, IsTheSameBytesEachTimeAndRefusesAMissingLod) {
    const modelfile::Model m = bodyAndMarker({3, 0, 0}, {0, 0, 0, 1});
    EXPECT_EQ(exporter::encodePng(exporter::modelPicture(m, 0, {200, 100})),
              exporter::encodePng(exporter::modelPicture(m, 0, {200, 100})));
    EXPECT_THROW(exporter::modelPicture(m, 1, {}), exporter::ExportError);
}

TEST(ModelPicture, DrawsWhatIsFiniteAndNeverFailsOnHugeOrNonFiniteCoordinates) {
    constexpr float kInf = std::numeric_limits<float>::infinity();
    const struct {
        float value;
        bool restShows;  // the other cube is still framed and drawn
    } cases[] = {{std::nanf(""), true}, {kInf, true}, {-kInf, true}, {1e30f, false}, {3e38f, false}, {-3e38f, false}};
    for (const auto& c : cases) {
        modelfile::Model m = bodyAndMarker({3, 0, 0}, {0, 0, 0, 1});
        m.elements[1].lods[0].vertices[0].position = {c.value, 0, c.value};
        const Picture p = exporter::modelPicture(m, 0, {64, 48});
        EXPECT_EQ(p.rgb.size(), 64u * 48 * 3) << c.value;
        if (c.restShows) { EXPECT_GE(centroid(p, kBody)[0], 0) << c.value; }
    }
}

TEST(Raster, BlendsEverySampleOfTwoTrianglesSharingAnEdgeOnce) {
    exporter::Raster r(16, 16, {0, 0, 0});
    const exporter::ScreenPoint a{0, 0, 1}, b{16, 0, 1}, c{16, 16, 1}, d{0, 16, 1};
    r.triangle({a, b, c}, {200, 200, 200}, 0.5);
    r.triangle({a, c, d}, {200, 200, 200}, 0.5);
    const std::vector<std::uint8_t> rgb = r.resolve(1);
    for (size_t i = 0; i < rgb.size(); ++i) ASSERT_EQ(rgb[i], 100) << i / 3;
}

TEST(Raster, HidesFartherSurfacesAndLinesWhateverTheOrder) {
    exporter::Raster r(8, 8, {0, 0, 0});
    const auto square = [&](double depth, Rgb colour) {
        const double inverse = 1 / depth;
        r.triangle({{{-10, -10, inverse}, {30, -10, inverse}, {-10, 30, inverse}}}, colour, 1);
    };
    square(2, {10, 10, 10});
    square(5, {20, 20, 20});                                 // behind: hidden
    r.line({0, 1.5, 1 / 2.05}, {8, 1.5, 1 / 2.05}, {1, 1, 1}, 1, 0.1);  // within the slack: shown
    r.line({0, 5.5, 1 / 3.0}, {8, 5.5, 1 / 3.0}, {2, 2, 2}, 1, 0.1);    // behind the surface: hidden
    const std::vector<std::uint8_t> rgb = r.resolve(1);
    EXPECT_EQ(rgb[3 * (1 * 8 + 4)], 1);
    EXPECT_EQ(rgb[3 * (5 * 8 + 4)], 10);
    EXPECT_EQ(rgb[3 * (7 * 8 + 7)], 10);
}

TEST(Raster, ClipsHugeAndSkipsNonFiniteCoordinates) {
    const double kNan = std::nan(""), kInf = std::numeric_limits<double>::infinity();
    exporter::Raster r(8, 8, {0, 0, 0});
    r.triangle({{{kNan, 0, 1}, {8, 0, 1}, {0, 8, 1}}}, {9, 9, 9}, 1);
    r.triangle({{{0, 0, 1}, {kInf, 0, 1}, {0, 8, 1}}}, {9, 9, 9}, 1);
    r.line({kNan, 1, 1}, {8, 1, 1}, {9, 9, 9}, 2, 0);
    EXPECT_EQ(r.resolve(1), std::vector<std::uint8_t>(8 * 8 * 3, 0));
    r.triangle({{{-1e7, -1e7, 1}, {3e7, -1e7, 1}, {-1e7, 3e7, 1}}}, {7, 7, 7}, 1);
    r.line({-1e9, 2.5, 2}, {1e9, 2.5, 2}, {3, 3, 3}, 1, 0);
    std::vector<std::uint8_t> expected(8 * 8 * 3, 7);
    std::fill(expected.begin() + 3 * 8 * 2, expected.begin() + 3 * 8 * 3, 3);
    EXPECT_EQ(r.resolve(1), expected);
    // Beyond what doubles resolve at a sample's scale the picture may be anything, but stays in bounds.
    r.triangle({{{-1e300, -1e300, 4}, {3e300, -1e300, 4}, {-1e300, 3e300, 4}}}, {5, 5, 5}, 1);
    r.line({-1e300, 2.5, 4}, {1e300, 2.5, 4}, {5, 5, 5}, 3, 0);
    for (const std::uint8_t c : r.resolve(1)) EXPECT_TRUE(c == 3 || c == 5 || c == 7);
}

TEST(PictureSize, ReadsWidthByHeightWithinTheLimits) {
    const struct {
        const char* text;
        size_t width, height;  // 0: refused
    } cases[] = {{"800x600", 800, 600}, {"1x1", 1, 1},       {"16384x4096", 16384, 4096}, {"0x600", 0, 0},
                 {"800x0", 0, 0},       {"16385x10", 0, 0},  {"16384x4097", 0, 0},        {"800", 0, 0},
                 {"x", 0, 0},           {"axb", 0, 0},       {"-1x5", 0, 0},              {"+5x5", 0, 0},
                 {" 5x5", 0, 0},        {"5x5x5", 0, 0},     {"5X5", 0, 0},               {"99999999999999999999x1", 0, 0}};
    for (const auto& c : cases) {
        const std::optional<exporter::PictureSize> size = exporter::parsePictureSize(c.text);
        EXPECT_EQ(size.has_value(), c.width != 0) << c.text;
        if (size) { EXPECT_EQ(size->width * 100000 + size->height, c.width * 100000 + c.height) << c.text; }
    }
}

}  // namespace

TEST(LodPictures, PutsEachLodBesideTheLastAndRefusesTooWideAStrip) {
    modelfile::Model m = bodyAndMarker({3, 0, 0}, {0, 0, 0, 1});
    m.lodCount = 2;
    m.elements[0].lods.push_back(m.elements[0].lods[0]);
    m.elements[1].lods.push_back({});  // the marker is gone in LOD 1
    const Picture strip = exporter::lodPictures(m, {200, 100});
    ASSERT_EQ(strip.width, 400u);
    ASSERT_EQ(strip.height, 100u);
    for (std::uint32_t lod = 0; lod < 2; ++lod) {
        const Picture panel = exporter::modelPicture(m, lod, {200, 100});
        for (size_t y = 0; y < 100; ++y)  // the first column of LOD 1 is the parting line
            for (size_t x = lod; x < 200; ++x)
                for (size_t c = 0; c < 3; ++c)
                    ASSERT_EQ(strip.rgb[(y * 400 + lod * 200 + x) * 3 + c], panel.rgb[(y * 200 + x) * 3 + c]);
    }
    EXPECT_GE(centroid(strip, kMarker)[0], 0);
    EXPECT_LT(centroid(strip, kMarker)[0], 200);
    EXPECT_THROW(exporter::lodPictures(m, {9000, 10}), exporter::ExportError);
}
