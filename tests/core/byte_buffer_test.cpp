#include <gtest/gtest.h>

#include <cstring>

#include "core/byte_buffer.h"
#include "core/pointer_list.h"
#include "core/text_string.h"

using qf::core::ByteBuffer;
using qf::core::PointerList;
using qf::core::TextString;

TEST(ByteBuffer, BlocksRoundTrip)
{
    ByteBuffer b;
    const uint32_t number = 0x01020304;
    b.appendBlock(&number, 4);
    b.appendBlock("预设一");
    b.appendBlock("");
    ByteBuffer inner;
    inner.appendBlock("nested");
    b.appendBlock(inner);

    EXPECT_EQ(b.data()[0], 4); // little-endian length
    EXPECT_EQ(b.data()[4], 4); // little-endian value

    uint32_t n = 0;
    TextString name, empty("x");
    ByteBuffer back;
    ASSERT_TRUE(b.readFixed(&n, 4));
    EXPECT_EQ(n, number);
    ASSERT_TRUE(b.readBlock(name));
    EXPECT_EQ(name, "预设一");
    ASSERT_TRUE(b.readBlock(empty));
    EXPECT_TRUE(empty.empty());
    ASSERT_TRUE(b.readBlock(back));
    TextString nested;
    ASSERT_TRUE(back.readBlock(nested));
    EXPECT_EQ(nested, "nested");
    EXPECT_FALSE(b.readBlock(name)); // nothing left
}

TEST(ByteBuffer, ReadFailures)
{
    ByteBuffer b;
    const uint32_t v = 7;
    b.appendBlock(&v, 4);
    uint16_t small = 0;
    EXPECT_FALSE(b.readFixed(&small, 2)); // stored length differs
    uint32_t ok = 0;
    EXPECT_TRUE(b.readFixed(&ok, 4)); // the failed read moved nothing

    ByteBuffer shortLength;
    shortLength.appendBytes("\x05\x00\x00", 3); // fewer than 4 bytes for the length
    TextString t;
    EXPECT_FALSE(shortLength.readBlock(t));

    ByteBuffer truncated;
    truncated.appendBytes("\x08\x00\x00\x00"
                          "abc",
                          7); // says 8, holds 3
    EXPECT_FALSE(truncated.readBlock(t));

    ByteBuffer huge;
    huge.appendBytes("\xff\xff\xff\xff"
                     "abc",
                     7); // a length that would overflow naive checks
    EXPECT_FALSE(huge.readBlock(t));
}

TEST(ByteBuffer, ItemsAndRawReads)
{
    ByteBuffer b;
    b.appendIntItem(-2);
    b.appendFlagItem(true);
    b.appendUint32(0xA1B2C3D4);
    const uint8_t expected[] = {4, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 1, 0xD4, 0xC3, 0xB2, 0xA1};
    ASSERT_EQ(b.length(), sizeof expected);
    EXPECT_EQ(std::memcmp(b.data(), expected, sizeof expected), 0);

    int32_t i = 0;
    bool flag = false;
    uint32_t raw = 0;
    EXPECT_FALSE(b.readFlagItem(flag)); // a 4-byte item is no flag
    ASSERT_TRUE(b.readIntItem(i));
    EXPECT_EQ(i, -2);
    EXPECT_FALSE(b.readIntItem(i)); // a 1-byte item is no integer
    ASSERT_TRUE(b.readFlagItem(flag));
    EXPECT_TRUE(flag);
    ASSERT_TRUE(b.readUint32(raw));
    EXPECT_EQ(raw, 0xA1B2C3D4u);

    ByteBuffer cut;
    cut.appendBytes("\x01\x02\x03", 3);
    uint8_t two[2];
    EXPECT_FALSE(cut.readUint32(raw)); // short data: nothing read, nothing moved
    ASSERT_TRUE(cut.readBytes(two, 2));
    EXPECT_EQ(two[1], 2);
    EXPECT_FALSE(cut.readBytes(two, 2));
    EXPECT_EQ(cut.remaining(), 1u);
}

TEST(ByteBuffer, GrowthAndLength)
{
    ByteBuffer b;
    EXPECT_EQ(b.capacity(), 256u);
    char bytes[300] = {};
    b.appendBytes(bytes, 255);
    EXPECT_EQ(b.capacity(), 256u); // 256 needed: fits
    b.appendBytes(bytes, 1);
    EXPECT_EQ(b.capacity(), 512u); // 257 rounded down to 256, plus 256
    EXPECT_EQ(ByteBuffer(10).capacity(), 11u);
    b.setLength(100000);
    EXPECT_EQ(b.length(), b.capacity());
    b.setLength(3);
    EXPECT_EQ(b.length(), 3u);
    ByteBuffer copy;
    copy.assign(b);
    EXPECT_EQ(copy.length(), 3u);
}

TEST(PointerList, AddInsertGetAndGrowth)
{
    PointerList list;
    int items[20];
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(list.add(&items[i]), uint32_t(i + 1));
    EXPECT_EQ(list.capacity(), 8u);
    list.add(&items[8]);
    EXPECT_EQ(list.capacity(), 16u); // 9 rounded down to 8, plus 8
    EXPECT_EQ(list.insert(0, &items[9]), 0u);
    EXPECT_EQ(list.get(0), &items[9]);
    EXPECT_EQ(list.get(1), &items[0]);
    EXPECT_EQ(list.insert(100, &items[10]), 10u); // appends
    EXPECT_EQ(list.get(10), &items[10]);
    EXPECT_EQ(list.get(11), nullptr);

    EXPECT_EQ(list.next(), &items[9]);
    EXPECT_EQ(list.next(), &items[0]);
    list.insert(1, &items[11]); // resets the iteration
    EXPECT_EQ(list.next(), &items[9]);
    EXPECT_EQ(list.removeAt(0), &items[9]);
    list.clear();
    EXPECT_EQ(list.count(), 0u);
    EXPECT_EQ(list.next(), nullptr);
}
