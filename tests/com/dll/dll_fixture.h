// Kelvora.dll as a host meets it under Wine: loaded by path, reached only
// through its exports, the registry, COM and the tables of the objects it
// hands out. KELVORA_DLL_PATH is the build's path of the DLL.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <gtest/gtest.h>

#include <string>

#include "driver/i_device_driver.h"

namespace kelvora::dlltest {

// {1BEE75CD-8489-46CA-ACCB-CD5C99BF2236}
constexpr CLSID kClientClsid = {0x1BEE75CD, 0x8489, 0x46CA, {0xAC, 0xCB, 0xCD, 0x5C, 0x99, 0xBF, 0x22, 0x36}};
// {FC8E277B-9E37-4DF6-B72A-4541D8101E0E}
constexpr CLSID kServerClsid = {0xFC8E277B, 0x9E37, 0x4DF6, {0xB7, 0x2A, 0x45, 0x41, 0xD8, 0x10, 0x1E, 0x0E}};
// {450EADD3-0CC2-4E38-88AB-827D5D026596}
constexpr IID kClientDispatchIid = {0x450EADD3, 0x0CC2, 0x4E38, {0x88, 0xAB, 0x82, 0x7D, 0x5D, 0x02, 0x65, 0x96}};
// {C78343A7-C966-4904-B830-36229996D5AA}
constexpr IID kServerDispatchIid = {0xC78343A7, 0xC966, 0x4904, {0xB8, 0x30, 0x36, 0x22, 0x99, 0x96, 0xD5, 0xAA}};
// {44447898-9331-4080-9984-34387D82CD6F}
constexpr GUID kLibid = {0x44447898, 0x9331, 0x4080, {0x99, 0x84, 0x34, 0x38, 0x7D, 0x82, 0xCD, 0x6F}};

// An export as the function type the caller knows it by (through the
// generic function pointer type, which the compiler accepts for this).
template <class Function>
Function Export(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

using DllGetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using DllCanUnloadNowFn = HRESULT(WINAPI*)();
using DllRegisterServerFn = HRESULT(WINAPI*)();

// The DLL's path as Windows names it (the build's Unix path on drive Z:).
inline std::wstring DllPath() {
    std::string path = KELVORA_DLL_PATH;
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return std::wstring(path.begin(), path.end());
}

class DllTest : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryW(DllPath().c_str());
        ASSERT_NE(module_, nullptr) << "LoadLibrary failed: " << GetLastError();
        getClassObject_ = Export<DllGetClassObjectFn>(module_, "DllGetClassObject");
        canUnloadNow_ = Export<DllCanUnloadNowFn>(module_, "DllCanUnloadNow");
        registerServer_ = Export<DllRegisterServerFn>(module_, "DllRegisterServer");
        ASSERT_NE(getClassObject_, nullptr);
        ASSERT_NE(canUnloadNow_, nullptr);
        ASSERT_NE(registerServer_, nullptr);
    }
    void TearDown() override {
        if (module_ != nullptr) FreeLibrary(module_);
    }

    // The loaded module's own path, as the registry should carry it.
    std::wstring ModulePath() const {
        wchar_t path[MAX_PATH * 2] = {};
        GetModuleFileNameW(module_, path, MAX_PATH * 2);
        return path;
    }

    HMODULE module_ = nullptr;
    DllGetClassObjectFn getClassObject_ = nullptr;
    DllCanUnloadNowFn canUnloadNow_ = nullptr;
    DllRegisterServerFn registerServer_ = nullptr;
};

// The DLL registered, and this thread a host's STA: the IDeviceDriver table
// comes without a proxy.
class RegisteredStaTest : public DllTest {
protected:
    void SetUp() override {
        DllTest::SetUp();
        ASSERT_EQ(registerServer_(), S_OK);
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        initialised_ = true;
    }
    void TearDown() override {
        if (initialised_) CoUninitialize();
        DllTest::TearDown();
    }

    // A station created by ProgID, as a host does; null (with a failure
    // reported) when that does not work.
    static IDeviceDriver* Create(const wchar_t* progId) {
        CLSID clsid{};
        EXPECT_EQ(CLSIDFromProgID(progId, &clsid), S_OK);
        IDeviceDriver* driver = nullptr;
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, kelvora::IID_IDeviceDriver,
                                   reinterpret_cast<void**>(&driver)),
                  S_OK);
        return driver;
    }

    bool initialised_ = false;
};

}  // namespace kelvora::dlltest
