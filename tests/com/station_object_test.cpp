// The COM shell on a test station: interface table and identity, the one
// reference count shared by the interfaces, aggregation, the empty
// automation interface, creation failures, the lock count and the class
// objects.
#include <gtest/gtest.h>

#include "com/library_lock.h"
#include "test_stations.h"

namespace kelvora::testing {

int CountedStation::live = 0;
bool TrackedPort::closedBeforeDestruction = false;
int TrackedPort::destroyed = 0;

namespace {

// {9A8B7C6D-5E4F-4031-9223-344556677889}
constexpr IID IID_Unrelated = {0x9A8B7C6D, 0x5E4F, 0x4031, {0x92, 0x23, 0x34, 0x45, 0x56, 0x67, 0x78, 0x89}};

// An outer object that only counts, to see where an aggregated station's
// external calls go.
class CountingOuter : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        ++queries;
        *object = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    ULONG references = 1;
    int queries = 0;
};

class StationObjectTest : public ::testing::Test {
protected:
    void SetUp() override {
        locksBefore_ = LibraryLockCount();
        ASSERT_EQ(CountedStation::live, 0);
        ASSERT_EQ(GetClassObjectOf(factories_, 3, CLSID_TestStation, IID_IClassFactory,
                                   reinterpret_cast<void**>(&factory_)),
                  S_OK);
    }
    void TearDown() override {
        EXPECT_EQ(CountedStation::live, 0) << "a station outlived its references";
        EXPECT_EQ(LibraryLockCount(), locksBefore_);
    }

    IDispatch* CreateDispatch() {
        IDispatch* dispatch = nullptr;
        EXPECT_EQ(factory_->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
        return dispatch;
    }
    static IDeviceDriver* DriverOf(IUnknown* unknown) {
        IDeviceDriver* driver = nullptr;
        EXPECT_EQ(unknown->QueryInterface(IID_IDeviceDriver, reinterpret_cast<void**>(&driver)), S_OK);
        return driver;
    }

    ClassFactory factories_[3] = {ClassFactory(kTestClasses[0]), ClassFactory(kTestClasses[1]),
                                  ClassFactory(kTestClasses[2])};
    IClassFactory* factory_ = nullptr;
    int32_t locksBefore_ = 0;
};

TEST_F(StationObjectTest, AnswersItsInterfaceTableWithOneIdentity) {
    IDispatch* dispatch = CreateDispatch();
    ASSERT_NE(dispatch, nullptr);
    void* viaUnknown = nullptr;
    void* viaOwnIid = nullptr;
    ASSERT_EQ(dispatch->QueryInterface(IID_IUnknown, &viaUnknown), S_OK);
    ASSERT_EQ(dispatch->QueryInterface(IID_ITestStation, &viaOwnIid), S_OK);
    EXPECT_EQ(viaUnknown, dispatch);
    EXPECT_EQ(viaOwnIid, dispatch);

    IDeviceDriver* driver = DriverOf(dispatch);
    ASSERT_NE(driver, nullptr);
    EXPECT_NE(static_cast<void*>(driver), static_cast<void*>(dispatch));
    void* unknownViaDriver = nullptr;
    void* dispatchViaDriver = nullptr;
    ASSERT_EQ(driver->QueryInterface(IID_IUnknown, &unknownViaDriver), S_OK);
    ASSERT_EQ(driver->QueryInterface(IID_IDispatch, &dispatchViaDriver), S_OK);
    EXPECT_EQ(unknownViaDriver, viaUnknown);
    EXPECT_EQ(dispatchViaDriver, dispatch);

    void* refused = reinterpret_cast<void*>(1);
    EXPECT_EQ(driver->QueryInterface(IID_Unrelated, &refused), E_NOINTERFACE);
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(dispatch->QueryInterface(IID_IClassFactory, &refused), E_NOINTERFACE);
    EXPECT_EQ(dispatch->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

    // Five references taken above and the creator's: all on one count.
    for (int i = 0; i < 5; ++i) driver->Release();
    EXPECT_EQ(CountedStation::live, 1);
    EXPECT_EQ(LibraryLockCount(), locksBefore_ + 1);
    EXPECT_EQ(dispatch->Release(), 0u);
}

TEST_F(StationObjectTest, DriverObjectSitsAtTheOffsetItReports) {
    IDispatch* dispatch = CreateDispatch();
    IDeviceDriver* driver = DriverOf(dispatch);
    auto* base = static_cast<DriverBase*>(driver);
    const auto distance = reinterpret_cast<char*>(driver) - reinterpret_cast<char*>(dispatch);
    EXPECT_GT(distance, 0);
    EXPECT_EQ(base->GetInterfaceOffset(), distance);
    // The driver object works through its table.
    RegisterInfo* list = nullptr;
    uint16_t count = 0;
    EXPECT_EQ(driver->GetRegisterList(&list, &count), 1);
    EXPECT_STREQ(list[0].name, "M");
    driver->Release();
    dispatch->Release();
}

TEST_F(StationObjectTest, ReferencesThroughEitherInterfaceAreOneCount) {
    IDispatch* dispatch = CreateDispatch();
    IDeviceDriver* driver = DriverOf(dispatch);  // count 2
    EXPECT_EQ(driver->AddRef(), 3u);
    EXPECT_EQ(dispatch->Release(), 2u);
    EXPECT_EQ(dispatch->AddRef(), 3u);
    EXPECT_EQ(driver->Release(), 2u);
    EXPECT_EQ(dispatch->Release(), 1u);
    EXPECT_EQ(CountedStation::live, 1);
    // The last release comes through the driver's table.
    EXPECT_EQ(driver->Release(), 0u);
    EXPECT_EQ(CountedStation::live, 0);
}

TEST_F(StationObjectTest, LockCountFollowsStationsAndServerLocks) {
    IDispatch* first = CreateDispatch();
    IDispatch* second = CreateDispatch();
    EXPECT_EQ(LibraryLockCount(), locksBefore_ + 2);
    EXPECT_EQ(CanUnloadNow(), S_FALSE);
    first->Release();
    second->Release();
    EXPECT_EQ(LibraryLockCount(), locksBefore_);

    EXPECT_EQ(factory_->LockServer(1), S_OK);
    EXPECT_EQ(CanUnloadNow(), S_FALSE);
    EXPECT_EQ(factory_->LockServer(0), S_OK);
    if (locksBefore_ == 0) {
        EXPECT_EQ(CanUnloadNow(), S_OK);
        // An unlock without a lock must not leave the library locked forever.
        EXPECT_EQ(factory_->LockServer(0), S_OK);
        EXPECT_EQ(LibraryLockCount(), 0);
        EXPECT_EQ(CanUnloadNow(), S_OK);
    }
}

TEST_F(StationObjectTest, AutomationInterfaceHasNoMembers) {
    IDispatch* dispatch = CreateDispatch();
    UINT typeInfos = 7;
    EXPECT_EQ(dispatch->GetTypeInfoCount(&typeInfos), S_OK);
    EXPECT_EQ(typeInfos, 0u);
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
    EXPECT_TRUE(FAILED(dispatch->GetTypeInfo(0, 0x0409, &info)));
    EXPECT_EQ(info, nullptr);

    OLECHAR name[] = {'O', 'p', 'e', 'n', 0};
    LPOLESTR names[] = {name, name};
    DISPID ids[2] = {5, 6};
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 2, 0x0409, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], DISPID_UNKNOWN);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);
    EXPECT_EQ(dispatch->Invoke(1, IID_NULL, 0x0409, 1, nullptr, nullptr, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(dispatch->Invoke(0, IID_NULL, 0x0409, 2, nullptr, nullptr, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
    dispatch->Release();
}

TEST_F(StationObjectTest, AggregatedStationDelegatesToItsOuterObject) {
    CountingOuter outer;
    void* refused = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory_->CreateInstance(&outer, IID_IDeviceDriver, &refused), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(CountedStation::live, 0);

    IUnknown* inner = nullptr;
    ASSERT_EQ(factory_->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)), S_OK);
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(outer.references, 1u) << "creation must not count on the outer object";
    void* innerAgain = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IUnknown, &innerAgain), S_OK);
    EXPECT_EQ(innerAgain, inner);
    EXPECT_EQ(inner->Release(), 1u);

