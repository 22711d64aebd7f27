// Little-endian byte writer for the binary output formats. Output is built in
// memory and handed to replaceFile() in one piece, so a failed run leaves no
// partial file behind.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace common {

// Narrows a size or count to an on-disk field, throwing instead of wrapping.
template <typename To, typename From>
To narrow(From value) {
    if (value < 0 || static_cast<std::uintmax_t>(value) > std::numeric_limits<To>::max())
        throw std::length_error("value does not fit its file field");
    return static_cast<To>(value);
}

class ByteWriter {
public:
    void u8(std::uint8_t v) { bytes_.push_back(v); }
    void u16(std::uint16_t v) {
        for (int i = 0; i < 2; ++i) bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void u32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void f32(float v) { u32(std::bit_cast<std::uint32_t>(v)); }
    void zeros(size_t count) { bytes_.insert(bytes_.end(), count, 0); }
    void raw(std::string_view data) { bytes_.insert(bytes_.end(), data.begin(), data.end()); }
    // A fixed-width text field: the text, then NUL bytes up to `width`. A text
    // of `width` bytes or more keeps its first `width` bytes and no terminator;
    // callers that need a terminator check the length before.
    void text(std::string_view value, size_t width) {
        const size_t n = value.size() < width ? value.size() : width;
        raw(value.substr(0, n));
        zeros(width - n);
    }
    void chunk(std::uint32_t kind, std::uint32_t size) {
        u32(kind);
        u32(size);
    }

    size_t size() const { return bytes_.size(); }
    void reserve(size_t n) { bytes_.reserve(n); }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    std::vector<std::uint8_t> take() { return std::move(bytes_); }

private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace common
