// Loading the binary model files (VKM, HXM) that the inspectors read.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "common/file_loader.h"

namespace common {

// The largest model file loaded. Every size in the VKM and HXM formats is a
// 32-bit field, so a model cannot be much larger than 4 GiB; the margin holds
// the headers around the largest chunk. A larger file is refused unread.
inline constexpr std::uint64_t kMaxModelFileBytes = (std::uint64_t{1} << 32) + (std::uint64_t{1} << 20);

// What follows describe(failure) in a message: ": <reason>" for a read error,
// " (more than <limit> bytes)" for a file beyond kMaxModelFileBytes.
inline std::string loadFailureDetail(const LoadedFile& loaded) {
    if (loaded.failure == LoadFailure::ReadFailed && loaded.error != 0)
        return std::string(": ") + std::strerror(loaded.error);
    if (loaded.failure == LoadFailure::TooLarge) return " (more than " + std::to_string(kMaxModelFileBytes) + " bytes)";
    return "";
}

}  // namespace common
