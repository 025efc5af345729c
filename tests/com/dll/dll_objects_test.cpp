// Stations created through COM by ProgID from a single-threaded apartment,
// and their interface tables: identity, one count across interfaces, the
// empty automation interface and the library's unload answer.
#include "dll_fixture.h"

#include <objbase.h>

namespace kelvora::dlltest {
namespace {

using DllObjectsTest = RegisteredStaTest;

TEST_F(DllObjectsTest, ProgIdsNameTheTwoClasses) {
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(L"Kelvora.SMSClient", &clsid), S_OK);
    EXPECT_TRUE(IsEqualGUID(clsid, kClientClsid));
    ASSERT_EQ(CLSIDFromProgID(L"Kelvora.SMSServer", &clsid), S_OK);
    EXPECT_TRUE(IsEqualGUID(clsid, kServerClsid));
}

TEST_F(DllObjectsTest, StationsAnswerTheirInterfaceTables) {
    IDeviceDriver* client = Create(L"Kelvora.SMSClient");
    IDeviceDriver* server = Create(L"Kelvora.SMSServer");
    ASSERT_NE(client, nullptr);
    ASSERT_NE(server, nullptr);

    RegisterInfo* list = nullptr;
    uint16_t count = 0;
    EXPECT_EQ(client->GetRegisterList(&list, &count), 4);
    EXPECT_EQ(server->GetRegisterList(&list, &count), 5);
    EXPECT_STREQ(list[4].name, "COMFLAG");

    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(server->QueryInterface(kClientDispatchIid, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(client->QueryInterface(kServerDispatchIid, &object), E_NOINTERFACE);
    EXPECT_EQ(client->QueryInterface(IID_IClassFactory, &object), E_NOINTERFACE);

    IUnknown* unknownViaDriver = nullptr;
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(client->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknownViaDriver)), S_OK);
    ASSERT_EQ(client->QueryInterface(kClientDispatchIid, reinterpret_cast<void**>(&dispatch)), S_OK);
    IUnknown* unknownViaDispatch = nullptr;
    IDispatch* plainDispatch = nullptr;
    IDeviceDriver* driverAgain = nullptr;
    ASSERT_EQ(dispatch->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknownViaDispatch)), S_OK);
    ASSERT_EQ(dispatch->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&plainDispatch)), S_OK);
    ASSERT_EQ(dispatch->QueryInterface(kelvora::IID_IDeviceDriver, reinterpret_cast<void**>(&driverAgain)), S_OK);
    EXPECT_EQ(unknownViaDriver, unknownViaDispatch);
    EXPECT_EQ(static_cast<void*>(plainDispatch), static_cast<void*>(dispatch));
    EXPECT_EQ(static_cast<void*>(unknownViaDriver), static_cast<void*>(dispatch));
    EXPECT_EQ(driverAgain, client);

    // No members, no type information.
    UINT typeInfos = 9;
    EXPECT_EQ(dispatch->GetTypeInfoCount(&typeInfos), S_OK);
    EXPECT_EQ(typeInfos, 0u);
    OLECHAR name[] = L"Open";
    LPOLESTR names[] = {name};
    DISPID id = 0;
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
    DISPPARAMS none{};
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(dispatch->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);

    // Six references on the client, one count.
    EXPECT_EQ(driverAgain->Release(), 5u);
    EXPECT_EQ(plainDispatch->Release(), 4u);
    EXPECT_EQ(unknownViaDispatch->Release(), 3u);
    EXPECT_EQ(unknownViaDriver->Release(), 2u);
    EXPECT_EQ(client->Release(), 1u);
    EXPECT_EQ(dispatch->Release(), 0u);
    EXPECT_EQ(server->Release(), 0u);
}

TEST_F(DllObjectsTest, CountIsSharedAcrossInterfaces) {
    IDeviceDriver* driver = Create(L"Kelvora.SMSServer");
    ASSERT_NE(driver, nullptr);
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(driver->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
    EXPECT_EQ(driver->AddRef(), 3u);
    EXPECT_EQ(dispatch->Release(), 2u);
    EXPECT_EQ(driver->Release(), 1u);
    // Still alive: the table works.
    EXPECT_EQ(driver->Reserved(77), 1);
    EXPECT_STREQ(driver->GetStatusText(), "OK");
    EXPECT_EQ(driver->Release(), 0u);
}

TEST_F(DllObjectsTest, UnloadAnswerFollowsTheStations) {
    EXPECT_EQ(canUnloadNow_(), S_OK);
    IDeviceDriver* driver = Create(L"Kelvora.SMSClient");
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(canUnloadNow_(), S_FALSE);
    IDeviceDriver* other = Create(L"Kelvora.SMSServer");
    EXPECT_EQ(driver->Release(), 0u);
    EXPECT_EQ(canUnloadNow_(), S_FALSE);
    EXPECT_EQ(other->Release(), 0u);
    EXPECT_EQ(canUnloadNow_(), S_OK);

    IClassFactory* factory = nullptr;
    ASSERT_EQ(CoGetClassObject(kClientClsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               reinterpret_cast<void**>(&factory)),
              S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(canUnloadNow_(), S_FALSE);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(canUnloadNow_(), S_OK);
    // An aggregating outer object may ask for IUnknown only.
    IUnknown* outer = nullptr;
    ASSERT_EQ(factory->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&outer)), S_OK);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(outer, kelvora::IID_IDeviceDriver, &object), CLASS_E_NOAGGREGATION);
    outer->Release();
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(canUnloadNow_(), S_OK);
    factory->Release();
}

}  // namespace
}  // namespace kelvora::dlltest
