// Stations on Windows: CoCreateInstance by ProgID in a single-threaded
// apartment, as a host does; when the classes are not registered, the DLL's
// own class object (LoadLibrary + DllGetClassObject).
#include <windows.h>
#include <objbase.h>

#include <cstdio>

#include "station_loader.h"

namespace kelvora_host {
namespace {

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, LPVOID*);

class ComStation : public Station {
public:
    ComStation(kelvora::IDeviceDriver* driver, std::string origin, HMODULE library, bool comInitialised)
        : library_(library), comInitialised_(comInitialised) {
        driver_ = driver;
        origin_ = std::move(origin);
    }
    ~ComStation() override {
        if (driver_ != nullptr) driver_->Release();
        // A library loaded by hand stays until the process ends, like one
        // COM loaded: nothing of ours may run in it after this.
        (void)library_;
        if (comInitialised_) CoUninitialize();
    }

private:
    HMODULE library_;
    bool comInitialised_;
};

std::string HexResult(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

std::wstring Widen(const char* text) {
    std::wstring out;
    while (*text) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*text++)));
    return out;
}

std::string ProgramDirectory() {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::string();
    std::string full(path, n);
    const size_t slash = full.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : full.substr(0, slash);
}

kelvora::IDeviceDriver* FromClassObject(HMODULE library, REFCLSID clsid, std::string* error) {
    auto getClassObject = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")));
    if (getClassObject == nullptr) {
        *error = "the library has no DllGetClassObject: not a Kelvora driver";
        return nullptr;
    }
    IClassFactory* factory = nullptr;
    HRESULT hr = getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr) || factory == nullptr) {
        *error = "no class object for the station (" + HexResult(hr) + ")";
        return nullptr;
    }
    kelvora::IDeviceDriver* driver = nullptr;
    hr = factory->CreateInstance(nullptr, kelvora::IID_IDeviceDriver, reinterpret_cast<void**>(&driver));
    factory->Release();
    if (FAILED(hr) || driver == nullptr) {
        *error = "the station could not be created (" + HexResult(hr) + ")";
        return nullptr;
    }
    return driver;
}

}  // namespace

std::unique_ptr<Station> LoadStation(StationRole role, const std::string& libraryPath, std::string* error) {
    // A host's thread lives in a single-threaded apartment: the classes are
    // apartment-threaded and the IDeviceDriver table has no proxy.
    const HRESULT init = CoInitialize(nullptr);
    const bool comInitialised = SUCCEEDED(init);
    const CLSID& clsid = ClassOf(role);
    std::string comFailure;

    if (libraryPath.empty() && comInitialised) {
        CLSID registered;
        const std::wstring progId = Widen(ProgIdOf(role));
        HRESULT hr = CLSIDFromProgID(progId.c_str(), &registered);
        if (SUCCEEDED(hr)) {
            kelvora::IDeviceDriver* driver = nullptr;
            hr = CoCreateInstance(registered, nullptr, CLSCTX_INPROC_SERVER, kelvora::IID_IDeviceDriver,
                                  reinterpret_cast<void**>(&driver));
            if (SUCCEEDED(hr) && driver != nullptr) {
                return std::unique_ptr<Station>(
                    new ComStation(driver, std::string("COM class ") + ProgIdOf(role), nullptr, true));
            }
            comFailure = std::string("CoCreateInstance(") + ProgIdOf(role) + ") failed with " + HexResult(hr);
        } else {
            comFailure = std::string(ProgIdOf(role)) + " is not registered (regsvr32 Kelvora.dll)";
        }
    }

    std::string path = libraryPath;
    if (path.empty()) {
        const std::string dir = ProgramDirectory();
        path = dir.empty() ? "Kelvora.dll" : dir + "\\Kelvora.dll";
    }
    HMODULE library = LoadLibraryA(path.c_str());
    if (library == nullptr) {
        *error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
        if (!comFailure.empty()) *error = comFailure + "; " + *error;
        if (comInitialised) CoUninitialize();
        return nullptr;
    }
    std::string why;
    kelvora::IDeviceDriver* driver = FromClassObject(library, clsid, &why);
    if (driver == nullptr) {
        *error = path + ": " + why;
        if (comInitialised) CoUninitialize();
        return nullptr;
    }
    std::string origin = path + " (class object";
    origin += comFailure.empty() ? ")" : "; " + comFailure + ")";
    return std::unique_ptr<Station>(new ComStation(driver, origin, library, comInitialised));
}

// The driver reads the process's environment block, which every runtime
// copy in the process shares.
void RequestSetting(const char* variable, const std::string& value) {
    SetEnvironmentVariableA(variable, value.c_str());
}

}  // namespace kelvora_host
