// Arbitrary bytes as a preset file (text or the older binary layout), and as
// the record of a binary file around them (header line, length, FNV-1a check),
// so that the record decoder is reached past the check. A file is refused
// with a message or gives a user preset; such a preset, written as a binary
// file again, reads back to the same record.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/byte_buffer.h"
#include "settings/preset_file.h"

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
std::string readRecord(const std::string& bytes)
{
    qf::convert::DeviceModel preset;
    std::string error;
    if (!qf::settings::readPresetFile(bytes, preset, error)) {
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
    for (const std::string& bytes :
         {std::string(reinterpret_cast<const char*>(data), size), binaryFile(data, static_cast<uint32_t>(size))}) {
        const std::string record = readRecord(bytes);
        if (record.empty())
            continue;
        const std::string again = readRecord(
            binaryFile(reinterpret_cast<const uint8_t*>(record.data()), static_cast<uint32_t>(record.size())));
        if (again != record)
            std::abort();
    }
    return 0;
}
