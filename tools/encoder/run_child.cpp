#include "run_child.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "common/signal_cleanup.h"
#include "core/platform/subprocess.h"

namespace qf::encoder {

namespace {

// Reads a started child's output until it ends, or ends it when this process
// is told to stop.
ChildOutcome follow(platform::Subprocess& child, const LineHandler& onStdout, const LineHandler& onStderr)
{
    ChildOutcome outcome;
    outcome.started = true;
    const auto interrupted = [] { return kit::stopSignal() != 0; };
    platform::LineSplitter outLines;
    platform::LineSplitter errLines;
    bool ended
        = platform::drainOutput(
              child, [&](std::string_view bytes) { outLines.push(bytes, onStdout); },
              [&](std::string_view bytes) { errLines.push(bytes, onStderr); }, kit::stopWakeDescriptor(), interrupted)
        && !interrupted();
    if (ended) {
        outLines.finish(onStdout);
        errLines.finish(onStderr);
        ended = child.waitExit(-1, interrupted);
    }
    if (!ended) {
        outcome.interrupted = true;
        // ffmpeg stops within a moment of SIGTERM; give it one second, then force it.
        child.terminate(1000);
    }
    outcome.exitCode = child.exitCode();
    outcome.termSignal = child.termSignal();
    return outcome;
}

std::vector<std::string> withProgram(const std::string& program, const std::vector<std::string>& args)
{
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

} // namespace

ChildOutcome runChild(const std::string& program, const std::vector<std::string>& args, const LineHandler& onStdout,
                      const LineHandler& onStderr)
{
    ChildOutcome outcome;
    platform::Subprocess child;
    if (kit::stopSignal() != 0)
        outcome.interrupted = true;
    else if (int rc = child.start(withProgram(program, args), platform::SubprocessOptions::toolChild()); rc != 0)
        outcome.startError = std::strerror(rc);
    else
        outcome = follow(child, onStdout, onStderr);
    return outcome;
}

FedOutcome runFedChild(const std::string& program, const std::vector<std::string>& feederArgs,
                       const std::vector<std::string>& args, const LineHandler& onStdout, const LineHandler& onStderr)
{
    FedOutcome outcome;
    if (kit::stopSignal() != 0) {
        outcome.main.interrupted = true;
        return outcome;
    }
    int link[2];
    if (pipe2(link, O_CLOEXEC) != 0) {
        outcome.main.startError = std::strerror(errno);
        return outcome;
    }
    // What the feeder says is not needed: a failed feeder is followed by a
    // run without it, which tells the cause.
    int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);
    platform::SubprocessOptions feederOptions = platform::SubprocessOptions::toolChild();
    feederOptions.outputTo = link[1];
    feederOptions.errorsTo = quiet;
    platform::Subprocess feeder;
    int rc = quiet < 0 ? errno : feeder.start(withProgram(program, feederArgs), feederOptions);
    close(link[1]);
    if (quiet >= 0)
        close(quiet);
    if (rc != 0) {
        close(link[0]);
        outcome.main.startError = std::strerror(rc);
        return outcome;
    }
    outcome.feederStarted = true;
    platform::SubprocessOptions options = platform::SubprocessOptions::toolChild();
    options.inputFrom = link[0];
    platform::Subprocess child;
    rc = child.start(withProgram(program, args), options);
    close(link[0]);
    if (rc == 0)
        outcome.main = follow(child, onStdout, onStderr);
    else
        outcome.main.startError = std::strerror(rc);
    // With the reader gone the feeder ends at its next write; stopped, it is ended at once.
    const auto interrupted = [] { return kit::stopSignal() != 0; };
    if (outcome.main.interrupted || !feeder.waitExit(-1, interrupted)) {
        outcome.main.interrupted = true;
        feeder.terminate(1000);
    }
    outcome.feederExitCode = feeder.exitCode();
    outcome.feederSignal = feeder.termSignal();
    return outcome;
}

} // namespace qf::encoder
