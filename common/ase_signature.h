// Whether a text looks like an ASE export at all, from its first bytes, so
// that a "missing keyword" error on a file of another kind can say so.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace common {

// The first bytes worth keeping for the check.
inline constexpr size_t kSignatureBytes = 256;

// Why `head` (the first bytes of a file, after UTF-16 decoding) is no ASE
// export, or nullopt when it starts like one ("*3DSMAX_ASCIIEXPORT" after
// optional blanks). The reason is a phrase: "it is empty", "it holds binary
// data", "it looks like UTF-16 without a byte-order mark", "it starts with
// <first line> instead of *3DSMAX_ASCIIEXPORT".
std::optional<std::string> notAseReason(std::string_view head);

}  // namespace common
