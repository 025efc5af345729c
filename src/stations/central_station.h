// CentralStation: the driver object of the central station, serving up to 32
// sites through one GSM modem. Writes go to the central image and out to the
// site as write commands; reads answer from the image, refreshed from the
// reports found when a group's poll time has run out.
#pragma once

#include <array>
#include <bitset>

#include "driver/driver_base.h"
#include "stations/image_entry.h"
#include "stations/poll_scope.h"
#include "stations/sending_order.h"
#include "stations/site_numbers.h"
#include "stations/station_mailbox.h"
#include "stations/telemetry_frame.h"

namespace kelvora {

class CentralStation : public DriverBase {
public:
    CentralStation();
    ~CentralStation() override;

    int32_t STDMETHODCALLTYPE Read(int32_t* deviceAddress, RegisterRequest* request, RegisterValue* value) override;
    int32_t STDMETHODCALLTYPE Write(int32_t* deviceAddress, RegisterRequest* request, RegisterValue* value) override;

    // [site][address], site-major; all zero after construction.
    std::array<std::array<ImageEntry, kSiteRegisters>, kSiteCount> image{};
    std::array<SiteNumbers, kSiteCount> numbers{};
    // The messages taken whose delete the modem has not confirmed, and the
    // last ones applied (a second copy of one is only deleted).
    StationMailbox mailbox;
    // Read from the user's setting at construction; tests set it directly.
    PollScope pollScope = PollScope::kGroup;
    // The one poll time of a station-wide scope (the groups' own stay unused):
    // when its last listing began, so that every report that came later is
    // listed by a read 3000 ms after it came, and a poll's own pause does
    // not count against the time between polls.
    uint32_t stationPollTick = 0;

private:
    // Pauses, lists the modem's messages, applies every acceptable report
    // and deletes every listed message. The tick count as the listing began.
    uint32_t Poll(const RegisterRequest& request);
    MessageFate TakeMessage(const SmsRecord& record, std::string* detail);
    // Sends the site the register's new value and keeps it in the image once
    // the modem accepted the message. The status the write leaves.
    uint32_t WriteRegister(int32_t site, int32_t address, int32_t bit, const RegisterValue& value, int16_t dataType);

    // The sending time of the report last applied to each site's group.
    static constexpr size_t kGroupsPerSite = (kSiteRegisters + kGroupSize - 1) / kGroupSize;  // 201
    SendingOrder reportOrder_{kSiteCount * kGroupsPerSite};
    // Per site, the registers whose value the centre knows: a report covered
    // it, or the host wrote it whole. Only these take a bit write.
    std::array<std::bitset<kSiteRegisters>, kSiteCount> known_{};
};

}  // namespace kelvora
