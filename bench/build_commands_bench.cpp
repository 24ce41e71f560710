// build_commands_bench: nanoseconds per buildCommands for every built-in
// model and format, against a baseline measured in the same run: copying the
// finished command lines into a string (the least any builder must do).
//
//   build-*/bin/build_commands_bench [iterations]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "convert/command_line_builder.h"
#include "convert/device_models.h"
#include "convert/value_tables.h"

namespace {

using Clock = std::chrono::steady_clock;
using qf::convert::CommandLineBuilder;

volatile size_t g_sink = 0;

double nsPer(Clock::duration d, long n) { return std::chrono::duration<double, std::nano>(d).count() / double(n); }

} // namespace

int main(int argc, char** argv)
{
    const long iterations = argc > 1 ? std::atol(argv[1]) : 20000;
    if (iterations <= 0) {
        std::fprintf(stderr, "build_commands_bench: iterations must be positive\n");
        return 2;
    }
    CommandLineBuilder::setEncoderPath("\"/opt/quillfer/ALDER.DAT\"");

    std::printf("%-14s %-10s %6s %12s %12s %7s\n", "category", "model", "format", "build ns", "copy ns", "ratio");
    double totalBuild = 0, totalCopy = 0;
    int combos = 0;
    for (int32_t category = 0; category < qf::convert::kCategoryCount; ++category) {
        qf::convert::DeviceModelList list;
        qf::convert::buildCategoryList(category, qf::convert::DeviceModelList(), list);
        for (const qf::convert::DeviceModel& m : list) {
            for (const qf::convert::FormatChoice& f : m.formats) {
                CommandLineBuilder prototype;
                prototype.selectModel(category, m.modelIndex, f.format);
                prototype.sourcePath = "/home/user/Videos/holiday 2008/clip.avi";
                prototype.makeOutputPath("/home/user/Documents/Tarnwell输出");

                // Each build runs on a fresh copy: building changes the record
                // (turbo, forced codecs), as it does for a task.
                std::vector<CommandLineBuilder> records(64, prototype);
                const auto t0 = Clock::now();
                for (long i = 0; i < iterations; ++i) {
                    CommandLineBuilder& b = records[size_t(i) % records.size()];
                    b.turbo = prototype.turbo;
                    b.buildCommands();
                    g_sink = g_sink + b.firstCommand().length();
                }
                const auto build = Clock::now() - t0;

                CommandLineBuilder done = prototype;
                done.buildCommands();
                const std::string first = done.firstCommand().c_str();
                const std::string second = done.secondCommand().c_str();
                qf::core::TextString a, b;
                const auto t1 = Clock::now();
                for (long i = 0; i < iterations; ++i) {
                    a.assign(first.c_str());
                    b.assign(second.c_str());
                    g_sink = g_sink + a.length() + b.length();
                }
                const auto copy = Clock::now() - t1;

                const double buildNs = nsPer(build, iterations);
                const double copyNs = nsPer(copy, iterations);
                std::printf("%-14s %-10s %6d %12.1f %12.1f %7.1f\n", qf::convert::categoryName(category),
                            m.name.c_str(), f.format, buildNs, copyNs, buildNs / copyNs);
                totalBuild += buildNs;
                totalCopy += copyNs;
                ++combos;
            }
        }
    }
    std::printf("\n%d model/format combinations, %ld builds each\n", combos, iterations);
    std::printf("mean buildCommands: %.1f ns; mean copy baseline: %.1f ns; ratio %.1f\n", totalBuild / combos,
                totalCopy / combos, totalBuild / totalCopy);
    return 0;
}
