// Writes a large ASE export in the real exporter's text style, and a DKS
// script for it, for benchmarks: a wavy grid mesh with shared vertices, a
// texture seam, smoothing groups (some faces unsmoothed), four material ids
// interleaved in face order, UVs and a normals block; about 390 bytes per
// triangle like real exports.
//
// With --chain: that many elements instead, meshes (one triangle each),
// free cameras and omni lights in turn, each the parent of the next. The
// script names every node and parent in another letter case than the export
// does, so lookups must fold case.
//
// With --meshes: that many grid meshes of about triangles / meshes each,
// side by side, each an element of the script.
//
//   asegen [--meshes <count>] <triangles> <output.ase> [<output.dks>]
//   asegen --chain <elements> <output.ase> <output.dks>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

class Output {
public:
    explicit Output(std::FILE* file) : file_(file) { buffer_.reserve(kFlush + 4096); }
    ~Output() { flush(); }
    void printf(const char* format, auto... args) {
        if constexpr (sizeof...(args) == 0) {
            buffer_ += format;  // no conversions (no call passes "%%" alone): the text itself
        } else {
            const size_t at = buffer_.size();
            buffer_.resize(at + 256);
            const auto n = static_cast<size_t>(std::snprintf(buffer_.data() + at, 256, format, args...));
            if (n >= 256) {  // longer than the usual line: format again into room of its size
                buffer_.resize(at + n + 1);
                std::snprintf(buffer_.data() + at, n + 1, format, args...);
            }
            buffer_.resize(at + n);
        }
        if (buffer_.size() >= kFlush) flush();
    }
    void flush() {
        std::fwrite(buffer_.data(), 1, buffer_.size(), file_);
        buffer_.clear();
    }

private:
    static constexpr size_t kFlush = 1 << 20;
    std::FILE* file_;
    std::string buffer_;
};

struct Grid {
    int w, h;
    int vertex(int i, int j) const { return j * (w + 1) + i; }
    double height(int i, int j) const { return 5.0 * std::sin(i * 0.1) * std::cos(j * 0.13); }
};

void writeMaterials(Output& out) {
    out.printf("*MATERIAL_LIST {\n\t*MATERIAL_COUNT 1\n\t*MATERIAL 0 {\n");
    out.printf("\t\t*MATERIAL_NAME \"Terrain\"\n\t\t*MATERIAL_CLASS \"Multi/Sub-Object\"\n");
    out.printf("\t\t*MATERIAL_AMBIENT 0.5882\t0.5882\t0.5882\n\t\t*MATERIAL_DIFFUSE 0.5882\t0.5882\t0.5882\n");
    out.printf("\t\t*NUMSUBMTLS 4\n");
    const char* names[4] = {"Grass", "Rock", "Sand", "Snow"};
    for (int s = 0; s < 4; ++s) {
        out.printf("\t\t*SUBMATERIAL %d {\n\t\t\t*MATERIAL_NAME \"%s\"\n\t\t\t*MATERIAL_CLASS \"Standard\"\n", s, names[s]);
        out.printf("\t\t\t*MATERIAL_AMBIENT 0.1000\t0.1000\t0.1000\n\t\t\t*MATERIAL_DIFFUSE 0.%d000\t0.5000\t0.2500\n", s + 3);
        out.printf("\t\t\t*MATERIAL_SPECULAR 0.9000\t0.9000\t0.9000\n\t\t\t*MATERIAL_SHINE 0.%d500\n", s);
        out.printf("\t\t\t*MATERIAL_SHINESTRENGTH 0.0500\n\t\t\t*MATERIAL_TRANSPARENCY 0.0000\n");
        out.printf("\t\t\t*MATERIAL_WIRESIZE 1.0000\n\t\t\t*MATERIAL_SHADING Blinn\n\t\t\t*MATERIAL_SELFILLUM 0.0000\n");
        out.printf("\t\t\t*MAP_DIFFUSE {\n\t\t\t\t*MAP_NAME \"Map #%d\"\n\t\t\t\t*MAP_CLASS \"Bitmap\"\n", s + 1);
        out.printf("\t\t\t\t*BITMAP \"C:\\maps\\%s.tga\"\n\t\t\t\t*UVW_U_OFFSET 0.0000\n\t\t\t}\n\t\t}\n", names[s]);
    }
    out.printf("\t}\n}\n");
}

