// The one exception type of SCENE2DKS: a failure that stops the run. Its text
// is the whole console line the user sees (it begins with "Error"); main()
// prints it with the CR LF every console line of the tool ends with and maps it
// to the failure exit status. Library code never prints it itself.
#pragma once

#include <stdexcept>
#include <string>

namespace scriptgen {

struct ToolError : std::runtime_error {
    explicit ToolError(const std::string& line) : std::runtime_error(line) {}
};

}  // namespace scriptgen
