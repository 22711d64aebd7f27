// Helpers of the aselod bench (bench/lod_bench.sh):
//
//   lod_bench regroup <in.ase> <out.ase>   the grid of asegen with its material
//                                          ids in 64x64-quad patches
//   lod_bench gltf <in.ase> <out.gltf>     positions and indices of every mesh
//                                          as a .gltf with its .bin beside it
//   lod_bench distance <a> <b>             symmetric surface distance of two
//                                          meshes (.ase or .gltf), sampled
//
// The distance samples four points on every triangle of each mesh, finds the
// nearest point of the other mesh through a uniform grid of its triangles,
// and prints the largest and the root-mean-square distance of both
// directions, relative to the diagonal of a's bounding box.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "common/atomic_file.h"
#include "common/file_loader.h"
#include "lod/ase_mesh.h"

namespace {

struct Mesh {
    std::vector<std::array<double, 3>> positions;
    std::vector<std::array<std::uint32_t, 3>> triangles;
};

std::string load(const std::string& path) {
    common::LoadedFile file = common::loadFile(path);
    if (!file.ok()) throw std::runtime_error("cannot read " + path);
    return std::move(file.bytes);
}

void save(const std::string& path, std::string_view bytes) {
    if (const std::string failure = common::replaceFile(path, bytes); !failure.empty())
        throw std::runtime_error("cannot write " + path + ": " + failure);
}

Mesh aseMesh(const std::string& path) {
    const std::string text = load(path);
    const lod::AseFile file = lod::readAseFile(text, path);
    Mesh mesh;
    for (const lod::MeshBlock& block : file.meshes) {
        const auto base = static_cast<std::uint32_t>(mesh.positions.size());
        for (const lod::Vec3& p : block.positions) mesh.positions.push_back({p.x, p.y, p.z});
        for (const lod::MeshFace& f : block.faces)
            mesh.triangles.push_back({base + f.vertex[0], base + f.vertex[1], base + f.vertex[2]});
    }
    return mesh;
}

// --- regroup -------------------------------------------------------------

void regroup(const std::string& in, const std::string& out) {
    const std::string text = load(in);
    std::string result;
    result.reserve(text.size());
    long side = 1, face = 0;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size() - 1) + 1;
        std::string_view line(text.data() + at, end - at);
        if (const size_t n = line.find("*MESH_NUMFACES"); n != std::string_view::npos)
            side = std::max(1L, std::lround(std::sqrt(std::atof(std::string(line.substr(n + 14)).c_str()) / 2)));
        const size_t id = line.find("*MESH_MTLID");
        if (id != std::string_view::npos && line.find("*MESH_FACE") != std::string_view::npos) {
            const long quad = face++ / 2, i = quad % side, j = quad / side;
            result.append(line.substr(0, id));
            result += "*MESH_MTLID " + std::to_string((i / 64 + 3 * (j / 64)) % 4) + "\n";
        } else {
            result.append(line);
        }
        at = end;
    }
    save(out, result);
}

// --- glTF ----------------------------------------------------------------

void writeGltf(const Mesh& mesh, const std::string& out) {
    std::string bin;
    std::array<double, 3> lo{1e300, 1e300, 1e300}, hi{-1e300, -1e300, -1e300};
    for (const auto& p : mesh.positions)
        for (int k = 0; k < 3; ++k) {
            const auto f = static_cast<float>(p[k]);
            bin.append(reinterpret_cast<const char*>(&f), 4);
            lo[k] = std::min(lo[k], double(f));
            hi[k] = std::max(hi[k], double(f));
        }
    const size_t positionBytes = bin.size();
    for (const auto& t : mesh.triangles) bin.append(reinterpret_cast<const char*>(t.data()), 12);
    const std::string binName = std::filesystem::path(out).replace_extension(".bin").filename().string();
    char json[2048];
    std::snprintf(json, sizeof json,
                  "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":[0]}],\"nodes\":[{\"mesh\":0}],"
                  "\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0},\"indices\":1}]}],"
                  "\"buffers\":[{\"uri\":\"%s\",\"byteLength\":%zu}],"
                  "\"bufferViews\":[{\"buffer\":0,\"byteOffset\":0,\"byteLength\":%zu,\"target\":34962},"
                  "{\"buffer\":0,\"byteOffset\":%zu,\"byteLength\":%zu,\"target\":34963}],"
                  "\"accessors\":[{\"bufferView\":0,\"componentType\":5126,\"count\":%zu,\"type\":\"VEC3\","
                  "\"min\":[%.9g,%.9g,%.9g],\"max\":[%.9g,%.9g,%.9g]},"
                  "{\"bufferView\":1,\"componentType\":5125,\"count\":%zu,\"type\":\"SCALAR\"}]}\n",
                  binName.c_str(), bin.size(), positionBytes, positionBytes, bin.size() - positionBytes,
                  mesh.positions.size(), lo[0], lo[1], lo[2], hi[0], hi[1], hi[2], 3 * mesh.triangles.size());
    save(std::filesystem::path(out).replace_extension(".bin").string(), bin);
    save(out, json);
}

