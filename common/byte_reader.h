// Little-endian reading of the binary model files, the counterpart of
// byte_writer.h. Every read is bounds-checked: one that would pass the end of
// the cursor's range throws ByteError instead, so a reader built on a Cursor
// cannot read outside its bytes whatever the file says. Readers map ByteError
// to their own error type (same offset, same text).
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace common {

// Whether a reader refuses NaN and infinity where an engine places and draws
// by a value (positions, normals, planes, spheres). The formats allow any float
// bits, and the converters write what the export says ("nan" and "1e39" read
// as numbers there), so only an inspector's judgement refuses them.
enum class FloatValues { Any, FiniteOnly };

struct ByteError : std::runtime_error {
    ByteError(std::size_t at, const std::string& message) : std::runtime_error(message), offset(at) {}
    std::size_t offset;  // from the start of the whole span
};

// A position in a span of bytes and the end of its range. The span must
// outlive the cursor and every cursor and span taken from it.
class Cursor {
public:
    explicit Cursor(std::span<const std::uint8_t> bytes) : bytes_(bytes), at_(0), end_(bytes.size()) {}

    std::size_t offset() const { return at_; }
    std::size_t left() const { return end_ - at_; }

    // Throws ByteError(offset(), message).
    [[noreturn]] void fail(const std::string& message) const { throw ByteError(at_, message); }
    // Throws ByteError(offset(), message) unless `count` more bytes are left.
    void need(std::size_t count, std::string_view message) const {
        if (left() < count) fail(std::string(message));
    }

    // Each throws "truncated byte" / "truncated word" at the current offset
    // when the range ends first.
    std::uint8_t u8() {
        need(1, "truncated byte");
        return bytes_[at_++];
    }
    std::uint16_t u16() {
        need(2, "truncated word");
        const auto v = static_cast<std::uint16_t>(bytes_[at_] | bytes_[at_ + 1] << 8);
        at_ += 2;
        return v;
    }
    std::uint32_t u32() {
        need(4, "truncated word");
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < 4; ++i) v |= std::uint32_t{bytes_[at_ + i]} << (8 * i);
        at_ += 4;
        return v;
    }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    float f32() { return std::bit_cast<float>(u32()); }
    template <std::size_t N>
    std::array<float, N> floats() {
        std::array<float, N> out{};
        for (float& f : out) f = f32();
        return out;
    }

    // The next `count` bytes, skipped; throws "truncated <what>" when fewer are left.
    std::span<const std::uint8_t> take(std::size_t count, std::string_view what) {
        if (left() < count) fail("truncated " + std::string(what));
        const std::span<const std::uint8_t> out = bytes_.subspan(at_, count);
        at_ += count;
        return out;
    }
    // A cursor over the next `count` bytes (offsets stay those of the whole
    // span), skipped here; throws like take().
    Cursor sub(std::size_t count, std::string_view what) {
        const std::size_t begin = at_;
        take(count, what);
        return Cursor(bytes_, begin, at_);
    }

private:
    Cursor(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t end) : bytes_(bytes), at_(at), end_(end) {}

    std::span<const std::uint8_t> bytes_;
    std::size_t at_, end_;
};

inline bool allZero(std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t b : bytes)
        if (b != 0) return false;
    return true;
}

}  // namespace common
