#pragma once
// File names are bytes: Linux accepts any byte but '/' and NUL, and archives
// made on Chinese Windows machines carry GBK names that are not UTF-8. The
// system reads and writes with the exact bytes; these helpers make a text
// that can be shown (on a terminal, in JSON, in a window) from them. Pure
// functions, any thread.

#include <string>
#include <string_view>

namespace qf::core {

// True when the bytes are UTF-8 as a strict decoder takes it: no overlong
// forms, no surrogates, nothing above U+10FFFF, no cut-off sequence.
bool isValidUtf8(std::string_view bytes);

// The length of the strict UTF-8 sequence that starts the bytes; 0 when
// none does (or the bytes are empty).
size_t utf8SequenceLength(std::string_view bytes);

// A UTF-8 text to show for bytes that may not be UTF-8. Valid UTF-8 comes
// back unchanged. Otherwise each '/'-separated part that is not UTF-8 is
// read as GBK when all of it decodes so, and else has each byte that breaks
// UTF-8 shown as U+FFFD. Lossy: never use the result to reach the file.
std::string readableText(std::string_view bytes);

// readableText for one line of a terminal: control characters (a newline
// or a tab in a file name) are shown as U+FFFD too.
std::string printableText(std::string_view bytes);

// The bytes as lower-case hexadecimal digits, two a byte.
std::string hexBytes(std::string_view bytes);

} // namespace qf::core