// One grid mesh named `name`, its vertices shifted by `offset` along x.
void writeMesh(Output& out, const Grid& g, const std::string& name, double offset) {
    const char* n = name.c_str();
    const long vertices = static_cast<long>(g.w + 1) * (g.h + 1);
    const long faces = 2L * g.w * g.h;
    // A seam down the middle: quads right of it use their own texture vertices.
    const int seam = g.w / 2;
    const long tverts = vertices + (g.h + 1);
    out.printf("*GEOMOBJECT {\n\t*NODE_NAME \"%s\"\n\t*NODE_TM {\n\t\t*NODE_NAME \"%s\"\n", n, n);
    out.printf("\t\t*INHERIT_POS 0 0 0\n\t\t*INHERIT_ROT 0 0 0\n\t\t*INHERIT_SCL 0 0 0\n");
    out.printf("\t\t*TM_ROW0 1.0000\t0.0000\t0.0000\n\t\t*TM_ROW1 0.0000\t1.0000\t0.0000\n");
    out.printf("\t\t*TM_ROW2 0.0000\t0.0000\t1.0000\n\t\t*TM_ROW3 0.0000\t0.0000\t0.0000\n");
    out.printf("\t\t*TM_POS 0.0000\t0.0000\t0.0000\n\t\t*TM_ROTAXIS 0.0000\t0.0000\t0.0000\n");
    out.printf("\t\t*TM_ROTANGLE 0.0000\n\t\t*TM_SCALE 1.0000\t1.0000\t1.0000\n\t}\n");
    out.printf("\t*MESH {\n\t\t*TIMEVALUE 0\n\t\t*MESH_NUMVERTEX %ld\n\t\t*MESH_NUMFACES %ld\n", vertices, faces);
    out.printf("\t\t*MESH_VERTEX_LIST {\n");
    for (int j = 0; j <= g.h; ++j)
        for (int i = 0; i <= g.w; ++i)
            out.printf("\t\t\t*MESH_VERTEX %5d\t%.4f\t%.4f\t%.4f\n", g.vertex(i, j), offset + i, j * 1.0, g.height(i, j));
    out.printf("\t\t}\n\t\t*MESH_FACE_LIST {\n");
    long f = 0;
    auto smoothing = [&](int i, int j) { return ((i / 32) + (j / 32)) % 5; };
    for (int j = 0; j < g.h; ++j)
        for (int i = 0; i < g.w; ++i) {
            const int a = g.vertex(i, j), b = g.vertex(i + 1, j), c = g.vertex(i + 1, j + 1), d = g.vertex(i, j + 1);
            const int s = smoothing(i, j);
            const int corners[2][3] = {{a, b, c}, {c, d, a}};
            for (const auto& t : corners) {
                const long id = (f / 3) % 4;
                if (s == 4)
                    out.printf("\t\t\t*MESH_FACE %5ld:    A: %5d B: %5d C: %5d AB:    1 BC:    1 CA:    0\t "
                               "*MESH_SMOOTHING 1,4 \t*MESH_MTLID %ld\n", f, t[0], t[1], t[2], id);
                else
                    out.printf("\t\t\t*MESH_FACE %5ld:    A: %5d B: %5d C: %5d AB:    1 BC:    1 CA:    0\t "
                               "*MESH_SMOOTHING %d \t*MESH_MTLID %ld\n", f, t[0], t[1], t[2], s, id);
                ++f;
            }
        }
    out.printf("\t\t}\n\t\t*MESH_NUMTVERTEX %ld\n\t\t*MESH_TVERTLIST {\n", tverts);
    for (int j = 0; j <= g.h; ++j)
        for (int i = 0; i <= g.w; ++i)
            out.printf("\t\t\t*MESH_TVERT %d\t%.4f\t%.4f\t0.0000\n", g.vertex(i, j), double(i) / g.w, double(j) / g.h);
    for (int j = 0; j <= g.h; ++j)
        out.printf("\t\t\t*MESH_TVERT %ld\t%.4f\t%.4f\t0.0000\n", vertices + j, 0.25, double(j) / g.h);
    out.printf("\t\t}\n\t\t*MESH_NUMTVFACES %ld\n\t\t*MESH_TFACELIST {\n", faces);
    f = 0;
    auto tvert = [&](int i, int j, bool right) { return i == seam && right ? vertices + j : long(g.vertex(i, j)); };
    for (int j = 0; j < g.h; ++j)
        for (int i = 0; i < g.w; ++i) {
            const bool right = i >= seam;
            const long a = tvert(i, j, right), b = tvert(i + 1, j, right), c = tvert(i + 1, j + 1, right),
                       d = tvert(i, j + 1, right);
            out.printf("\t\t\t*MESH_TFACE %ld\t%ld\t%ld\t%ld\n", f++, a, b, c);
            out.printf("\t\t\t*MESH_TFACE %ld\t%ld\t%ld\t%ld\n", f++, c, d, a);
        }
    out.printf("\t\t}\n\t\t*MESH_NUMCVERTEX 0\n\t\t*MESH_NORMALS {\n");
    f = 0;
    for (int j = 0; j < g.h; ++j)
        for (int i = 0; i < g.w; ++i) {
            const double dx = g.height(i + 1, j) - g.height(i, j), dy = g.height(i, j + 1) - g.height(i, j);
            const double len = std::sqrt(dx * dx + dy * dy + 1);
            const int corners[2][3] = {{g.vertex(i, j), g.vertex(i + 1, j), g.vertex(i + 1, j + 1)},
                                       {g.vertex(i + 1, j + 1), g.vertex(i, j + 1), g.vertex(i, j)}};
            for (const auto& t : corners) {
                out.printf("\t\t\t*MESH_FACENORMAL %ld\t%.4f\t%.4f\t%.4f\n", f++, -dx / len, -dy / len, 1 / len);
                for (int v : t)
                    out.printf("\t\t\t\t*MESH_VERTEXNORMAL %d\t%.4f\t%.4f\t%.4f\n", v, -dx / len, -dy / len, 1 / len);
            }
        }
    out.printf("\t\t}\n\t}\n\t*PROP_MOTIONBLUR 0\n\t*PROP_CASTSHADOW 1\n\t*PROP_RECVSHADOW 1\n\t*MATERIAL_REF 0\n}\n");
}

