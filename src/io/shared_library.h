#pragma once

// A system library opened with dlopen on first use, so that a process loads
// the sound output and the speech synthesizer only when it needs them.

#include <dlfcn.h>

#include <string>

namespace sonabank {

// Never closed: the sound libraries keep threads and handlers that may
// outlive any one stream, and unloading them under those is a crash; the
// synthesizer's process ends with it.
class SharedLibrary {
  public:
    explicit SharedLibrary(const char* soname) : handle_(dlopen(soname, RTLD_NOW | RTLD_LOCAL)) {
        if (!handle_) {
            const char* why = dlerror();
            error_ = why ? why : std::string("cannot load ") + soname;
        }
    }

    // Looks `name` up in the library and what it depends on; false (and the
    // error kept) when the library or the symbol is missing.
    template <typename Function>
    bool Bind(Function*& function, const char* name) {
        if (!handle_) return false;
        function = reinterpret_cast<Function*>(dlsym(handle_, name));
        if (!function && error_.empty()) error_ = std::string("no ") + name + " in the library";
        return function != nullptr;
    }

    // Empty when the library and every bound symbol are there.
    const std::string& error() const { return error_; }

  private:
    void* handle_;
    std::string error_;
};

}  // namespace sonabank
