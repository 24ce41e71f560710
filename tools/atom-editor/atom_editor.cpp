#include "atom_editor.h"

#include "common/byte_order.h"
#include "common/file_bytes.h"
#include "common/temporary_output.h"
#include "common/tool_error.h"

#include <algorithm>
#include <iterator>
#include <optional>

namespace qf::kit {

namespace {

// moov holds only tables; anything larger is not a file we should load.
constexpr uint64_t kMaxMoovSize = 1ull << 30;

struct TopBox {
    BoxHeader header;
    uint64_t offset = 0; // in the input
    bool keep = true;
    std::optional<Box> tree; // loaded: moov only
    uint64_t newOffset = 0; // in the output
};

std::vector<TopBox> scanTopLevel(InputFile& in)
{
    std::vector<TopBox> tops;
    uint64_t offset = 0;
    while (offset < in.size()) {
        uint64_t available = in.size() - offset;
        std::string head = in.read(offset, static_cast<size_t>(std::min<uint64_t>(16, available)));
        if (head.size() < 8)
            throw ToolError(in.path() + " is truncated or corrupt (bytes after the last box)");
        if (!isPrintableType(std::string_view(head).substr(4, 4)))
            throw ToolError(in.path() + (tops.empty() ? " is not an MP4 file" : " is corrupt (unreadable box type)"));
        TopBox top;
        top.header = checkedBoxHeader(head, available, in.path());
        top.offset = offset;
        tops.push_back(top);
        offset += top.header.size;
    }
    return tops;
}

// Old file offset -> new file offset, by the top-level box that holds it.
class OffsetMap {
public:
    explicit OffsetMap(const std::vector<TopBox>& tops) : tops_(tops) {}

