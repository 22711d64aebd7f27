// The console report of a finished brush and its convexity check.
#pragma once

#include <cstddef>
#include <cstdio>

#include "collision/brush.h"

namespace collision {

// Beyond this plane value a vertex is far outside its brush: the check fails.
inline constexpr double kConvexErrorThreshold = 10000.0;
// Beyond this one (up to the error threshold) a warning is printed.
inline constexpr double kConvexWarningThreshold = 0.01;
// Warnings printed per brush; an inside-out brush would otherwise print one per
// (plane, vertex) pair, gigabytes for a mesh of a megabyte.
inline constexpr size_t kMaxWarningsPerBrush = 1000;

// Prints the counts after the "Mesh: <name>" of the reader, ending the line;
// with `verbose` also every vertex, plane and edge and the sphere.
void printBrush(const Brush& brush, bool verbose, std::FILE* out);

// Tests every vertex against every plane (plane-major), printing a warning
// pair for each of the first kMaxWarningsPerBrush values in the warning band
// and then one line "... <n> more warnings for this brush" for the rest; on the
// first value beyond the error threshold prints that line (when due) and the
// error pair and returns false. NaN values pass.
//
// `summary`, when given, receives the number of values in the warning band,
// the largest of them, and whether most vertices lie in front of most planes
// (the mark of a brush whose faces point inwards).
struct ConvexSummary {
    size_t warnings = 0;
    double worst = 0;
    bool insideOut = false;
};
bool checkConvex(const Brush& brush, std::FILE* out, ConvexSummary* summary = nullptr);

}  // namespace collision
