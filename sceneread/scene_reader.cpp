#include "sceneread/scene_reader.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <exception>
#include <iterator>
#include <limits>
#include <mutex>
#include <thread>

#include "common/ase_signature.h"
#include "common/c_number.h"
#include "common/input_error.h"
#include "common/printed_text.h"
#include "sceneread/text_parser.h"

namespace sceneread {

using common::reportError;

std::uint8_t colourComponent(float value) {
    const double scaled = std::trunc(static_cast<double>(value) * 255.0);
    // Beyond 2^63 a double is a multiple of 2^11, so its low 8 bits are 0; NaN
    // has no integer value and reads as 0 too.
    if (!(std::fabs(scaled) < 9.2233720368547758e18)) return 0;
    return static_cast<std::uint8_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(scaled)) & 0xFFu);
}

template <typename Node>
static const Node* findByName(const std::vector<Node>& nodes, std::string_view name) {
    for (const Node& node : nodes)
        if (equalsIgnoreCase(node.name, name)) return &node;
    return nullptr;
}

const GeometryObject* findGeometryObject(const Scene& scene, std::string_view name) {
    return findByName(scene.geometryObjects, name);
}
const SceneNode* findCamera(const Scene& scene, std::string_view name) { return findByName(scene.cameras, name); }
const SceneLight* findLight(const Scene& scene, std::string_view name) { return findByName(scene.lights, name); }

namespace {

// Where the object pass may be split between threads: a line that begins
// with this, right after a line feed. Each piece of the file from one such
// line to the next reads the same on its own as in the whole, unless a lookup
// runs past its end (an overrun) or it fails; then the one-thread read takes
// over from there.
constexpr std::string_view kPieceStart = "*GEOMOBJECT";

class AseReader {
public:
    AseReader(Scene& scene, TextParser& parser, std::FILE* out, const ReadOptions& options, const std::string& fileName)
        : scene_(scene), parser_(parser), out_(out), options_(options), fileName_(fileName) {}
    void giveDefaultMaterials();

    enum class ObjectKind { None, Geometry, Light, Camera, Helper };

    void readMaterialList();
    void readObjects();
    // The object pass up to the end, or (`stopAtPiece`) up to a line after
    // the first that starts a piece (see kPieceStart).
    void readObjectLines(bool stopAtPiece);
    void readObject(ObjectKind kind);

private:
    [[noreturn]] void fail(const char* message) { reportError(-1, "%s", message); }
    [[noreturn]] void failAtLine(const char* format, std::string_view keyword) {
        reportError(parser_.lineNumber(), format, std::string(keyword).c_str());
    }

    std::string name(std::string_view value);
    // A count: missing reads as 0; negative, beyond 32 bits, or more than the
    // rest of the file could hold (each counted line holds `lineKeyword`) is an
    // input error, so a small file cannot make the reader allocate much.
    size_t count(std::optional<std::string_view> value, std::string_view countKeyword,
                 std::string_view lineKeyword);
    // An index field read like atoi, rejecting values beyond 32 bits.
    std::int32_t index(std::string_view text, std::string_view keyword);
    // Geometry must be finite: a NaN or an infinity (or a value beyond a
    // float) would give NaN normals and spheres that enclose nothing. Colour
    // lines are not checked: their components clamp to bytes.
    void floats(std::string_view text, float* values, int n, std::string_view keyword, bool finite = true);
    std::string_view requireValue(std::string_view keyword);

    std::int32_t readMaterial(std::string materialName);
    void readNodeTransform(SceneNode& node);
    void readGeometryObject();
    void readMeshFaces(GeometryObject& object, size_t faceCount);
    void readTextureFaces(GeometryObject& object);
    void readVertexColours(GeometryObject& object, size_t colourCount);

    // Lenient reading: what an object's block lacks takes a default, said as
    // a warning at the line where the block ended.
    [[nodiscard]] bool lenient() const { return options_.lenient; }
    void assume(const std::string& what) {
        options_.diagnostics->warning(fileName_, parser_.lineNumber(), objectName_,
                                      (objectName_.empty() ? std::string() : objectName_ + ": ") + what);
    }
    // The floats of `keyword`, or `fallback` with a warning when a lenient
    // read finds no such line in the object's block.
    void floatsOr(const char* keyword, float* values, int n, const float* fallback, const char* assumed);
    void readMaterialReference(GeometryObject& object);
    void skipToObjectEnd(GeometryObject& object);
    void readWireframeColour(std::string_view line, GeometryObject& object);