void writeNodeTransform(Output& out, const std::string& name, long i) {
    // A turn about z by up to 0.6 radians and a step along x: every element
    // has a frame of its own, so placing it in its parent is real work.
    const double angle = static_cast<double>(i % 7) * 0.1;
    const double c = std::cos(angle), s = std::sin(angle), x = static_cast<double>(i) * 0.01;
    out.printf("\t*NODE_TM {\n\t\t*NODE_NAME \"%s\"\n\t\t*INHERIT_POS 0 0 0\n", name.c_str());
    out.printf("\t\t*TM_ROW0 %.4f\t%.4f\t0.0000\n\t\t*TM_ROW1 %.4f\t%.4f\t0.0000\n", c, s, -s, c);
    out.printf("\t\t*TM_ROW2 0.0000\t0.0000\t1.0000\n\t\t*TM_ROW3 %.4f\t0.0000\t1.0000\n", x);
    out.printf("\t\t*TM_POS %.4f\t0.0000\t1.0000\n\t\t*TM_ROTAXIS 0.0000\t0.0000\t1.0000\n", x);
    out.printf("\t\t*TM_ROTANGLE %.4f\n\t\t*TM_SCALE 1.0000\t1.0000\t1.0000\n\t}\n", angle);
}

enum class Kind { Mesh, Camera, Light };

