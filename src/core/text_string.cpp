#include "core/text_string.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qf::core {

namespace {

char* allocate(uint32_t capacity)
{
    char* p = static_cast<char*>(std::malloc(capacity));
    if (!p)
        std::abort();
    p[0] = 0;
    return p;
}

uint32_t roundedGrowth(uint32_t needed)
{
    return needed / TextString::kGrowStep * TextString::kGrowStep + TextString::kGrowStep;
}

} // namespace

TextString::TextString() : text_(allocate(kDefaultCapacity)), capacity_(kDefaultCapacity) {}

TextString::TextString(uint32_t size) : text_(allocate(size + 1)), capacity_(size + 1) {}

TextString::TextString(const char* text)
{
    const uint32_t n = text ? static_cast<uint32_t>(std::strlen(text)) : 0;
    capacity_ = n + 1;
    text_ = allocate(capacity_);
    if (n)
        std::memcpy(text_, text, n + 1);
}

TextString::TextString(const TextString& other) : TextString(other.text_) {}

TextString::TextString(TextString&& other) noexcept : text_(other.text_), capacity_(other.capacity_)
{
    other.text_ = allocate(kDefaultCapacity);
    other.capacity_ = kDefaultCapacity;
}

TextString& TextString::operator=(TextString&& other) noexcept
{
    if (this != &other) {
        std::free(text_);
        text_ = other.text_;
        capacity_ = other.capacity_;
        other.text_ = allocate(kDefaultCapacity);
        other.capacity_ = kDefaultCapacity;
    }
    return *this;
}

TextString::~TextString() { std::free(text_); }

uint32_t TextString::length() const { return static_cast<uint32_t>(std::strlen(text_)); }

void TextString::growFor(uint32_t currentLength, uint32_t adding)
{
    const uint64_t needed = uint64_t(currentLength) + adding + 1;
    if (needed <= capacity_)
        return;
    const uint32_t newCapacity = roundedGrowth(static_cast<uint32_t>(needed));
    char* p = static_cast<char*>(std::realloc(text_, newCapacity));
    if (!p)
        std::abort();
    text_ = p;
    capacity_ = newCapacity;
}

void TextString::assign(const char* text)
{
    if (!text) {
        text_[0] = 0;
        return;
    }
    if (text == text_)
        return;
    const uint32_t n = static_cast<uint32_t>(std::strlen(text));
    if (ownsPointer(text)) {
        // A tail of our own text: no growth needed, the bytes only move left.
        std::memmove(text_, text, n + 1);
        return;
    }
    growFor(length(), n);
    std::memcpy(text_, text, n + 1);
}

void TextString::assign(const TextString& other)
{
    if (&other == this)
        return;
    const uint32_t n = other.length();
    if (capacity_ < n + 2) {
        std::free(text_);
        capacity_ = n + 2;
        text_ = allocate(capacity_);
    }
    std::memcpy(text_, other.text_, n + 1);
}

void TextString::assignBytes(const void* bytes, uint32_t count)
{
    if (!bytes)
        count = 0;
    if (ownsPointer(static_cast<const char*>(bytes))) {
        std::memmove(text_, bytes, count);
        text_[count] = 0;
        return;
    }
    growFor(0, count);
    if (count)
        std::memcpy(text_, bytes, count);
    text_[count] = 0;
}

void TextString::appendBytes(const void* bytes, uint32_t count)
{
    if (!bytes || !count)
        return;
    const uint32_t len = length();
    if (ownsPointer(static_cast<const char*>(bytes))) {
        TextString copy;
        copy.assignBytes(bytes, count);
        appendBytes(copy.text_, count);
        return;
    }
    growFor(len, count);
    std::memcpy(text_ + len, bytes, count);
    text_[len + count] = 0;
}

void TextString::append(const char* text)
{
    if (!text)
        return;
    appendBytes(text, static_cast<uint32_t>(std::strlen(text)));
}

void TextString::append(const TextString& other) { appendBytes(other.text_, other.length()); }

TextString TextString::concat(const char* a, const char* b) { return formatted("%s%s", a ? a : "", b ? b : ""); }

TextString TextString::formatted(const char* fmt, ...)
{
    TextString result(uint32_t{127});
    va_list args;
    va_start(args, fmt);
    result.formatV(fmt, args);
    va_end(args);
    return result;
}

void TextString::format(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    formatV(fmt, args);
    va_end(args);
}

void TextString::appendFormat(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    appendFormatV(fmt, args);
    va_end(args);
}

void TextString::formatV(const char* fmt, va_list args)
{
    if (!fmt || ownsPointer(fmt))
        return;
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        const int n = std::vsnprintf(text_, capacity_, fmt, copy);
        va_end(copy);
        if (n <= 0) {
            text_[0] = 0;
            return;
        }
        if (static_cast<uint32_t>(n) < capacity_)
            return;
        // The old text is of no use to a fresh format: drop it and double.
        const uint64_t doubled = uint64_t(capacity_) * 2;
        std::free(text_);
        if (doubled > kMaxFormatCapacity) {
            // Too large: keep the last size that was tried and give an empty text.
            text_ = allocate(capacity_);
            return;
        }
        capacity_ = static_cast<uint32_t>(doubled);
        text_ = allocate(capacity_);
    }
}

