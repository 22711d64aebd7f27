// Small generated exports for the simplifier's tests: a wavy grid with
// material and smoothing patches, a texture seam down the middle, a colour
// seam across it, invisible quad diagonals and an open outer border. Every
// position, texture vertex and vertex colour is unique, so that a reader of
// the output can tell which source entry each one is.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>

namespace testlod {

struct GridSpec {
    // Quads per row and column, and per patch side; no patch border falls
    // on the seams (the middle column and row).
    int side = 36;
    int materialPatch = 12;
    int smoothingPatch = 16;
    bool colours = true;
};

inline std::string format(const char* f, auto... args) {
    char line[256];
    std::snprintf(line, sizeof line, f, args...);
    return line;
}

inline std::string gridExport(const GridSpec& g) {
    const int n = g.side, verts = (n + 1) * (n + 1), seam = n / 2;
    auto vertex = [&](int i, int j) { return j * (n + 1) + i; };
    // Right of the seam (i >= seam) quads use their own texture vertices on
    // the seam column; above the middle row their own colours on that row.
    auto tvert = [&](int i, int j, bool right) { return i == seam && right ? verts + j : vertex(i, j); };
    auto cvert = [&](int i, int j, bool top) { return j == n / 2 && top ? verts + i : vertex(i, j); };
    std::string s = "*3DSMAX_ASCIIEXPORT\t200\n*COMMENT \"generated\"\n*SCENE {\n\t*SCENE_FILENAME \"grid.max\"\n}\n";
    s += "*MATERIAL_LIST {\n\t*MATERIAL_COUNT 1\n\t*MATERIAL 0 {\n\t\t*MATERIAL_NAME \"Patches\"\n"
         "\t\t*MATERIAL_CLASS \"Multi/Sub-Object\"\n\t\t*NUMSUBMTLS 3\n";
    for (int m = 0; m < 3; ++m)
        s += format("\t\t*SUBMATERIAL %d {\n\t\t\t*MATERIAL_NAME \"M%d\"\n\t\t\t*MATERIAL_CLASS \"Standard\"\n\t\t}\n", m, m);
    s += "\t}\n}\n*GEOMOBJECT {\n\t*NODE_NAME \"Grid\"\n\t*NODE_TM {\n\t\t*NODE_NAME \"Grid\"\n"
         "\t\t*TM_ROW0 1.0000\t0.0000\t0.0000\n\t\t*TM_ROW1 0.0000\t1.0000\t0.0000\n\t\t*TM_ROW2 0.0000\t0.0000\t1.0000\n"
         "\t\t*TM_ROW3 0.0000\t0.0000\t0.0000\n\t\t*TM_POS 0.0000\t0.0000\t0.0000\n"
         "\t\t*TM_ROTAXIS 0.0000\t0.0000\t0.0000\n\t\t*TM_ROTANGLE 0.0000\n\t}\n";
    s += format("\t*MESH {\n\t\t*TIMEVALUE 0\n\t\t*MESH_NUMVERTEX %d\n\t\t*MESH_NUMFACES %d\n\t\t*MESH_VERTEX_LIST {\n",
                verts, 2 * n * n);
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i)
            s += format("\t\t\t*MESH_VERTEX %4d\t%d.0000\t%d.0000\t%.4f\n", vertex(i, j), i, j,
                        1.5 * std::sin(i * 0.4) * std::cos(j * 0.3) + 0.001 * i);
    s += "\t\t}\n\t\t*MESH_FACE_LIST {\n";
    int f = 0;
    auto quads = [&](auto&& emit) {
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) emit(i, j);
    };
    quads([&](int i, int j) {
        const int a = vertex(i, j), b = vertex(i + 1, j), c = vertex(i + 1, j + 1), d = vertex(i, j + 1);
        const int material = (i / g.materialPatch + j / g.materialPatch) % 3;
        const int smoothing = (i / g.smoothingPatch + 2 * (j / g.smoothingPatch)) % 3;
        const int corners[2][3] = {{a, b, c}, {c, d, a}};
        for (const auto& t : corners) {
            // Some outer edges invisible too, so that kept flags of both values are seen.
            const int ab = (i + j) % 5 == 0 ? 0 : 1;
            s += format("\t\t\t*MESH_FACE %4d:    A: %4d B: %4d C: %4d AB: %4d BC:    1 CA:    0\t *MESH_SMOOTHING %d "
                        "\t*MESH_MTLID %d\n", f++, t[0], t[1], t[2], ab, smoothing, material);
        }
    });
    s += format("\t\t}\n\t\t*MESH_NUMTVERTEX %d\n\t\t*MESH_TVERTLIST {\n", verts + n + 1);
    for (int v = 0; v < verts + n + 1; ++v) {
        const bool extra = v >= verts;
        const int i = extra ? seam : v % (n + 1), j = extra ? v - verts : v / (n + 1);
        s += format("\t\t\t*MESH_TVERT %d\t%.4f\t%.4f\t0.0000\n", v, double(i) / n + (extra ? 10 : 0), double(j) / n);
    }
    s += format("\t\t}\n\t\t*MESH_NUMTVFACES %d\n\t\t*MESH_TFACELIST {\n", 2 * n * n);
    f = 0;
    auto faceEntries = [&](const char* keyword, auto&& index) {
        quads([&](int i, int j) {
            const int corners[2][3][2] = {{{i, j}, {i + 1, j}, {i + 1, j + 1}}, {{i + 1, j + 1}, {i, j + 1}, {i, j}}};
            for (const auto& t : corners)
                s += format("\t\t\t%s %d\t%d\t%d\t%d\n", keyword, f++, index(t[0][0], t[0][1], i, j),
                            index(t[1][0], t[1][1], i, j), index(t[2][0], t[2][1], i, j));
        });
    };
    faceEntries("*MESH_TFACE", [&](int x, int y, int i, int) { return tvert(x, y, i >= seam); });
    if (g.colours) {
        s += format("\t\t}\n\t\t*MESH_NUMCVERTEX %d\n\t\t*MESH_CVERTLIST {\n", verts + n + 1);
        // Components (byte + 0.5) / 255 read back as exactly that byte.
        for (int c = 0; c < verts + n + 1; ++c)
            s += format("\t\t\t*MESH_VERTCOL %d\t%.6f\t%.6f\t%.6f\n", c, (c % 200 + 0.5) / 255, (c / 200 + 0.5) / 255,
                        (c >= verts ? 250.5 : 10.5) / 255);
        s += format("\t\t}\n\t\t*MESH_NUMCVFACES %d\n\t\t*MESH_CFACELIST {\n", 2 * n * n);
        f = 0;
        faceEntries("*MESH_CFACE", [&](int x, int y, int, int j) { return cvert(x, y, j >= n / 2); });
        s += "\t\t}\n";
    } else {
        s += "\t\t}\n\t\t*MESH_NUMCVERTEX 0\n";
    }
    s += "\t\t*MESH_NORMALS {\n";
    for (int k = 0; k < 2 * n * n; ++k) {
        s += format("\t\t\t*MESH_FACENORMAL %d\t0.0000\t0.0000\t1.0000\n", k);
        for (int c = 0; c < 3; ++c) s += "\t\t\t\t*MESH_VERTEXNORMAL 0\t0.0000\t0.0000\t1.0000\n";
    }
    s += "\t\t}\n\t}\n\t*PROP_MOTIONBLUR 0\n\t*MATERIAL_REF 0\n}\n*HELPEROBJECT {\n\t*NODE_NAME \"Dummy01\"\n"
         "\t*NODE_TM {\n\t\t*NODE_NAME \"Dummy01\"\n\t\t*TM_ROW0 1.0000\t0.0000\t0.0000\n\t\t*TM_ROW1 0.0000\t1.0000\t0.0000\n"
         "\t\t*TM_ROW2 0.0000\t0.0000\t1.0000\n\t\t*TM_POS 0.0000\t0.0000\t0.0000\n\t\t*TM_ROTAXIS 0.0000\t0.0000\t0.0000\n"
         "\t\t*TM_ROTANGLE 0.0000\n\t}\n}\n";
    return s;
}

}  // namespace testlod