// Just enough JSON for glTF files: objects, arrays, strings (no escapes
// beyond the backslash pair), numbers, true, false, null.
struct Json {
    std::variant<std::nullptr_t, bool, double, std::string, std::vector<Json>, std::map<std::string, Json>> value;
    const Json& operator[](const std::string& key) const {
        static const Json none;
        const auto* object = std::get_if<std::map<std::string, Json>>(&value);
        if (!object) return none;
        const auto found = object->find(key);
        return found == object->end() ? none : found->second;
    }
    const Json& operator[](size_t i) const {
        static const Json none;
        const auto* array = std::get_if<std::vector<Json>>(&value);
        return array && i < array->size() ? (*array)[i] : none;
    }
    size_t size() const {
        const auto* array = std::get_if<std::vector<Json>>(&value);
        return array ? array->size() : 0;
    }
    bool present() const { return !std::holds_alternative<std::nullptr_t>(value); }
    double number(double fallback = 0) const {
        const auto* n = std::get_if<double>(&value);
        return n ? *n : fallback;
    }
    std::string text() const {
        const auto* s = std::get_if<std::string>(&value);
        return s ? *s : std::string();
    }
};

class JsonParser {
public:
    explicit JsonParser(std::string_view text) : text_(text) {}
    Json parse() {
        blanks();
        if (at_ >= text_.size()) throw std::runtime_error("JSON ends early");
        const char c = text_[at_];
        if (c == '{') {
            std::map<std::string, Json> object;
            ++at_;
            while (blanks(), text_.at(at_) != '}') {
                std::string key = string();
                blanks();
                ++at_;  // ':'
                object[key] = parse();
                blanks();
                if (text_.at(at_) == ',') ++at_;
            }
            ++at_;
            return {std::move(object)};
        }
        if (c == '[') {
            std::vector<Json> array;
            ++at_;
            while (blanks(), text_.at(at_) != ']') {
                array.push_back(parse());
                blanks();
                if (text_.at(at_) == ',') ++at_;
            }
            ++at_;
            return {std::move(array)};
        }
        if (c == '"') return {string()};
        if (text_.compare(at_, 4, "true") == 0) return at_ += 4, Json{true};
        if (text_.compare(at_, 5, "false") == 0) return at_ += 5, Json{false};
        if (text_.compare(at_, 4, "null") == 0) return at_ += 4, Json{nullptr};
        char* end = nullptr;
        const std::string rest(text_.substr(at_, 64));
        const double n = std::strtod(rest.c_str(), &end);
        at_ += static_cast<size_t>(end - rest.c_str());
        return {n};
    }

private:
    void blanks() {
        while (at_ < text_.size() && std::strchr(" \t\r\n", text_[at_])) ++at_;
    }
    std::string string() {
        std::string s;
        for (++at_; text_.at(at_) != '"'; ++at_) {
            if (text_[at_] == '\\') ++at_;
            s += text_[at_];
        }
        ++at_;
        return s;
    }
    std::string_view text_;
    size_t at_ = 0;
};

using Matrix = std::array<double, 16>;  // column-major, as glTF stores it

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix m{};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            for (int k = 0; k < 4; ++k) m[c * 4 + r] += a[k * 4 + r] * b[c * 4 + k];
    return m;
}

