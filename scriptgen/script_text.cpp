#include "scriptgen/script_text.h"

#include <cassert>
#include <cstdint>
#include <new>

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

// One "LOD<i> <tail>" line for every i below lodCount.
uint64_t lodLinesSize(uint64_t lodCount, uint64_t tailSize) {
    SizeCounter counter;
    counter.add(SizeCounter::times(lodCount, 3 + tailSize + kLineEnd.size()));
    counter.add(digitsBelow(lodCount));
    return counter.total;
}

uint64_t scriptSize(const ScriptHeader& header, std::string_view model, const std::vector<Element>& elements) {
    const uint64_t lodCount = static_cast<uint64_t>(header.lodCount);
    SizeCounter size;
    size.add(decimalDigits(static_cast<uint64_t>(header.parameterCount)) + kLineEnd.size());
    size.add(std::string_view("DKS  2.0\r\nMODEL ").size() + model.size() + kLineEnd.size());
    size.add(std::string_view("\r\nRADIUS 10\r\n\r\nLODS ").size() + decimalDigits(lodCount) + kLineEnd.size());
    size.add(lodLinesSize(lodCount, 1 + header.aseName.size() + 2));
    size.add(std::string_view("\r\nELEMENTS ").size() + decimalDigits(elements.size()) + kLineEnd.size());
    for (const Element& element : elements) {
        const std::string_view name = header.gibNames ? gibName(element.nodeName) : element.nodeName;
        size.add(std::string_view("\r\nELEMENT \r\nNAME \r\n").size() + kindWord(element.kind).size() + name.size());
        if (element.kind == ElementKind::Mesh)
            size.add(lodLinesSize(lodCount, 1 + element.nodeName.size()));
        else
            size.add(std::string_view("DEFINITION \r\n").size() + element.nodeName.size());
        size.add(std::string_view("PARENT \r\n").size() + element.parent.size());
    }
    return size.total;
}

void appendLodLines(std::string& text, int lodCount, std::string_view tail) {
    for (int i = 0; i < lodCount; ++i) {
        text += "LOD";
        text += std::to_string(i);
        text += ' ';
        text += tail;
        text += kLineEnd;
    }
}

}  // namespace

std::string scriptNameFor(std::string_view aseName) {
    std::string name(aseName.substr(0, splitName(aseName).extensionStart));
    name += ".dks";
    return name;
}

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
    const std::string model = modelNameFor(header.aseName);
    const uint64_t size = scriptSize(header, model, elements);
    std::string text;
    if (size > text.max_size()) throw std::bad_alloc();
    text.reserve(static_cast<size_t>(size));

    text += std::to_string(header.parameterCount);
    text += "\r\nDKS  2.0\r\nMODEL ";
    text += model;
    text += "\r\n\r\nRADIUS 10\r\n\r\nLODS ";
    text += std::to_string(header.lodCount);
    text += kLineEnd;
    std::string aseTail(header.aseName);
    aseTail += "\t0";
    appendLodLines(text, header.lodCount, aseTail);
    text += "\r\nELEMENTS ";
    text += std::to_string(elements.size());
    text += kLineEnd;
    for (const Element& element : elements) {
        text += "\r\nELEMENT ";
        text += kindWord(element.kind);
        text += "\r\nNAME ";
        text += header.gibNames ? gibName(element.nodeName) : std::string_view(element.nodeName);
        text += kLineEnd;
        if (element.kind == ElementKind::Mesh) {
            appendLodLines(text, header.lodCount, element.nodeName);
        } else {
            text += "DEFINITION ";
            text += element.nodeName;
            text += kLineEnd;
        }
        text += "PARENT ";
        text += element.parent;
        text += kLineEnd;
    }
    assert(text.size() == size);
    return text;
}

}  // namespace scriptgen
