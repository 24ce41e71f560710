// The older binary preset file: a header line, the preset's model entry
// record (DeviceModel::encode) as a 32-bit little-endian length and its
// bytes, then a check of those bytes (32-bit little-endian FNV-1a).

#include "settings/preset_file.h"

#include <cerrno>
#include <cstring>

#include "core/byte_buffer.h"
#include "core/file_system.h"
#include "settings/preset_text.h"

namespace qf::settings {

namespace {

constexpr char kMagic[] = "QUILLFER-PRESET 1\n";
constexpr uint32_t kMagicSize = sizeof kMagic - 1;

// FNV-1a over the record: catches a cut or altered file.
uint32_t check(const uint8_t* bytes, uint32_t n)
{
    uint32_t h = 2166136261u;
    for (uint32_t i = 0; i < n; ++i)
        h = (h ^ bytes[i]) * 16777619u;
    return h;
}

bool readBinaryPreset(std::string_view bytes, convert::DeviceModel& out, std::string& error)
{
    core::ByteBuffer in;
    in.appendBytes(bytes.data(), static_cast<uint32_t>(bytes.size()));
    char magic[kMagicSize];
    if (bytes.size() < kMagicSize + 8 || !in.readBytes(magic, kMagicSize)
        || std::memcmp(magic, kMagic, kMagicSize) != 0) {
        error = "不是预设文件";
        return false;
    }
    uint32_t n = 0;
    uint32_t stored = 0;
    // What follows the length is the record and the check, nothing else.
    if (!in.readUint32(n) || n != in.remaining() - 4) {
        error = "已损坏：校验不符";
        return false;
    }
    core::ByteBuffer record(n);
    record.setLength(n);
    if (!in.readBytes(record.data(), n) || !in.readUint32(stored) || check(record.data(), n) != stored) {
        error = "已损坏：校验不符";
        return false;
    }
    convert::DeviceModel preset;
    if (!preset.decode(record) || !preset.isPreset) {
        error = "中没有可读的预设";
        return false;
    }
    out = preset;
    return true;
}

} // namespace

bool readPresetFile(std::string_view bytes, convert::DeviceModel& out, std::string& error)
{
    if (bytes.size() > kMaxPresetFileSize) {
        error = "不是预设文件";
        return false;
    }
    if (looksLikePresetText(bytes))
        return presetFromText(bytes, out, error);
    return readBinaryPreset(bytes, out, error);
}

bool loadPresetFile(const std::string& path, convert::DeviceModel& out, std::string& error)
{
    core::ByteBuffer bytes;
    if (!core::fs::readWholeFile(path.c_str(), bytes, kMaxPresetFileSize + 1)) {
        // A directory or an overlong file is there, just not a preset file.
        if (errno == EISDIR || errno == EFBIG)
            error = path + " 不是预设文件";
        else
            error = "不能读取 " + path + "：" + std::strerror(errno);
        return false;
    }
    if (!readPresetFile(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.length()), out, error)) {
        error = path + " " + error;
        return false;
    }
    return true;
}

} // namespace qf::settings
