#include "app/cli/cli_options.h"

#include <getopt.h>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli/cli.h"

namespace qf::cli::detail {

namespace {

// getopt_long's code for a row without a short form: above every char.
constexpr int kFirstRowCode = 256;
constexpr size_t kHelpColumn = 25;

int codeOf(std::span<const OptionView> table, size_t row)
{
    return table[row].letter ? table[row].letter : kFirstRowCode + static_cast<int>(row);
}

// The row getopt_long returned `code` for, or the table's size for none.
size_t rowOf(std::span<const OptionView> table, int code)
{
    for (size_t row = 0; row < table.size(); ++row)
        if (codeOf(table, row) == code)
            return row;
    return table.size();
}

// What a mistake reads like. getopt_long leaves optopt zero for a long name
// it does not know (or that is ambiguous), the option's code otherwise, and
// has moved optind past a long option and its value; so a long option's
// words are argv[optind - 1], a short one is told by its letter.
std::string describeMistake(std::span<const OptionView> table, int result, const std::vector<char*>& argv)
{
    const std::string word = argv[static_cast<size_t>(optind) - 1];
    const std::string typed = word.substr(0, word.find('='));
    const size_t row = rowOf(table, optopt);
    if (result == ':')
        return "选项 " + (typed.starts_with("--") ? typed : "-" + std::string(1, char(optopt))) + " 需要一个值";
    if (optopt != 0 && row < table.size())
        return "选项 " + typed + " 不带值";
    if (optopt != 0)
        return "未知的选项 -" + std::string(1, char(optopt));
    // An exact name is never ambiguous: more than one name starts with it.
    std::string candidates;
    int matches = 0;
    for (const OptionView& option : table)
        if ((std::string("--") + option.name).starts_with(typed))
            candidates += (matches++ ? "、--" : "--") + std::string(option.name);
    if (matches > 1)
        return "选项 " + typed + " 有歧义：" + candidates;
    return "未知的选项 " + typed;
}

} // namespace

ParseOutcome parseOptions(std::span<const OptionView> table, const std::vector<std::string>& args, const char* command,
                          GivenOptions& given, std::vector<std::string>& operands, std::string& error)
{
    if (wantsHelp(args))
        return ParseOutcome::HelpWanted;
    // "-": operands come back in place (code 1), whatever POSIXLY_CORRECT
    // says; ":" tells a missing value from an unknown option.
    std::string shorts = "-:h";
    std::vector<option> longs;
    for (size_t row = 0; row < table.size(); ++row) {
        const OptionView& o = table[row];
        longs.push_back({o.name, o.takesValue ? required_argument : no_argument, nullptr, codeOf(table, row)});
        if (o.letter)
            shorts += std::string(1, o.letter) + (o.takesValue ? ":" : "");
    }
    longs.push_back({"help", no_argument, nullptr, 'h'});
    longs.push_back({});

    std::vector<std::string> words{command};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(words.size());

    optind = 0; // a full restart, also of a scan left half-way
    opterr = 0; // the mistakes are told in the user's language below
    for (;;) {
        optopt = 0;
        const int code = getopt_long(argc, argv.data(), shorts.c_str(), longs.data(), nullptr);
        if (code == -1)
            break;
        if (code == 1) {
            operands.emplace_back(optarg);
        } else if (code == 'h') {
            return ParseOutcome::HelpWanted;
        } else if (code == '?' || code == ':') {
            error = describeMistake(table, code, argv) + "；可用的选项见 'quillfer-cli " + command + " --help'";
            return ParseOutcome::UsageError;
        } else {
            given.emplace_back(rowOf(table, code), optarg ? optarg : "");
        }
    }
    for (int i = optind; i < argc; ++i)
        operands.emplace_back(argv[static_cast<size_t>(i)]);
    return ParseOutcome::Parsed;
}

std::string optionHelp(std::span<const OptionView> table)
{
    std::string out;
    for (const OptionView& o : table) {
        std::string forms = "  ";
        if (o.letter)
            forms += std::string("-") + o.letter + ", ";
        forms += std::string("--") + o.name;
        if (o.takesValue)
            forms += std::string(" ") + o.value;
        // A long form that fills the column puts its description below it.
        forms = forms.size() < kHelpColumn ? forms + std::string(kHelpColumn - forms.size(), ' ')
                                           : forms + "\n" + std::string(kHelpColumn, ' ');
        std::string_view help = o.help;
        for (size_t end = help.find('\n'); !help.empty(); end = help.find('\n')) {
            out += forms;
            out += help.substr(0, end);
            out += '\n';
            help.remove_prefix(end == std::string_view::npos ? help.size() : end + 1);
            forms = std::string(kHelpColumn, ' ');
        }
    }
    return out;
}

} // namespace qf::cli::detail
