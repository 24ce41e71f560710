// The "cfg" file: round trips, every reason to discard it, and the cases in
// which the user's presets, options and old file must survive.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "convert/value_tables.h"
#include "core/file_system.h"
#include "settings/configuration_file.h"

namespace qf::settings {
namespace {

using namespace convert;

std::string str(const core::TextString& t) { return t.c_str(); }

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const void* bytes, size_t n)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(n));
}

class ConfigurationFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/qf-cfg-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        programDir_ = dir_ + "/prog";
        ASSERT_TRUE(core::fs::makePath(programDir_.c_str(), true));
        cfg_ = programDir_ + "/cfg";
        // The default folder goes below a home of our own, never the real one.
        savedHome_ = std::getenv("HOME") ? std::getenv("HOME") : "";
        savedConfig_ = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
        ::setenv("HOME", (dir_ + "/home").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (dir_ + "/xdg").c_str(), 1);
    }
    void TearDown() override
    {
        ::setenv("HOME", savedHome_.c_str(), 1);
        if (savedConfig_.empty())
            ::unsetenv("XDG_CONFIG_HOME");
        else
            ::setenv("XDG_CONFIG_HOME", savedConfig_.c_str(), 1);
        ::chmod(dir_.c_str(), 0700);
        core::fs::removePath(dir_.c_str());
    }

    std::string defaultFolder() const { return dir_ + "/home/Documents/Tarnwell输出"; }

    Configuration sample() const
    {
        Configuration c;
        DeviceModelList panel;
        ConversionSettings s;
        s.selectModel(4, 1, 11);
        addPreset("影碟 片", s, c.presets, panel);
        s.selectModel(0, 0, 5);
        s.videoBitrateIndex = 9;
        addPreset("手机高清12345", s, c.presets, panel);
        c.outputFolder = (dir_ + "/输出").c_str();
        c.options = {false, true, false, 77, true, true, true};
        return c;
    }

    void expectDefaults(const Configuration& c) const
    {
        EXPECT_EQ(c.presets.size(), 0);
        EXPECT_EQ(str(c.outputFolder), defaultFolder());
        EXPECT_TRUE(core::fs::isDirectory(defaultFolder().c_str()));
        EXPECT_TRUE(c.options.showFloatingTips);
        EXPECT_TRUE(c.options.promptNoFiles);
        EXPECT_TRUE(c.options.promptNoneChecked);
        EXPECT_EQ(c.options.playerVolume, 50);
        EXPECT_FALSE(c.options.autoPlay);
        EXPECT_FALSE(c.options.loopPlay);
        EXPECT_FALSE(c.options.shutdownWhenDone);
    }

    std::string dir_, programDir_, cfg_, savedHome_, savedConfig_;
};

TEST_F(ConfigurationFile, RoundTripKeepsPresetsFolderAndOptions)
{
    const Configuration saved = sample();
    ASSERT_TRUE(saveConfigurationFile(saved, cfg_.c_str()));
    Configuration loaded;
    ASSERT_TRUE(loadConfigurationFile(loaded, cfg_.c_str(), programDir_.c_str(), LoadMode::ReadWrite));
    ASSERT_EQ(loaded.presets.size(), 2);
    const DeviceModel& p = *loaded.presets.at(1);
    EXPECT_TRUE(p.isPreset);
    EXPECT_EQ(str(p.name), "手机高清12345");
    EXPECT_EQ(p.category, 0);
    ASSERT_EQ(p.formats.size(), 1u);
    EXPECT_EQ(p.formats[0].format, 5);
    EXPECT_EQ(str(p.formats[0].label), "mp4-X264,AAC");
    ConversionSettings s;
    p.applyTo(s, 5);
    EXPECT_EQ(s.videoBitrateIndex, 9);
    EXPECT_EQ(str(s.extraAudioCodecOptions), ":raw");
    EXPECT_EQ(str(loaded.presets.at(0)->name), "影碟 片");
    EXPECT_EQ(str(loaded.outputFolder), dir_ + "/输出");
    EXPECT_TRUE(core::fs::isDirectory((dir_ + "/输出").c_str()));
    EXPECT_FALSE(loaded.options.showFloatingTips);
    EXPECT_FALSE(loaded.options.promptNoneChecked);
    EXPECT_EQ(loaded.options.playerVolume, 77);
    EXPECT_TRUE(loaded.options.autoPlay);
    EXPECT_TRUE(loaded.options.loopPlay);
    EXPECT_FALSE(loaded.options.shutdownWhenDone); // never stored

    // Saving what was loaded gives the same bytes.
    core::ByteBuffer a, b;
    encodeConfiguration(saved, a);
    encodeConfiguration(loaded, b);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(a.data()), a.length()),
              std::string(reinterpret_cast<const char*>(b.data()), b.length()));
    EXPECT_EQ(readFile(cfg_), std::string(reinterpret_cast<const char*>(a.data()), a.length()));
}

