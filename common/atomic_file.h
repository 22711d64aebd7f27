// Writes a file completely or not at all: the bytes go to a temporary file in
// the target's directory, which is renamed over the target only once every
// byte has been written and the file closed without error. An existing file of
// the target's name stays untouched on any failure.
//
// The temporary file is named `.<target name>.XXXXXX.tmp` (a hidden file with
// six random characters). SIGINT, SIGTERM and SIGHUP during the write remove
// it before the process ends by the signal; only SIGKILL (or a crash) can
// leave one behind, recognisable by that name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace common {

// A target that is already a regular file holding exactly `bytes` is left as
// it is (same inode, mode and modification time); one that cannot be read is
// replaced.
// Returns an empty string on success, else a short description of what failed.
// Not for use from two threads at once: the signal handlers know one
// temporary file.
std::string replaceFile(const std::string& target, std::string_view bytes);

// The same, calling `afterPiece` with the count written so far after each piece
// of the bytes (1 MiB) reaches the temporary file; it may block or raise
// signals, which is how the tests interrupt a write at a known point.
std::string replaceFile(const std::string& target, std::string_view bytes,
                        const std::function<void(std::size_t written)>& afterPiece);

// The same for bytes made piece by piece, so that no copy of the whole file
// is held: `produce` hands `size` bytes in all to the sink it is given, in
// order. The pieces are compared with the target as they come and go to the
// temporary file from the first difference on (with the equal part copied
// from the target). An exception from `produce` removes the temporary file
// and propagates.
using PieceSink = std::function<void(std::string_view piece)>;
std::string replaceFile(const std::string& target, std::uint64_t size,
                        const std::function<void(const PieceSink& sink)>& produce);

// Two names that open the same file: the same string, or the same inode when
// both exist. Used to refuse writing an output over the tool's own input.
bool sameFile(const std::string& a, const std::string& b);

}  // namespace common
