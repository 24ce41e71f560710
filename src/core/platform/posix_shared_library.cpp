#include "core/platform/shared_library.h"

#include <dlfcn.h>

namespace qf::platform {

bool SharedLibrary::load(const char* path)
{
    unload();
    error_.clear();
    handle_ = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* e = ::dlerror();
        error_ = e ? e : "cannot load library";
        return false;
    }
    return true;
}

void SharedLibrary::unload()
{
    if (handle_)
        ::dlclose(handle_);
    handle_ = nullptr;
}

void* SharedLibrary::symbol(const char* name) const { return handle_ ? ::dlsym(handle_, name) : nullptr; }

} // namespace qf::platform
