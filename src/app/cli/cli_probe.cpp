// quillfer-cli probe FILE...: the facts that the task list shows for each file.

#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/cli.h"
#include "app/cli/cli_options.h"
#include "core/file_system.h"
#include "core/program_directory.h"
#include "core/readable_text.h"
#include "probe/media_info_library.h"
#include "probe/media_summary.h"

namespace qf::cli {

namespace {

constexpr const char* kRefusedText = "不能识别的文件类型。";

void printUsage(FILE* out)
{
    std::fprintf(out,
                 "usage: quillfer-cli probe FILE...\n\n"
                 "Probes each file with the media-information library from the program\n"
                 "directory and prints the summary that the task list shows: container\n"
                 "format, the first video stream and the first audio stream. A file with\n"
                 "neither a video nor an audio stream is refused.\n\n"
                 "Exit status: 0 when every file was recognised, 1 when any was refused\n"
                 "or could not be read, 2 on a usage error.\n");
}

// The summary separates its lines with CR LF; a terminal wants LF.
void printSummary(const probe::MediaFacts& facts)
{
    core::TextString text = probe::formatMediaSummaryText(facts);
    text.replaceAll("\r\n", "\n");
    std::fwrite(text.c_str(), 1, text.length(), stdout);
    std::fputc('\n', stdout);
}

// No options: "--" lets a file's name start with "-".
struct ProbeArgs {};

int runProbe(const std::vector<std::string>& arguments)
{
    ProbeArgs options;
    std::vector<std::string> args;
    std::string error;
    switch (parseOptions(std::span<const CliOption<ProbeArgs>>(), arguments, "probe", options, args, error)) {
    case ParseOutcome::HelpWanted: printUsage(stdout); return kExitOk;
    case ParseOutcome::UsageError: std::fprintf(stderr, "quillfer-cli probe: %s\n", error.c_str()); return kExitUsage;
    case ParseOutcome::Parsed: break;
    }
    if (args.empty()) {
        printUsage(stderr);
        return kExitUsage;
    }
    if (!startUp())
        return kExitFailed;

    // One prober for every file, as the task list keeps one.
    probe::MediaSummary summary;
    const bool several = args.size() > 1;
    int status = kExitOk;
    bool first = true;
    for (const std::string& path : args) {
        if (!core::fs::isFile(path.c_str())) {
            std::fprintf(stderr, "quillfer-cli: probe: 找不到文件：%s\n", core::printableText(path).c_str());
            status = kExitFailed;
            continue;
        }
        if (!probe::probeFile(path.c_str(), summary)) {
            std::fprintf(stderr, "%s\n%s\n", kRefusedText, core::printableText(path).c_str());
            status = kExitFailed;
            continue;
        }
        if (several) {
            std::printf("%s%s\n", first ? "" : "\n", core::printableText(path).c_str());
            first = false;
        }
        printSummary(summary);
    }
    std::fflush(stdout);
    return status;
}

const CliRegistration registration(Subcommand{"probe", "print the media facts of files (format, video, audio)",
                                              runProbe});

} // namespace

} // namespace qf::cli
