#include "probe/support/probe_media.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <system_error>
#include <unistd.h>

namespace qf::probe::testing {

namespace {

namespace stdfs = std::filesystem;

bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

bool makeAll(const stdfs::path& dir)
{
    const std::string ff = "ffmpeg -nostdin -v error -y ";
    const std::string video = "-f lavfi -i testsrc=size=160x120:rate=25:duration=2 ";
    const std::string tone = "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 ";
    const std::string d = "'" + dir.string() + "/";
    if (!run(ff + video + tone + "-c:v mpeg4 -c:a libmp3lame -shortest " + d + "av.avi'")
        || !run(ff + tone + "-c:a libmp3lame " + d + "audio.mp3'")
        || !run(ff + video + "-c:v mpeg4 " + d + "video.avi'")
        || !run(ff + "-f lavfi -i testsrc=size=64x48 -frames:v 1 " + d + "picture.png'"))
        return false;
    std::error_code ec;
    stdfs::copy_file(dir / "av.avi", dir / "测试视频.avi", ec);
    std::ofstream(dir / "notes.txt") << "not a media file\n";
    return !ec;
}

} // namespace

const ProbeMedia& probeMedia()
{
    static ProbeMedia media = [] {
        // Versioned so that a change to the recipe never meets old files.
        const stdfs::path root = stdfs::path(QF_TEST_DATA_DIR) / "probe-media-v1";
        std::error_code ec;
        if (!stdfs::exists(root / "notes.txt")) {
            stdfs::create_directories(QF_TEST_DATA_DIR, ec);
            // Built aside and renamed into place, so that tests running side
            // by side never see half a set.
            std::string scratch = (stdfs::path(QF_TEST_DATA_DIR) / "probe-media-XXXXXX").string();
            if (::mkdtemp(scratch.data()) == nullptr) {
                ADD_FAILURE() << "cannot make a scratch folder in " << QF_TEST_DATA_DIR;
                return ProbeMedia{};
            }
            if (!makeAll(scratch)) {
                ADD_FAILURE() << "ffmpeg could not make the test media (is ffmpeg installed?)";
                stdfs::remove_all(scratch, ec);
                return ProbeMedia{};
            }
            stdfs::rename(scratch, root, ec);
            if (ec) // another test got there first
                stdfs::remove_all(scratch, ec);
        }
        const std::string d = root.string() + "/";
        return ProbeMedia{root.string(),      d + "av.avi",    d + "audio.mp3",  d + "video.avi",
                          d + "测试视频.avi", d + "notes.txt", d + "picture.png"};
    }();
    return media;
}

std::string realLibraryPath() { return std::string(QF_PROGRAM_DIR) + "/OLIVE.dll"; }

} // namespace qf::probe::testing
