#include "atom-editor/atom_script.h"
#include "common/tool_error.h"

#include <gtest/gtest.h>

namespace qf::kit {
namespace {

// The script exactly as the conversion writes it: CR LF line ends.
const char kHandheldScript[] = "[Config]\r\nTitle=PSP MPEG-4 SP/ASP\r\nMQV=2\r\nCODEC=1\r\nBuild_edts=1\r\n\r\n"
                               "[DeleteAtom]\r\nItem0=ftyp\r\nItem1=free\r\nItem2=udta\r\nItem3=iods\r\n\r\n"
                               "[InsertAtom]\r\nItem0=ftypMSNV%01%00%07%86MSNVmp42isom\r\n";

TEST(AtomScript, ReadsTheHandheldScript)
{
    AtomScript s = parseAtomScript(kHandheldScript);
    EXPECT_EQ(s.title, "PSP MPEG-4 SP/ASP");
    EXPECT_EQ(s.mqv, 2);
    EXPECT_EQ(s.codec, 1);
    EXPECT_TRUE(s.buildEdts);
    EXPECT_EQ(s.deleteTypes, (std::vector<std::string>{"ftyp", "free", "udta", "iods"}));
    ASSERT_EQ(s.insertBoxes.size(), 1u);
    EXPECT_EQ(s.insertBoxes[0], std::string("ftypMSNV\x01\x00\x07\x86MSNVmp42isom", 24));
}

TEST(AtomScript, ToleratesWhatAnIniMayHold)
{
    AtomScript s = parseAtomScript("\xEF\xBB\xBF; comment\n[config]\nbuild_edts = 0\nFuture=7\n[Other]\nanything=goes\n"
                                   "[InsertAtom]\nItem1=skip\nItem0=free%00\n[DeleteAtom]\nItem0=%61bcd\n");
    EXPECT_FALSE(s.buildEdts);
    // Items are applied in their number order, not their line order.
    EXPECT_EQ(s.insertBoxes, (std::vector<std::string>{std::string("free\0", 5), "skip"}));
    EXPECT_EQ(s.deleteTypes, (std::vector<std::string>{"abcd"}));
}

TEST(AtomScript, RejectsWhatItCannotApplySafely)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Item0=ftyp\n", "outside any section"},
        {"[DeleteAtom]\nItem0=ftypx\n", "four characters"},
        {"[DeleteAtom]\nThing=ftyp\n", "unknown item 'thing'"},
        {"[DeleteAtom]\nItemX=ftyp\n", "unknown item"},
        {"[DeleteAtom]\nItem0=ftyp\nItem0=free\n", "given twice"},
        {"[InsertAtom]\nItem0=ftypMSNV%0\n", "bad escape"},
        {"[InsertAtom]\nItem0=ftypMSNV%zz\n", "bad escape"},
        {"[InsertAtom]\nItem0=abc\n", "at least its type"},
        {"[Config]\nBuild_edts=yes\n", "0 or 1"},
        {"[Config]\nMQV=two\n", "needs a number"},
        {"[Config\n", "unclosed section"},
        {"[Config]\njust text\n", "key=value"},
    };
    for (const auto& [text, message] : cases) {
        try {
            parseAtomScript(text);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const ToolError& e) {
            EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("line "), std::string::npos) << e.what();
        }
    }
}

} // namespace
} // namespace qf::kit
