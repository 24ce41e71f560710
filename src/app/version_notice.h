#pragma once
// What --version prints after the program's name and version, the same for
// both programs (GNU's form for a GPL-3.0-or-later program).

namespace qf::app {

inline constexpr char kLicenceNotice[]
    = "Copyright (C) 2026 The Quillfer developers\n"
      "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
      "This is free software: you are free to change and redistribute it.\n"
      "There is NO WARRANTY, to the extent permitted by law.\n";

} // namespace qf::app
