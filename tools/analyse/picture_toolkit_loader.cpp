#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tools/analyse/picture_toolkit.h"

namespace tarnwick {
namespace {

// The folder of the running program, with its trailing slash; empty when the
// system does not say.
std::string ProgramFolder() {
    std::string path(PATH_MAX, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<size_t>(length) >= path.size()) {
        return {};
    }
    path.resize(static_cast<size_t>(length));
    return path.substr(0, path.rfind('/') + 1);
}

}  // namespace

PictureToolkit* LoadPictureToolkit(std::string& error) {
    const std::string folder = ProgramFolder();
    // Beside the program in the build tree; where `cmake --install` puts it
    // (TARNWICK_PICTURE_MODULE_DIR, relative to the installed program's
    // folder) otherwise.
    const std::vector<std::string> places = {
        folder + kPictureModuleName,
        folder + TARNWICK_PICTURE_MODULE_DIR + "/" + kPictureModuleName,
    };
    error.clear();
    for (const std::string& place : places) {
        void* module = ::dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            const char* reason = ::dlerror();
            error += (error.empty() ? "" : "; ") + std::string(reason != nullptr ? reason : place);
            continue;
        }
        auto entry = reinterpret_cast<PictureModuleEntry>(::dlsym(module, kPictureModuleEntry));
        if (entry == nullptr) {
            error += (error.empty() ? "" : "; ") + place + ": not a picture module";
            ::dlclose(module);
            continue;
        }
        return entry();
    }
    return nullptr;
}

}  // namespace tarnwick
