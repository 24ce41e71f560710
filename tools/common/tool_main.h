#pragma once
// The shared shape of a helper program's main(): run the body, turn any
// failure into one line "<program>: <message>" on standard error and exit
// status 1. Usage errors exit with status 2.

#include <functional>
#include <string_view>

namespace qf::kit {

// Thrown for a command line the program does not accept.
struct UsageError {
    const char* usage;
};

int runToolMain(std::string_view program, const std::function<void()>& body);

} // namespace qf::kit
