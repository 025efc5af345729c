// Stations on POSIX: dlopen the driver's shared library and create the
// station through its class object, as a COM host would.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "station_loader.h"

namespace kelvora_host {
namespace {

using GetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, void**);

class PosixStation : public Station {
public:
    PosixStation(void* library, kelvora::IDeviceDriver* driver, std::string origin) : library_(library) {
        driver_ = driver;
        origin_ = std::move(origin);
    }
    ~PosixStation() override {
        if (driver_ != nullptr) driver_->Release();
        // The library stays mapped until the process ends: a host may not know
        // whether other references are left, and unloading buys nothing here.
        (void)library_;
    }

private:
    void* library_;
};

std::string HexResult(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08X", static_cast<unsigned>(hr));
    return text;
}

std::string ProgramDirectory() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0) return std::string();
    std::string full(path, static_cast<size_t>(n));
    const size_t slash = full.rfind('/');
    return slash == std::string::npos ? std::string() : full.substr(0, slash);
}

std::vector<std::string> Candidates(const std::string& libraryPath) {
    if (!libraryPath.empty()) return {libraryPath};
    std::vector<std::string> list;
    if (const char* env = std::getenv("KELVORA_LIBRARY")) {
        if (*env != '\0') list.push_back(env);
    }
    // The library beside the program first (the release package), then the
    // one of the build that made the program.
    const std::string dir = ProgramDirectory();
    for (const char* name : {"libkelvora.so", "libKelvora.so", "Kelvora.so"}) {
        if (!dir.empty()) list.push_back(dir + "/" + name);
    }
#ifdef KELVORA_HOST_DEFAULT_LIBRARY
    list.push_back(KELVORA_HOST_DEFAULT_LIBRARY);
#endif
    list.push_back("libkelvora.so");  // the loader's own search path
    return list;
}

}  // namespace

std::unique_ptr<Station> LoadStation(StationRole role, const std::string& libraryPath, std::string* error) {
    std::string tried;
    for (const std::string& path : Candidates(libraryPath)) {
        void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            const char* why = dlerror();
            tried += "\n  " + path + ": " + (why ? why : "not loadable");
            continue;
        }
        auto getClassObject = reinterpret_cast<GetClassObjectFn>(dlsym(library, "DllGetClassObject"));
        if (getClassObject == nullptr) {
            *error = path + " has no DllGetClassObject: not a Kelvora driver library";
            return nullptr;
        }
        const CLSID& clsid = ClassOf(role);
        IClassFactory* factory = nullptr;
        HRESULT hr = getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
        if (hr != S_OK || factory == nullptr) {
            *error = path + ": no class object for the " + std::string(RoleName(role)) + " station (" +
                     HexResult(hr) + ")";
            return nullptr;
        }
        kelvora::IDeviceDriver* driver = nullptr;
        hr = factory->CreateInstance(nullptr, kelvora::IID_IDeviceDriver, reinterpret_cast<void**>(&driver));
        factory->Release();
        if (hr != S_OK || driver == nullptr) {
            *error = path + ": the " + std::string(RoleName(role)) + " station could not be created (" +
                     HexResult(hr) + ")";
            return nullptr;
        }
        return std::unique_ptr<Station>(new PosixStation(library, driver, path));
    }
    *error = "cannot load the driver library; tried:" + tried +
             "\n  (give its path with --library or in KELVORA_LIBRARY)";
    return nullptr;
}

void RequestSetting(const char* variable, const std::string& value) { setenv(variable, value.c_str(), 1); }

}  // namespace kelvora_host