    uint64_t map(uint64_t old) const
    {
        // The boxes tile the file in order: the holder is the last one that
        // starts at or before the offset. Tables may hold millions of entries.
        auto after = std::upper_bound(tops_.begin(), tops_.end(), old,
                                      [](uint64_t o, const TopBox& t) { return o < t.offset; });
        if (after != tops_.begin()) {
            const TopBox& t = *std::prev(after);
            if (old - t.offset < t.header.size) {
                if (!t.keep)
                    throw ToolError("media data lies in the deleted box '" + t.header.type + "'");
                return old - t.offset + t.newOffset;
            }
        }
        throw ToolError("a chunk offset points outside the file");
    }

private:
    const std::vector<TopBox>& tops_;
};

unsigned fixChunkOffsets(Box& stbl, const OffsetMap& offsets)
{
    unsigned changed = 0;
    for (Box& table : stbl.children) {
        size_t width = table.type == "stco" ? 4 : table.type == "co64" ? 8 : 0;
        if (width == 0)
            continue;
        std::string& p = table.payload;
        ByteCursor in(p);
        in.skip(4); // version, flags
        uint32_t count = in.be32();
        if (!in.ok() || in.remaining() / width < count)
            throw ToolError("'" + table.type + "' table cut short");
        for (uint32_t i = 0; i < count; ++i) {
            auto* entry = reinterpret_cast<uint8_t*>(p.data()) + 8 + i * width;
            uint64_t old = width == 4 ? readBe32(entry) : readBe64(entry);
            uint64_t moved = offsets.map(old);
            if (moved == old)
                continue;
            ++changed;
            if (width == 8) {
                writeBe64(entry, moved);
            } else {
                if (moved > 0xFFFFFFFFull)
                    throw ToolError("a chunk offset no longer fits in 'stco'");
                writeBe32(entry, static_cast<uint32_t>(moved));
            }
        }
    }
    return changed;
}

std::vector<Box*> sampleTables(Box& moov)
{
    std::vector<Box*> tables;
    for (Box& trak : moov.children) {
        if (trak.type != "trak")
            continue;
        Box* mdia = trak.child("mdia");
        Box* minf = mdia ? mdia->child("minf") : nullptr;
        Box* stbl = minf ? minf->child("stbl") : nullptr;
        if (stbl)
            tables.push_back(stbl);
    }
    return tables;
}

Box makeEditList(uint64_t segmentDuration, int64_t mediaTime)
{
    Box elst;
    elst.type = "elst";
    bool wide = segmentDuration > 0xFFFFFFFFull || mediaTime > INT32_MAX || mediaTime < INT32_MIN;
    std::string& p = elst.payload;
    appendBe32(p, wide ? 0x01000000u : 0u); // version, flags
    appendBe32(p, 1); // entry count
    if (wide) {
        appendBe64(p, segmentDuration);
        appendBe64(p, static_cast<uint64_t>(mediaTime));
    } else {
        appendBe32(p, static_cast<uint32_t>(segmentDuration));
        appendBe32(p, static_cast<uint32_t>(mediaTime));
    }
    appendBe32(p, 0x00010000u); // rate 1.0
    Box edts;
    edts.type = "edts";
    edts.container = true;
    edts.children.push_back(std::move(elst));
    return edts;
}

// The first sample's composition offset, or 0 without 'ctts'.
int64_t firstCompositionOffset(const Box& trak)
{
    const Box* mdia = trak.child("mdia");
    const Box* minf = mdia ? mdia->child("minf") : nullptr;
    const Box* stbl = minf ? minf->child("stbl") : nullptr;
    const Box* ctts = stbl ? stbl->child("ctts") : nullptr;
    if (!ctts)
        return 0;
    ByteCursor in(ctts->payload);
    in.skip(4); // version, flags
    uint32_t entries = in.be32();
    in.skip(4); // the first entry's sample count
    uint32_t offset = in.be32();
    if (!in.ok() || entries == 0)
        return 0;
    // Version 1 offsets are signed; version 0 ones are read the same way by
    // every reader that meets a negative value in practice.
    return static_cast<int32_t>(offset);
}

} // namespace

unsigned addEditLists(Box& moov)
{
    unsigned added = 0;
    for (Box& trak : moov.children) {
        if (trak.type != "trak" || trak.child("edts"))
            continue;
        auto tkhd
            = std::find_if(trak.children.begin(), trak.children.end(), [](const Box& b) { return b.type == "tkhd"; });
        if (tkhd == trak.children.end())
            continue;
        ByteCursor in(tkhd->payload);
        uint8_t version = in.u8();
        in.skip(3 + (version == 1 ? 16 : 8) + 8); // flags, two times, track id, reserved
        uint64_t duration = version == 1 ? in.be64() : in.be32();
        // An all-ones duration means "unknown"; an empty edit would hide the track.
        if (!in.ok() || version > 1 || duration == 0 || duration == 0xFFFFFFFFull || duration == ~0ull)
            continue;
        Box edts = makeEditList(duration, firstCompositionOffset(trak));
        trak.children.insert(tkhd + 1, std::move(edts));
        ++added;
    }
    return added;
}

EditReport editMp4(const std::string& inputPath, const std::string& outputPath, const AtomScript& script)
{
    for (const std::string& type : script.deleteTypes)
        if (type == "mdat" || type == "moov")
            throw ToolError("the script would delete '" + type + "', which holds the media");

    InputFile in(inputPath);
    std::vector<TopBox> tops = scanTopLevel(in);
    auto isDeleted = [&](const std::string& type) {
        return std::find(script.deleteTypes.begin(), script.deleteTypes.end(), type) != script.deleteTypes.end();
    };

    EditReport report;
    TopBox* moovTop = nullptr;
    for (TopBox& t : tops) {
        if (t.header.type == "moof")
            throw ToolError(inputPath + " is a fragmented MP4 file, which this tool does not edit");
        if (t.header.type == "moov") {
            if (moovTop)
                throw ToolError(inputPath + " is corrupt (two 'moov' boxes)");
            if (t.header.size > kMaxMoovSize)
                throw ToolError(inputPath + " is corrupt ('moov' too large)");
            moovTop = &t;
            std::string body
                = in.read(t.offset + t.header.headerSize, static_cast<size_t>(t.header.size - t.header.headerSize));
            Box moov;
            moov.type = "moov";
            moov.form = t.header.form;
            moov.container = true;
            moov.children = parseBoxes(body, inputPath + ": moov");
            t.tree = std::move(moov);
        } else if (isDeleted(t.header.type)) {
            t.keep = false;
            ++report.deleted;
        }
    }
    if (!moovTop)
        throw ToolError(inputPath + " is not a complete MP4 file (no 'moov' box)");

    Box& moov = *moovTop->tree;
    auto removed
        = std::remove_if(moov.children.begin(), moov.children.end(), [&](const Box& b) { return isDeleted(b.type); });
    report.deleted += static_cast<unsigned>(moov.children.end() - removed);
    moov.children.erase(removed, moov.children.end());
    if (script.buildEdts)
        report.editListsAdded = addEditLists(moov);

    std::vector<Box> inserted;
    for (const std::string& bytes : script.insertBoxes) {
        Box box;
        box.type = bytes.substr(0, 4);
        box.payload = bytes.substr(4);
        inserted.push_back(std::move(box));
    }
    report.inserted = static_cast<unsigned>(inserted.size());

    // Chunk offsets do not change moov's size, so the layout can be fixed
    // before the offsets are rewritten.
    uint64_t position = 0;
    for (const Box& b : inserted)
        position += b.size();
    for (TopBox& t : tops) {
        if (!t.keep)
            continue;
        t.newOffset = position;
        position += t.tree ? t.tree->size() : t.header.size;
    }
    OffsetMap offsets(tops);
    for (Box* stbl : sampleTables(moov))
        report.offsetsChanged += fixChunkOffsets(*stbl, offsets);

    TemporaryOutput out(outputPath);
    std::string bytes;
    for (const Box& b : inserted)
        b.serialize(bytes);
    writeAll(out.file(), bytes.data(), bytes.size(), outputPath);
    // Neighbouring boxes that are copied unchanged go in one copy: a file
    // of many small boxes must not cost one buffered copy each.
    uint64_t runStart = 0, runSize = 0;
    auto flushRun = [&] {
        if (runSize > 0)
            in.copyTo(out.file(), runStart, runSize, outputPath);
        runSize = 0;
    };
    for (const TopBox& t : tops) {
        if (!t.keep || t.tree)
            flushRun();
        if (!t.keep)
            continue;
        if (t.tree) {
            bytes.clear();
            t.tree->serialize(bytes);
            writeAll(out.file(), bytes.data(), bytes.size(), outputPath);
        } else {
            if (runSize == 0)
                runStart = t.offset;
            runSize += t.header.size;
        }
    }
    flushRun();
    out.commit();
    return report;
}

} // namespace qf::kit
