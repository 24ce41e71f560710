#pragma once
// Output names: " (2)", " (3)"... before the extension when the plain name is
// taken, and the claim of a free one that holds across processes.

#include <functional>
#include <optional>
#include <string_view>

#include "core/text_string.h"

namespace qf::tasks {

// The path with " (n)" before the extension of its file name (at the end
// when the name has none).
core::TextString numberedPath(std::string_view path, int n);

// The first of wanted, " (2)", " (3)"... that `taken` does not refuse.
core::TextString firstFreePath(const core::TextString& wanted,
                               const std::function<bool(const core::TextString&)>& taken);

// As firstFreePath, but each candidate is also created, empty, with
// O_CREAT|O_EXCL: a name another program made first is passed over, and two
// programs never leave with the same one. The empty file is the caller's to
// fill or remove. Nothing (errno set) when a file cannot be made there.
std::optional<core::TextString> claimFreePath(const core::TextString& wanted,
                                              const std::function<bool(const core::TextString&)>& taken);

} // namespace qf::tasks
