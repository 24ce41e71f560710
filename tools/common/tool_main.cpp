#include "common/tool_main.h"

#include "common/tool_error.h"

#include <cstdio>
#include <new>
#include <string>

namespace qf::kit {

namespace {

void printLine(std::string_view program, const std::string& message)
{
    // One line, whatever the message holds.
    std::string line(message);
    for (char& c : line)
        if (c == '\n' || c == '\r')
            c = ' ';
    std::fprintf(stderr, "%.*s: %s\n", static_cast<int>(program.size()), program.data(), line.c_str());
}

} // namespace

int runToolMain(std::string_view program, const std::function<void()>& body)
{
    try {
        body();
        if (std::fflush(stdout) != 0) {
            printLine(program, "cannot write to standard output");
            return 1;
        }
        return 0;
    } catch (const UsageError& e) {
        printLine(program, std::string("usage: ") + e.usage);
        return 2;
    } catch (const ToolError& e) {
        printLine(program, e.what());
    } catch (const std::bad_alloc&) {
        printLine(program, "out of memory");
    } catch (const std::exception& e) {
        printLine(program, std::string("internal error: ") + e.what());
    }
    return 1;
}

} // namespace qf::kit
