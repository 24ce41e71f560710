// The encoder front-end: MEncoder's command-line subset, converted by ffmpeg.
#include <csignal>
#include <string>
#include <vector>

#include "command_line.h"
#include "common/signal_cleanup.h"
#include "conversion.h"
#include "progress.h"

int main(int argc, char** argv)
{
    using namespace qf::encoder;
    // A stop removes the partial files at once, then ffmpeg is ended and
    // the stop reported like any failure.
    qf::kit::installStopHandlers(qf::kit::StopAction::Record);
    // A reader that went away must not kill the conversion half-way.
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    ParseResult parsed = parseCommandLine(args);
    if (!parsed.ok) {
        say(neutralize(parsed.error) + "\n");
        say("Exiting... (error parsing command line)\n");
        return 1;
    }
    return runConversion(parsed.command);
}
