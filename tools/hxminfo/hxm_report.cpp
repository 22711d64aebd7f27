#include "tools/hxminfo/hxm_report.h"

#include <cmath>
#include <cstdio>

#include "common/json_text.h"

namespace hxminfo {

using modelfile::BrushRecord;
using modelfile::BrushVertex;
using modelfile::Edge;
using modelfile::HxmFile;
using modelfile::Layout;
using modelfile::Plane;

namespace {

std::string number(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(v));
    return text;
}

std::string jsonNumber(float v) { return std::isfinite(v) ? number(v) : "null"; }

const char* formatName(Layout layout) {
    switch (layout) {
        case Layout::Flat: return "format 1";
        case Layout::Chunked: return "format 2";
        default: return "header only";
    }
}

std::string hexVersion(std::int32_t version) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(version));
    return text;
}

// The text view's quoting: printable ASCII as it is, other bytes as \xNN.
std::string quoted(const std::string& name) {
    std::string out = "\"";
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

}  // namespace

std::string describeText(const HxmFile& file, const std::string& fileName, bool verbose) {
    std::string out = fileName + ": " + std::to_string(file.size) + " bytes, version " + hexVersion(file.version) +
                      " (" + formatName(file.layout) + "), " + std::to_string(file.brushCount) + " brush(es)\n";
    std::size_t index = 0;
    for (const BrushRecord& b : file.brushes) {
        out += "brush " + std::to_string(index++) + ": " + quoted(b.name) +
               (b.nameTerminated ? "" : " (64 bytes, no terminator)") + ", " + std::to_string(b.vertices.size()) +
               " vertices, " + std::to_string(b.planes.size()) + " planes, " + std::to_string(b.edges.size()) +
               " edges";
        if (b.hasSphere)
            out += ", sphere (" + number(b.centre[0]) + ", " + number(b.centre[1]) + ", " + number(b.centre[2]) +
                   ") radius " + number(b.radius);
        out += "\n";
        if (!verbose) continue;
        for (std::size_t i = 0; i < b.vertices.size(); ++i) {
            const BrushVertex& v = b.vertices[i];
            out += "  vertex " + std::to_string(i) + ": " + number(v.x) + " " + number(v.y) + " " + number(v.z) + "\n";
        }
        for (std::size_t i = 0; i < b.planes.size(); ++i) {
            const Plane& p = b.planes[i];
            out += "  plane " + std::to_string(i) + ": " + number(p.a) + " " + number(p.b) + " " + number(p.c) + " " +
                   number(p.d) + "\n";
        }
        for (std::size_t i = 0; i < b.edges.size(); ++i) {
            const Edge& e = b.edges[i];
            out += "  edge " + std::to_string(i) + ": vertices " + std::to_string(e.end0) + " " +
                   std::to_string(e.end1) + ", planes " + std::to_string(e.plane0) + " " + std::to_string(e.plane1) +
                   "\n";
        }
    }
    return out;
}

std::string describeJson(const HxmFile& file, const std::string& fileName, bool verbose) {
    std::string out = "{\"file\": " + common::jsonString(fileName) + ", \"size\": " + std::to_string(file.size) +
                      ", \"version\": " + std::to_string(file.version) + ", \"format\": " +
                      (file.layout == Layout::Flat ? "1" : file.layout == Layout::Chunked ? "2" : "null") +
                      ", \"brushCount\": " + std::to_string(file.brushCount) + ", \"brushes\": [";
    for (std::size_t index = 0; index < file.brushes.size(); ++index) {
        const BrushRecord& b = file.brushes[index];
        out += index ? ",\n  {" : "\n  {";
        out += "\"name\": " + common::jsonString(b.name) +
               ", \"nameTerminated\": " + (b.nameTerminated ? "true" : "false") +
               ", \"vertexCount\": " + std::to_string(b.vertices.size()) +
               ", \"planeCount\": " + std::to_string(b.planes.size()) +
               ", \"edgeCount\": " + std::to_string(b.edges.size()) + ", \"sphere\": ";
        if (b.hasSphere)
            out += "{\"centre\": [" + jsonNumber(b.centre[0]) + ", " + jsonNumber(b.centre[1]) + ", " +
                   jsonNumber(b.centre[2]) + "], \"radius\": " + jsonNumber(b.radius) + "}";
        else
            out += "null";
        if (verbose) {
            out += ",\n   \"vertices\": [";
            for (std::size_t i = 0; i < b.vertices.size(); ++i) {
                const BrushVertex& v = b.vertices[i];
                out += (i ? ", [" : "[") + jsonNumber(v.x) + ", " + jsonNumber(v.y) + ", " + jsonNumber(v.z) + "]";
            }
            out += "],\n   \"planes\": [";
            for (std::size_t i = 0; i < b.planes.size(); ++i) {
                const Plane& p = b.planes[i];
                out += (i ? ", [" : "[") + jsonNumber(p.a) + ", " + jsonNumber(p.b) + ", " + jsonNumber(p.c) + ", " +
                       jsonNumber(p.d) + "]";
            }
            out += "],\n   \"edges\": [";
            for (std::size_t i = 0; i < b.edges.size(); ++i) {
                const Edge& e = b.edges[i];
                out += (i ? ", [" : "[") + std::to_string(e.end0) + ", " + std::to_string(e.end1) + ", " +
                       std::to_string(e.plane0) + ", " + std::to_string(e.plane1) + "]";
            }
            out += "]";
        }
        out += "}";
    }
    out += file.brushes.empty() ? "]}\n" : "\n]}\n";
    return out;
}

}  // namespace hxminfo