Matrix nodeMatrix(const Json& node) {
    if (node["matrix"].present()) {
        Matrix m{};
        for (size_t i = 0; i < 16; ++i) m[i] = node["matrix"][i].number();
        return m;
    }
    const Json &t = node["translation"], &r = node["rotation"], &s = node["scale"];
    const double x = r[0].number(), y = r[1].number(), z = r[2].number(), w = r[3].number(1);
    const double sx = s[0].number(1), sy = s[1].number(1), sz = s[2].number(1);
    return {(1 - 2 * (y * y + z * z)) * sx, 2 * (x * y + z * w) * sx, 2 * (x * z - y * w) * sx, 0,
            2 * (x * y - z * w) * sy, (1 - 2 * (x * x + z * z)) * sy, 2 * (y * z + x * w) * sy, 0,
            2 * (x * z + y * w) * sz, 2 * (y * z - x * w) * sz, (1 - 2 * (x * x + y * y)) * sz, 0,
            t[0].number(), t[1].number(), t[2].number(), 1};
}

struct GltfReader {
    Json root;
    std::string bin;
    Mesh mesh;

    // Element `i` of an accessor, converted to double.
    double element(const Json& accessor, size_t i, size_t component) const {
        const Json& view = root["bufferViews"][static_cast<size_t>(accessor["bufferView"].number())];
        const int type = static_cast<int>(accessor["componentType"].number());
        const size_t bytes = type == 5126 || type == 5125 ? 4 : type == 5123 ? 2 : 1;
        const size_t components = accessor["type"].text() == "VEC3" ? 3 : 1;
        const size_t stride = view["byteStride"].present() ? static_cast<size_t>(view["byteStride"].number()) : bytes * components;
        const size_t at = static_cast<size_t>(view["byteOffset"].number() + accessor["byteOffset"].number()) +
                          i * stride + component * bytes;
        if (at + bytes > bin.size()) throw std::runtime_error("accessor outside the buffer");
        std::uint32_t u = 0;
        float f = 0;
        std::memcpy(type == 5126 ? static_cast<void*>(&f) : static_cast<void*>(&u), bin.data() + at, bytes);
        return type == 5126 ? double(f) : double(u);
    }

    void addNode(size_t index, const Matrix& parent) {
        const Json& node = root["nodes"][index];
        const Matrix m = multiply(parent, nodeMatrix(node));
        if (node["mesh"].present()) {
            const Json& primitives = root["meshes"][static_cast<size_t>(node["mesh"].number())]["primitives"];
            for (size_t p = 0; p < primitives.size(); ++p) {
                const Json& positions = root["accessors"][static_cast<size_t>(primitives[p]["attributes"]["POSITION"].number())];
                const Json& indices = root["accessors"][static_cast<size_t>(primitives[p]["indices"].number())];
                const auto base = static_cast<std::uint32_t>(mesh.positions.size());
                for (size_t v = 0; v < static_cast<size_t>(positions["count"].number()); ++v) {
                    const double x = element(positions, v, 0), y = element(positions, v, 1), z = element(positions, v, 2);
                    mesh.positions.push_back({m[0] * x + m[4] * y + m[8] * z + m[12], m[1] * x + m[5] * y + m[9] * z + m[13],
                                              m[2] * x + m[6] * y + m[10] * z + m[14]});
                }
                for (size_t i = 0; i + 2 < static_cast<size_t>(indices["count"].number()); i += 3)
                    mesh.triangles.push_back({base + static_cast<std::uint32_t>(element(indices, i, 0)),
                                              base + static_cast<std::uint32_t>(element(indices, i + 1, 0)),
                                              base + static_cast<std::uint32_t>(element(indices, i + 2, 0))});
            }
        }
        for (size_t c = 0; c < node["children"].size(); ++c) addNode(static_cast<size_t>(node["children"][c].number()), m);
    }
};

Mesh gltfMesh(const std::string& path) {
    GltfReader reader{JsonParser(load(path)).parse(), {}, {}};
    const std::string uri = reader.root["buffers"][0]["uri"].text();
    reader.bin = load((std::filesystem::path(path).parent_path() / uri).string());
    const Json& nodes = reader.root["scenes"][static_cast<size_t>(reader.root["scene"].number())]["nodes"];
    const Matrix identity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    for (size_t n = 0; n < nodes.size(); ++n) reader.addNode(static_cast<size_t>(nodes[n].number()), identity);
    return std::move(reader.mesh);
}

Mesh anyMesh(const std::string& path) { return path.ends_with(".gltf") ? gltfMesh(path) : aseMesh(path); }

// --- distance ------------------------------------------------------------

