#pragma once
// The one failure a helper program reports: a message fit to print as the
// program's single error line. Thrown inside a helper program only; its
// main() catches it (see tool_main.h).

#include <stdexcept>
#include <string>

namespace qf::kit {

class ToolError : public std::runtime_error {
public:
    explicit ToolError(const std::string& message) : std::runtime_error(message) {}
};

} // namespace qf::kit
