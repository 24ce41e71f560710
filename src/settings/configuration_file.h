#pragma once
// The "cfg" file: the settings record (settings.h) in one binary file of
// core::ByteBuffer items (layout in configuration_file.cpp). Read at start-up,
// written at exit.
//
// Where the file lives: "<program directory>/cfg" while the program
// directory is writable; for an installed copy whose program directory is
// not, "<XDG config folder>/quillfer/cfg" (read from there once it exists,
// else the program directory's file seeds it: see seedConfigurationFile).
// The functions on the process-wide record are for the UI thread (or a
// program's start-up and exit); the others touch only what they are given.

#include "core/byte_buffer.h"
#include "core/text_string.h"
#include "settings/settings.h"

namespace qf::settings {

enum class LoadMode {
    ReadWrite, // the application: creates the output folder, keeps an unreadable file as "cfg.bad"
    ReadOnly, // the CLI: touches nothing on disk
};

struct ConfigurationPaths {
    core::TextString readPath; // the file to read (may be missing)
    core::TextString writePath; // the file to write
};

// The locations for a program directory; the one-argument form asks the file
// system whether the directory is writable and takes the system-wide seed
// (/etc/quillfer/cfg in the package). An installed copy reads the user's
// file once it exists, else the system-wide seed, else the program
// directory's; it always writes the user's.
ConfigurationPaths configurationPaths(const char* programDirectory);
ConfigurationPaths configurationPaths(const char* programDirectory, bool programDirectoryWritable,
                                      const char* systemFile = nullptr);

// "<documents>/Tarnwell输出", or "<program directory>/转换输出" when there is
// no documents folder.
core::TextString defaultOutputFolder(const char* programDirectory);

// The file's bytes.
void encodeConfiguration(const Configuration& config, core::ByteBuffer& out);
// Decodes the whole file into `out`. False, with `out` unchanged, when any
// item is missing or malformed or the output folder text is empty.
bool decodeConfiguration(const core::ByteBuffer& bytes, Configuration& out);

// Empty preset list, the default output folder (created in ReadWrite mode),
// default options.
void applyConfigurationDefaults(Configuration& config, const char* programDirectory, LoadMode mode);

// Loads `path` into `config`; true when the file's contents were taken. A
// missing or unreadable file gives the defaults; in ReadWrite mode an
// unreadable file that `keepBadAs` is given for is first kept under that
// name. A stored output folder that cannot be created (an unplugged drive)
// is replaced by the default one; presets and options are kept.
bool loadConfigurationFile(Configuration& config, const char* path, const char* programDirectory, LoadMode mode,
                           const char* keepBadAs = nullptr);
// A user's first start of an installed copy: the cfg shipped in the program
// directory (system-wide presets and options) is loaded and, in ReadWrite
// mode, written at once as the user's own file, so that it is the user's from
// then on. Its output folder belonged to whoever saved it; the user gets the
// default one. True when the shipped file was taken; otherwise the defaults
// apply and nothing is written.
bool seedConfigurationFile(Configuration& config, const char* shippedPath, const char* userPath,
                           const char* programDirectory, LoadMode mode);
// Writes the file through core::writeFileAtomically, so an interrupted save
// never leaves a cut file and a new file gets the permissions the umask
// gives any file. Creates the folder of `path`.
bool saveConfigurationFile(const Configuration& config, const char* path);

// The start-up and exit steps on the process-wide record (current()), at the
// locations of core::programDirectory().
bool loadConfiguration(LoadMode mode = LoadMode::ReadWrite);
bool saveConfiguration();

} // namespace qf::settings