    Scene& scene_;
    TextParser& parser_;
    std::FILE* out_;
    const ReadOptions& options_;
    const std::string& fileName_;
    std::string objectName_;  // the object being read, for messages
};

std::string AseReader::name(std::string_view value) {
    if (value.size() > kMaxNameLength)
        reportError(parser_.lineNumber(), "Name too long (more than %zu characters)!", kMaxNameLength);
    return std::string(value);
}

size_t AseReader::count(std::optional<std::string_view> value, std::string_view countKeyword,
                        std::string_view lineKeyword) {
    if (!value) return 0;
    const long n = common::atolC(*value);
    if (n < 0 || !common::fitsInt32(n)) failAtLine("Error in ASE file! Wrong %s value!", countKeyword);
    // Each counted line holds its keyword: a count beyond that bound is absurd
    // or the file was cut short.
    if (static_cast<std::uint64_t>(n) > parser_.remainingBytes() / lineKeyword.size())
        reportError(parser_.lineNumber(), "Error in ASE file! %s %ld needs more lines than the file holds!",
                    std::string(countKeyword).c_str(), n);
    return static_cast<size_t>(n);
}

std::int32_t AseReader::index(std::string_view text, std::string_view keyword) {
    const long n = common::atolC(text);
    if (!common::fitsInt32(n)) failAtLine("Error in ASE file! Number out of range in %s line!", keyword);
    return static_cast<std::int32_t>(n);
}

void AseReader::floats(std::string_view text, float* values, int n, std::string_view keyword, bool finite) {
    for (int i = 0; i < n; ++i) {
        auto value = common::scanFloat(text);
        if (!value) failAtLine("Error in ASE file! Wrong numbers in %s line!", keyword);
        if (finite && !std::isfinite(*value)) failAtLine("Error in ASE file! Number out of range in %s line!", keyword);
        values[i] = *value;
    }
}

std::string_view AseReader::requireValue(std::string_view keyword) {
    auto value = parser_.findValue(keyword);
    if (!value) failAtLine("Error in ASE file! %s expected!", keyword);
    return *value;
}

void AseReader::readMaterialList() {
    // Materials come before the objects: a lenient read does not look for
    // them past the first object.
    parser_.beginObject(lenient());
    const bool found = parser_.findEntry("*MATERIAL_LIST").has_value();
    parser_.endObject();
    if (!found && lenient()) {
        assume("no *MATERIAL_LIST before the first object; every mesh gets a material of its own");
        return;
    }
    if (!found) fail("Crap! Missing *MATERIAL_LIST...");
    auto countText = parser_.findEntry("*MATERIAL_COUNT");
    if (!countText) fail("Crap! Missing *MATERIAL_COUNT...");
    const long materialCount = common::atolC(*countText);
    if (!common::fitsInt32(materialCount)) failAtLine("Error in ASE file! Wrong %s value!", "*MATERIAL_COUNT");
    std::fprintf(out_, "Loading materials... (%d)\n", static_cast<int>(materialCount));

    for (long i = 0; i < materialCount; ++i) {
        if (!parser_.findValue("*MATERIAL")) fail("Crap!.. Material list empty...");
        auto nameText = parser_.findEntry("*MATERIAL_NAME");
        if (!nameText) fail("Crap!.. Material name empty...");
        std::string materialName = name(*nameText);
        std::fprintf(out_, "Material name: %s\n", materialName.c_str());
        auto materialClass = parser_.findEntry("*MATERIAL_CLASS");
        if (!materialClass) fail("Crap!.. Unknown material class...");

        if (equalsIgnoreCase(*materialClass, "Standard")) {
            std::fputs("Material class: standard\n", out_);
            scene_.materialGroups.emplace_back();
            const std::int32_t at = readMaterial(std::move(materialName));
            scene_.materialGroups.back().push_back(at);
        } else if (*materialClass == "Multi/Sub-Object") {
            std::fputs("Material class: multi\n", out_);
            auto subText = parser_.findEntry("*NUMSUBMTLS");
            const long subCount = subText ? common::atolC(*subText) : 0;
            if (subCount < 0 || !common::fitsInt32(subCount))
                failAtLine("Error in ASE file! Wrong %s value!", "*NUMSUBMTLS");
            scene_.materialGroups.emplace_back();
            const size_t group = scene_.materialGroups.size() - 1;
            for (long s = 0; s < subCount; ++s) {
                if (!parser_.findValue("*SUBMATERIAL")) fail("Crap!.. Material list empty...");
                auto subName = parser_.findEntry("*MATERIAL_NAME");
                if (!subName) fail("Crap!.. Missing *MATERIAL_NAME...");
                std::string subMaterialName = name(*subName);
                std::fprintf(out_, "  submaterial name: %s\n", subMaterialName.c_str());
                auto subClass = parser_.findEntry("*MATERIAL_CLASS");
                // A sub-material must be exactly "Standard": no nesting, no case folding.
                if (!subClass || *subClass != "Standard") fail("Crap!.. Unknown material class...");
                const std::int32_t at = readMaterial(std::move(subMaterialName));
                scene_.materialGroups[group].push_back(at);
            }
        } else {
            fail("Crap!.. Unknown material class...");
        }
    }
}

std::int32_t AseReader::readMaterial(std::string materialName) {
    const auto at = static_cast<std::int32_t>(scene_.materials.size());
    scene_.materials.emplace_back();
    scene_.materials.back().name = std::move(materialName);
    for (;;) {
        if (parser_.readLine() != 0) fail("Dammit... Seems that we've reached the end of file...");
        const std::string_view line = parser_.currentLine();
        // The first '}' ends the material, even a map block's closing brace.
        if (closesBlock(line)) return at;
        SceneMaterial& material = scene_.materials[static_cast<size_t>(at)];
        // Material lines keep their old values where a number cannot be read:
        // the shine keyword also matches the shine-strength line, whose rest
        // ("STRENGTH ...") holds no number.
        auto readColour = [&](std::string_view rest, Colour& colour) {
            std::uint8_t* components[3] = {&colour.r, &colour.g, &colour.b};
            for (std::uint8_t* component : components) {
                auto value = common::scanFloat(rest);
                if (!value) break;
                *component = colourComponent(*value);
            }
            colour.a = 255;
        };
        if (auto rest = restAfter(line, "*MATERIAL_DIFFUSE")) {
            readColour(*rest, material.diffuse);
        } else if (auto specular = restAfter(line, "*MATERIAL_SPECULAR")) {
            readColour(*specular, material.specular);
        } else if (auto shine = restAfter(line, "*MATERIAL_SHINE")) {
            if (auto value = common::scanFloat(*shine)) material.shine = *value;
        } else if (auto transparency = restAfter(line, "*MATERIAL_TRANSPARENCY")) {
            if (auto value = common::scanFloat(*transparency)) material.opacity = 1.0f - *value;
        } else if (auto selfIllum = restAfter(line, "*MATERIAL_SELFILLUM")) {
            if (auto value = common::scanFloat(*selfIllum)) material.selfIllum = *value == 0.0f ? 0 : 1;
        } else if (keywordPosition(line, "*MATERIAL_TWOSIDED") >= 0) {
            material.twoSided = 1;
        } else if (keywordPosition(line, "*MAP_DIFFUSE") >= 0) {
            if (auto bitmap = parser_.findValue("*BITMAP")) {
                scene_.materials[static_cast<size_t>(at)].bitmap = name(stripDirectory(*bitmap));
                std::fprintf(out_, "bitmap: %s\n", scene_.materials[static_cast<size_t>(at)].bitmap.c_str());
            }
        }
    }
}

void AseReader::readObjects() {
    std::fputs("Loading objects...\n", out_);
    readObjectLines(false);
    std::fputs("Seems that we've reached the end of file...\n", out_);
}

void AseReader::readObjectLines(bool stopAtPiece) {
    for (bool first = true;; first = false) {
        if (stopAtPiece && !first && parser_.nextLineStartsWith(kPieceStart)) return;
        if (parser_.readLine() != 0) return;
        const std::string_view line = parser_.currentLine();
        ObjectKind kind = ObjectKind::None;
        if (keywordPosition(line, "*GEOMOBJECT") >= 0) kind = ObjectKind::Geometry;
        else if (keywordPosition(line, "*LIGHTOBJECT") >= 0) kind = ObjectKind::Light;
        else if (keywordPosition(line, "*CAMERAOBJECT") >= 0) kind = ObjectKind::Camera;
        else if (keywordPosition(line, "*HELPEROBJECT") >= 0) kind = ObjectKind::Helper;
        if (kind == ObjectKind::None) continue;
        parser_.beginObject(lenient());
        try {
            readObject(kind);
        } catch (common::InputError& error) {
            if (error.object.empty()) error.object = objectName_;
            if (auto crossing = parser_.endObject())
                error.notes.push_back({objectName_ + " has no " + crossing->keyword +
                                           "; its lookups continued into the next objects here",
                                       crossing->line});
            throw;
        }
        if (auto crossing = parser_.endObject()) {
            ObjectOverrun overrun{objectName_, std::move(crossing->keyword), crossing->line, {}};
            for (auto& passed : crossing->passedNames) overrun.passed.push_back({std::move(passed.name), passed.line});
            scene_.overruns.push_back(std::move(overrun));
        }
    }
}

void AseReader::readObject(ObjectKind kind) {
    switch (kind) {
        case ObjectKind::Geometry:
            readGeometryObject();
            break;
        case ObjectKind::Light: {
            scene_.lights.emplace_back();
            readNodeTransform(scene_.lights.back());
            auto useLight = parser_.findEntry("*LIGHT_USELIGHT");
            scene_.lights.back().useLight = useLight ? common::atoiC(*useLight) : 0;
            break;
        }
        case ObjectKind::Camera:
        case ObjectKind::Helper: {
            std::vector<SceneNode>& nodes = kind == ObjectKind::Camera ? scene_.cameras : scene_.helpers;
            nodes.emplace_back();
            readNodeTransform(nodes.back());
            break;
        }
        case ObjectKind::None: break;
    }
}

void AseReader::readNodeTransform(SceneNode& node) {
    objectName_.clear();
    if (auto nodeName = lenient() ? parser_.findValue("*NODE_NAME") : parser_.findWord("*NODE_NAME")) {
        // Read whole when lenient ("Bip01 Spine"), as SCENE2DKS writes it.
        std::string_view whole = *nodeName;
        while (!whole.empty() && whole.back() == ' ') whole.remove_suffix(1);
        node.name = name(lenient() ? whole : *nodeName);
        node.line = parser_.lineNumber();
        objectName_ = node.name;
    }
    std::fprintf(out_, "Node name = %s\n", node.name.c_str());

    float a[3], b[3], c[3], p[3], axis[3], angle = 0;
    static constexpr float kRow0[3] = {1, 0, 0}, kRow1[3] = {0, 1, 0}, kRow2[3] = {0, 0, 1}, kZero[3] = {0, 0, 0};
    floatsOr("*TM_ROW0", a, 3, kRow0, "identity rows");
    floatsOr("*TM_ROW1", b, 3, kRow1, "identity rows");
    floatsOr("*TM_ROW2", c, 3, kRow2, "identity rows");
    // y up: exchange the second and third coordinates of each row and the
    // second and third rows.
    node.matrix = {a[0], a[2], a[1], 0, c[0], c[2], c[1], 0, b[0], b[2], b[1], 0, 0, 0, 0, 1};
    floatsOr("*TM_POS", p, 3, kZero, "position 0");
    node.position = {p[0], p[2], p[1]};
    floatsOr("*TM_ROTAXIS", axis, 3, kZero, "no rotation");
    floatsOr("*TM_ROTANGLE", &angle, 1, kZero, "no rotation");

    const double h = static_cast<double>(angle) * 0.5;
    const double x = axis[0], y = axis[1], z = axis[2];
    const double length = std::sqrt(x * x + y * y + z * z);
    // NOTE: unrotated nodes are exported with the axis (0, 0, 0); dividing by
    // its length would give NaN.
    const double s = length == 0 ? 0.0 : std::sin(h) / length;
    node.rotation = {static_cast<float>(x * s), static_cast<float>(z * s), static_cast<float>(y * s),
                     static_cast<float>(std::cos(h))};
}

void AseReader::floatsOr(const char* keyword, float* values, int n, const float* fallback, const char* assumed) {
    if (!lenient()) {
        floats(requireValue(keyword), values, n, keyword);
        return;
    }
    if (auto value = parser_.findValue(keyword)) {
        floats(*value, values, n, keyword);
        return;
    }
    std::copy(fallback, fallback + n, values);
    assume(std::string("no ") + keyword + " in its block; read as " + assumed);
}

void AseReader::readGeometryObject() {
    scene_.geometryObjects.emplace_back();
    GeometryObject& object = scene_.geometryObjects.back();
    readNodeTransform(object);

    const size_t vertexCount = count(parser_.findEntry("*MESH_NUMVERTEX"), "*MESH_NUMVERTEX", "*MESH_VERTEX");
    const size_t faceCount = count(parser_.findEntry("*MESH_NUMFACES"), "*MESH_NUMFACES", "*MESH_FACE");

    parser_.findValue("*MESH_VERTEX_LIST");
    object.vertices.reserve(vertexCount);
    for (size_t i = 0; i < vertexCount; ++i) {
        float v[4];
        floats(requireValue("*MESH_VERTEX"), v, 4, "*MESH_VERTEX");
        object.vertices.push_back({v[1], v[3], v[2]});
    }
    readMeshFaces(object, faceCount);

    const std::optional<std::string_view> uvText = parser_.findEntry("*MESH_NUMTVERTEX");
    if (!uvText && lenient()) assume("no *MESH_NUMTVERTEX in its block; read as 0");
    const size_t uvCount = count(uvText, "*MESH_NUMTVERTEX", "*MESH_TVERT");
    std::fprintf(out_, "UV vertices : %i\n", static_cast<int>(uvCount));
    if (uvCount == 0) {
        // Not fatal: the object keeps its geometry and the object pass goes on.
        std::fprintf(out_, "ERROR! No UV vertices for element %s\n", object.name.c_str());
        if (lenient()) {
            object.hasMaterialRef = true;  // the format's material 0
            skipToObjectEnd(object);
        }
        return;
    }
    parser_.findValue("*MESH_TVERTLIST");
    object.textureVertices.reserve(uvCount);
    for (size_t i = 0; i < uvCount; ++i) {
        float t[4];
        floats(requireValue("*MESH_TVERT"), t, 4, "*MESH_TVERT");
        object.textureVertices.push_back({t[1], -t[2]});
    }

    readTextureFaces(object);
    if (auto colourText = parser_.findEntry("*MESH_NUMCVERTEX")) {
        const size_t colourCount = count(colourText, "*MESH_NUMCVERTEX", "*MESH_VERTCOL");
        if (colourCount != 0) readVertexColours(object, colourCount);
    } else if (lenient()) {
        assume("no *MESH_NUMCVERTEX in its block; read as no vertex colours");
    }
    if (lenient()) {
        readMaterialReference(object);
        return;
    }

    auto materialRef = parser_.findEntry("*MATERIAL_REF");
    if (!materialRef) {
        common::InputError error("No material assigned!", parser_.lineNumber());
        error.notes.push_back({"mesh " + object.name + " has no *MATERIAL_REF: assign it a material in the exporter",
                               object.line});
        throw error;
    }
    object.materialRef = index(*materialRef, "*MATERIAL_REF");
}

// The lenient *MATERIAL_REF lookup, which also takes the *WIREFRAME_COLOR
// that exporters write for meshes without a material.
void AseReader::readMaterialReference(GeometryObject& object) {
    while (parser_.readLineInObject()) {
        const std::string_view line = parser_.currentLine();
        const std::string_view first = wordAt(line, 1);
        if (equalsIgnoreCase(first, "*MATERIAL_REF") && !wordAt(line, 2).empty()) {
            object.materialRef = index(wordAt(line, 2), "*MATERIAL_REF");
            object.hasMaterialRef = true;
            return;
        }
        if (equalsIgnoreCase(first, "*WIREFRAME_COLOR")) readWireframeColour(line, object);
    }
}

void AseReader::readWireframeColour(std::string_view line, GeometryObject& object) {
    float rgb[3];
    floats(*restAfter(line, wordAt(line, 1)), rgb, 3, "*WIREFRAME_COLOR", false);
    object.wireframeColour = Colour{colourComponent(rgb[0]), colourComponent(rgb[1]), colourComponent(rgb[2]), 255};
}

// The rest of a block that the format does not read, for its *WIREFRAME_COLOR.
void AseReader::skipToObjectEnd(GeometryObject& object) {
    while (parser_.readLineInObject()) {
        const std::string_view line = parser_.currentLine();
        if (equalsIgnoreCase(wordAt(line, 1), "*WIREFRAME_COLOR")) readWireframeColour(line, object);
    }
}

void AseReader::readTextureFaces(GeometryObject& object) {
    auto tfaceText = parser_.findEntry("*MESH_NUMTVFACES");
    const long tfaceCount = tfaceText ? common::atolC(*tfaceText) : 0;
    if (tfaceCount < 0 || static_cast<unsigned long>(tfaceCount) > object.faces.size())
        failAtLine("Error in ASE file! Wrong %s value: more texture faces than faces!", "*MESH_NUMTVFACES");
    parser_.findValue("*MESH_TFACELIST");
    for (long i = 0; i < tfaceCount; ++i) {
        const std::string_view value = requireValue("*MESH_TFACE");
        SceneFace& face = object.faces[static_cast<size_t>(i)];
        std::string_view corners[3];
        wordsFrom(value, 2, corners);
        face.ta = index(corners[0], "*MESH_TFACE");
        face.tb = index(corners[1], "*MESH_TFACE");
        face.tc = index(corners[2], "*MESH_TFACE");
    }
}

void AseReader::readVertexColours(GeometryObject& object, size_t colourCount) {
    parser_.findValue("*MESH_CVERTLIST");
    object.vertexColours.reserve(colourCount);
    for (size_t i = 0; i < colourCount; ++i) {
        float c[4];
        floats(requireValue("*MESH_VERTCOL"), c, 4, "*MESH_VERTCOL", false);
        object.vertexColours.push_back(
            {colourComponent(c[1]), colourComponent(c[2]), colourComponent(c[3]), 255});
    }
    auto cfaceText = parser_.findEntry("*MESH_NUMCVFACES");
    const long cfaceCount = cfaceText ? common::atolC(*cfaceText) : 0;
    if (cfaceCount < 0 || static_cast<unsigned long>(cfaceCount) > object.faces.size())
        failAtLine("Error in ASE file! Wrong %s value: more colour faces than faces!", "*MESH_NUMCVFACES");
    parser_.findValue("*MESH_CFACELIST");
    for (long i = 0; i < cfaceCount; ++i) {
        std::string_view value = requireValue("*MESH_CFACE");
        if (!common::scanFloat(value)) failAtLine("Error in ASE file! Wrong numbers in %s line!", "*MESH_CFACE");
        std::int32_t corners[3];
        for (std::int32_t& corner : corners) {
            auto n = common::scanLongI(value);
            if (!n) failAtLine("Error in ASE file! Wrong numbers in %s line!", "*MESH_CFACE");
            if (*n < -1 || *n >= static_cast<long>(colourCount))
                failAtLine("Error in ASE file! Colour index out of range in %s line!", "*MESH_CFACE");
            corner = static_cast<std::int32_t>(*n);
        }
        SceneFace& face = object.faces[static_cast<size_t>(i)];
        face.colourA = corners[0];
        face.colourB = corners[1];
        face.colourC = corners[2];
    }
}

void AseReader::readMeshFaces(GeometryObject& object, size_t faceCount) {
    parser_.findValue("*MESH_FACE_LIST");
    object.faces.reserve(faceCount);
    const auto vertexCount = static_cast<long>(object.vertices.size());
    std::array<std::optional<std::string_view>, 6> corners;
    for (size_t i = 0; i < faceCount; ++i) {
        const std::string_view value = requireValue("*MESH_FACE");
        // The keywords after the labels begin with '*', which the labelled part cannot hold.
        const size_t labelled = cornerLabelWords(value, corners);
        SceneFace face;
        std::int32_t* vertices[3] = {&face.a, &face.b, &face.c};
        for (size_t k = 0; k < 3; ++k) {
            if (!corners[k]) failAtLine("Error in ASE file! Corner label missing in %s line!", "*MESH_FACE");
            const long n = common::atolC(*corners[k]);
            if (n < 0 || n >= vertexCount)
                failAtLine("Error in ASE file! Vertex index out of range in %s line!", "*MESH_FACE");
            *vertices[k] = static_cast<std::int32_t>(n);
        }
        // Flags, smoothing and material id are plain atoi fields: absent reads 0.
        auto number = [](const std::optional<std::string_view>& text) { return text ? common::atoiC(*text) : 0; };
        face.ab = number(corners[3]);
        face.bc = number(corners[4]);
        face.ca = number(corners[5]);
        face.smoothing = number(wordAfter(value, "*MESH_SMOOTHING", labelled));
        face.materialId = number(wordAfter(value, "*MESH_MTLID", labelled));
        object.faces.push_back(face);
    }
}

}  // namespace