using P = std::array<double, 3>;
P sub(const P& a, const P& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
double dot(const P& a, const P& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
P along(const P& a, const P& d, double t) { return {a[0] + d[0] * t, a[1] + d[1] * t, a[2] + d[2] * t}; }

// Squared distance from p to triangle abc (the closest-point regions of
// Ericson's Real-Time Collision Detection, 5.1.5).
double distance2(const P& p, const P& a, const P& b, const P& c) {
    const P ab = sub(b, a), ac = sub(c, a), ap = sub(p, a);
    const double d1 = dot(ab, ap), d2 = dot(ac, ap);
    P q;
    if (d1 <= 0 && d2 <= 0) {
        q = a;
    } else {
        const P bp = sub(p, b);
        const double d3 = dot(ab, bp), d4 = dot(ac, bp);
        const P cp = sub(p, c);
        const double d5 = dot(ab, cp), d6 = dot(ac, cp);
        const double vc = d1 * d4 - d3 * d2, vb = d5 * d2 - d1 * d6, va = d3 * d6 - d5 * d4;
        if (d3 >= 0 && d4 <= d3) q = b;
        else if (d6 >= 0 && d5 <= d6) q = c;
        else if (vc <= 0 && d1 >= 0 && d3 <= 0) q = along(a, ab, d1 / (d1 - d3));
        else if (vb <= 0 && d2 >= 0 && d6 <= 0) q = along(a, ac, d2 / (d2 - d6));
        else if (va <= 0 && d4 - d3 >= 0 && d5 - d6 >= 0) q = along(b, sub(c, b), (d4 - d3) / ((d4 - d3) + (d5 - d6)));
        else {
            const double denominator = va + vb + vc;
            const double v = vb / denominator, w = vc / denominator;
            q = {a[0] + ab[0] * v + ac[0] * w, a[1] + ab[1] * v + ac[1] * w, a[2] + ab[2] * v + ac[2] * w};
        }
    }
    const P d = sub(p, q);
    return dot(d, d);
}

class TriangleGrid {
public:
    explicit TriangleGrid(const Mesh& mesh) : mesh_(mesh), seen_(mesh.triangles.size(), 0) {
        lo_ = {1e300, 1e300, 1e300};
        P hi{-1e300, -1e300, -1e300};
        for (const P& p : mesh.positions)
            for (int k = 0; k < 3; ++k) lo_[k] = std::min(lo_[k], p[k]), hi[k] = std::max(hi[k], p[k]);
        double area = 0;
        for (const auto& t : mesh.triangles) {
            const P u = sub(mesh.positions[t[1]], mesh.positions[t[0]]), v = sub(mesh.positions[t[2]], mesh.positions[t[0]]);
            const P n{u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
            area += std::sqrt(dot(n, n)) / 2;
        }
        cell_ = std::max(2 * std::sqrt(area / double(std::max<size_t>(1, mesh.triangles.size()))), 1e-9);
        for (;;) {
            for (int k = 0; k < 3; ++k) size_[k] = static_cast<long>((hi[k] - lo_[k]) / cell_) + 1;
            if (size_[0] * size_[1] * size_[2] <= 16'000'000) break;
            cell_ *= 1.5;
        }
        std::vector<std::uint32_t> counts(static_cast<size_t>(size_[0] * size_[1] * size_[2]) + 1, 0);
        auto forCells = [&](const std::array<std::uint32_t, 3>& t, auto&& f) {
            std::array<long, 3> a{}, b{};
            for (int k = 0; k < 3; ++k) {
                const double l = std::min({mesh.positions[t[0]][k], mesh.positions[t[1]][k], mesh.positions[t[2]][k]});
                const double h = std::max({mesh.positions[t[0]][k], mesh.positions[t[1]][k], mesh.positions[t[2]][k]});
                a[k] = coordinate(l, k);
                b[k] = coordinate(h, k);
            }
            for (long z = a[2]; z <= b[2]; ++z)
                for (long y = a[1]; y <= b[1]; ++y)
                    for (long x = a[0]; x <= b[0]; ++x) f(index(x, y, z));
        };
        for (const auto& t : mesh.triangles) forCells(t, [&](size_t c) { ++counts[c + 1]; });
        for (size_t c = 1; c < counts.size(); ++c) counts[c] += counts[c - 1];
        start_ = counts;
        items_.resize(counts.back());
        for (size_t i = 0; i < mesh.triangles.size(); ++i)
            forCells(mesh.triangles[i], [&](size_t c) { items_[counts[c]++] = static_cast<std::uint32_t>(i); });
    }

    double nearest(const P& p) {
        ++stamp_;
        const std::array<long, 3> c{coordinate(p[0], 0), coordinate(p[1], 1), coordinate(p[2], 2)};
        double best = 1e300;
        for (long r = 0;; ++r) {
            for (long z = c[2] - r; z <= c[2] + r; ++z)
                for (long y = c[1] - r; y <= c[1] + r; ++y)
                    for (long x = c[0] - r; x <= c[0] + r; ++x) {
                        if (std::max({std::labs(x - c[0]), std::labs(y - c[1]), std::labs(z - c[2])}) != r) continue;
                        if (x < 0 || y < 0 || z < 0 || x >= size_[0] || y >= size_[1] || z >= size_[2]) continue;
                        const size_t cell = index(x, y, z);
                        for (std::uint32_t i = start_[cell]; i < start_[cell + 1]; ++i) {
                            const std::uint32_t t = items_[i];
                            if (seen_[t] == stamp_) continue;
                            seen_[t] = stamp_;
                            const auto& v = mesh_.triangles[t];
                            best = std::min(best, distance2(p, mesh_.positions[v[0]], mesh_.positions[v[1]], mesh_.positions[v[2]]));
                        }
                    }
            // Anything not yet seen lies outside the searched box.
            double outside = 1e300;
            for (int k = 0; k < 3; ++k) {
                const double low = lo_[k] + double(c[k] - r) * cell_, high = lo_[k] + double(c[k] + r + 1) * cell_;
                outside = std::min({outside, p[k] - low, high - p[k]});
            }
            if (best <= outside * outside || r > std::max({size_[0], size_[1], size_[2]})) return std::sqrt(best);
        }
    }

private:
    long coordinate(double v, int k) const {
        return std::clamp(static_cast<long>((v - lo_[k]) / cell_), 0L, size_[k] - 1);
    }
    size_t index(long x, long y, long z) const { return static_cast<size_t>((z * size_[1] + y) * size_[0] + x); }

    const Mesh& mesh_;
    P lo_{};
    double cell_ = 1;
    std::array<long, 3> size_{};
    std::vector<std::uint32_t> start_, items_, seen_;
    std::uint32_t stamp_ = 0;
};

// Distances from four points inside every triangle of `from` to `to`.
void sample(const Mesh& from, const Mesh& to, double& largest, double& sumSquares, size_t& samples) {
    TriangleGrid grid(to);
    constexpr double kWeights[4][3] = {{1.0 / 3, 1.0 / 3, 1.0 / 3}, {4.0 / 6, 1.0 / 6, 1.0 / 6},
                                       {1.0 / 6, 4.0 / 6, 1.0 / 6}, {1.0 / 6, 1.0 / 6, 4.0 / 6}};
    for (const auto& t : from.triangles)
        for (const auto& w : kWeights) {
            P p{};
            for (int k = 0; k < 3; ++k)
                p[k] = w[0] * from.positions[t[0]][k] + w[1] * from.positions[t[1]][k] + w[2] * from.positions[t[2]][k];
            const double d = grid.nearest(p);
            largest = std::max(largest, d);
            sumSquares += d * d;
            ++samples;
        }
}

void distance(const std::string& a, const std::string& b) {
    const Mesh ma = anyMesh(a), mb = anyMesh(b);
    P lo{1e300, 1e300, 1e300}, hi{-1e300, -1e300, -1e300};
    for (const P& p : ma.positions)
        for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], p[k]), hi[k] = std::max(hi[k], p[k]);
    const P diagonal = sub(hi, lo);
    const double scale = std::sqrt(dot(diagonal, diagonal));
    double largest = 0, sumSquares = 0;
    size_t samples = 0;
    sample(ma, mb, largest, sumSquares, samples);
    sample(mb, ma, largest, sumSquares, samples);
    std::printf("%zu and %zu triangles: max %.3g, rms %.3g of the bounding-box diagonal (%zu samples)\n",
                ma.triangles.size(), mb.triangles.size(), largest / scale, std::sqrt(sumSquares / double(samples)) / scale,
                samples);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    try {
        if (argc == 4 && command == "regroup") regroup(argv[2], argv[3]);
        else if (argc == 4 && command == "gltf") writeGltf(aseMesh(argv[2]), argv[3]);
        else if (argc == 4 && command == "distance") distance(argv[2], argv[3]);
        else {
            std::fputs("usage: lod_bench regroup|gltf|distance <in> <out or other>\n", stderr);
            return 2;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lod_bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
