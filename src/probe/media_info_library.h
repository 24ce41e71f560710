#pragma once
// The media-information library, loaded at run time through its
// narrow-character C interface. One process-wide instance is loaded at
// start-up from the program directory (the window finishes it after its
// first paint) and unloaded at exit; tests may make
// their own instances.
//
// UI thread only (load, unload and every prober use it from there).

#include <cstddef>
#include <cstdint>
#include <functional>

#include "core/platform/shared_library.h"

namespace qf::probe {

// The file name of the library in the program directory.
inline constexpr const char* kMediaInfoLibraryName = "OLIVE.dll";

// The library's entry points. Stream kinds and kinds of information are the
// library's C enumerations, passed as int.
struct MediaInfoEntryPoints {
    void* (*create)() = nullptr; // MediaInfoA_New
    void (*destroy)(void* handle) = nullptr; // MediaInfoA_Delete
    size_t (*open)(void* handle, const char* path) = nullptr; // MediaInfoA_Open: 0 on failure
    void (*close)(void* handle) = nullptr; // MediaInfoA_Close
    const char* (*inform)(void* handle, size_t reserved) = nullptr; // MediaInfoA_Inform
    const char* (*getI)(void* handle, int kind, size_t number, size_t parameter, int info) = nullptr;
    const char* (*get)(void* handle, int kind, size_t number, const char* parameter, int info,
                       int search)
        = nullptr; // MediaInfoA_Get
    const char* (*option)(void* handle, const char* option, const char* value) = nullptr;
    size_t (*stateGet)(void* handle) = nullptr; // MediaInfoA_State_Get
    size_t (*countGet)(void* handle, int kind, size_t number) = nullptr; // MediaInfoA_Count_Get

    // The file's bytes handed over by the caller, for names the library
    // cannot open by itself. Optional: null when the library lacks them.
    size_t (*bufferInit)(void* handle, uint64_t fileSize, uint64_t offset) = nullptr; // MediaInfoA_Open_Buffer_Init
    // Returns status bits: 1 accepted, 8 finished.
    size_t (*bufferContinue)(void* handle, const uint8_t* bytes, size_t size) = nullptr;
    uint64_t (*bufferGoToGet)(void* handle) = nullptr; // the offset wanted next; UINT64_MAX for none
    size_t (*bufferFinalize)(void* handle) = nullptr;
    bool canReadBuffers() const { return bufferInit && bufferContinue && bufferGoToGet && bufferFinalize; }
};

class MediaInfoLibrary {
public:
    MediaInfoLibrary() = default;
    MediaInfoLibrary(const MediaInfoLibrary&) = delete;
    MediaInfoLibrary& operator=(const MediaInfoLibrary&) = delete;
    ~MediaInfoLibrary() { unload(); }

    // Loads the library file and resolves all ten entry points (and the
    // optional buffer ones). True at once
    // when already loaded; false, with the library released, when the file
    // cannot be loaded or an entry point is missing.
    bool load(const char* path);
    // Releases the library when it is loaded. Handles made from it become
    // invalid: probers that still hold one drop it without calling the library.
    void unload();

    bool loaded() const { return library_.loaded(); }
    // Counts the successful loads; a prober's handle belongs to one of them.
    uint64_t generation() const { return generation_; }
    // Valid only while loaded().
    const MediaInfoEntryPoints& api() const { return api_; }

private:
    platform::SharedLibrary library_;
    MediaInfoEntryPoints api_;
    uint64_t generation_ = 0;
};

// The process-wide instance that probers use by default. When start-up left
// the load to finish later, the first call finishes it.
MediaInfoLibrary& mediaInfoLibrary();

// Start-up's step when the library is mapped off the first paint: `finish`
// loads the process-wide instance (waiting for whatever maps it) and runs
// once, on the first call of mediaInfoLibrary(). unloadMediaInfoLibrary()
// drops a finish that never ran.
void deferMediaInfoLibraryLoad(std::function<bool()> finish);

// The start-up and exit steps: loads "<programDirectory>/OLIVE.dll" into the
// process-wide instance (false when it cannot), and unloads it.
bool loadMediaInfoLibrary(const char* programDirectory);
void unloadMediaInfoLibrary();

} // namespace qf::probe
