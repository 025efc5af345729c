// libkelvora.so as a host sees it: loaded with dlopen, used only through its
// four entry points and the interface tables of the objects it hands out.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "com/com_identifiers.h"
#include "driver/host_records.h"
#include "driver/i_device_driver.h"

namespace kelvora {
namespace {

using GetModuleInfoFn = int32_t (*)(void*, uint32_t);
using GetDeviceInfoFn = int32_t (*)(int32_t, void*, uint32_t);
using DllGetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, void**);
using DllCanUnloadNowFn = HRESULT (*)();

class SharedLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        library_ = dlopen(KELVORA_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library_, nullptr) << dlerror();
        getClassObject_ = reinterpret_cast<DllGetClassObjectFn>(dlsym(library_, "DllGetClassObject"));
        canUnloadNow_ = reinterpret_cast<DllCanUnloadNowFn>(dlsym(library_, "DllCanUnloadNow"));
        ASSERT_NE(getClassObject_, nullptr);
        ASSERT_NE(canUnloadNow_, nullptr);
        ASSERT_EQ(canUnloadNow_(), S_OK);
    }
    void TearDown() override {
        if (library_ == nullptr) return;
        EXPECT_EQ(canUnloadNow_(), S_OK) << "a station or lock outlived the test";
        dlclose(library_);
    }

    IClassFactory* Factory(const CLSID& clsid) {
        IClassFactory* factory = nullptr;
        EXPECT_EQ(getClassObject_(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
        return factory;
    }
    IDeviceDriver* CreateDriver(const CLSID& clsid) {
        IDeviceDriver* driver = nullptr;
        IClassFactory* factory = Factory(clsid);
        if (factory == nullptr) return nullptr;
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDeviceDriver, reinterpret_cast<void**>(&driver)), S_OK);
        factory->Release();
        return driver;
    }
    static std::string RegisterNames(IDeviceDriver* driver) {
        RegisterInfo* list = nullptr;
        uint16_t count = 0;
        const int32_t result = driver->GetRegisterList(&list, &count);
        std::string names;
        for (uint16_t i = 0; i < count; ++i) names += std::string(list[i].name) + ",";
        return std::to_string(result) + ":" + names;
    }

    void* library_ = nullptr;
    DllGetClassObjectFn getClassObject_ = nullptr;
    DllCanUnloadNowFn canUnloadNow_ = nullptr;
};

TEST_F(SharedLibraryTest, ExportsTheEntryPointsOnly) {
    auto* moduleInfo = reinterpret_cast<GetModuleInfoFn>(dlsym(library_, "GetModuleInfo"));
    auto* deviceInfo = reinterpret_cast<GetDeviceInfoFn>(dlsym(library_, "GetDeviceInfo"));
    ASSERT_NE(moduleInfo, nullptr);
    ASSERT_NE(deviceInfo, nullptr);
    unsigned char record[192] = {};
    EXPECT_EQ(moduleInfo(record, 144), 1);
    EXPECT_STREQ(reinterpret_cast<const char*>(record + 4), "Ostrel");
    EXPECT_EQ(deviceInfo(1, record, 192), 1);
    EXPECT_STREQ(reinterpret_cast<const char*>(record), "Orrel");
    // No registry on this platform, and the library's insides stay inside.
    EXPECT_EQ(dlsym(library_, "DllRegisterServer"), nullptr);
    EXPECT_EQ(dlsym(library_, "_ZN7kelvora11LockLibraryEv"), nullptr);
    EXPECT_EQ(dlsym(library_, "_ZN7kelvora16CreateSerialPortEv"), nullptr);
}

