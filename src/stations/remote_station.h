// RemoteStation: the driver object of a site's station: 1001 registers for the
// site's host, write commands from the central station applied, and reports
// of the groups the host reads sent back while COMFLAG is set.
#pragma once

#include <array>

#include "driver/driver_base.h"
#include "stations/frame_keys.h"
#include "stations/free_text.h"
#include "stations/image_entry.h"
#include "stations/sending_order.h"
#include "stations/site_numbers.h"
#include "stations/station_mailbox.h"
#include "stations/telemetry_frame.h"

namespace kelvora {

class RemoteStation : public DriverBase {
public:
    RemoteStation();
    ~RemoteStation() override;

    int32_t STDMETHODCALLTYPE Read(int32_t* deviceAddress, RegisterRequest* request, RegisterValue* value) override;
    int32_t STDMETHODCALLTYPE Write(int32_t* deviceAddress, RegisterRequest* request, RegisterValue* value) override;

    // Indexed by address 0 to 1000; all zero after construction.
    std::array<ImageEntry, kSiteRegisters> image{};
    SiteNumbers numbers{};
    // Reports are sent while this is not 0.
    uint32_t comFlag = 0;
    // The messages taken whose delete the modem has not confirmed, and the
    // last ones applied (a second copy of one is only deleted).
    StationMailbox mailbox;
    // The key this site shares with its centre, read from the user's
    // settings at construction (peer 0): with it, frames are signed both
    // ways (see FrameKeys).
    FrameKeys keys{1, "site"};

private:
    // Lists the modem's messages, applies the write commands for this site,
    // deletes every listed message and, with comFlag set, reports the group.
    void PollAndReport(int32_t own, int32_t first);
    MessageFate TakeMessage(const SmsRecord& record, int32_t own, std::string* detail);
    // Applies a write command that passed the checks, unless one sent after
    // it was applied; counter: a keyed centre's, which gives the order.
    MessageFate ApplyCommand(const SmsRecord& record, const WriteCommand& command, const uint64_t* counter,
                             std::string* detail);
    // A message that is no write command: the last free text from DETC is
    // kept for SEND_MSG.
    MessageFate TakeFreeText(const SmsRecord& record, std::string* detail);

    // The sending time of the write command last applied to each register.
    SendingOrder commandOrder_{kSiteRegisters};
    SendingOrder commandCounterOrder_{kSiteRegisters};
    FreeText freeText_;
};

// The remote image keeps a floating-point value as an integer: truncated
// toward zero to 64 bits, of which the low 32 are kept (2.9 gives 2, -1.5
// gives 0xFFFFFFFF). NaN and values beyond the 64-bit range give 0, the
// processor's "integer indefinite" reduced to 32 bits.
uint32_t FloatToRegister(float value);

}  // namespace kelvora
