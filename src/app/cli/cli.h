#pragma once
// The subcommand registry and the start-up that every subcommand shares.
// Each cli_<name>.cpp registers its subcommand with a static CliRegistration.

#include <functional>
#include <string>
#include <vector>

namespace qf::cli {

// Exit statuses shared by the subcommands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct Subcommand {
    std::string name;
    std::string summary; // one line for the program's --help
    std::function<int(const std::vector<std::string>& args)> run; // args after the subcommand name
};

struct CliRegistration {
    explicit CliRegistration(Subcommand command);
};

// Runs the start-up sequence once (program directory, media library, tool
// paths, encoder path, configuration read only). Prints the failure to
// standard error and returns false when it fails.
bool startUp();

// True when args holds -h or --help.
bool wantsHelp(const std::vector<std::string>& args);

} // namespace qf::cli
