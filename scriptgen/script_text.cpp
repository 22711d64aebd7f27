#include "scriptgen/script_text.h"

#include <cassert>
#include <cstdint>
#include <new>

#include "common/dks_keywords.h"
#include "common/output_name.h"

namespace scriptgen {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

struct NameParts {
    size_t fileStart;       // first character after the directory part
    size_t extensionStart;  // the last '.' of the file name, or the name's size
};

NameParts splitName(std::string_view aseName) {
    const size_t slash = aseName.find_last_of("/\\");
    const size_t fileStart = slash == std::string_view::npos ? 0 : slash + 1;
    const size_t dot = aseName.rfind('.');
    const bool hasExtension = dot != std::string_view::npos && dot >= fileStart;
    return {fileStart, hasExtension ? dot : aseName.size()};
}

size_t decimalDigits(uint64_t value) {
    size_t digits = 1;
    while (value >= 10) {
        value /= 10;
        ++digits;
    }
    return digits;
}

// Digits of 0, 1, ..., count - 1 written one after another.
uint64_t digitsBelow(uint64_t count) {
    uint64_t total = 0;
    uint64_t low = 0, high = 10, width = 1;
    while (low < count) {
        total += ((count < high ? count : high) - low) * width;
        low = high;
        high *= 10;
        ++width;
    }
    return total;
}

// Byte counting that cannot wrap: a script longer than memory can address is
// reported like any other allocation failure.
struct SizeCounter {
    uint64_t total = 0;
    void add(uint64_t bytes) {
        if (__builtin_add_overflow(total, bytes, &total)) throw std::bad_alloc();
    }
    static uint64_t times(uint64_t a, uint64_t b) {
        uint64_t product = 0;
        if (__builtin_mul_overflow(a, b, &product)) throw std::bad_alloc();
        return product;
    }
};

namespace dks = common::dks;

// "<keyword> <value>" and the line end.
uint64_t lineSize(std::string_view keyword, uint64_t valueSize) { return keyword.size() + 1 + valueSize + kLineEnd.size(); }

void appendLine(std::string& text, std::string_view keyword, std::string_view value) {
    text += keyword;
    text += ' ';
    text += value;
    text += kLineEnd;
}

// One "LOD<i> <tail>" line for every i below lodCount.
uint64_t lodLinesSize(uint64_t lodCount, uint64_t tailSize) {
    SizeCounter counter;
    counter.add(SizeCounter::times(lodCount, lineSize(dks::kLod, tailSize)));
    counter.add(digitsBelow(lodCount));
    return counter.total;
}

void appendLodLines(std::string& text, int lodCount, std::string_view tail) {
    for (int i = 0; i < lodCount; ++i) appendLine(text, dks::lodKeyword(i), tail);
}

constexpr std::string_view kPreamble = "DKS  2.0\r\nMODEL ";
constexpr std::string_view kRadius = "\r\nRADIUS 10\r\n\r\n";

uint64_t scriptSize(const ScriptHeader& header, std::string_view model, const std::vector<Element>& elements) {
    const uint64_t lodCount = static_cast<uint64_t>(header.lodCount);
    SizeCounter size;
    size.add(decimalDigits(static_cast<uint64_t>(header.parameterCount)) + kLineEnd.size());
    size.add(kPreamble.size() + model.size() + kLineEnd.size() + kRadius.size());
    size.add(lineSize(dks::kLods, decimalDigits(lodCount)));
    if (header.lodFiles.empty()) {
        size.add(lodLinesSize(lodCount, header.aseName.size() + 2));
    } else {
        size.add(lodLinesSize(lodCount, 2));
        for (const std::string& file : header.lodFiles) size.add(file.size());
    }
    size.add(kLineEnd.size() + lineSize(dks::kElements, decimalDigits(elements.size())));
    for (const Element& element : elements) {
        const std::string_view name = header.gibNames ? gibName(element.nodeName) : element.nodeName;
        size.add(kLineEnd.size() + lineSize(dks::kElement, kindWord(element.kind).size()));
        size.add(lineSize(dks::kName, name.size()));
        if (element.kind == ElementKind::Mesh)
            size.add(lodLinesSize(lodCount, element.nodeName.size()));
        else
            size.add(lineSize(dks::kDefinition, element.nodeName.size()));
        size.add(lineSize(dks::kParent, element.parent.size()));
    }
    return size.total;
}

}  // namespace

std::string scriptNameFor(std::string_view aseName) { return common::makeOutputName(aseName, "dks"); }

std::string modelNameFor(std::string_view aseName) {
    const NameParts parts = splitName(aseName);
    return std::string(aseName.substr(parts.fileStart, parts.extensionStart - parts.fileStart));
}

std::string_view gibName(std::string_view name) {
    const size_t underscore = name.rfind('_');
    return underscore == std::string_view::npos ? name : name.substr(0, underscore);
}

std::string buildScript(const ScriptHeader& header, const std::vector<Element>& elements) {
    assert(header.lodCount >= 1 && header.parameterCount >= 0);
    assert(header.lodFiles.empty() || header.lodFiles.size() == static_cast<size_t>(header.lodCount));
    const std::string model = modelNameFor(header.aseName);
    const uint64_t size = scriptSize(header, model, elements);
    std::string text;
    if (size > text.max_size()) throw std::bad_alloc();
    text.reserve(static_cast<size_t>(size));

    text += std::to_string(header.parameterCount);
    text += kLineEnd;
    text += kPreamble;
    text += model;
    text += kLineEnd;
    text += kRadius;
    appendLine(text, dks::kLods, std::to_string(header.lodCount));
    if (header.lodFiles.empty()) {
        std::string aseTail(header.aseName);
        aseTail += "\t0";
        appendLodLines(text, header.lodCount, aseTail);
    } else {
        for (size_t i = 0; i < header.lodFiles.size(); ++i)
            appendLine(text, dks::lodKeyword(int(i)), header.lodFiles[i] + "\t0");
    }
    text += kLineEnd;
    appendLine(text, dks::kElements, std::to_string(elements.size()));
    for (const Element& element : elements) {
        text += kLineEnd;
        appendLine(text, dks::kElement, kindWord(element.kind));
        appendLine(text, dks::kName, header.gibNames ? gibName(element.nodeName) : std::string_view(element.nodeName));
        if (element.kind == ElementKind::Mesh)
            appendLodLines(text, header.lodCount, element.nodeName);
        else
            appendLine(text, dks::kDefinition, element.nodeName);
        appendLine(text, dks::kParent, element.parent);
    }
    assert(text.size() == size);
    return text;
}

}  // namespace scriptgen
