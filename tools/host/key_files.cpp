// The console's keys (see the header).
#include "key_files.h"

#include "console_text.h"
#include "exit_codes.h"
#include "platform/secret_file.h"
#include "station_loader.h"
#include "stations/frame_counters.h"
#include "stations/frame_keys.h"
#include "stations/signed_frame.h"
#include "stations/telemetry_frame.h"

namespace kelvora_host {

namespace {

// "N=FILE" or "FILE" into site and path (site -1 for a bare FILE).
bool SplitKeyFile(const std::string& value, int32_t* site, std::string* path, std::string* why) {
    std::vector<std::pair<int32_t, std::string>> files;
    const size_t equals = value.find('=');
    if (equals == std::string::npos || equals > 2) {
        *site = -1;
        *path = value;
        return true;
    }
    if (!kelvora::CentreKeyFiles(value, &files, why)) return false;
    *site = files[0].first;
    *path = files[0].second;
    return true;
}

}  // namespace

int RunKeygen(const std::string& path, const std::string& centreNumber, const std::string& siteNumber) {
    std::string text, why;
    if (!kelvora::NewKeyText(centreNumber, siteNumber, &text, &why)) {
        WriteErr("kelvora-host: keygen: " + why + "\n");
        return kExitUsage;
    }
    if (!kelvora::WriteSecretFile(path, text, false, &why)) {
        WriteErr("kelvora-host: keygen: cannot write " + path + ": " + why + "\n");
        return kExitOperationFailed;
    }
    WriteOut("key written to " + path +
             " (256 bits, readable by its owner only): give a copy to the site's station and one to the centre's, "
             "over a channel you trust; keep no other copy\n");
    return kExitOk;
}

bool RequestKeyFiles(bool central, const std::vector<std::string>& files, std::string* why) {
    if (files.empty()) return true;
    std::string setting;
    for (const std::string& value : files) {
        int32_t site = -1;
        std::string path;
        if (!SplitKeyFile(value, &site, &path, why)) return false;
        if (central != (site >= 0)) {
            *why = central ? "--key-file " + value + ": the centre needs SITE=FILE (5=site5.key)"
                           : "--key-file " + value + ": a site takes one FILE";
            return false;
        }
        kelvora::StationKey key;
        if (!kelvora::LoadStationKey(path, &key, why)) {
            *why = "--key-file " + value + ": " + *why;
            return false;
        }
        setting += (setting.empty() ? "" : ";") + value;
    }
    if (!central && files.size() > 1) {
        *why = "--key-file: a site has one key";
        return false;
    }
    std::vector<std::pair<int32_t, std::string>> parsed;
    if (central && !kelvora::CentreKeyFiles(setting, &parsed, why)) return false;
    RequestSetting(central ? "KELVORA_KEY_FILES" : "KELVORA_KEY_FILE", setting);
    return true;
}

bool StorageKeys::Load(const std::vector<std::string>& files, std::string* why) {
    for (const std::string& value : files) {
        Key key;
        if (!SplitKeyFile(value, &key.site, &key.path, why)) return false;
        if (!kelvora::LoadStationKey(key.path, &key.key, why)) {
            *why = "--key-file " + value + ": " + *why;
            return false;
        }
        keys_.push_back(key);
    }
    return true;
}

std::string StorageKeys::Describe(const kelvora::SmsRecord& record) const {
    kelvora::SignedFrame parts;
    const kelvora::SignedShape shape = kelvora::SplitSignedFrame(record.text, &parts);
    if (shape == kelvora::SignedShape::kNone) return keys_.empty() ? "" : "  NOT authenticated";
    if (shape == kelvora::SignedShape::kMalformed) return "  authenticated frame cut or altered: INVALID";
    kelvora::Report report{};
    kelvora::WriteCommand command{};
    int32_t site = -1;
    kelvora::FrameDirection direction = kelvora::FrameDirection::kSiteToCentre;
    if (kelvora::ParseReport(parts.frame.c_str(), &report)) {
        site = report.site;
    } else if (kelvora::ParseWriteCommand(parts.frame.c_str(), &command)) {
        site = command.site;
        direction = kelvora::FrameDirection::kCentreToSite;
    }
    for (const Key& key : keys_) {
        if (key.site >= 0 && key.site != site) continue;
        if (!kelvora::MacChecks(key.key, direction, parts)) continue;
        std::string verdict = "  authenticated, VALID with " + key.path + " (counter " +
                              kelvora::CounterText(parts.counter) + ")";
        kelvora::FrameCounters counters;
        std::string why;
        // The counters of the station on this computer that receives it.
        const char* receiver = direction == kelvora::FrameDirection::kCentreToSite ? ".site" : ".centre";
        if (counters.Load(key.path + receiver + ".counters", &why) &&
            counters.Judge(parts.counter) != kelvora::CounterVerdict::kNew) {
            verdict += ", but its counter was accepted before or is too old: a replay here";
        }
        return verdict;
    }
    return keys_.empty() ? "  authenticated (no --key-file to check it)"
                         : "  authenticated frame whose code does NOT check with the keys given: INVALID";
}

}  // namespace kelvora_host
