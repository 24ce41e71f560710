#include "tasks/output_name.h"

#include <string>

namespace qf::tasks {

namespace {

// Far more than any folder holds; ends the search on a file system that
// answers "exists" for everything.
constexpr int kMaxNumber = 100000;

} // namespace

core::TextString numberedPath(std::string_view path, int n)
{
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    const size_t cut
        = dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash + 1) ? dot : path.size();
    core::TextString candidate;
    candidate.assignBytes(path.data(), static_cast<uint32_t>(cut));
    candidate.appendFormat(" (%d)", n);
    candidate.append(std::string(path.substr(cut)).c_str());
    return candidate;
}

core::TextString firstFreePath(const core::TextString& wanted,
                               const std::function<bool(const core::TextString&)>& taken)
{
    if (!taken(wanted))
        return wanted;
    for (int n = 2;; ++n) {
        core::TextString candidate = numberedPath(wanted.view(), n);
        if (!taken(candidate) || n >= kMaxNumber)
            return candidate;
    }
}

} // namespace qf::tasks