SceneMaterial defaultMaterial(const GeometryObject& object) {
    SceneMaterial material;
    material.name = object.name + "_wire";
    material.diffuse = object.wireframeColour.value_or(Colour{127, 127, 127, 255});
    return material;
}

void AseReader::giveDefaultMaterials() {
    for (GeometryObject& object : scene_.geometryObjects) {
        const auto ref = static_cast<size_t>(object.materialRef);
        const bool usable =
            object.materialRef >= 0 && ref < scene_.materialGroups.size() && !scene_.materialGroups[ref].empty();
        if (object.hasMaterialRef && usable) continue;
        const auto materialIndex = static_cast<std::int32_t>(scene_.materials.size());
        scene_.materials.push_back(defaultMaterial(object));
        object.materialRef = static_cast<std::int32_t>(scene_.materialGroups.size());
        scene_.materialGroups.push_back({materialIndex});
        const std::string why = !object.hasMaterialRef ? "no *MATERIAL_REF in its block"
                                                       : "material " + std::to_string(ref) + " does not exist";
        options_.diagnostics->warning(fileName_, object.line, object.name,
                                      object.name + ": " + why + "; given material " + scene_.materials.back().name +
                                          (object.wireframeColour ? " (diffuse from *WIREFRAME_COLOR)" : " (grey)"));
    }
}

