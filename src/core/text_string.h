#pragma once
// TextString: the system's growable, zero-terminated 8-bit string. Bytes in
// the platform's narrow encoding (UTF-8 here); a zero byte ends the text.
//
// Growth: before n bytes are added the buffer must hold length + n + 1 bytes;
// when it does not, the capacity becomes that sum rounded down to a multiple
// of 128, plus 128. Formatting doubles the capacity until the text fits and
// gives up (empty text) past kMaxFormatCapacity bytes.
//
// Not thread-safe: one thread at a time.

#include <cstdarg>
#include <cstdint>
#include <string_view>

namespace qf::core {

class TextString {
public:
    static constexpr uint32_t kDefaultCapacity = 64;
    static constexpr uint32_t kGrowStep = 128;
    static constexpr uint32_t kMaxFormatCapacity = 0x9FFFFF;

    TextString(); // capacity 64, empty
    explicit TextString(uint32_t size); // capacity size + 1, empty
    TextString(const char* text); // capacity length + 1 (null: empty, capacity 1)
    TextString(const TextString& other); // capacity other's length + 1
    TextString(TextString&& other) noexcept; // steals; other becomes empty (default capacity)
    virtual ~TextString();

    // Formatting constructor: capacity starts at 128 and doubles until it fits.
    static TextString formatted(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

    TextString& operator=(const TextString& other)
    {
        assign(other);
        return *this;
    }
    TextString& operator=(TextString&& other) noexcept;
    TextString& operator=(const char* text)
    {
        assign(text);
        return *this;
    }

    const char* c_str() const { return text_; }
    const char* text() const { return text_; }
    std::string_view view() const { return std::string_view(text_, length()); }
    uint32_t length() const;
    uint32_t capacity() const { return capacity_; }
    bool empty() const { return text_[0] == 0; }

    void assign(const char* text);
    void assign(const TextString& other);
    void assignBytes(const void* bytes, uint32_t count);
    void append(const char* text);
    void append(const TextString& other);
    void appendBytes(const void* bytes, uint32_t count);
    static TextString concat(const char* a, const char* b);

    void format(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    void appendFormat(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    void formatV(const char* fmt, va_list args);
    void appendFormatV(const char* fmt, va_list args);

    void trimLeft(char ch);
    void trimRight(char ch);
    void trimRightAny(const char* set);
    void erase(uint32_t start, uint32_t count);
    void clear() { text_[0] = 0; }

    int32_t find(char ch, uint32_t from = 0) const;
    int32_t find(const char* text, uint32_t from = 0) const;
    int32_t findLast(char ch) const;
    bool contains(const char* text) const { return find(text, 0) >= 0; }
    bool startsWith(const char* text) const;
    bool endsWith(const char* text) const;

    // Replaces every occurrence of oldText by newText, left to right, never
    // rescanning inserted text. Returns the number of replacements.
    int replaceAll(const char* oldText, const char* newText);

    TextString substring(uint32_t start, uint32_t count) const;
    // Parsed at index `at` as strtoul in base 10 does (blanks and a sign
    // accepted); 0 when `at` is at or past the end.
    uint32_t toInt(uint32_t at = 0) const;

    // Makes the capacity greater than n (exactly n + 1 when it was not) and
    // returns the writable buffer, for calls that fill a buffer themselves.
    char* reserve(uint32_t n);

    bool operator==(const TextString& other) const { return view() == other.view(); }
    bool operator==(const char* text) const { return view() == std::string_view(text ? text : ""); }

private:
    void growFor(uint32_t currentLength, uint32_t adding);
    bool ownsPointer(const char* p) const { return p >= text_ && p < text_ + capacity_; }

    char* text_; // never null, always zero-terminated
    uint32_t capacity_; // bytes allocated for text_
};

} // namespace qf::core
