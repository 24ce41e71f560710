#include "tasks/support/fake_programs.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "core/file_system.h"

namespace qf::tasks::testing {

namespace stdfs = std::filesystem;

FakePrograms::FakePrograms()
{
    std::string pattern = stdfs::temp_directory_path().string() + "/qf-fake-XXXXXX";
    char* made = mkdtemp(pattern.data());
    dir_ = made ? made : "";
}

FakePrograms::~FakePrograms()
{
    std::error_code ec;
    stdfs::remove_all(dir_, ec);
}

void FakePrograms::write(const char* name, const std::string& body)
{
    const std::string file = path(name);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << "#!/bin/sh\n"
        << "LOG='" << dir_ << "/calls.log'\n"
        << "printf '%s' '" << name << "' >> \"$LOG\"\n"
        << "for a in \"$@\"; do printf ' [%s]' \"$a\" >> \"$LOG\"; done\n"
        << "echo >> \"$LOG\"\n"
        << "OUT=; prev=; LAST=\n"
        << "for a in \"$@\"; do [ \"$prev\" = \"-o\" ] && OUT=\"$a\"; prev=\"$a\"; LAST=\"$a\"; done\n"
        << "hang() { [ \"$QF_FAKE_HANG\" = \"$1\" ] && { : > '" << dir_ << "/hanging'; exec sleep 30; }; true; }\n"
        << body << "\n";
    out.close();
    ::chmod(file.c_str(), 0755);
}

void FakePrograms::remove(const char* name)
{
    std::error_code ec;
    stdfs::remove(path(name), ec);
}

void FakePrograms::writeStandardSet()
{
    write("ALDER.DAT",
          "case \"$*\" in\n"
          "*'-of rawvideo'*) hang extract-video; printf 'm4v' > \"$OUT\" ;;\n"
          "*'-oac copy'*) hang extract-audio; printf 'aac' > \"$OUT\" ;;\n"
          "*) hang encode\n"
          "   echo 'Pos:   0.5s     12f (50%)  25fps'\n"
          "   echo 'Pos:   1.0s     25f (100%)  25fps'\n"
          "   printf 'encoded' > \"$OUT\" ;;\n"
          "esac");
    write("BIRCH.DLL", "hang probe\necho 'Video frame rate: 25.000'");
    // Creates the file with the first track, adds to it with the second.
    write("CEDAR.DLL",
          "case \"$*\" in *-rate=*) hang mux-video; printf '+v' >> \"$LAST\";;\n"
          "*) hang mux-audio; printf '+a' >> \"$LAST\";; esac");
    write("LARCH.DAT", "hang pmp\nprintf 'pmp' > \"$OUT\"\nprintf 'log' > \"$OUT.log\"");
    write("MAPLE.DLL",
          "hang atoms\ncp \"$1\" \"$2\" && printf 'edited' >> \"$2\"\ncp \"$3\" '" + dir_ + "/script-seen'");
}

ConversionWorker::Environment FakePrograms::environment() const
{
    ConversionWorker::Environment environment;
    environment.tools.build(dir_.c_str());
    environment.programDirectory = dir_.c_str();
    return environment;
}

std::vector<std::string> FakePrograms::calls() const
{
    std::vector<std::string> lines;
    std::istringstream in(readFile(dir_ + "/calls.log"));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& text)
{
    core::fs::makePath(core::fs::directoryPart(path.c_str()).c_str(), true);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

bool fileExists(const std::string& path) { return stdfs::exists(path); }

std::vector<std::string> listDir(const std::string& dir)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : stdfs::directory_iterator(dir, ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace qf::tasks::testing
