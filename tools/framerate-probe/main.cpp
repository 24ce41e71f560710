// frame-rate probe: `probe FILE.avi` prints "Video frame rate: 29.970".
//
// The system starts it with the file quoted either apart from the program
// ("P/probe" "B.avi") or touching it ("P/probe""B.avi"); the command-line
// splitter gives the file as the one argument in both forms.

#include "common/avi_reader.h"
#include "common/tool_main.h"
#include "frame_rate_line.h"

#include <cstdio>

int main(int argc, char** argv)
{
    return qf::kit::runToolMain("framerate-probe", [&] {
        if (argc != 2 || argv[1][0] == '\0')
            throw qf::kit::UsageError{"framerate-probe FILE.avi"};
        qf::kit::InputFile file(argv[1]);
        qf::kit::AviHeader header = qf::kit::readAviHeader(file);
        double fps = qf::kit::videoFrameRate(header, file.path());
        std::printf("%s\n", qf::kit::frameRateLine(fps).c_str());
    });
}