TEST_F(ConfigurationFile, FileLayoutIsBlocksInOrder)
{
    Configuration c;
    c.outputFolder = "/o";
    core::ByteBuffer bytes;
    encodeConfiguration(c, bytes);
    const uint8_t expected[] = {4, 0, 0, 0, 0,   0,   0, 0, // no presets
                                2, 0, 0, 0, '/', 'o', // folder
                                1, 0, 0, 0, 1,   1,   0, 0, 0, 1, 1, 0, 0, 0, 1, 4, 0, 0, 0, 50, 0, 0, 0, // volume
                                1, 0, 0, 0, 0,   1,   0, 0, 0, 0, 1, 0, 0, 0, 0}; // keepFolderTree, appended last
    ASSERT_EQ(bytes.length(), sizeof expected);
    EXPECT_EQ(0, std::memcmp(bytes.data(), expected, sizeof expected));
}

TEST_F(ConfigurationFile, TheFolderTreeOptionIsAppendedAndOlderFilesReadWithoutIt)
{
    Configuration c;
    c.outputFolder = "/o";
    c.options.keepFolderTree = true;
    core::ByteBuffer bytes;
    encodeConfiguration(c, bytes);
    Configuration back;
    ASSERT_TRUE(decodeConfiguration(bytes, back));
    EXPECT_TRUE(back.options.keepFolderTree);

    // A file written before the option existed: everything else is taken.
    core::ByteBuffer older(bytes);
    older.setLength(bytes.length() - 5);
    Configuration fromOlder;
    fromOlder.options.keepFolderTree = true;
    ASSERT_TRUE(decodeConfiguration(older, fromOlder));
    EXPECT_FALSE(fromOlder.options.keepFolderTree);
    EXPECT_STREQ(fromOlder.outputFolder.c_str(), "/o");
    // A cut last item is a damaged file, not a missing option.
    core::ByteBuffer cut(bytes);
    cut.setLength(bytes.length() - 1);
    EXPECT_FALSE(decodeConfiguration(cut, fromOlder));
}

TEST_F(ConfigurationFile, UnreadableFilesGiveTheDefaultsAndAreKept)
{
    const Configuration good = sample();
    core::ByteBuffer full;
    encodeConfiguration(good, full);
    const std::string fullBytes(reinterpret_cast<const char*>(full.data()), full.length());

    Configuration emptyFolder = good;
    emptyFolder.outputFolder = "";
    core::ByteBuffer emptyFolderBytes;
    encodeConfiguration(emptyFolder, emptyFolderBytes);

    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"empty_file", ""},
        {"ends_before_loop_switch", fullBytes.substr(0, fullBytes.size() - 10)},
        {"cut_in_a_preset", fullBytes.substr(0, 60)},
        {"empty_output_folder",
         std::string(reinterpret_cast<const char*>(emptyFolderBytes.data()), emptyFolderBytes.length())},
        {"volume_item_of_two_bytes",
         [&] {
             // The volume item, then autoPlay, loopPlay and keepFolderTree.
             std::string s = fullBytes.substr(0, fullBytes.size() - 23);
             s += std::string("\x02\x00\x00\x00\x32\x00", 6);
             s += fullBytes.substr(fullBytes.size() - 15);
             return s;
         }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(cfg_, c.bytes.data(), c.bytes.size());
        Configuration loaded = good;
        EXPECT_FALSE(loadConfigurationFile(loaded, cfg_.c_str(), programDir_.c_str(), LoadMode::ReadWrite,
                                           (cfg_ + ".bad").c_str()));
        expectDefaults(loaded);
        EXPECT_FALSE(core::fs::exists(cfg_.c_str()));
        EXPECT_EQ(readFile(cfg_ + ".bad"), c.bytes);
    }
}

