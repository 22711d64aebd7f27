#include "common/output_options.h"

#include <string_view>
#include <utility>

#include "common/input_error.h"

namespace common {

OutputOptions takeOutputOptions(std::vector<const char*>& arguments, bool depfile) {
    OutputOptions options;
    std::vector<const char*> kept;
    kept.reserve(arguments.size());
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        std::string* value = nullptr;
        if (i > 0 && (argument == "--output" || argument == "-o")) value = &options.output;
        if (i > 0 && depfile && argument == "--depfile") value = &options.depfile;
        if (value == nullptr) {
            kept.push_back(arguments[i]);
            continue;
        }
        if (i + 1 == arguments.size() || *arguments[i + 1] == '\0')
            throw InputError("option " + std::string(argument) + " needs a file name");
        *value = arguments[++i];
    }
    arguments = std::move(kept);
    return options;
}

}  // namespace common
