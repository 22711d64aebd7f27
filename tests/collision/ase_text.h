// Writes ASE meshes in the exporter's layout for the collision tests: a node
// transform, the counts, the vertex and face lists, then a normals block whose
// *MESH_VERTEXNORMAL lines a miscounted vertex list would run into.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace asetext {

using Vec3 = std::array<double, 3>;
using Face = std::array<int, 3>;

struct Mesh {
    std::string name = "Box01";
    // *TM_ROW0..2 and *TM_POS.
    std::array<Vec3, 4> frame{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}}};
    std::vector<Vec3> vertices;
    std::vector<Face> faces;
};

inline std::string number(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

inline std::string vec(const Vec3& v) { return number(v[0]) + "\t" + number(v[1]) + "\t" + number(v[2]); }

inline std::string meshText(const Mesh& m) {
    std::string s = "*GEOMOBJECT {\n\t*NODE_NAME \"" + m.name + "\"\n\t*NODE_TM {\n\t\t*NODE_NAME \"" + m.name + "\"\n";
    s += "\t\t*TM_ROW0 " + vec(m.frame[0]) + "\n\t\t*TM_ROW1 " + vec(m.frame[1]) + "\n\t\t*TM_ROW2 " +
         vec(m.frame[2]) + "\n\t\t*TM_ROW3 " + vec(m.frame[3]) + "\n\t\t*TM_POS " + vec(m.frame[3]) + "\n\t}\n";
    s += "\t*MESH {\n\t\t*TIMEVALUE 0\n\t\t*MESH_NUMVERTEX " + std::to_string(m.vertices.size()) +
         "\n\t\t*MESH_NUMFACES " + std::to_string(m.faces.size()) + "\n\t\t*MESH_VERTEX_LIST {\n";
    for (size_t i = 0; i < m.vertices.size(); ++i)
        s += "\t\t\t*MESH_VERTEX " + std::to_string(i) + "\t" + vec(m.vertices[i]) + "\n";
    s += "\t\t}\n\t\t*MESH_FACE_LIST {\n";
    for (size_t i = 0; i < m.faces.size(); ++i) {
        const Face& f = m.faces[i];
        s += "\t\t\t*MESH_FACE " + std::to_string(i) + ":    A:    " + std::to_string(f[0]) + " B:    " +
             std::to_string(f[1]) + " C:    " + std::to_string(f[2]) +
             " AB:    1 BC:    1 CA:    0\t *MESH_SMOOTHING 1 \t*MESH_MTLID 0\n";
    }
    s += "\t\t}\n\t\t*MESH_NORMALS {\n";
    for (size_t i = 0; i < m.faces.size(); ++i) {
        s += "\t\t\t*MESH_FACENORMAL " + std::to_string(i) + "\t0.0000\t0.0000\t1.0000\n";
        for (int corner = 0; corner < 3; ++corner)
            s += "\t\t\t\t*MESH_VERTEXNORMAL " + std::to_string(m.faces[i][corner]) + "\t0.0000\t0.0000\t1.0000\n";
    }
    s += "\t\t}\n\t}\n}\n";
    return s;
}

inline std::string sceneText(const std::vector<Mesh>& meshes) {
    std::string s = "*3DSMAX_ASCIIEXPORT\t200\n*COMMENT \"test scene\"\n";
    for (const Mesh& m : meshes) s += meshText(m);
    return s;
}

// An axis-aligned box from `low` to `high` in the ASE frame, 8 vertices and 12
// triangles running counter-clockwise seen from outside, as the exporter
// writes a box primitive.
inline Mesh box(const std::string& name, const Vec3& low, const Vec3& high) {
    Mesh m;
    m.name = name;
    for (int i = 0; i < 8; ++i)
        m.vertices.push_back({(i & 1) ? high[0] : low[0], (i & 2) ? high[1] : low[1], (i & 4) ? high[2] : low[2]});
    m.faces = {{0, 2, 3}, {3, 1, 0}, {4, 5, 7}, {7, 6, 4}, {0, 1, 5}, {5, 4, 0},
               {1, 3, 7}, {7, 5, 1}, {3, 2, 6}, {6, 7, 3}, {2, 0, 4}, {4, 6, 2}};
    return m;
}

}  // namespace asetext