namespace {

// One piece of the object pass, read on its own: lines counted from its
// start, console text kept.
struct Piece {
    std::uint64_t start = 0, end = 0;
    long lines = 0;
    bool usable = false;
    std::string printed;
    Scene scene;
};

Piece readPiece(const TextParser& whole, std::uint64_t start, const ReadOptions& options, const std::string& fileName) {
    Piece piece;
    piece.start = start;
    try {
        TextParser parser = whole.openAt(start);
        common::PrintedText text;
        AseReader reader(piece.scene, parser, text.file(), options, fileName);
        reader.readObjectLines(true);
        piece.end = parser.position();
        piece.lines = parser.lineNumber();
        piece.printed = text.take();
        piece.usable = piece.scene.overruns.empty();
    } catch (const common::InputError&) {
        // The one-thread read meets the same problem and reports it.
    }
    return piece;
}

template <typename Node>
void appendShifted(std::vector<Node>& into, std::vector<Node>& from, long lines) {
    for (Node& node : from)
        if (node.line >= 0) node.line += lines;
    into.insert(into.end(), std::make_move_iterator(from.begin()), std::make_move_iterator(from.end()));
}

// The object pass over the rest of `parser`'s text on several threads. The
// text is cut into segments; a thread takes the next segment and reads each
// piece that starts in it, whole. The pieces are then taken in order while
// each starts where the last ended and read cleanly; from the first that
// does not, `rest` reads on alone, as the one-thread pass would.
void readObjectsInParallel(Scene& scene, TextParser& parser, std::FILE* out, const ReadOptions& options,
                           const std::string& fileName, std::optional<TextParser>& rest) {
    const std::uint64_t begin = parser.position();
    const std::uint64_t end = begin + parser.remainingBytes();
    const std::uint64_t segment = std::max<std::uint64_t>(options.segmentBytes, 1);
    const auto segments = static_cast<size_t>((end - begin + segment - 1) / segment);
    std::vector<std::vector<Piece>> pieces(segments);
    std::atomic<size_t> next{0};
    // Pieces past one that cannot be used are never used.
    std::atomic<std::uint64_t> unusableFrom{std::numeric_limits<std::uint64_t>::max()};
    std::mutex failureMutex;
    std::exception_ptr failure;
    auto work = [&] {
        // What this thread read goes back to the system a few megabytes at a time.
        std::uint64_t readFrom = 0, readTo = 0;
        auto release = [&](std::uint64_t from, std::uint64_t to, bool now) {
            if (from != readTo) {
                parser.release(readFrom, readTo);
                readFrom = from;
            }
            readTo = to;
            if (now || readTo - readFrom >= (std::uint64_t{8} << 20)) {
                parser.release(readFrom, readTo);
                readFrom = readTo;
            }
        };
        try {
            for (size_t i = next++; i < segments; i = next++) {
                const std::uint64_t from = begin + i * segment, to = std::min(end, from + segment);
                if (from >= unusableFrom) continue;
                std::optional<std::uint64_t> start = i == 0 ? begin : parser.findLineStarting(kPieceStart, from, to);
                while (start && *start < to && *start < unusableFrom) {
                    Piece& piece = pieces[i].emplace_back(readPiece(parser, *start, options, fileName));
                    if (!piece.usable) {
                        std::uint64_t seen = unusableFrom.load();
                        while (piece.start < seen && !unusableFrom.compare_exchange_weak(seen, piece.start)) {
                        }
                        break;
                    }
                    release(piece.start, piece.end, false);
                    start = piece.end < end ? std::optional(piece.end) : std::nullopt;
                }
            }
            release(readTo, readTo, true);
        } catch (...) {
            std::lock_guard lock(failureMutex);
            if (!failure) failure = std::current_exception();
        }
    };
    {
        std::vector<std::jthread> helpers;
        for (unsigned i = 1; i < options.threads && i < segments; ++i) helpers.emplace_back(work);
        work();
    }
    if (failure) std::rethrow_exception(failure);

    std::uint64_t at = begin;
    long lines = parser.lineNumber();
    size_t used = 0;
    bool joined = true;
    for (std::vector<Piece>& found : pieces)
        for (Piece& piece : found) {
            joined = joined && piece.start == at && piece.usable;
            if (!joined) break;
            ++used;
            std::fwrite(piece.printed.data(), 1, piece.printed.size(), out);
            appendShifted(scene.geometryObjects, piece.scene.geometryObjects, lines);
            appendShifted(scene.cameras, piece.scene.cameras, lines);
            appendShifted(scene.lights, piece.scene.lights, lines);
            appendShifted(scene.helpers, piece.scene.helpers, lines);
            lines += piece.lines;
            at = piece.end;
        }
    parser.setLineNumber(lines);
    if (options.piecesUsed != nullptr) *options.piecesUsed = used;
    if (at >= end) return;
    rest.emplace(parser.openAt(at));
    rest->setLineNumber(lines);
    AseReader(scene, *rest, out, options, fileName).readObjectLines(false);
}

}  // namespace

