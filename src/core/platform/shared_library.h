#pragma once
// Loading a shared library by path and resolving its symbols.

#include <string>

namespace qf::platform {

class SharedLibrary {
public:
    SharedLibrary() = default;
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;
    ~SharedLibrary() { unload(); }

    bool load(const char* path); // false with error() when it cannot be loaded
    void unload();
    bool loaded() const { return handle_ != nullptr; }
    void* symbol(const char* name) const; // null when missing or not loaded
    const std::string& error() const { return error_; }

private:
    void* handle_ = nullptr;
    std::string error_;
};

} // namespace qf::platform
