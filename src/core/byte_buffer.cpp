#include "core/byte_buffer.h"

#include <cstdlib>
#include <cstring>

#include "core/text_string.h"

namespace qf::core {

namespace {

uint8_t* allocate(uint32_t capacity)
{
    auto* p = static_cast<uint8_t*>(std::malloc(capacity ? capacity : 1));
    if (!p)
        std::abort();
    return p;
}

uint32_t littleEndian32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

} // namespace

ByteBuffer::ByteBuffer() : data_(allocate(kDefaultCapacity)), capacity_(kDefaultCapacity) {}

ByteBuffer::ByteBuffer(uint32_t size) : data_(allocate(size + 1)), capacity_(size + 1) {}

ByteBuffer::ByteBuffer(const ByteBuffer& other) : ByteBuffer(other.length_) { assign(other); }

ByteBuffer::~ByteBuffer() { std::free(data_); }

uint32_t ByteBuffer::remaining() const { return cursor_ < length_ ? length_ - cursor_ : 0; }

void ByteBuffer::growFor(uint32_t adding)
{
    const uint64_t needed = uint64_t(length_) + adding + 1;
    if (needed <= capacity_)
        return;
    const uint64_t newCapacity = needed / kGrowStep * kGrowStep + kGrowStep;
    if (newCapacity > UINT32_MAX)
        std::abort();
    auto* p = static_cast<uint8_t*>(std::realloc(data_, newCapacity));
    if (!p)
        std::abort();
    data_ = p;
    capacity_ = static_cast<uint32_t>(newCapacity);
}

void ByteBuffer::appendBytes(const void* bytes, uint32_t count)
{
    if (!count)
        return;
    growFor(count);
    std::memmove(data_ + length_, bytes, count);
    length_ += count;
}

void ByteBuffer::appendUint32(uint32_t value)
{
    const uint8_t le[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    appendBytes(le, 4);
}

void ByteBuffer::appendIntItem(int32_t value)
{
    growFor(8);
    appendUint32(4);
    appendUint32(static_cast<uint32_t>(value));
}

void ByteBuffer::appendFlagItem(bool value)
{
    const uint8_t b = value ? 1 : 0;
    appendBlock(&b, 1);
}

void ByteBuffer::appendBlock(const void* bytes, uint32_t count)
{
    // Both parts in one growth, so a source inside this buffer stays valid.
    growFor(4 + count);
    appendUint32(count);
    appendBytes(bytes, count);
}

void ByteBuffer::appendBlock(const char* text)
{
    appendBlock(text, text ? static_cast<uint32_t>(std::strlen(text)) : 0);
}

void ByteBuffer::appendBlock(const TextString& text) { appendBlock(text.c_str(), text.length()); }

void ByteBuffer::appendBlock(const ByteBuffer& other)
{
    if (&other == this) {
        ByteBuffer copy(*this);
        appendBlock(copy.data_, copy.length_);
        return;
    }
    appendBlock(other.data_, other.length_);
}

void ByteBuffer::assign(const ByteBuffer& other)
{
    if (&other == this)
        return;
    length_ = 0;
    cursor_ = 0;
    appendBytes(other.data_, other.length_);
}

void ByteBuffer::setLength(uint32_t n) { length_ = n < capacity_ ? n : capacity_; }

bool ByteBuffer::readLength(uint32_t& n)
{
    if (cursor_ > length_ || length_ - cursor_ < 4)
        return false;
    n = littleEndian32(data_ + cursor_);
    if (length_ - cursor_ - 4 < n)
        return false;
    cursor_ += 4;
    return true;
}

bool ByteBuffer::readFixed(void* dest, uint32_t n)
{
    const uint32_t saved = cursor_;
    uint32_t stored = 0;
    if (!readLength(stored) || stored != n) {
        cursor_ = saved;
        return false;
    }
    if (n)
        std::memcpy(dest, data_ + cursor_, n);
    cursor_ += n;
    return true;
}

bool ByteBuffer::readBlock(TextString& into)
{
    uint32_t n = 0;
    if (!readLength(n))
        return false;
    into.assignBytes(data_ + cursor_, n);
    cursor_ += n;
    return true;
}

bool ByteBuffer::readBlock(ByteBuffer& into)
{
    if (&into == this)
        return false;
    uint32_t n = 0;
    if (!readLength(n))
        return false;
    into.length_ = 0;
    into.cursor_ = 0;
    into.appendBytes(data_ + cursor_, n);
    cursor_ += n;
    return true;
}

bool ByteBuffer::readIntItem(int32_t& value)
{
    uint8_t le[4];
    if (!readFixed(le, 4))
        return false;
    value = static_cast<int32_t>(littleEndian32(le));
    return true;
}

bool ByteBuffer::readFlagItem(bool& value)
{
    uint8_t b = 0;
    if (!readFixed(&b, 1))
        return false;
    value = b != 0;
    return true;
}

bool ByteBuffer::readBytes(void* dest, uint32_t n)
{
    if (cursor_ > length_ || length_ - cursor_ < n)
        return false;
    if (n)
        std::memcpy(dest, data_ + cursor_, n);
    cursor_ += n;
    return true;
}

bool ByteBuffer::readUint32(uint32_t& value)
{
    uint8_t le[4];
    if (!readBytes(le, 4))
        return false;
    value = littleEndian32(le);
    return true;
}

} // namespace qf::core