void loadScene(Scene& scene, const std::string& fileName, std::FILE* out) {
    TextParser parser = TextParser::openFile(fileName);
    loadScene(scene, parser, fileName, out);
}

void loadScene(Scene& scene, TextParser& parser, const std::string& fileName, std::FILE* out,
               const ReadOptions& options) {
    if (!parser.loaded()) {
        common::InputError error("Can't open ASE: " + fileName + "!", -1, common::ErrorKind::CannotOpen);
        error.file = fileName;
        throw error;
    }
    parser.setQuotesAsBlanks(true);
    std::fprintf(out, "Loading ASE %s...\n", fileName.c_str());
    AseReader reader(scene, parser, out, options, fileName);
    std::optional<TextParser> rest;
    try {
        reader.readMaterialList();
        if (options.threads > 1 && !options.lenient && parser.hasRanges() &&
            parser.remainingBytes() > options.segmentBytes) {
            std::fputs("Loading objects...\n", out);
            readObjectsInParallel(scene, parser, out, options, fileName, rest);
            std::fputs("Seems that we've reached the end of file...\n", out);
        } else {
            reader.readObjects();
        }
        if (options.lenient) reader.giveDefaultMaterials();
        if (parser.sourceChanged()) reportError(-1, "Can't read %s!", fileName.c_str());
    } catch (common::InputError& error) {
        // What was read of a file that shrank meanwhile means nothing.
        if (parser.sourceChanged()) {
            common::InputError changed("Can't read " + fileName + "!");
            changed.file = fileName;
            throw changed;
        }
        if (error.file.empty()) error.file = fileName;
        // An error without a line happened at the end of the file, where the
        // lookup that failed gave up.
        if (error.line < 0) error.diagnosticLine = (rest ? *rest : parser).lineNumber();
        if (std::string(error.what()).starts_with("Crap! Missing"))
            if (const auto reason = common::notAseReason(parser.head()))
                error.notes.push_back({fileName + " does not look like an ASE export: " + *reason});
        throw;
    }
}

}  // namespace sceneread