void writeChainNode(Output& out, Kind kind, const std::string& name, long i) {
    const double x = static_cast<double>(i) * 0.01;
    switch (kind) {
        case Kind::Mesh:
            out.printf("*GEOMOBJECT {\n\t*NODE_NAME \"%s\"\n", name.c_str());
            writeNodeTransform(out, name, i);
            out.printf("\t*MESH {\n\t\t*TIMEVALUE 0\n\t\t*MESH_NUMVERTEX 3\n\t\t*MESH_NUMFACES 1\n");
            out.printf("\t\t*MESH_VERTEX_LIST {\n\t\t\t*MESH_VERTEX 0\t%.4f\t0.0000\t1.0000\n", x);
            out.printf("\t\t\t*MESH_VERTEX 1\t%.4f\t0.0000\t1.0000\n", x + 1);
            out.printf("\t\t\t*MESH_VERTEX 2\t%.4f\t1.0000\t1.0000\n\t\t}\n", x);
            out.printf("\t\t*MESH_FACE_LIST {\n\t\t\t*MESH_FACE 0:    A: 0 B: 1 C: 2 AB:    1 BC:    1 CA:    1\t "
                       "*MESH_SMOOTHING 1 \t*MESH_MTLID 0\n\t\t}\n");
            out.printf("\t\t*MESH_NUMTVERTEX 3\n\t\t*MESH_TVERTLIST {\n\t\t\t*MESH_TVERT 0\t0.0000\t0.0000\t0.0000\n");
            out.printf("\t\t\t*MESH_TVERT 1\t1.0000\t0.0000\t0.0000\n\t\t\t*MESH_TVERT 2\t0.0000\t1.0000\t0.0000\n");
            out.printf("\t\t}\n\t\t*MESH_NUMTVFACES 1\n\t\t*MESH_TFACELIST {\n\t\t\t*MESH_TFACE 0\t0\t1\t2\n\t\t}\n");
            out.printf("\t\t*MESH_NUMCVERTEX 0\n\t}\n\t*MATERIAL_REF 0\n}\n");
            break;
        case Kind::Camera:
            out.printf("*CAMERAOBJECT {\n\t*NODE_NAME \"%s\"\n\t*CAMERA_TYPE Free\n", name.c_str());
            writeNodeTransform(out, name, i);
            out.printf("\t*CAMERA_SETTINGS {\n\t\t*TIMEVALUE 0\n\t\t*CAMERA_NEAR 0.0000\n\t\t*CAMERA_FAR 1000.0000\n");
            out.printf("\t\t*CAMERA_FOV 0.7854\n\t\t*CAMERA_TDIST 160.0000\n\t}\n}\n");
            break;
        case Kind::Light:
            out.printf("*LIGHTOBJECT {\n\t*NODE_NAME \"%s\"\n\t*LIGHT_TYPE Omni\n", name.c_str());
            writeNodeTransform(out, name, i);
            out.printf("\t*LIGHT_SHADOWS Off\n\t*LIGHT_USELIGHT 1\n\t*LIGHT_SPOTSHAPE Circle\n");
            out.printf("\t*LIGHT_SETTINGS {\n\t\t*TIMEVALUE 0\n\t\t*LIGHT_COLOR 1.0000\t1.0000\t1.0000\n");
            out.printf("\t\t*LIGHT_INTENS 1.0000\n\t}\n}\n");
            break;
    }
}

std::string changeCase(std::string_view name, int (*to)(int)) {
    std::string result(name);
    for (char& ch : result) ch = static_cast<char>(to(static_cast<unsigned char>(ch)));
    return result;
}