TEST_F(ConfigurationFile, APresetThatDoesNotDecodeDiscardsTheFile)
{
    struct Breakage {
        const char* name;
        void (*apply)(DeviceModel&);
    };
    const Breakage breakages[] = {
        {"no_formats", [](DeviceModel& m) { m.formats.clear(); }},
        {"format_out_of_range", [](DeviceModel& m) { m.formats[0].format = kFormatCount; }},
        {"category_out_of_range", [](DeviceModel& m) { m.category = kCategoryCount; }},
    };
    for (const Breakage& b : breakages) {
        SCOPED_TRACE(b.name);
        Configuration c = sample();
        b.apply(*c.presets.at(1));
        ASSERT_TRUE(saveConfigurationFile(c, cfg_.c_str()));
        Configuration loaded;
        EXPECT_FALSE(loadConfigurationFile(loaded, cfg_.c_str(), programDir_.c_str(), LoadMode::ReadWrite));
        expectDefaults(loaded);
    }

    // A preset whose announced byte count differs from its preset bytes.
    Configuration c = sample();
    core::ByteBuffer record;
    c.presets.at(0)->encode(record);
    record.data()[4] ^= 1; // item 1's value
    DeviceModel decoded;
    EXPECT_FALSE(decoded.decode(record));
}

TEST_F(ConfigurationFile, MissingFileGivesDefaultsWithoutABadCopy)
{
    Configuration loaded = sample();
    EXPECT_FALSE(
        loadConfigurationFile(loaded, cfg_.c_str(), programDir_.c_str(), LoadMode::ReadWrite, (cfg_ + ".bad").c_str()));
    expectDefaults(loaded);
    EXPECT_FALSE(core::fs::exists((cfg_ + ".bad").c_str()));

    // A directory named cfg is no file either, and is left alone.
    ASSERT_TRUE(core::fs::makePath(cfg_.c_str(), true));
    EXPECT_FALSE(
        loadConfigurationFile(loaded, cfg_.c_str(), programDir_.c_str(), LoadMode::ReadWrite, (cfg_ + ".bad").c_str()));
    EXPECT_TRUE(core::fs::isDirectory(cfg_.c_str()));
}

TEST_F(ConfigurationFile, UnreachableOutputFolderKeepsPresetsAndOptions)
{
    Configuration c = sample();
    // A folder below a regular file can never be created, as on a drive that is gone.
    writeFile(dir_ + "/blocker", "x", 1);
    c.outputFolder = (dir_ + "/blocker/out").c_str();
    ASSERT_TRUE(saveConfigurationFile(c, cfg_.c_str()));
    Configuration loaded;
    EXPECT_TRUE(loadConfigurationFile(loaded, cfg_.c_str(), programDir_.c_str(), LoadMode::ReadWrite));
    EXPECT_EQ(loaded.presets.size(), 2);
    EXPECT_EQ(loaded.options.playerVolume, 77);
    EXPECT_EQ(str(loaded.outputFolder), defaultFolder());
    EXPECT_TRUE(core::fs::isDirectory(defaultFolder().c_str()));
}

TEST_F(ConfigurationFile, ReadOnlyLoadTouchesNothing)
{
    Configuration c = sample();
    c.outputFolder = (dir_ + "/not-made").c_str();
    ASSERT_TRUE(saveConfigurationFile(c, cfg_.c_str()));
    Configuration loaded;
    EXPECT_TRUE(loadConfigurationFile(loaded, cfg_.c_str(), programDir_.c_str(), LoadMode::ReadOnly));
    EXPECT_EQ(str(loaded.outputFolder), dir_ + "/not-made");
    EXPECT_FALSE(core::fs::exists((dir_ + "/not-made").c_str()));

    writeFile(cfg_, "junk", 4);
    EXPECT_FALSE(
        loadConfigurationFile(loaded, cfg_.c_str(), programDir_.c_str(), LoadMode::ReadOnly, (cfg_ + ".bad").c_str()));
    EXPECT_EQ(readFile(cfg_), "junk");
    EXPECT_FALSE(core::fs::exists((cfg_ + ".bad").c_str()));
    EXPECT_FALSE(core::fs::exists(defaultFolder().c_str()));
    EXPECT_EQ(str(loaded.outputFolder), defaultFolder());
}

