#include "core/platform/command_line.h"

namespace qf::platform {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

} // namespace

std::vector<std::string> splitCommandLine(std::string_view line)
{
    std::vector<std::string> out;
    size_t i = 0;
    const size_t n = line.size();
    while (i < n && isBlank(line[i]))
        ++i;
    if (i == n)
        return out;

    // The program name: between the first pair of quotes, or up to a blank.
    // The next argument starts right after the closing quote.
    if (line[i] == '"') {
        const size_t close = line.find('"', i + 1);
        const size_t end = close == std::string_view::npos ? n : close;
        out.emplace_back(line.substr(i + 1, end - i - 1));
        i = close == std::string_view::npos ? n : close + 1;
    } else {
        const size_t start = i;
        while (i < n && !isBlank(line[i]))
            ++i;
        out.emplace_back(line.substr(start, i - start));
    }

    for (;;) {
        while (i < n && isBlank(line[i]))
            ++i;
        if (i >= n)
            break;
        std::string arg;
        bool quoted = false;
        while (i < n && (quoted || !isBlank(line[i]))) {
            if (line[i] == '\\') {
                size_t slashes = 0;
                while (i < n && line[i] == '\\') {
                    ++slashes;
                    ++i;
                }
                if (i < n && line[i] == '"') {
                    arg.append(slashes / 2, '\\');
                    if (slashes % 2) {
                        arg.push_back('"');
                        ++i;
                    }
                    // An even count leaves the quote to toggle below.
                } else {
                    arg.append(slashes, '\\');
                }
                continue;
            }
            if (line[i] == '"') {
                if (quoted && i + 1 < n && line[i + 1] == '"') {
                    arg.push_back('"');
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            arg.push_back(line[i++]);
        }
        out.push_back(std::move(arg));
    }
    return out;
}

std::string quoteArgument(std::string_view argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string_view::npos)
        return std::string(argument);
    std::string out = "\"";
    size_t slashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        if (c == '"') {
            out.append(slashes * 2 + 1, '\\');
            out.push_back('"');
        } else {
            out.append(slashes, '\\');
            out.push_back(c);
        }
        slashes = 0;
    }
    out.append(slashes * 2, '\\');
    out.push_back('"');
    return out;
}

} // namespace qf::platform
