#pragma once
// ByteBuffer: growable bytes with a read cursor, read and written as blocks:
// a 32-bit little-endian length, then that many bytes. The encoding of the
// "cfg" file and of user presets.
//
// Growth: before n bytes are appended the buffer must hold length + n + 1
// bytes; when it does not, the capacity becomes that sum rounded down to a
// multiple of 256, plus 256.
//
// Every read returns false, with the cursor where it was, when the cursor lies
// outside the data, fewer than four bytes remain for the length, a fixed read
// finds another length, or fewer bytes remain than the length says (or than a
// raw read wants); the caller then abandons the file.
//
// Integers and flags are stored as items: a block of 4 bytes holding the
// value little-endian, or a block of 1 byte holding 1 or 0.

#include <cstdint>

namespace qf::core {

class TextString;

class ByteBuffer {
public:
    static constexpr uint32_t kDefaultCapacity = 256;
    static constexpr uint32_t kGrowStep = 256;

    ByteBuffer();
    explicit ByteBuffer(uint32_t size); // capacity size + 1
    ByteBuffer(const ByteBuffer& other);
    ByteBuffer& operator=(const ByteBuffer& other)
    {
        assign(other);
        return *this;
    }
    virtual ~ByteBuffer();

    const uint8_t* data() const { return data_; }
    uint8_t* data() { return data_; }
    uint32_t length() const { return length_; }
    uint32_t capacity() const { return capacity_; }
    // Bytes between the cursor and the end of the data.
    uint32_t remaining() const;

    void appendBytes(const void* bytes, uint32_t count);
    void appendBlock(const void* bytes, uint32_t count);
    void appendBlock(const char* text); // without the terminator; null is an empty block
    void appendBlock(const TextString& text);
    void appendBlock(const ByteBuffer& other); // the other buffer's data as one block
    void appendUint32(uint32_t value); // 4 bytes, little-endian, no length prefix
    void appendIntItem(int32_t value);
    void appendFlagItem(bool value);
    void assign(const ByteBuffer& other);
    void setLength(uint32_t n); // the smaller of n and the capacity
    void clear()
    {
        setLength(0);
        rewind();
    }
    void rewind() { cursor_ = 0; }

    bool readFixed(void* dest, uint32_t n);
    bool readBlock(TextString& into);
    bool readBlock(ByteBuffer& into);
    bool readIntItem(int32_t& value);
    bool readFlagItem(bool& value); // any non-zero byte reads as true
    // Without a length prefix: n bytes, or 4 bytes little-endian.
    bool readBytes(void* dest, uint32_t n);
    bool readUint32(uint32_t& value);

private:
    void growFor(uint32_t adding);
    // Reads the next block's length and checks that many bytes remain.
    bool readLength(uint32_t& n);

    uint8_t* data_;
    uint32_t length_ = 0;
    uint32_t capacity_;
    uint32_t cursor_ = 0; // read position, an offset into data_
};

} // namespace qf::core