void TextString::appendFormatV(const char* fmt, va_list args)
{
    if (!fmt || ownsPointer(fmt))
        return;
    const uint32_t len = length();
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        const uint32_t room = capacity_ - len;
        const int n = std::vsnprintf(text_ + len, room, fmt, copy);
        va_end(copy);
        if (n <= 0) {
            text_[len] = 0;
            return;
        }
        if (static_cast<uint32_t>(n) < room)
            return;
        const uint64_t doubled = uint64_t(capacity_) * 2;
        if (doubled > kMaxFormatCapacity) {
            text_[0] = 0;
            return;
        }
        char* p = static_cast<char*>(std::realloc(text_, doubled));
        if (!p)
            std::abort();
        text_ = p;
        capacity_ = static_cast<uint32_t>(doubled);
        text_[len] = 0;
    }
}

void TextString::trimLeft(char ch)
{
    uint32_t skip = 0;
    while (text_[skip] != 0 && text_[skip] == ch)
        ++skip;
    if (skip)
        std::memmove(text_, text_ + skip, length() - skip + 1);
}

void TextString::trimRight(char ch)
{
    uint32_t len = length();
    while (len > 0 && text_[len - 1] == ch)
        --len;
    text_[len] = 0;
}

void TextString::trimRightAny(const char* set)
{
    if (!set)
        return;
    uint32_t len = length();
    while (len > 0 && std::strchr(set, text_[len - 1]) != nullptr)
        --len;
    text_[len] = 0;
}

void TextString::erase(uint32_t start, uint32_t count)
{
    const uint32_t len = length();
    if (start >= len)
        return;
    if (count >= len - start) {
        text_[start] = 0;
        return;
    }
    std::memmove(text_ + start, text_ + start + count, len - start - count + 1);
}

int32_t TextString::find(char ch, uint32_t from) const
{
    const uint32_t len = length();
    if (from > len)
        return -1;
    const void* p = std::memchr(text_ + from, ch, len - from);
    return p ? static_cast<int32_t>(static_cast<const char*>(p) - text_) : -1;
}

int32_t TextString::find(const char* text, uint32_t from) const
{
    const uint32_t len = length();
    if (from > len)
        return -1;
    if (!text || !*text)
        return static_cast<int32_t>(len);
    const char* p = std::strstr(text_ + from, text);
    return p ? static_cast<int32_t>(p - text_) : -1;
}

int32_t TextString::findLast(char ch) const
{
    const char* p = std::strrchr(text_, ch);
    return (p && ch != 0) ? static_cast<int32_t>(p - text_) : -1;
}

bool TextString::startsWith(const char* text) const
{
    return text && std::strncmp(text_, text, std::strlen(text)) == 0;
}

bool TextString::endsWith(const char* text) const
{
    if (!text)
        return false;
    const size_t n = std::strlen(text);
    const uint32_t len = length();
    return n <= len && std::memcmp(text_ + len - n, text, n) == 0;
}

int TextString::replaceAll(const char* oldText, const char* newText)
{
    if (!oldText)
        oldText = "";
    if (!newText)
        newText = "";
    if (std::strcmp(oldText, newText) == 0)
        return 0;
    if (!*oldText) {
        if (empty() && *newText) {
            assign(newText);
            return 1;
        }
        return 0;
    }
    // Replacement texts inside our own buffer would move under our feet.
    TextString oldCopy, newCopy;
    if (ownsPointer(oldText)) {
        oldCopy.assign(oldText);
        oldText = oldCopy.c_str();
    }
    if (ownsPointer(newText)) {
        newCopy.assign(newText);
        newText = newCopy.c_str();
    }
    const uint32_t oldLen = static_cast<uint32_t>(std::strlen(oldText));
    const uint32_t newLen = static_cast<uint32_t>(std::strlen(newText));
    int count = 0;
    uint32_t pos = 0;
    for (;;) {
        const char* hit = std::strstr(text_ + pos, oldText);
        if (!hit)
            break;
        const uint32_t at = static_cast<uint32_t>(hit - text_);
        const uint32_t len = length();
        if (newLen > oldLen)
            growFor(len, newLen - oldLen);
        std::memmove(text_ + at + newLen, text_ + at + oldLen, len - at - oldLen + 1);
        std::memcpy(text_ + at, newText, newLen);
        pos = at + newLen;
        ++count;
    }
    return count;
}

TextString TextString::substring(uint32_t start, uint32_t count) const
{
    const uint32_t len = length();
    if (start >= len)
        return TextString();
    const uint32_t n = count < len - start ? count : len - start;
    TextString result(n);
    std::memcpy(result.text_, text_ + start, n);
    result.text_[n] = 0;
    return result;
}

uint32_t TextString::toInt(uint32_t at) const
{
    if (at >= length())
        return 0;
    return static_cast<uint32_t>(std::strtoul(text_ + at, nullptr, 10));
}

char* TextString::reserve(uint32_t n)
{
    if (capacity_ <= n) {
        char* p = static_cast<char*>(std::realloc(text_, uint64_t(n) + 1));
        if (!p)
            std::abort();
        text_ = p;
        capacity_ = n + 1;
        text_[n] = 0;
    }
    return text_;
}

} // namespace qf::core
