#pragma once
// File-system helpers. Paths are zero-terminated texts; both separators are
// accepted on input. None of them throws; failures are false / -1.

#include <cstdint>

#include "core/text_string.h"

namespace qf::core {
class ByteBuffer;
}

namespace qf::core::fs {

// True for a path in Windows form, whose backslashes separate.
bool backslashSeparates(const char* path);

bool exists(const char* path); // false for null
bool isDirectory(const char* path);
bool isFile(const char* path); // exists and is not a directory
int64_t fileSize(const char* path); // -1 for null, missing or directory

// The whole file into `out`, rewound; read to its end, so a pipe works too.
// False, with `out` unchanged and errno saying why, when it cannot be opened
// or read, is a directory (EISDIR) or holds more than maxSize bytes (EFBIG).
bool readWholeFile(const char* path, ByteBuffer& out, uint32_t maxSize = UINT32_MAX - 2);

// Every separator of the other kind becomes ch ('/' turns backslashes into
// slashes; any other ch turns slashes into ch).
void setSeparators(TextString& buffer, char ch);
// The part after the last separator; the whole path when there is none.
const char* fileNamePart(const char* path);
// The path up to its last separator. A path without a leading drive ("C:")
// or root slash is first made absolute against the working directory.
TextString directoryPart(const char* path);

// Creates the missing directories along the path, then the path itself as a
// directory or as an empty file. True when it exists afterwards.
bool makePath(const char* path, bool asDirectory);
// Removes a file, or a directory with everything below it. A symbolic link is
// removed itself and never followed. True only when everything was removed.
bool removePath(const char* path);

} // namespace qf::core::fs
