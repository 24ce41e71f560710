#pragma once
// The descriptors a program inherits from whatever started it.
//
// A launcher (a file manager, a script, a job scheduler) may leave descriptors
// open and a low soft limit on how many a process may hold. The X server hands
// each shared-memory picture buffer over as a descriptor; a client that cannot
// take one loses its display connection for good. Called once, first thing in
// main, before any thread or child exists.

namespace qf::platform {

// Raises the soft open-file limit to the hard one, and marks every inherited
// descriptor above standard error close-on-exec, so no child of ours holds the
// launcher's pipes or files. False when either step failed (the program runs on).
bool adoptInheritedDescriptors();

} // namespace qf::platform
