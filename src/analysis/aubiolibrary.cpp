#include "aubiolibrary.h"

#include <dlfcn.h>

namespace kolvo::analysis {

namespace {

void quietLog(sint_t, const char_t*, void*) {}

struct Loaded {
    AubioLibrary library;
    bool ok = false;
    std::string error;
};

Loaded load() {
    Loaded out;
    void* handle = dlopen(KOLVO_AUBIO_SONAME, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        out.error = std::string("the audio library cannot be loaded (") + (why ? why : "") + ")";
        return out;
    }
    AubioLibrary& lib = out.library;
#define KOLVO_AUBIO_RESOLVE(name)                                                                  \
    lib.name = reinterpret_cast<decltype(lib.name)>(dlsym(handle, #name));                         \
    if (!lib.name) {                                                                               \
        out.error = "the audio library has no " #name;                                             \
        return out;                                                                                \
    }
    KOLVO_AUBIO_FUNCTIONS(KOLVO_AUBIO_RESOLVE)
#undef KOLVO_AUBIO_RESOLVE
    lib.aubio_log_set_function(quietLog, nullptr);
    // The decoders come with the library; their log level is set through
    // their own library without building against it.
    if (void* setLevel = dlsym(handle, "av_log_set_level")) {
        constexpr int kQuiet = -8;
        reinterpret_cast<void (*)(int)>(setLevel)(kQuiet);
    }
    out.ok = true;
    return out;
}

} // namespace

const AubioLibrary* aubioLibrary(std::string& error) {
    static const Loaded loaded = load(); // the library stays open until the end
    if (!loaded.ok) {
        error = loaded.error;
        return nullptr;
    }
    return &loaded.library;
}

} // namespace kolvo::analysis
