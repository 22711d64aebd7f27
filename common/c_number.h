// Number reading with the exact semantics of the C runtime functions the file
// formats were defined with (scanf "%f", "%lf", "%i", atoi, atol), but without
// their cost on the common case.
//
// Every function takes a std::string_view by reference and, where a scanf
// conversion would consume input, advances it past what that conversion
// consumes. Ordinary numbers go through std::from_chars; anything unusual
// (a '+', hex, inf/nan, exponent without digits, out-of-range values, a number
// glued to letters) is handed to the C library itself on a NUL-terminated copy,
// so the result is the C runtime's by construction. The differential tests pin
// the fast path to the C functions.
#pragma once

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace common {

// isspace() in the "C" locale; the tools never call setlocale.
constexpr bool isCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }

constexpr bool isAsciiAlnum(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

namespace detail {

inline void skipCSpace(std::string_view& in) {
    size_t i = 0;
    while (i < in.size() && isCSpace(in[i])) ++i;
    in.remove_prefix(i);
}

// A number the fast path may accept must be followed by something no C
// conversion could take as part of it.
constexpr bool endsNumber(const char* p, const char* last) {
    if (p == last) return true;
    const char c = *p;
    return !(isAsciiAlnum(c) || c == '.' || c == '+' || c == '-' || c == '_');
}

// Runs sscanf with a single conversion followed by "%n" on a copy of `in`;
// returns the stored value and advances `in`, or nullopt on a matching failure.
template <typename T>
std::optional<T> scanWithC(std::string_view& in, const char* format) {
    const std::string copy(in);
    T value{};
    int consumed = 0;
    if (std::sscanf(copy.c_str(), format, &value, &consumed) != 1) return std::nullopt;
    in.remove_prefix(static_cast<size_t>(consumed));
    return value;
}

// The short decimals exports are full of ("%.4f"): an integer and a power of
// ten that are both exact in T, so one IEEE division rounds the quotient
// exactly as a full conversion rounds the decimal. False for anything else.
template <typename T>
bool shortDecimal(const char* p, const char* last, T& value, const char*& end) {
    constexpr std::uint64_t kExactIntegers = sizeof(T) == 4 ? std::uint64_t{1} << 24 : std::uint64_t{1} << 53;
    constexpr T kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10};  // exact in a float
    const bool negative = p != last && *p == '-';
    if (negative) ++p;
    std::uint64_t mantissa = 0;
    int digits = 0, fraction = -1;
    for (; p != last; ++p) {
        if (isDigit(*p)) {
            if (++digits > 18) return false;
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
            if (fraction >= 0) ++fraction;
        } else if (*p == '.' && fraction < 0) {
            fraction = 0;
        } else {
            break;
        }
    }
    if (digits == 0 || mantissa > kExactIntegers || fraction > 10) return false;
    T v = static_cast<T>(mantissa);
    if (fraction > 0) v /= kPowers[fraction];
    value = negative ? -v : v;
    end = p;
    return true;
}

template <typename T>
std::optional<T> scanReal(std::string_view& in, const char* format) {
    std::string_view rest = in;
    skipCSpace(rest);
    const char* first = rest.data();
    const char* last = first + rest.size();
    const char* digits = first;
    if (digits != last && *digits == '-') ++digits;
    if (digits != last && (isDigit(*digits) || *digits == '.')) {
        T value{};
        if (const char* end = nullptr; shortDecimal(first, last, value, end) && endsNumber(end, last)) {
            in = std::string_view(end, static_cast<size_t>(last - end));
            return value;
        }
        auto [end, ec] = std::from_chars(first, last, value);
        if (ec == std::errc() && endsNumber(end, last)) {
            in = std::string_view(end, static_cast<size_t>(last - end));
            return value;
        }
    }
    return scanWithC<T>(in, format);
}

}  // namespace detail

// Reads one number the way sscanf "%f" does; nullopt where "%f" fails to match.
inline std::optional<float> scanFloat(std::string_view& in) {
    return detail::scanReal<float>(in, "%f%n");
}

// Reads one number the way sscanf "%lf" does.
inline std::optional<double> scanDouble(std::string_view& in) {
    return detail::scanReal<double>(in, "%lf%n");
}

// Reads one integer the way sscanf "%li" does (base from the prefix: 0x is hex,
// a leading 0 octal); the value saturates at LONG_MIN/LONG_MAX on overflow, as
// strtol does, so callers can tell a 32-bit overflow.
inline std::optional<long> scanLongI(std::string_view& in) {
    std::string_view rest = in;
    detail::skipCSpace(rest);
    const char* first = rest.data();
    const char* last = first + rest.size();
    const char* digits = first + (first != last && *first == '-' ? 1 : 0);
    // Decimal without a leading zero and short enough that it cannot overflow.
    if (digits != last && *digits >= '1' && *digits <= '9') {
        long value = 0;
        auto [end, ec] = std::from_chars(first, last, value, 10);
        if (ec == std::errc() && end - digits <= 18 && detail::endsNumber(end, last)) {
            in = std::string_view(end, static_cast<size_t>(last - end));
            return value;
        }
    }
    return detail::scanWithC<long>(in, "%li%n");
}

// strtol(text, nullptr, 10): leading C blanks, an optional sign, decimal digits
// up to the first other character, no digits giving 0, saturating on overflow.
// Consumes nothing (the C function returns no position to callers that use it).
inline long atolC(std::string_view text) {
    std::string_view rest = text;
    detail::skipCSpace(rest);
    const char* first = rest.data();
    const char* last = first + rest.size();
    const char* digits = first + (first != last && (*first == '-' || *first == '+') ? 1 : 0);
    const char* p = digits;
    while (p != last && isDigit(*p) && p - digits < 18) ++p;
    if (p == last || !isDigit(*p)) {
        long value = 0;
        for (const char* d = digits; d != p; ++d) value = value * 10 + (*d - '0');
        return first != last && *first == '-' ? -value : value;
    }
    const std::string copy(rest);
    return std::strtol(copy.c_str(), nullptr, 10);
}

// glibc's atoi: (int) strtol(text, NULL, 10), i.e. the low 32 bits of the
// saturated long. Used where a format reads a plain integer field "like atoi".
inline int atoiC(std::string_view text) {
    return static_cast<int>(static_cast<unsigned long>(atolC(text)) & 0xFFFFFFFFul);
}

// True when a value read in double precision is finite and stays finite as a
// float (the files store floats): NaN, infinities and 1e39 do not.
inline bool fitsFloat(double value) { return std::isfinite(value) && std::fabs(value) <= FLT_MAX; }

// True when a value read with atolC/scanLongI fits a signed 32-bit integer.
constexpr bool fitsInt32(long value) { return value >= INT_MIN && value <= INT_MAX; }

}  // namespace common
