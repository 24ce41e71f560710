#pragma once
// A subcommand's options as one table that both parsing and --help read, so
// a subcommand accepts exactly the options it lists.
//
// Parsing is getopt_long's: "--name VALUE" and "--name=VALUE", "-x VALUE" and
// "-xVALUE", switches grouped ("-rq"), a long name shortened while it stays
// unambiguous, "--" ends the options. Operands may stand anywhere and keep
// their order. -h and --help, anywhere before "--", ask for the help, even
// after a mistake. Main thread only: getopt_long keeps global state.

#include <span>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace qf::cli {

// Where an option's value goes in the subcommand's record `Into`: a text
// (the last one given counts), a list (each one appended) or a switch.
template <typename Into>
using OptionTarget = std::variant<std::string Into::*, std::vector<std::string> Into::*, bool Into::*>;

template <typename Into> struct CliOption {
    const char* name; // the long form, without "--"
    char letter; // the short form, 0 for none
    const char* value; // the value's name in --help (unused for a switch)
    const char* help; // --help's description, lines separated by '\n'
    OptionTarget<Into> target;
};

enum class ParseOutcome { Parsed, HelpWanted, UsageError };

namespace detail {

struct OptionView {
    const char* name;
    char letter;
    bool takesValue;
    const char* value;
    const char* help;
};

template <typename Into> bool takesValue(const CliOption<Into>& option)
{
    return !std::holds_alternative<bool Into::*>(option.target);
}

template <typename Table> std::vector<OptionView> views(const Table& table)
{
    std::vector<OptionView> out;
    for (const auto& o : table)
        out.push_back({o.name, o.letter, takesValue(o), o.value, o.help});
    return out;
}

// The rows of the options given, in order, each with its value.
using GivenOptions = std::vector<std::pair<size_t, std::string>>;

ParseOutcome parseOptions(std::span<const OptionView> table, const std::vector<std::string>& args, const char* command,
                          GivenOptions& given, std::vector<std::string>& operands, std::string& error);

std::string optionHelp(std::span<const OptionView> table);

} // namespace detail

// Parses `args` (those after the subcommand's name) by `table` into `into`
// and `operands`. A usage error leaves a message in `error` that names the
// option and points to 'quillfer-cli <command> --help'.
template <typename Into>
ParseOutcome parseOptions(std::type_identity_t<std::span<const CliOption<Into>>> table,
                          const std::vector<std::string>& args, const char* command, Into& into,
                          std::vector<std::string>& operands, std::string& error)
{
    detail::GivenOptions given;
    const ParseOutcome outcome = detail::parseOptions(detail::views(table), args, command, given, operands, error);
    if (outcome != ParseOutcome::Parsed)
        return outcome;
    for (auto& [row, value] : given) {
        std::visit(
            [&into, &value](auto member) {
                auto& field = into.*member;
                using Field = std::remove_reference_t<decltype(field)>;
                if constexpr (std::is_same_v<Field, bool>)
                    field = true;
                else if constexpr (std::is_same_v<Field, std::string>)
                    field = std::move(value);
                else
                    field.push_back(std::move(value));
            },
            table[row].target);
    }
    return outcome;
}

// The option lines of --help: the forms in a column, the description beside
// them, each line ending in '\n'.
template <typename Table> std::string optionHelp(const Table& table)
{
    return detail::optionHelp(detail::views(table));
}

} // namespace qf::cli
