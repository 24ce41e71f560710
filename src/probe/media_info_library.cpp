#include "probe/media_info_library.h"

#include "core/text_string.h"

#include <utility>

namespace qf::probe {

namespace {

// Resolves one entry point into its typed pointer; false when it is missing.
template <typename F> bool resolve(const platform::SharedLibrary& library, const char* name, F& out)
{
    void* address = library.symbol(name);
    if (address == nullptr)
        return false;
    out = reinterpret_cast<F>(address);
    return true;
}

std::function<bool()>& pendingLoad()
{
    static std::function<bool()> finish;
    return finish;
}

} // namespace

bool MediaInfoLibrary::load(const char* path)
{
    if (loaded())
        return true;
    if (path == nullptr || !library_.load(path))
        return false;
    // The order is fixed so that a missing entry point is always reported the
    // same way; every one must exist even where it is never called.
    MediaInfoEntryPoints api;
    const bool complete = resolve(library_, "MediaInfoA_New", api.create)
        && resolve(library_, "MediaInfoA_Delete", api.destroy) && resolve(library_, "MediaInfoA_Open", api.open)
        && resolve(library_, "MediaInfoA_Close", api.close) && resolve(library_, "MediaInfoA_Inform", api.inform)
        && resolve(library_, "MediaInfoA_GetI", api.getI) && resolve(library_, "MediaInfoA_Get", api.get)
        && resolve(library_, "MediaInfoA_Option", api.option) && resolve(library_, "MediaInfoA_State_Get", api.stateGet)
        && resolve(library_, "MediaInfoA_Count_Get", api.countGet);
    if (!complete) {
        unload();
        return false;
    }
    resolve(library_, "MediaInfoA_Open_Buffer_Init", api.bufferInit);
    resolve(library_, "MediaInfoA_Open_Buffer_Continue", api.bufferContinue);
    resolve(library_, "MediaInfoA_Open_Buffer_Continue_GoTo_Get", api.bufferGoToGet);
    resolve(library_, "MediaInfoA_Open_Buffer_Finalize", api.bufferFinalize);
    api_ = api;
    ++generation_;
    return true;
}

void MediaInfoLibrary::unload()
{
    library_.unload();
    api_ = MediaInfoEntryPoints{};
}

MediaInfoLibrary& mediaInfoLibrary()
{
    static MediaInfoLibrary library;
    // Taken out first: the finish loads through this accessor.
    if (std::function<bool()> finish = std::exchange(pendingLoad(), {}))
        finish();
    return library;
}

void deferMediaInfoLibraryLoad(std::function<bool()> finish) { pendingLoad() = std::move(finish); }

bool loadMediaInfoLibrary(const char* programDirectory)
{
    if (programDirectory == nullptr)
        return false;
    const core::TextString path = core::TextString::formatted("%s/%s", programDirectory, kMediaInfoLibraryName);
    return mediaInfoLibrary().load(path.c_str());
}

void unloadMediaInfoLibrary()
{
    pendingLoad() = {};
    mediaInfoLibrary().unload();
}

} // namespace qf::probe
