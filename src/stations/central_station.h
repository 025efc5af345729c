// CentralStation: the driver object of the central station, serving up to 32
// sites through one GSM modem. Writes go to the central image and out to the
// site as write commands; reads answer from the image, refreshed from the
// reports found when a group's poll time has run out.
#pragma once

#include <array>
#include <bitset>

#include "driver/driver_base.h"
#include "stations/centre_view.h"
#include "stations/frame_keys.h"
#include "stations/free_text.h"
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
    // Written values held against reports, silent sites failing their
    // reads: options read from the user's settings at construction; tests
    // set them with view.SetOptions.
    CentreView view;
    // The sites' keys, read from the user's settings at construction: a
    // keyed site's frames are signed both ways (see FrameKeys).
    FrameKeys keys{kSiteCount, "centre"};

    // The clock seam (see DriverBase); a site never heard from counts as
    // silent from the station's beginning on the new clock.
    void SetClock(Clock& clock) {
        DriverBase::SetClock(clock);
        view.Start(clock.TickCount());
    }

private:
    // Pauses, lists the modem's messages, applies every acceptable report
    // and deletes every listed message. The tick count as the listing
    // began; failed: the modem did not answer the listing or refused it, or
    // the port failed.
    uint32_t Poll(const RegisterRequest& request, bool* failed);
    MessageFate TakeMessage(const SmsRecord& record, std::string* detail);
    // Applies a report that passed the checks, unless one sent after it was
    // applied to its registers; counter: a keyed site's, which gives the order.
    MessageFate ApplyReport(const SmsRecord& record, const Report& report, const uint64_t* counter,
                            const std::string& what, std::string* detail);
    // A message that is no report: the last free text of each site whose
    // DETC it comes from is kept for SEND_MSG<site>.
    MessageFate TakeFreeText(const SmsRecord& record, std::string* detail);
    // Fills the host's value from the register's image entry.
    void FillValue(int32_t site, const RegisterRequest& request, RegisterValue* value) const;
    // Sends the site the register's new value and keeps it in the image once
    // the modem accepted the message. The status the write leaves.
    uint32_t WriteRegister(int32_t site, int32_t address, int32_t bit, const RegisterValue& value, int16_t dataType);

    // The sending time of the report last applied to each site's group.
    static constexpr size_t kGroupsPerSite = CentreView::kGroupsPerSite;
    SendingOrder reportOrder_{kSiteCount * kGroupsPerSite};
    SendingOrder reportCounterOrder_{kSiteCount * kGroupsPerSite};
    // Per site, the registers whose value the centre knows: a report covered
    // it, or the host wrote it whole. Only these take a bit write.
    std::array<std::bitset<kSiteRegisters>, kSiteCount> known_{};
    std::array<FreeText, kSiteCount> freeTexts_{};
};

}  // namespace kelvora
