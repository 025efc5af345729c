// The console's keys: `keygen FILE` makes a key file for one site and its
// centre (owner-only, never over a file that is there); `--key-file` gives a
// station its keys through the driver's own settings (KELVORA_KEY_FILE at a
// site, KELVORA_KEY_FILES at the centre), each key checked first so that a
// mistake is told before the driver starts; `modem storage --key-file`
// checks each stored signed frame with the driver's own code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "modem/sms_record.h"
#include "stations/station_key.h"

namespace kelvora_host {

// keygen: the exit code.
int RunKeygen(const std::string& path, const std::string& centreNumber, const std::string& siteNumber);

// Checks the --key-file values of a station (central: "N=FILE" each; remote:
// one FILE) and requests the driver's setting. false, with the reason.
bool RequestKeyFiles(bool central, const std::vector<std::string>& files, std::string* why);

// What a stored message's text is as a signed frame, checked with the keys
// given (each "FILE" or "N=FILE"): "" when it is no signed frame.
class StorageKeys {
public:
    bool Load(const std::vector<std::string>& files, std::string* why);
    bool empty() const { return keys_.empty(); }
    std::string Describe(const kelvora::SmsRecord& record) const;

private:
    struct Key {
        int32_t site = -1;  // -1: any site
        std::string path;
        kelvora::StationKey key;
    };
    std::vector<Key> keys_;
};

}  // namespace kelvora_host
