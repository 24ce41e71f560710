#pragma once
// Output names: " (2)", " (3)"... before the extension when the plain name is
// taken. The claim that holds one across processes is OutputClaim.

#include <functional>
#include <string_view>

#include "core/text_string.h"

namespace qf::tasks {

// The path with " (n)" before the extension of its file name (at the end
// when the name has none).
core::TextString numberedPath(std::string_view path, int n);

// The first of wanted, " (2)", " (3)"... that `taken` does not refuse.
core::TextString firstFreePath(const core::TextString& wanted,
                               const std::function<bool(const core::TextString&)>& taken);

} // namespace qf::tasks
