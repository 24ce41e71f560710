#pragma once
// Bytes from a child's output pipe → lines, as a text-mode stream reads them.
// Pure: it never reads, waits or blocks; the runner feeds it what the pipe had.
//
// - A carriage return ends a line as a line feed does, and a carriage return
//   followed by a line feed is one line end: status lines that rewrite
//   themselves with carriage returns come out one by one, each whole, however
//   the pipe cut them. Every line end is given as a line feed, kept at the
//   end of its line.
// - A line with no line end within maxBytes comes out in pieces of maxBytes.
// - At the end of the input whatever is left comes out as a last line, so an
//   unterminated final line (often a program's most important one) is never
//   lost.
//
// One thread at a time.

#include <cstddef>
#include <string>
#include <string_view>

namespace qf::tasks {

class LineReader {
public:
    void reset();
    void append(std::string_view bytes);
    // No more bytes will come.
    void finish();
    bool finished() const { return finished_; }
    // Finished and every byte taken.
    bool exhausted() const { return finished_ && buffered() == 0; }
    size_t buffered() const { return buffer_.size() - start_; }

    // True when nextLine(maxBytes) would give a line now.
    bool lineReady(size_t maxBytes) const { return readyLength(maxBytes) > 0; }
    // Takes the next line of at most maxBytes bytes into out (replacing its
    // content). False, out untouched, when no line is ready or maxBytes is 0.
    bool nextLine(std::string& out, size_t maxBytes);
    // The same into a zero-terminated buffer of `size` bytes (at most
    // size - 1 bytes of line). False when no line is ready or size < 2.
    bool nextLine(char* buffer, size_t size);

private:
    size_t readyLength(size_t maxBytes) const; // 0: no line ready
    void consume(size_t count);

    std::string buffer_; // converted bytes; those before start_ are taken
    size_t start_ = 0;
    bool afterCarriageReturn_ = false; // the last byte seen was CR: a line feed now is its partner
    bool finished_ = false;
};

} // namespace qf::tasks
