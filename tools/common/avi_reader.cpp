#include "common/avi_reader.h"

#include "common/byte_order.h"
#include "common/tool_error.h"

#include <algorithm>

namespace qf::kit {

namespace {

constexpr uint32_t kRiff = fourcc("RIFF");
constexpr uint32_t kList = fourcc("LIST");
constexpr uint32_t kAviKeyframe = 0x10;

uint64_t padded(uint64_t size) { return size + (size & 1); }

[[noreturn]] void corrupt(const InputFile& file, const std::string& what)
{
    throw ToolError(file.path() + " is not a valid AVI file (" + what + ")");
}

// One chunk of a list held in memory.
struct Chunk {
    uint32_t id = 0;
    std::string_view payload;
};

// Reads the next chunk and its padding byte (which the last chunk may lack);
// false when no chunk header is left. A chunk running past the list is
// corrupt, with `cutShort` as the reason.
bool nextChunk(ByteCursor& list, Chunk& chunk, const InputFile& file, const char* cutShort)
{
    if (list.remaining() < 8)
        return false;
    chunk.id = list.le32();
    uint32_t size = list.le32();
    chunk.payload = list.take(size);
    if (!list.ok())
        corrupt(file, cutShort);
    list.skip(std::min<size_t>(size & 1, list.remaining()));
    return true;
}

void parseStreamList(const InputFile& file, std::string_view list, AviHeader& header)
{
    AviStream stream;
    bool haveStrh = false;
    ByteCursor in(list);
    for (Chunk chunk; nextChunk(in, chunk, file, "stream header list cut short");) {
        const uint8_t* payload = bytesOf(chunk.payload);
        const size_t size = chunk.payload.size();
        if (chunk.id == fourcc("strh")) {
            if (size < 36)
                corrupt(file, "stream header too short");
            stream.type = fourccText(payload);
            stream.handler = fourccText(payload + 4);
            stream.scale = readLe32(payload + 20);
            stream.rate = readLe32(payload + 24);
            stream.length = readLe32(payload + 32);
            haveStrh = true;
        } else if (chunk.id == fourcc("strf") && haveStrh && stream.type == "vids" && size >= 20) {
            stream.width = readLe32(payload + 4);
            stream.height = readLe32(payload + 8) & 0x7fffffff; // negative: top-down
            stream.compression = fourccText(payload + 16);
        } else if (chunk.id == fourcc("strf") && haveStrh && stream.type == "auds" && size >= 14) {
            stream.formatTag = readLe16(payload);
            stream.channels = readLe16(payload + 2);
            stream.samplesPerSec = readLe32(payload + 4);
            uint32_t extra = size >= 18 ? readLe16(payload + 16) : 0;
            if (extra > 0 && extra <= size - 18)
                stream.extradata.assign(chunk.payload.substr(18, extra));
        }
    }
    if (!haveStrh)
        corrupt(file, "stream without a stream header");
    header.streams.push_back(stream);
}

void parseHeaderList(const InputFile& file, std::string_view list, AviHeader& header)
{
    bool haveAvih = false;
    ByteCursor in(list);
    for (Chunk chunk; nextChunk(in, chunk, file, "header list cut short");) {
        const uint8_t* payload = bytesOf(chunk.payload);
        if (chunk.id == fourcc("avih")) {
            if (chunk.payload.size() < 40)
                corrupt(file, "main header too short");
            header.microSecPerFrame = readLe32(payload);
            header.totalFrames = readLe32(payload + 16);
            header.width = readLe32(payload + 32);
            header.height = readLe32(payload + 36);
            haveAvih = true;
        } else if (chunk.id == kList && chunk.payload.size() >= 4 && readLe32(payload) == fourcc("strl")) {
            parseStreamList(file, chunk.payload.substr(4), header);
        }
    }
    if (!haveAvih)
        corrupt(file, "no main header");
}

// Walks the chunks of one RIFF form from offset to end, collecting the
// header list (first form only), movi lists and idx1.
void walkForm(InputFile& file, uint64_t offset, uint64_t end, bool first, AviHeader& header, bool& haveHeader)
{
    while (offset + 8 <= end) {
        std::string h = file.read(offset, 8);
        uint32_t id = readLe32(bytesOf(h));
        uint64_t size = readLe32(bytesOf(h) + 4);
        uint64_t payload = offset + 8;
        uint64_t available = end - payload;
        if (id == kList && size >= 4 && available >= 4) {
            uint32_t type = readLe32(bytesOf(file.read(payload, 4)));
            if (type == fourcc("hdrl") && first && !haveHeader) {
                if (size > available)
                    corrupt(file, "header list cut short");
                parseHeaderList(file, file.read(payload + 4, static_cast<size_t>(size - 4)), header);
                haveHeader = true;
            } else if (type == fourcc("movi")) {
                if (!haveHeader)
                    corrupt(file, "data before the header list");
                header.movi.push_back({payload + 4, std::min(size, available) - 4});
            }
        } else if (id == fourcc("idx1") && first && header.idx1Offset == 0 && size <= available) {
            header.idx1Offset = payload;
            header.idx1Size = size;
        }
        if (size > available)
            break; // cut short after the headers
        offset = payload + padded(size);
    }
}

} // namespace

int AviHeader::firstVideoStream() const
{
    for (size_t i = 0; i < streams.size(); ++i)
        if (streams[i].type == "vids")
            return static_cast<int>(i);
    return -1;
}

AviHeader readAviHeader(InputFile& file)
{
    if (file.size() < 12)
        corrupt(file, "too short");
    std::string riff = file.read(0, 12);
    if (readLe32(bytesOf(riff)) != kRiff || riff.compare(8, 4, "AVI ") != 0)
        throw ToolError(file.path() + " is not an AVI file");

    AviHeader header;
    bool haveHeader = false;
    uint64_t offset = 0;
    bool first = true;
    while (offset + 12 <= file.size()) {
        std::string form = file.read(offset, 12);
        if (readLe32(bytesOf(form)) != kRiff)
            break;
        uint64_t size = readLe32(bytesOf(form) + 4);
        uint64_t end = std::min<uint64_t>(offset + 8 + size, file.size());
        if (first || form.compare(8, 4, "AVIX") == 0)
            walkForm(file, offset + 12, end, first, header, haveHeader);
        if (first && !haveHeader)
            corrupt(file, "no header list");
        first = false;
        offset = offset + 8 + padded(size);
    }
    return header;
}

double videoFrameRate(const AviHeader& header, const std::string& fileName)
{
    int v = header.firstVideoStream();
    if (v < 0)
        throw ToolError(fileName + " has no video stream");
    const AviStream& s = header.streams[static_cast<size_t>(v)];
    if (s.rate != 0 && s.scale != 0)
        return static_cast<double>(s.rate) / s.scale;
    if (header.microSecPerFrame != 0)
        return 1e6 / header.microSecPerFrame;
    throw ToolError(fileName + " states no video frame rate");
}

std::vector<AviChunk> streamChunks(InputFile& file, const AviHeader& header, int stream)
{
    const char digits[] = {static_cast<char>('0' + stream / 10), static_cast<char>('0' + stream % 10)};
    auto belongs = [&](uint32_t id) {
        return static_cast<char>(id & 0xff) == digits[0] && static_cast<char>((id >> 8) & 0xff) == digits[1];
    };

    std::vector<AviChunk> chunks;
    for (const auto& range : header.movi) {
        std::string data = file.read(range.offset, static_cast<size_t>(range.size));
        // An explicit stack of the lists being read, so that 'rec ' lists
        // need no recursion. A list's end is not padded.
        std::vector<ByteCursor> lists{ByteCursor(data)};
        while (!lists.empty()) {
            ByteCursor& list = lists.back();
            if (list.remaining() < 8) {
                lists.pop_back();
                continue;
            }
            uint32_t id = list.le32();
            uint32_t size = list.le32();
            std::string_view payload = list.take(size);
            if (!list.ok())
                throw ToolError(file.path() + " is truncated or corrupt (a data chunk runs past its list)");
            if (id == kList) {
                if (size < 4)
                    throw ToolError(file.path() + " is corrupt (empty list in the data)");
                lists.emplace_back(payload.substr(4));
                continue;
            }
            list.skip(std::min<size_t>(size & 1, list.remaining()));
            if (belongs(id))
                chunks.push_back({id, range.offset + static_cast<uint64_t>(payload.data() - data.data()), size});
        }
    }
    return chunks;
}

std::vector<bool> indexKeyframes(InputFile& file, const AviHeader& header, int stream)
{
    std::vector<bool> keys;
    if (header.idx1Offset == 0)
        return keys;
    std::string index = file.read(header.idx1Offset, static_cast<size_t>(header.idx1Size));
    const char digits[] = {static_cast<char>('0' + stream / 10), static_cast<char>('0' + stream % 10)};
    for (size_t pos = 0; pos + 16 <= index.size(); pos += 16) {
        const uint8_t* e = bytesOf(index) + pos;
        if (static_cast<char>(e[0]) != digits[0] || static_cast<char>(e[1]) != digits[1])
            continue;
        if (e[2] == 'i' && e[3] == 'x')
            continue;
        keys.push_back((readLe32(e + 4) & kAviKeyframe) != 0);
    }
    return keys;
}

} // namespace qf::kit
