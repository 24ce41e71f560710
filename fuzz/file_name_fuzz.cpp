// File names of any bytes made readable: whatever the bytes, the text shown
// is strict UTF-8, UTF-8 itself comes back unchanged, a terminal line holds
// no control character, and the hexadecimal form gives the bytes back.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/readable_text.h"

using namespace qf::core;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string readable = readableText(bytes);
    if (!isValidUtf8(readable))
        std::abort();
    if (isValidUtf8(bytes) && readable != bytes)
        std::abort();
    const std::string printable = printableText(bytes);
    if (!isValidUtf8(printable))
        std::abort();
    for (const char c : printable)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            std::abort();
    // The separators stay where they were: a shown path has the same folders.
    size_t slashes = 0;
    for (const char c : bytes)
        slashes += c == '/';
    size_t shown = 0;
    for (const char c : readable)
        shown += c == '/';
    if (shown != slashes)
        std::abort();
    const std::string hex = hexBytes(bytes);
    if (hex.size() != size * 2)
        std::abort();
    for (size_t i = 0; i < size; ++i)
        if (static_cast<uint8_t>(std::strtoul(hex.substr(i * 2, 2).c_str(), nullptr, 16)) != data[i])
            std::abort();
    return 0;
}
