// The register types of the two stations and their address formats. Central
// addresses name a site first (M3.250, M3.250.7 for a bit, SEND_MSG5);
// a site's own addresses need no site (M1000, SEND_MSG, COMFLAG).
#include "stations/station_registers.h"

#include <cassert>

#include "stations/telemetry_frame.h"

namespace kelvora {

namespace {

// Every type is read and written; SEND_MSG reads back the last free text
// received from the peer.
constexpr int32_t kAccessReadWrite = 3;
constexpr int32_t kMaskM = kDataBit | kDataInt | kDataWord | kDataFloat;  // 141
constexpr int32_t kMaskText = kDataText;
constexpr int32_t kMaskFlag = kDataBit;
constexpr int32_t kRadix = 10;
constexpr char kSeparator = '.';
constexpr int32_t kMaxSite = kSiteCount - 1;          // 31
constexpr int32_t kMaxAddress = kSiteRegisters - 1;   // 1000
constexpr int32_t kMaxBit = 31;

const int32_t kZeros[kMaxAddressFields] = {0, 0, 0, 0};

void AddType(DriverBase& driver, const char* name, int32_t mask, int32_t accessCode) {
    const int added = driver.AddRegisterType(name, mask, accessCode);
    assert(added == 1);
    (void)added;
}

void SetFields(DriverBase& driver, const char* name, int32_t dataType, int32_t fieldCount,
               const int32_t* maximums) {
    const int set = driver.registerTable.SetFieldFormat(name, dataType, fieldCount, kRadix, kSeparator, kZeros,
                                                        maximums, kZeros);
    assert(set == 1);
    (void)set;
}

void SetDeviceAddresses(DriverBase& driver) {
    const int set = driver.registerTable.SetDeviceAddressFormat(kRadix, 0, kMaxSite);
    assert(set == 1);
    (void)set;
}

}  // namespace

void AddCentralRegisterTypes(DriverBase& driver) {
    // M site.address for values, M site.address.bit for single bits.
    const int32_t siteAddressBit[] = {kMaxSite, kMaxAddress, kMaxBit};
    const int32_t siteAddress[] = {kMaxSite, kMaxAddress};
    const int32_t site[] = {kMaxSite};

    AddType(driver, "M", kMaskM, kAccessReadWrite);
    SetFields(driver, "M", kDataBit, 3, siteAddressBit);
    SetFields(driver, "M", kDataInt, 2, siteAddress);
    SetFields(driver, "M", kDataWord, 2, siteAddress);
    SetFields(driver, "M", kDataFloat, 2, siteAddress);

    AddType(driver, "SEND_MSG", kMaskText, kAccessReadWrite);
    SetFields(driver, "SEND_MSG", kDataText, 1, site);
    AddType(driver, "SMSC", kMaskText, kAccessReadWrite);
    SetFields(driver, "SMSC", kDataText, 1, site);
    AddType(driver, "DETC", kMaskText, kAccessReadWrite);
    SetFields(driver, "DETC", kDataText, 1, site);

    SetDeviceAddresses(driver);
}

void AddRemoteRegisterTypes(DriverBase& driver) {
    const int32_t address[] = {kMaxAddress};

    AddType(driver, "M", kMaskM, kAccessReadWrite);
    for (int32_t dataType : {kDataBit, kDataInt, kDataWord, kDataFloat}) SetFields(driver, "M", dataType, 1, address);

    AddType(driver, "SEND_MSG", kMaskText, kAccessReadWrite);
    SetFields(driver, "SEND_MSG", kDataText, 0, nullptr);
    AddType(driver, "SMSC", kMaskText, kAccessReadWrite);
    SetFields(driver, "SMSC", kDataText, 0, nullptr);
    AddType(driver, "DETC", kMaskText, kAccessReadWrite);
    SetFields(driver, "DETC", kDataText, 0, nullptr);
    AddType(driver, "COMFLAG", kMaskFlag, kAccessReadWrite);
    SetFields(driver, "COMFLAG", kDataBit, 0, nullptr);

    SetDeviceAddresses(driver);
}

}  // namespace kelvora