TEST_F(SharedLibraryTest, HandsOutTheTwoClassObjectsOnly) {
    void* object = reinterpret_cast<void*>(1);
    for (const GUID* other : {&LIBID_Kelvora, &IID_ISMSClient, &IID_ISMSServer, &IID_IDeviceDriver}) {
        EXPECT_EQ(getClassObject_(*other, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
        EXPECT_EQ(object, nullptr);
    }
    IClassFactory* client = Factory(CLSID_SMSClient);
    IClassFactory* server = Factory(CLSID_SMSServer);
    ASSERT_NE(client, nullptr);
    ASSERT_NE(server, nullptr);
    EXPECT_NE(client, server);
    EXPECT_EQ(getClassObject_(CLSID_SMSClient, IID_IDispatch, &object), E_NOINTERFACE);
    client->Release();
    server->Release();
}

TEST_F(SharedLibraryTest, StationsAnswerTheirInterfaceTables) {
    IDeviceDriver* client = CreateDriver(CLSID_SMSClient);
    IDeviceDriver* server = CreateDriver(CLSID_SMSServer);
    ASSERT_NE(client, nullptr);
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(RegisterNames(client), "4:M,SEND_MSG,SMSC,DETC,");
    EXPECT_EQ(RegisterNames(server), "5:M,SEND_MSG,SMSC,DETC,COMFLAG,");

    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(server->QueryInterface(IID_ISMSClient, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(client->QueryInterface(IID_ISMSServer, &object), E_NOINTERFACE);

    IDispatch* clientDispatch = nullptr;
    IUnknown* clientUnknown = nullptr;
    void* clientOwn = nullptr;
    ASSERT_EQ(client->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&clientDispatch)), S_OK);
    ASSERT_EQ(client->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&clientUnknown)), S_OK);
    ASSERT_EQ(client->QueryInterface(IID_ISMSClient, &clientOwn), S_OK);
    EXPECT_EQ(static_cast<void*>(clientUnknown), static_cast<void*>(clientDispatch));
    EXPECT_EQ(clientOwn, static_cast<void*>(clientDispatch));
    void* unknownViaDispatch = nullptr;
    IDeviceDriver* driverViaDispatch = nullptr;
    ASSERT_EQ(clientDispatch->QueryInterface(IID_IUnknown, &unknownViaDispatch), S_OK);
    ASSERT_EQ(clientDispatch->QueryInterface(IID_IDeviceDriver, reinterpret_cast<void**>(&driverViaDispatch)), S_OK);
    EXPECT_EQ(unknownViaDispatch, static_cast<void*>(clientUnknown));
    EXPECT_EQ(driverViaDispatch, client);

    DISPID id = 0;
    OLECHAR name[] = {'R', 'e', 'a', 'd', 0};
    LPOLESTR names[] = {name};
    EXPECT_EQ(clientDispatch->GetIDsOfNames(IID_NULL, names, 1, 0x0409, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(clientDispatch->Invoke(1, IID_NULL, 0x0409, 1, nullptr, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);

    // Six references on the client, whichever interface took them.
    EXPECT_EQ(clientDispatch->Release(), 5u);
    EXPECT_EQ(clientUnknown->Release(), 4u);
    EXPECT_EQ(driverViaDispatch->Release(), 3u);
    EXPECT_EQ(static_cast<IUnknown*>(unknownViaDispatch)->Release(), 2u);
    EXPECT_EQ(static_cast<IUnknown*>(clientOwn)->Release(), 1u);
    EXPECT_EQ(client->Release(), 0u);
    EXPECT_EQ(server->Release(), 0u);
}

TEST_F(SharedLibraryTest, CanUnloadOnlyWithoutStationsAndLocks) {
    IDeviceDriver* driver = CreateDriver(CLSID_SMSServer);
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(canUnloadNow_(), S_FALSE);
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(driver->QueryInterface(IID_ISMSServer, reinterpret_cast<void**>(&dispatch)), S_OK);
    EXPECT_EQ(driver->Release(), 1u);
    EXPECT_EQ(canUnloadNow_(), S_FALSE);
    EXPECT_EQ(dispatch->Release(), 0u);
    EXPECT_EQ(canUnloadNow_(), S_OK);

    IClassFactory* factory = Factory(CLSID_SMSClient);
    ASSERT_EQ(factory->LockServer(1), S_OK);
    EXPECT_EQ(canUnloadNow_(), S_FALSE);
    ASSERT_EQ(factory->LockServer(0), S_OK);
    EXPECT_EQ(canUnloadNow_(), S_OK);

    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(canUnloadNow_(), S_OK);
    factory->Release();
}

}  // namespace
}  // namespace kelvora
