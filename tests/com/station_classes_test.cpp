// The library's class table and what self-registration derives from it:
// identifiers, ProgIDs, run-time class names and the registry entries.
#include <gtest/gtest.h>

#include "com/automation_object.h"
#include "com/class_factory.h"
#include "com/com_identifiers.h"
#include "com/library_lock.h"
#include "com/registration.h"
#include "com/station_classes.h"
#include "driver/driver_base.h"

namespace kelvora {
namespace {

TEST(StationClassesTest, TableNamesTheTwoStations) {
    const StationClass* classes = StationClasses();
    EXPECT_TRUE(IsEqualGUID(*classes[0].clsid, CLSID_SMSClient));
    EXPECT_STREQ(classes[0].progId, "Kelvora.SMSClient");
    EXPECT_STREQ(classes[0].className, "CSMSClient");
    EXPECT_TRUE(IsEqualGUID(*classes[0].dispatchIid, IID_ISMSClient));
    EXPECT_TRUE(IsEqualGUID(*classes[1].clsid, CLSID_SMSServer));
    EXPECT_STREQ(classes[1].progId, "Kelvora.SMSServer");
    EXPECT_STREQ(classes[1].className, "CSMSServer");
    EXPECT_TRUE(IsEqualGUID(*classes[1].dispatchIid, IID_ISMSServer));
}

TEST(StationClassesTest, StationsDescribeThemselvesAndKnowWhereTheirDriverSits) {
    const int32_t locksBefore = LibraryLockCount();
    const struct {
        const CLSID* clsid;
        const char* className;
        uint16_t registerTypes;
    } expected[] = {{&CLSID_SMSClient, "CSMSClient", 4}, {&CLSID_SMSServer, "CSMSServer", 5}};
    for (const auto& e : expected) {
        SCOPED_TRACE(e.className);
        IClassFactory* factory = nullptr;
        ASSERT_EQ(GetClassObject(*e.clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
        IDispatch* dispatch = nullptr;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
        EXPECT_STREQ(static_cast<AutomationObject*>(dispatch)->ClassName(), e.className);
        IDeviceDriver* driver = nullptr;
        ASSERT_EQ(dispatch->QueryInterface(IID_IDeviceDriver, reinterpret_cast<void**>(&driver)), S_OK);
        EXPECT_EQ(static_cast<DriverBase*>(driver)->GetInterfaceOffset(),
                  reinterpret_cast<char*>(driver) - reinterpret_cast<char*>(dispatch));
        EXPECT_EQ(driver->GetRegisterList(nullptr, nullptr), e.registerTypes);
        EXPECT_EQ(LibraryLockCount(), locksBefore + 1);
        driver->Release();
        EXPECT_EQ(dispatch->Release(), 0u);
        factory->Release();
    }
    EXPECT_EQ(LibraryLockCount(), locksBefore);
}

TEST(StationClassesTest, GuidTextIsTheRegistryForm) {
    EXPECT_EQ(GuidText(CLSID_SMSServer), "{FC8E277B-9E37-4DF6-B72A-4541D8101E0E}");
    EXPECT_EQ(GuidText(LIBID_Kelvora), "{44447898-9331-4080-9984-34387D82CD6F}");
    EXPECT_EQ(GuidText(IID_IUnknown), "{00000000-0000-0000-C000-000000000046}");
}

TEST(StationClassesTest, RegistrationEntriesPerClass) {
    const std::vector<RegistryEntry> entries = RegistrationEntries(StationClasses(), kStationClassCount);
    std::vector<std::string> lines;
    for (const RegistryEntry& e : entries) {
        lines.push_back(e.key + "|" + e.name + "|" + (e.valueIsModulePath ? "<module path>" : e.value));
    }
    const std::vector<std::string> expected = {
        "CLSID\\{1BEE75CD-8489-46CA-ACCB-CD5C99BF2236}||Kelvora.SMSClient",
        "CLSID\\{1BEE75CD-8489-46CA-ACCB-CD5C99BF2236}\\InprocServer32||<module path>",
        "CLSID\\{1BEE75CD-8489-46CA-ACCB-CD5C99BF2236}\\InprocServer32|ThreadingModel|Apartment",
        "CLSID\\{1BEE75CD-8489-46CA-ACCB-CD5C99BF2236}\\ProgID||Kelvora.SMSClient",
        "Kelvora.SMSClient||Kelvora.SMSClient",
        "Kelvora.SMSClient\\CLSID||{1BEE75CD-8489-46CA-ACCB-CD5C99BF2236}",
        "CLSID\\{FC8E277B-9E37-4DF6-B72A-4541D8101E0E}||Kelvora.SMSServer",
        "CLSID\\{FC8E277B-9E37-4DF6-B72A-4541D8101E0E}\\InprocServer32||<module path>",
        "CLSID\\{FC8E277B-9E37-4DF6-B72A-4541D8101E0E}\\InprocServer32|ThreadingModel|Apartment",
        "CLSID\\{FC8E277B-9E37-4DF6-B72A-4541D8101E0E}\\ProgID||Kelvora.SMSServer",
        "Kelvora.SMSServer||Kelvora.SMSServer",
        "Kelvora.SMSServer\\CLSID||{FC8E277B-9E37-4DF6-B72A-4541D8101E0E}",
    };
    EXPECT_EQ(lines, expected);
}

}  // namespace
}  // namespace kelvora
