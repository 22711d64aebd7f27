#include "common/console.h"

#include <sys/stat.h>
#include <unistd.h>

namespace common {

namespace {

bool lineOpen = false;

ssize_t writeConsole(void*, const char* bytes, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t got = ::write(STDOUT_FILENO, bytes + done, size - done);
        if (got < 0) return done > 0 ? static_cast<ssize_t>(done) : -1;
        done += static_cast<size_t>(got);
    }
    if (size > 0) lineOpen = bytes[size - 1] != '\n';
    return static_cast<ssize_t>(size);
}

bool oneTerminal() {
    struct stat out {}, err {};
    return ::isatty(STDOUT_FILENO) && ::isatty(STDERR_FILENO) && ::fstat(STDOUT_FILENO, &out) == 0 &&
           ::fstat(STDERR_FILENO, &err) == 0 && out.st_rdev == err.st_rdev;
}

}  // namespace

std::FILE* toolConsole(Diagnostics& diagnostics) {
    std::FILE* console = stdout;
    if (oneTerminal()) {
        std::fflush(stdout);
        if (std::FILE* tracked = ::fopencookie(nullptr, "w", {nullptr, writeConsole, nullptr, nullptr})) {
            console = tracked;
            diagnostics.setSharedTerminal(&lineOpen);
        }
    }
    diagnostics.setConsole(console);
    return console;
}

}  // namespace common
