#include "ui/convert/support/task_list_support.h"

#include "integration/support/integration_support.h"

#include <QApplication>
#include <QCoreApplication>
#include <QThread>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "convert/command_line_builder.h"
#include "core/messages.h"
#include "core/program_directory.h"
#include "probe/media_info_library.h"
#include "ui/controls/skin_button.h"
#include "ui/notify/confirm_box.h"

namespace qf::ui::test {

namespace stdfs = std::filesystem;

using integration::quote;
using integration::run;

std::string dataDir()
{
    static const std::string dir = [] {
        const std::string d = std::string(QF_TEST_DATA_DIR) + "/task-list-view";
        stdfs::create_directories(d);
        return d;
    }();
    return dir;
}

std::string makeClip(const std::string& name, int seconds, const char* size)
{
    const std::string target = dataDir() + "/" + name + ".avi";
    if (stdfs::exists(target))
        return target;
    const std::string scratch = target + "." + std::to_string(getpid()) + ".part.avi";
    const std::string length = std::to_string(seconds);
    int status = -1;
    const std::string out
        = run("ffmpeg -nostdin -y -loglevel error -f lavfi -i testsrc=size=" + std::string(size) + ":rate=25:duration="
                  + length + " -f lavfi -i sine=frequency=440:sample_rate=44100:duration=" + length
                  + " -ac 2 -c:v mpeg4 -q:v 5 -c:a mp3 -b:a 128k " + quote(scratch),
              &status);
    if (status != 0) {
        ADD_FAILURE() << "ffmpeg could not make the clip: " << out;
        return target;
    }
    stdfs::rename(scratch, target);
    return target;
}

std::string makeTextFile(const std::string& name)
{
    const std::string path = dataDir() + "/" + name;
    std::ofstream(path) << "no media in here\n";
    return path;
}

std::string copyAs(const std::string& from, const std::string& name)
{
    const std::string path = dataDir() + "/" + name;
    stdfs::copy_file(from, path, stdfs::copy_options::overwrite_existing);
    return path;
}

void setUpRealTools()
{
    ASSERT_TRUE(probe::loadMediaInfoLibrary(QF_PROGRAM_DIR)) << QF_PROGRAM_DIR "/OLIVE.dll";
    core::toolPaths().build(QF_PROGRAM_DIR);
    convert::CommandLineBuilder::setEncoderPath(core::toolPaths().encoderPath.c_str());
}

tasks::ConversionWorker::Environment realEnvironment()
{
    tasks::ConversionWorker::Environment environment;
    environment.tools.build(QF_PROGRAM_DIR);
    environment.programDirectory = QF_PROGRAM_DIR;
    return environment;
}

void requireHelperKit()
{
    for (const char* name : {"ALDER.DAT", "BIRCH.DLL", "CEDAR.DLL", "LARCH.DAT", "MAPLE.DLL"})
        ASSERT_TRUE(stdfs::exists(std::string(QF_PROGRAM_DIR) + "/" + name))
            << name << " is missing from " QF_PROGRAM_DIR ": build the helper kit (qf-encoder, qf-framerate-probe, "
            << "qf-mp4-muxer, qf-pmp-muxer, qf-atom-editor)";
}

FakeHub::FakeHub()
{
    settings.selectModel(3, 0, 9); // Flash Player, flv
    messages().on(core::WM_MAIN_REQUEST, core::REQ_GET_SETTINGS, [this](const core::Message&) -> intptr_t {
        log.push_back("get");
        return haveSettings ? reinterpret_cast<intptr_t>(&settings) : 0;
    });
    messages().on(core::WM_MAIN_REQUEST, core::REQ_LOAD_SETTINGS, [this](const core::Message& m) -> intptr_t {
        log.push_back("load");
        loaded.push_back(reinterpret_cast<const void*>(m.lParam));
        return 0;
    });
    messages().on(core::WM_MAIN_REQUEST, core::REQ_ALL_DONE, [this](const core::Message&) -> intptr_t {
        log.push_back("done");
        ++allDone;
        return 0;
    });
}

void pumpEvents(int ms)
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, ms);
    QThread::msleep(static_cast<unsigned long>(ms));
}

int processesMentioning(const std::string& text)
{
    int count = 0;
    const std::string self = std::to_string(getpid());
    for (const auto& entry : stdfs::directory_iterator("/proc")) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self)
            continue;
        // A process that ends while it is read throws here: it is gone.
        std::string cmdline;
        try {
            std::ifstream in(entry.path() / "cmdline", std::ios::binary);
            cmdline.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        } catch (const std::ios_base::failure&) {
            continue;
        }
        if (cmdline.find(text) != std::string::npos)
            ++count;
    }
    return count;
}

ProbeFacts ffprobe(const std::string& file)
{
    ProbeFacts facts;
    const std::string out
        = run("ffprobe -v error -show_entries format=format_name,duration:stream=codec_type,codec_name "
              "-of default=noprint_wrappers=1 "
              + quote(file));
    std::istringstream lines(out);
    std::string codec;
    for (std::string line; std::getline(lines, line);) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "codec_name")
            codec = value;
        else if (key == "codec_type" && value == "video" && facts.videoCodec.empty())
            facts.videoCodec = codec;
        else if (key == "codec_type" && value == "audio" && facts.audioCodec.empty())
            facts.audioCodec = codec;
        else if (key == "format_name")
            facts.formatName = value;
        else if (key == "duration")
            facts.duration = std::atof(value.c_str());
    }
    return facts;
}

} // namespace qf::ui::test
