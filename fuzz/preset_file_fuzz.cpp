// Arbitrary bytes as a preset file (text or the older binary layout), and as
// the record of a binary file around them (header line, length, FNV-1a check),
// so that the record decoder is reached past the check. A file is refused
// with a message or gives a user preset; such a preset, written as a binary
// file again, reads back to the same record.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/cli/cli.h"
#include "app/cli/cli_presets.h"
#include "fuzz_files.h"

// The reader's file also registers the presets subcommand, whose registry
// and start-up live beside the command line's main(); this program runs no
// subcommand, so registering keeps nothing and the others are never reached.
namespace qf::cli {
CliRegistration::CliRegistration(Subcommand) {}
bool wantsHelp(const std::vector<std::string>&) { std::abort(); }
bool startUp() { std::abort(); }
} // namespace qf::cli

namespace {

std::string binaryFile(const uint8_t* record, uint32_t size)
{
    std::string file = "QUILLFER-PRESET 1\n";
    const auto le = [&file](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file += static_cast<char>(v >> (8 * i));
    };
    le(size);
    uint32_t check = 2166136261u;
    for (uint32_t i = 0; i < size; ++i)
        check = (check ^ record[i]) * 16777619u;
    file.append(reinterpret_cast<const char*>(record), size);
    le(check);
    return file;
}

// The record of the preset the file holds, or empty when it is refused.
std::string readRecord(qf::fuzz::MemoryFile& file, const std::string& bytes)
{
    file.assign(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    qf::convert::DeviceModel preset;
    std::string error;
    if (!qf::cli::readPresetFile(file.path(), preset, error)) {
        if (error.empty())
            std::abort();
        return {};
    }
    if (!preset.isPreset)
        std::abort();
    qf::core::ByteBuffer record;
    preset.encode(record);
    return std::string(reinterpret_cast<const char*>(record.data()), record.length());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 16))
        return 0;
    static qf::fuzz::MemoryFile file("preset");
    for (const std::string& bytes :
         {std::string(reinterpret_cast<const char*>(data), size), binaryFile(data, static_cast<uint32_t>(size))}) {
        const std::string record = readRecord(file, bytes);
        if (record.empty())
            continue;
        const std::string again = readRecord(
            file, binaryFile(reinterpret_cast<const uint8_t*>(record.data()), static_cast<uint32_t>(record.size())));
        if (again != record)
            std::abort();
    }
    return 0;
}
