// Arbitrary bytes as a "cfg" file: the decoder must refuse or accept them
// without crashing, and what it accepts must encode back to a file that
// decodes to the same bytes. Every accepted preset is then selected and
// turned into command lines, as the panel and the worker would.

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "convert/command_line_builder.h"
#include "convert/value_tables.h"
#include "settings/configuration_file.h"

using namespace qf;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    static const bool init = [] {
        convert::CommandLineBuilder::setEncoderPath("\"/p/ALDER.DAT\"");
        return true;
    }();
    (void)init;

    core::ByteBuffer bytes;
    bytes.appendBytes(data, static_cast<uint32_t>(size));
    settings::Configuration config;
    if (!settings::decodeConfiguration(bytes, config))
        return 0;

    core::ByteBuffer again;
    settings::encodeConfiguration(config, again);
    settings::Configuration reread;
    if (!settings::decodeConfiguration(again, reread))
        std::abort();
    core::ByteBuffer third;
    settings::encodeConfiguration(reread, third);
    if (third.length() != again.length() || std::memcmp(third.data(), again.data(), again.length()) != 0)
        std::abort();

    for (int32_t category = 0; category < convert::kCategoryCount; ++category) {
        convert::DeviceModelList list;
        convert::buildCategoryList(category, config.presets, list);
        for (const convert::DeviceModel& entry : list) {
            if (!entry.isPreset)
                continue;
            for (const convert::FormatChoice& f : entry.formats) {
                convert::CommandLineBuilder b;
                entry.applyTo(b, f.format);
                b.sourcePath = "/in/a\"b.avi";
                b.makeOutputPath(config.outputFolder.c_str());
                b.buildCommands();
            }
        }
    }
    return 0;
}
