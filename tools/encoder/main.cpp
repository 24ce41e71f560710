// The encoder front-end: MEncoder's command-line subset, converted by ffmpeg.
#include <string>
#include <vector>

#include "child_process.h"
#include "command_line.h"
#include "conversion.h"
#include "progress.h"

int main(int argc, char** argv)
{
    using namespace qf::encoder;
    installInterruptHandlers();
    std::vector<std::string> args(argv + 1, argv + argc);
    ParseResult parsed = parseCommandLine(args);
    if (!parsed.ok) {
        say(neutralize(parsed.error) + "\n");
        say("Exiting... (error parsing command line)\n");
        return 1;
    }
    return runConversion(parsed.command);
}
