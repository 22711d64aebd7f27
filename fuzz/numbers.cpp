// Differential: the number helpers against the C functions they stand in for.
// Any disagreement (value bits, match, or characters consumed) is a crash.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/c_number.h"

namespace {

[[noreturn]] void disagree(const char* what, const std::string& input) {
    std::fprintf(stderr, "%s disagrees on \"%s\"\n", what, input.c_str());
    std::abort();
}

template <typename T, typename Scan>
void compareReal(const std::string& input, const char* format, Scan scan, const char* what) {
    T expected{};
    int consumed = 0;
    const bool matched = std::sscanf(input.c_str(), format, &expected, &consumed) == 1;
    std::string_view view = input;
    const auto got = scan(view);
    if (matched != got.has_value()) disagree(what, input);
    if (!matched) return;
    if (!(std::isnan(expected) && std::isnan(*got)) && std::memcmp(&expected, &*got, sizeof(T)) != 0) disagree(what, input);
    if (input.size() - static_cast<size_t>(consumed) != view.size()) disagree(what, input);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    // A C string stops at the first NUL: compare on that prefix.
    std::string input(reinterpret_cast<const char*>(data), size);
    input.resize(std::strlen(input.c_str()));
    compareReal<float>(input, "%f%n", [](std::string_view& v) { return common::scanFloat(v); }, "scanFloat");
    compareReal<double>(input, "%lf%n", [](std::string_view& v) { return common::scanDouble(v); }, "scanDouble");
    long expected = 0;
    int consumed = 0;
    const bool matched = std::sscanf(input.c_str(), "%li%n", &expected, &consumed) == 1;
    std::string_view view = input;
    const auto got = common::scanLongI(view);
    if (matched != got.has_value() || (matched && (expected != *got || input.size() - static_cast<size_t>(consumed) != view.size())))
        disagree("scanLongI", input);
    if (std::atoi(input.c_str()) != common::atoiC(input)) disagree("atoiC", input);
    if (std::atol(input.c_str()) != common::atolC(input)) disagree("atolC", input);
    return 0;
}