TEST_F(ConfigurationFile, SaveReplacesTheFileWhole)
{
    writeFile(cfg_, "old", 3);
    const Configuration c = sample();
    ASSERT_TRUE(saveConfigurationFile(c, cfg_.c_str()));
    core::ByteBuffer bytes;
    encodeConfiguration(c, bytes);
    EXPECT_EQ(readFile(cfg_), std::string(reinterpret_cast<const char*>(bytes.data()), bytes.length()));
    // No temporary file is left beside it.
    const auto entries = std::distance(std::filesystem::directory_iterator(programDir_), {});
    EXPECT_EQ(entries, 1);

    // A save that cannot happen keeps the old file as it was.
    writeFile(dir_ + "/blocker", "x", 1);
    EXPECT_FALSE(saveConfigurationFile(c, (dir_ + "/blocker/cfg").c_str()));
    EXPECT_EQ(readFile(dir_ + "/blocker"), "x");
}

TEST_F(ConfigurationFile, ASavedFileIsReadableAsTheUmaskAllows)
{
    // The user's own file, as any other: a backup or a second account that
    // shares the program folder can read it when the umask says so.
    const mode_t saved = ::umask(022);
    ASSERT_TRUE(saveConfigurationFile(sample(), cfg_.c_str()));
    struct stat st {};
    ASSERT_EQ(::stat(cfg_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    ::umask(077);
    ASSERT_TRUE(saveConfigurationFile(sample(), cfg_.c_str()));
    ASSERT_EQ(::stat(cfg_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ::umask(saved);
}

// The typed access and the record the file is made from are one: what a
// setter stores is what the next save writes, within the file's ranges.
TEST(Settings, TypedAccessIsWhatTheFileSaves)
{
    Settings& owner = current();
    const Configuration saved = owner.record();
    owner.setPlayerVolume(250);
    EXPECT_EQ(owner.playerVolume(), 100u);
    owner.record().options.playerVolume = -5; // a value no setter stores
    EXPECT_EQ(owner.playerVolume(), 0u);
    owner.setPlayerVolume(70);
    owner.setKeepFolderTree(true);
    owner.setPromptNoFiles(false);
    owner.setOutputFolder("/srv/出");

    Configuration read;
    core::ByteBuffer bytes;
    encodeConfiguration(owner.record(), bytes);
    ASSERT_TRUE(decodeConfiguration(bytes, read));
    EXPECT_EQ(read.options.playerVolume, 70);
    EXPECT_TRUE(read.options.keepFolderTree);
    EXPECT_FALSE(read.options.promptNoFiles);
    EXPECT_EQ(str(read.outputFolder), "/srv/出");
    owner.record() = saved;
}

TEST_F(ConfigurationFile, InstalledCopyUsesTheUsersConfigFolder)
{
    const std::string user = dir_ + "/xdg/quillfer/cfg";
    ConfigurationPaths writable = configurationPaths(programDir_.c_str(), true);
    EXPECT_EQ(str(writable.readPath), cfg_);
    EXPECT_EQ(str(writable.writePath), cfg_);

    // Nothing anywhere yet: read and write the user's file.
    ConfigurationPaths installed = configurationPaths(programDir_.c_str(), false);
    EXPECT_EQ(str(installed.readPath), user);
    EXPECT_EQ(str(installed.writePath), user);

    // A shipped file in the program directory is read until the user has one.
    ASSERT_TRUE(saveConfigurationFile(sample(), cfg_.c_str()));
    installed = configurationPaths(programDir_.c_str(), false);
    EXPECT_EQ(str(installed.readPath), cfg_);
    EXPECT_EQ(str(installed.writePath), user);
    // The administrator's seed comes first; a missing one is passed over.
    const std::string system = dir_ + "/etc-cfg";
    EXPECT_EQ(str(configurationPaths(programDir_.c_str(), false, system.c_str()).readPath), cfg_);
    ASSERT_TRUE(saveConfigurationFile(sample(), system.c_str()));
    EXPECT_EQ(str(configurationPaths(programDir_.c_str(), false, system.c_str()).readPath), system);
    Configuration c;
    ASSERT_TRUE(loadConfigurationFile(c, installed.readPath.c_str(), programDir_.c_str(), LoadMode::ReadWrite));
    c.options.playerVolume = 12;
    ASSERT_TRUE(saveConfigurationFile(c, installed.writePath.c_str())); // creates xdg/quillfer

    installed = configurationPaths(programDir_.c_str(), false);
    EXPECT_EQ(str(installed.readPath), user);
    EXPECT_EQ(str(configurationPaths(programDir_.c_str(), false, system.c_str()).readPath), user);
    Configuration again;
    ASSERT_TRUE(loadConfigurationFile(again, installed.readPath.c_str(), programDir_.c_str(), LoadMode::ReadWrite));
    EXPECT_EQ(again.options.playerVolume, 12);
    EXPECT_EQ(again.presets.size(), 2);
}

TEST_F(ConfigurationFile, ShippedFileSeedsTheUsersFirstFile)
{
    const std::string user = dir_ + "/xdg/quillfer/cfg";
    const Configuration shipped = sample();
    ASSERT_TRUE(saveConfigurationFile(shipped, cfg_.c_str()));
    const std::string shippedBytes = readFile(cfg_);

    Configuration c;
    ASSERT_TRUE(seedConfigurationFile(c, cfg_.c_str(), user.c_str(), programDir_.c_str(), LoadMode::ReadWrite));
    // Presets and options come from the shipped file; the folder is the user's own.
    ASSERT_EQ(c.presets.size(), 2);
    EXPECT_EQ(str(c.presets.at(0)->name), "影碟 片");
    EXPECT_EQ(c.options.playerVolume, 77);
    EXPECT_EQ(str(c.outputFolder), defaultFolder());
    EXPECT_TRUE(core::fs::isDirectory(defaultFolder().c_str()));
    EXPECT_FALSE(core::fs::isDirectory((dir_ + "/输出").c_str()));

    // The user's file is written at once (a crash before exit keeps it), and
    // from now on it is the one read; the shipped file is left as it was.
    ASSERT_TRUE(core::fs::isFile(user.c_str()));
    EXPECT_EQ(readFile(cfg_), shippedBytes);
    EXPECT_EQ(str(configurationPaths(programDir_.c_str(), false).readPath), user);
    Configuration again;
    ASSERT_TRUE(loadConfigurationFile(again, user.c_str(), programDir_.c_str(), LoadMode::ReadWrite));
    EXPECT_EQ(again.presets.size(), 2);
    EXPECT_EQ(str(again.outputFolder), defaultFolder());
}

TEST_F(ConfigurationFile, SeedingWritesNothingWhenItCannotTakeTheShippedFile)
{
    const std::string user = dir_ + "/xdg/quillfer/cfg";
    Configuration c;

    // The command-line companion reads the shipped presets but writes nothing.
    ASSERT_TRUE(saveConfigurationFile(sample(), cfg_.c_str()));
    ASSERT_TRUE(seedConfigurationFile(c, cfg_.c_str(), user.c_str(), programDir_.c_str(), LoadMode::ReadOnly));
    EXPECT_EQ(c.presets.size(), 2);
    EXPECT_FALSE(core::fs::isFile(user.c_str()));
    EXPECT_FALSE(core::fs::isDirectory(defaultFolder().c_str()));

    // A damaged shipped file gives the defaults; it is neither kept aside
    // (it is not ours) nor copied to the user.
    writeFile(cfg_, "\x05\0\0", 3);
    EXPECT_FALSE(seedConfigurationFile(c, cfg_.c_str(), user.c_str(), programDir_.c_str(), LoadMode::ReadWrite));
    expectDefaults(c);
    EXPECT_EQ(readFile(cfg_).size(), 3u);
    EXPECT_FALSE(core::fs::isFile((cfg_ + ".bad").c_str()));
    EXPECT_FALSE(core::fs::isFile(user.c_str()));
}

TEST_F(ConfigurationFile, DefaultFolderFollowsTheDocumentsFolder)
{
    EXPECT_EQ(str(defaultOutputFolder(programDir_.c_str())), defaultFolder());
    ASSERT_TRUE(core::fs::makePath((dir_ + "/xdg").c_str(), true));
    const std::string dirs = "XDG_DOCUMENTS_DIR=\"$HOME/文档/\"\n";
    writeFile(dir_ + "/xdg/user-dirs.dirs", dirs.data(), dirs.size());
    EXPECT_EQ(str(defaultOutputFolder(programDir_.c_str())), dir_ + "/home/文档/Tarnwell输出");
}

TEST_F(ConfigurationFile, VolumeIsClampedToItsRange)
{
    Configuration c = sample();
    c.options.playerVolume = 250;
    core::ByteBuffer bytes;
    encodeConfiguration(c, bytes);
    Configuration loaded;
    ASSERT_TRUE(decodeConfiguration(bytes, loaded));
    EXPECT_EQ(loaded.options.playerVolume, 100);
}

} // namespace
} // namespace qf::settings
