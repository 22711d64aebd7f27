#include "common/ase_signature.h"

#include <algorithm>

namespace common {

std::optional<std::string> notAseReason(std::string_view head) {
    constexpr std::string_view kSignature = "*3DSMAX_ASCIIEXPORT";
    head = head.substr(0, kSignatureBytes);
    if (head.empty()) return "it is empty";
    const size_t start = head.find_first_not_of(" \t\r\n");
    if (start != std::string_view::npos && head.substr(start).starts_with(kSignature)) return std::nullopt;
    const auto nuls = std::count(head.begin(), head.end(), '\0');
    // Every other byte NUL: ASCII text in UTF-16 whose byte-order mark is gone.
    if (nuls * 3 >= static_cast<long>(head.size())) return "it looks like UTF-16 without a byte-order mark";
    const auto control = std::count_if(head.begin(), head.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 && c != '\t' && c != '\r' && c != '\n';
    });
    if (control > 0) return "it holds binary data";
    std::string_view first = head.substr(start == std::string_view::npos ? 0 : start);
    first = first.substr(0, std::min(first.find_first_of("\r\n"), size_t{40}));
    return "it starts with \"" + std::string(first) + "\" instead of " + std::string(kSignature);
}

}  // namespace common
