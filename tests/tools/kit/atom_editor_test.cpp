#include "atom-editor/atom_editor.h"
#include "common/byte_order.h"
#include "common/tool_error.h"
#include "kit_test_support.h"

#include <gtest/gtest.h>

namespace qf::kit {
namespace {

using namespace test;

AtomScript handheldScript()
{
    return parseAtomScript(
        "[Config]\r\nBuild_edts=1\r\n[DeleteAtom]\r\nItem0=ftyp\r\nItem1=free\r\nItem2=udta\r\nItem3=iods\r\n"
        "[InsertAtom]\r\nItem0=ftypMSNV%01%00%07%86MSNVmp42isom\r\n");
}

// tkhd version 0 with the given duration (movie timescale).
std::string tkhd(uint32_t duration)
{
    return box("tkhd", be32s({0x00000003, 0, 0, 1, 0, duration, 0, 0, 0}) + std::string(52, '\0'));
}

// A track whose chunk offset table (stco or co64) points at `offsets`.
std::string track(const std::vector<uint64_t>& offsets, bool wide, bool withCtts, uint32_t duration = 3000)
{
    std::string table = be32s({0, static_cast<uint32_t>(offsets.size())});
    for (uint64_t o : offsets) {
        if (wide)
            appendBe64(table, o);
        else
            appendBe32(table, static_cast<uint32_t>(o));
    }
    std::string stbl = box("stsd", be32s({0, 0})) + (withCtts ? box("ctts", be32s({0, 1, 5, 2002})) : "")
        + box(wide ? "co64" : "stco", table);
    return box("trak", tkhd(duration) + box("mdia", box("minf", box("stbl", stbl))));
}

struct Media {
    std::string bytes;
    std::vector<std::string> chunks{"AAAA", "BBBBBB", "CC"};
};

// ftyp, free, [moov before mdat], mdat holding the chunks, [moov after].
// The moov carries iods and udta, one stco track and one co64 track.
Media makeMp4(bool moovFirst, bool largeMdat = false)
{
    Media m;
    std::string ftyp = box("ftyp", "isom" + be32s({512}) + "isomiso2");
    std::string freeBox = box("free", "");
    std::string mdatBody;
    for (auto& c : m.chunks)
        mdatBody += c;
    std::string mdatHeader;
    if (largeMdat) {
        appendBe32(mdatHeader, 1);
        mdatHeader += "mdat";
        appendBe64(mdatHeader, mdatBody.size() + 16);
    } else {
        appendBe32(mdatHeader, static_cast<uint32_t>(mdatBody.size() + 8));
        mdatHeader += "mdat";
    }
    auto moovFor = [&](uint64_t mdatPayload) {
        std::vector<uint64_t> offsets{mdatPayload, mdatPayload + 4, mdatPayload + 10};
        return box("moov",
                   box("mvhd", std::string(100, '\0')) + box("iods", be32s({0, 0})) + track(offsets, false, true)
                       + track(offsets, true, false) + box("udta", box("meta", "x")));
    };
    uint64_t before = ftyp.size() + freeBox.size();
    if (moovFirst) {
        // The moov's size does not depend on the offsets' values.
        uint64_t moovSize = moovFor(0).size();
        m.bytes = ftyp + freeBox + moovFor(before + moovSize + mdatHeader.size()) + mdatHeader + mdatBody;
    } else {
        m.bytes = ftyp + freeBox + mdatHeader + mdatBody + moovFor(before + mdatHeader.size());
    }
    return m;
}

struct TopLevel {
    std::string type;
    size_t offset;
    uint64_t size;
};

std::vector<TopLevel> topLevel(const std::string& bytes)
{
    std::vector<TopLevel> out;
    for (size_t pos = 0; pos < bytes.size();) {
        BoxHeader h = checkedBoxHeader(std::string_view(bytes).substr(pos), bytes.size() - pos, "test");
        out.push_back({h.type, pos, h.size});
        pos += h.size;
    }
    return out;
}

Box moovOf(const std::string& bytes)
{
    for (const TopLevel& t : topLevel(bytes))
        if (t.type == "moov")
            return parseBoxes(std::string_view(bytes).substr(t.offset, t.size), "test")[0];
    ADD_FAILURE() << "no moov";
    return {};
}

std::vector<uint64_t> chunkOffsets(const Box& trak)
{
    const Box* stbl = trak.child("mdia")->child("minf")->child("stbl");
    const Box* table = stbl->child("stco") ? stbl->child("stco") : stbl->child("co64");
    size_t width = table->type == "stco" ? 4 : 8;
    std::vector<uint64_t> offsets;
    const auto* p = bytesOf(table->payload);
    for (uint32_t i = 0; i < readBe32(p + 4); ++i)
        offsets.push_back(width == 4 ? readBe32(p + 8 + 4 * i) : readBe64(p + 8 + 8 * i));
    return offsets;
}

TEST(AtomEditor, HandheldScriptKeepsEveryChunkOffsetOnItsData)
{
    for (bool moovFirst : {false, true}) {
        for (bool largeMdat : {false, true}) {
            SCOPED_TRACE(testing::Message() << "moov first " << moovFirst << ", large mdat " << largeMdat);
            ScratchDir dir;
            Media m = makeMp4(moovFirst, largeMdat);
            writeFile(dir.file("in.mp4"), m.bytes);
            EditReport r = editMp4(dir.file("in.mp4"), dir.file("out.mp4"), handheldScript());
            EXPECT_EQ(r.deleted, 4u); // ftyp, free, iods, udta
            EXPECT_EQ(r.inserted, 1u);
            EXPECT_EQ(r.editListsAdded, 2u);

            std::string out = readFile(dir.file("out.mp4"));
            std::vector<TopLevel> tops = topLevel(out); // sizes add up to the file
            ASSERT_EQ(tops.size(), 3u);
            EXPECT_EQ(out.substr(0, 28),
                      std::string("\0\0\0\x1c"
                                  "ftypMSNV\x01\x00\x07\x86MSNVmp42isom",
                                  28));
            EXPECT_EQ(tops[moovFirst ? 1 : 2].type, "moov");
            if (largeMdat) {
                EXPECT_EQ(readBe32(bytesOf(out) + tops[moovFirst ? 2 : 1].offset), 1u);
            }

            Box moov = moovOf(out);
            EXPECT_EQ(moov.child("iods"), nullptr);
            EXPECT_EQ(moov.child("udta"), nullptr);
            int tracks = 0;
            for (const Box& trak : moov.children) {
                if (trak.type != "trak")
                    continue;
                ++tracks;
                ASSERT_EQ(trak.children[1].type, "edts"); // right after tkhd
                std::vector<uint64_t> offsets = chunkOffsets(trak);
                ASSERT_EQ(offsets.size(), m.chunks.size());
                for (size_t i = 0; i < offsets.size(); ++i)
                    EXPECT_EQ(out.substr(offsets[i], m.chunks[i].size()), m.chunks[i]);
            }
            EXPECT_EQ(tracks, 2);
        }
    }
}

TEST(AtomEditor, EditListCoversTheTrackAndSkipsTheCompositionDelay)
{
    Box moov;
    moov.type = "moov";
    moov.container = true;
    moov.children = parseBoxes(track({0}, false, true, 4321) + track({0}, false, false, 99), "test");
    ASSERT_EQ(addEditLists(moov), 2u);
    ASSERT_EQ(addEditLists(moov), 0u); // tracks that have one keep it
    const uint32_t mediaTimes[] = {2002, 0};
    const uint32_t durations[] = {4321, 99};
    for (size_t t = 0; t < 2; ++t) {
        const Box& edts = moov.children[t].children[1];
        EXPECT_EQ(edts.size(), 36u);
        const auto* p = bytesOf(edts.children[0].payload);
        EXPECT_EQ(readBe32(p), 0u); // version 0
        EXPECT_EQ(readBe32(p + 4), 1u); // one entry
        EXPECT_EQ(readBe32(p + 8), durations[t]);
        EXPECT_EQ(readBe32(p + 12), mediaTimes[t]);
        EXPECT_EQ(readBe32(p + 16), 0x00010000u);
    }
}

TEST(AtomEditor, BadInputFailsWithoutLeavingAnOutput)
{
    Media m = makeMp4(false);
    std::string truncated = m.bytes.substr(0, m.bytes.size() - 10);
    std::string noMoov = m.bytes.substr(0, topLevel(m.bytes)[3].offset);
    std::string binary = std::string("\x01\x02\x03\x04\xff\xfe\xfd\xfc", 8) + std::string(40, '\0');
    AtomScript deleteMdat = parseAtomScript("[DeleteAtom]\nItem0=mdat\n");
    AtomScript deleteUdta = parseAtomScript("[DeleteAtom]\nItem0=udta\n");
    // A file whose chunk offsets point into a box the script deletes.
    std::string mediaInUdta = box("udta", "DATA") + box("moov", track({8}, false, false));
    // Empty 'trak' headers nested 100000 deep inside moov, 8 bytes each: far
    // deeper than any writer nests boxes, and deep enough to exhaust a stack.
    constexpr uint32_t kDepth = 100000;
    std::string nested;
    for (uint32_t level = 0; level < kDepth; ++level)
        nested += be32s({8 * (kDepth - level)}) + "trak";
    std::string deepNesting = m.bytes.substr(0, topLevel(m.bytes)[3].offset) + box("moov", nested);

    struct Case {
        std::string bytes;
        AtomScript script;
        const char* message;
    };
    const Case cases[] = {
        {truncated, handheldScript(), "impossible size"}, {noMoov, handheldScript(), "no 'moov'"},
        {binary, handheldScript(), "not an MP4 file"},    {m.bytes, deleteMdat, "would delete 'mdat'"},
        {mediaInUdta, deleteUdta, "deleted box 'udta'"},  {deepNesting, handheldScript(), "nested too deeply"},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        writeFile(dir.file("in.mp4"), c.bytes);
        try {
            editMp4(dir.file("in.mp4"), dir.file("out.mp4"), c.script);
            ADD_FAILURE() << "accepted: " << c.message;
        } catch (const ToolError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
        EXPECT_EQ(dir.names(), std::vector<std::string>{"in.mp4"});
    }
}

TEST(AtomEditor, ChunkOffsetsFindTheirBoxAmongManyTopLevelBoxes)
{
    // One 'mdat' per chunk, as some writers interleave, and one stco entry
    // for each: every offset must still land on its own chunk's bytes.
    constexpr uint32_t kChunks = 20000;
    const std::string head = box("ftyp", "isom" + be32s({512}) + "isom") + box("free", "padding");
    std::string mdats, offsets = be32s({0, kChunks});
    for (uint32_t i = 0; i < kChunks; ++i) {
        appendBe32(offsets, static_cast<uint32_t>(head.size() + mdats.size() + 8));
        mdats += box("mdat", be32s({i}));
    }
    const std::string stbl = box("stbl", box("stsd", be32s({0, 0})) + box("stco", offsets));
    const std::string moov = box("moov", box("trak", tkhd(3000) + box("mdia", box("minf", stbl))));

    ScratchDir dir;
    writeFile(dir.file("in.mp4"), head + mdats + moov);
    EditReport r = editMp4(dir.file("in.mp4"), dir.file("out.mp4"), handheldScript());
    EXPECT_EQ(r.offsetsChanged, kChunks);
    std::string out = readFile(dir.file("out.mp4"));
    std::vector<uint64_t> moved = chunkOffsets(moovOf(out).children[0]);
    ASSERT_EQ(moved.size(), kChunks);
    for (uint32_t i = 0; i < kChunks; ++i)
        ASSERT_EQ(readBe32(bytesOf(out) + moved[i]), i) << "chunk " << i;
}

TEST(AtomEditor, MayWriteOverItsInput)
{
    ScratchDir dir;
    Media m = makeMp4(true);
    writeFile(dir.file("a.mp4"), m.bytes);
    editMp4(dir.file("a.mp4"), dir.file("a.mp4"), handheldScript());
    std::string out = readFile(dir.file("a.mp4"));
    EXPECT_EQ(out.substr(4, 8), "ftypMSNV");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"a.mp4"});
}

} // namespace
} // namespace qf::kit