int writeChain(long elements, const char* aseName, const char* dksName) {
    std::FILE* ase = std::fopen(aseName, "wb");
    std::FILE* dks = ase ? std::fopen(dksName, "wb") : nullptr;
    if (!ase || !dks) {
        std::perror(ase ? dksName : aseName);
        if (ase) std::fclose(ase);
        return 1;
    }
    {
        Output out(ase), script(dks);
        out.printf("*3DSMAX_ASCIIEXPORT\t200\n*COMMENT \"AsciiExport-Version  2,00 - generated chain\"\n");
        out.printf("*MATERIAL_LIST {\n\t*MATERIAL_COUNT 1\n\t*MATERIAL 0 {\n\t\t*MATERIAL_NAME \"Paint\"\n");
        out.printf("\t\t*MATERIAL_CLASS \"Standard\"\n\t\t*MATERIAL_DIFFUSE 0.5000\t0.2500\t0.1250\n\t}\n}\n");
        script.printf("LODS 1\r\nLOD0 %s\t0\r\n\r\nELEMENTS %ld\r\n", aseName, elements);
        const char* prefixes[3] = {"Box_", "Camera_", "Omni_"};
        const char* kinds[3] = {"MESH", "CAMERA", "OMNILIGHT"};
        std::string previous = "NONE";
        for (long i = 0; i < elements; ++i) {
            const int k = static_cast<int>(i % 3);
            std::string number = std::to_string(i);
            number.insert(0, number.size() < 6 ? 6 - number.size() : 0, '0');
            const std::string name = prefixes[k] + number;
            writeChainNode(out, static_cast<Kind>(k), name, i);
            script.printf("\r\nELEMENT %s\r\nNAME %s\r\n%s %s\r\nPARENT %s\r\n", kinds[k], name.c_str(),
                          k == 0 ? "LOD0" : "DEFINITION", changeCase(name, ::toupper).c_str(), previous.c_str());
            previous = changeCase(name, ::tolower);
        }
    }
    const bool closed = std::fclose(ase) == 0;
    return std::fclose(dks) == 0 && closed ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string_view(argv[1]) == "--chain") return writeChain(std::atol(argv[2]), argv[3], argv[4]);
    long meshes = 1;
    if (argc >= 3 && std::string_view(argv[1]) == "--meshes") {
        meshes = std::max(1L, std::atol(argv[2]));
        argc -= 2;
        argv += 2;
    }
    if (argc < 3) {
        std::fputs("usage: asegen [--meshes <count>] <triangles> <output.ase> [<output.dks>]\n"
                   "       asegen --chain <elements> <output.ase> <output.dks>\n", stderr);
        return 2;
    }
    const long triangles = std::atol(argv[1]) / meshes;
    const int side = std::max(1, static_cast<int>(std::lround(std::sqrt(static_cast<double>(triangles) / 2.0))));
    auto meshName = [&](long m) { return meshes == 1 ? std::string("Grid") : "Grid_" + std::to_string(m); };
    std::FILE* file = std::fopen(argv[2], "wb");
    if (!file) {
        std::perror(argv[2]);
        return 1;
    }
    {
        Output out(file);
        out.printf("*3DSMAX_ASCIIEXPORT\t200\n*COMMENT \"AsciiExport-Version  2,00 - generated\"\n");
        out.printf("*SCENE {\n\t*SCENE_FILENAME \"grid.max\"\n\t*SCENE_FIRSTFRAME 0\n\t*SCENE_LASTFRAME 100\n}\n");
        writeMaterials(out);
        for (long m = 0; m < meshes; ++m) writeMesh(out, Grid{side, side}, meshName(m), static_cast<double>(m) * (side + 1));
    }
    if (std::fclose(file) != 0) return 1;
    if (argc > 3) {
        std::FILE* script = std::fopen(argv[3], "wb");
        if (!script) return 1;
        std::fprintf(script, "LODS 1\r\nLOD0 %s\t0\r\n\r\nELEMENTS %ld\r\n", argv[2], meshes);
        for (long m = 0; m < meshes; ++m)
            std::fprintf(script, "\r\nELEMENT MESH\r\nNAME %s\r\nLOD0 %s\r\nPARENT NONE\r\n", meshName(m).c_str(),
                         meshName(m).c_str());
        if (std::fclose(script) != 0) return 1;
    }
    return 0;
}
