#include "core/readable_text.h"

#include <cerrno>
#include <cstdint>
#include <iconv.h>

namespace qf::core {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

} // namespace

size_t utf8SequenceLength(std::string_view bytes)
{
    if (bytes.empty())
        return 0;
    const auto at = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = at(0);
    if (lead < 0x80)
        return 1;
    size_t length = 0;
    unsigned char low = 0x80; // bounds of the second byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // overlong
        else if (lead == 0xED)
            high = 0x9F; // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90; // overlong
        else if (lead == 0xF4)
            high = 0x8F; // above U+10FFFF
    } else {
        return 0;
    }
    if (bytes.size() < length || at(1) < low || at(1) > high)
        return 0;
    for (size_t i = 2; i < length; ++i)
        if (at(i) < 0x80 || at(i) > 0xBF)
            return 0;
    return length;
}

namespace {

// The whole part decoded from GBK; false when any of it is not GBK.
bool decodeGbk(std::string_view part, std::string& out)
{
    // One converter a thread, opened on first use: a window paints its rows often.
    thread_local const struct Converter {
        iconv_t handle = ::iconv_open("UTF-8", "GBK");
        ~Converter()
        {
            if (handle != reinterpret_cast<iconv_t>(-1))
                ::iconv_close(handle);
        }
    } gbk;
    const iconv_t converter = gbk.handle;
    if (converter == reinterpret_cast<iconv_t>(-1))
        return false;
    ::iconv(converter, nullptr, nullptr, nullptr, nullptr); // back to the initial state
    std::string in(part);
    std::string decoded(part.size() * 3 + 4, '\0');
    char* from = in.data();
    size_t fromLeft = in.size();
    char* to = decoded.data();
    size_t toLeft = decoded.size();
    const bool ok = ::iconv(converter, &from, &fromLeft, &to, &toLeft) != static_cast<size_t>(-1) && fromLeft == 0;
    if (!ok)
        return false;
    decoded.resize(decoded.size() - toLeft);
    // What came out must be text a strict reader takes, like everything else.
    if (!isValidUtf8(decoded))
        return false;
    out += decoded;
    return true;
}

void appendReadablePart(std::string_view part, std::string& out)
{
    if (isValidUtf8(part)) {
        out += part;
        return;
    }
    if (decodeGbk(part, out))
        return;
    while (!part.empty()) {
        const size_t length = utf8SequenceLength(part);
        if (length == 0) {
            out += kReplacement;
            part.remove_prefix(1);
        } else {
            out += part.substr(0, length);
            part.remove_prefix(length);
        }
    }
}

} // namespace

bool isValidUtf8(std::string_view bytes)
{
    while (!bytes.empty()) {
        const size_t length = utf8SequenceLength(bytes);
        if (length == 0)
            return false;
        bytes.remove_prefix(length);
    }
    return true;
}

std::string readableText(std::string_view bytes)
{
    if (isValidUtf8(bytes))
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + 8);
    for (;;) {
        const size_t slash = bytes.find('/');
        appendReadablePart(bytes.substr(0, slash), out);
        if (slash == std::string_view::npos)
            return out;
        out += '/';
        bytes.remove_prefix(slash + 1);
    }
}

std::string printableText(std::string_view bytes)
{
    std::string out;
    for (const char c : readableText(bytes)) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            out += kReplacement;
        else
            out += c;
    }
    return out;
}

std::string hexBytes(std::string_view bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0F];
    }
    return out;
}

} // namespace qf::core