    // Interfaces from the inner object count on the outer object.
    IDeviceDriver* driver = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IDeviceDriver, reinterpret_cast<void**>(&driver)), S_OK);
    EXPECT_EQ(outer.references, 2u);
    driver->AddRef();
    EXPECT_EQ(outer.references, 3u);
    void* identity = nullptr;
    ASSERT_EQ(driver->QueryInterface(IID_IUnknown, &identity), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    EXPECT_EQ(outer.queries, 1);
    driver->Release();
    driver->Release();
    driver->Release();
    EXPECT_EQ(outer.references, 1u);
    EXPECT_EQ(CountedStation::live, 1);

    EXPECT_EQ(inner->Release(), 0u);
    EXPECT_EQ(CountedStation::live, 0);
}

TEST_F(StationObjectTest, FailedCreationsLeaveNoObjectAndNoLock) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory_->CreateInstance(nullptr, IID_Unrelated, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(LibraryLockCount(), locksBefore_);

    IClassFactory* failing = nullptr;
    ASSERT_EQ(GetClassObjectOf(factories_, 3, CLSID_FailingStation, IID_IClassFactory,
                               reinterpret_cast<void**>(&failing)),
              S_OK);
    object = reinterpret_cast<void*>(1);
    EXPECT_EQ(failing->CreateInstance(nullptr, IID_IUnknown, &object), E_OUTOFMEMORY);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(LibraryLockCount(), locksBefore_);

    IClassFactory* portless = nullptr;
    ASSERT_EQ(GetClassObjectOf(factories_, 3, CLSID_PortlessStation, IID_IUnknown,
                               reinterpret_cast<void**>(&portless)),
              S_OK);
    object = reinterpret_cast<void*>(1);
    EXPECT_EQ(portless->CreateInstance(nullptr, IID_IUnknown, &object), E_OUTOFMEMORY);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(factory_->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(StationObjectTest, LastReleaseClosesAnOpenPort) {
    IDispatch* dispatch = CreateDispatch();
    IDeviceDriver* driver = DriverOf(dispatch);
    dispatch->Release();
    LineSettings line{};
    line.portIndex = 41;
    line.baudCode = 6;
    line.eightDataBits = 1;
    line.parityCode = 2;
    line.timeout = 1000;
    PortConfig config{};
    config.lineSettings = &line;
    ASSERT_EQ(driver->Open(&config), 1);
    const int destroyedBefore = TrackedPort::destroyed;
    TrackedPort::closedBeforeDestruction = false;
    EXPECT_EQ(driver->Release(), 0u);
    EXPECT_EQ(TrackedPort::destroyed, destroyedBefore + 1);
    EXPECT_TRUE(TrackedPort::closedBeforeDestruction);
}

TEST_F(StationObjectTest, ClassObjectsAnswerOnlyTheirClasses) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(GetClassObjectOf(factories_, 3, IID_ITestStation, IID_IClassFactory, &object),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(factory_->QueryInterface(IID_IDispatch, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    IUnknown* unknown = nullptr;
    EXPECT_EQ(factory_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    EXPECT_EQ(static_cast<void*>(unknown), static_cast<void*>(factory_));
    unknown->Release();
}

}  // namespace
}  // namespace kelvora::testing
