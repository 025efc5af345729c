// A station's keys and their counters (see the header).
#include "stations/frame_keys.h"

#include <algorithm>
#include <ctime>

#include "platform/system_setting.h"
#include "platform/trace.h"
#include "stations/telemetry_frame.h"
#include "stations/view_events.h"

namespace kelvora {

const char* KeyRefusalText(KeyRefusal refusal) {
    switch (refusal) {
        case KeyRefusal::kNone: return "none";
        case KeyRefusal::kUnsigned: return "unauthenticated: a frame without a counter and code from a keyed peer";
        case KeyRefusal::kMalformed: return "an authenticated frame cut or altered in its layout";
        case KeyRefusal::kKeyUnusable: return "the peer's key cannot be used";
        case KeyRefusal::kMacWrong:
            return "the code does not check (altered, forged, or signed for another pair, direction or key)";
        case KeyRefusal::kReplayed: return "a replay: its counter was accepted before";
        case KeyRefusal::kTooOld: return "its counter is older than the last ones accepted";
        case KeyRefusal::kNotKept: return "its counter cannot be written down";
    }
    return "?";
}

std::string DescribeKeyRefusal(KeyRefusal refusal, const std::string& what, const std::string& why) {
    return view_events::kRefusedByKey + what + ": " + KeyRefusalText(refusal) + (why.empty() ? "" : " (" + why + ")");
}

bool FrameKeys::Load(size_t peer, const std::string& path, std::string* why) {
    if (peer >= peers_.size()) return false;
    Peer& p = peers_[peer];
    p = Peer{};
    p.keyed = true;
    p.path = path;
    std::string problem;
    if (!LoadStationKey(path, &p.key, &problem)) {
        p.problem = "the key file " + path + " cannot be used: " + problem;
    } else if (!p.counters.Load(path + "." + role_ + ".counters", &problem)) {
        p.problem = problem;
    } else {
        p.usable = true;
        return true;
    }
    p.key = StationKey{};  // nothing of a refused key stays
    *why = p.problem;
    return false;
}

void FrameKeys::MarkUnusable(size_t peer, const std::string& why) {
    if (peer >= peers_.size()) return;
    peers_[peer] = Peer{};
    peers_[peer].keyed = true;
    peers_[peer].problem = why;
}

bool FrameKeys::AnyKeyed() const {
    return std::any_of(peers_.begin(), peers_.end(), [](const Peer& p) { return p.keyed; });
}

bool FrameKeys::Sign(size_t peer, FrameDirection direction, const std::string& frame, std::string* text,
                     std::string* why) {
    if (!Keyed(peer)) return false;
    Peer& p = peers_[peer];
    if (!p.usable) {
        *why = p.problem;
        return false;
    }
    const int64_t now = wallClock ? wallClock() : static_cast<int64_t>(std::time(nullptr));
    uint64_t counter = 0;
    if (!p.counters.NextToSend(now, &counter, why)) return false;
    *text = SignFrame(p.key, direction, counter, frame);
    if (text->empty()) *why = "the system's HMAC-SHA-256 failed";
    return !text->empty();
}

KeyRefusal FrameKeys::Check(size_t peer, FrameDirection direction, const SignedFrame& signedFrame) const {
    if (!Keyed(peer)) return KeyRefusal::kUnsigned;
    const Peer& p = peers_[peer];
    if (!p.usable) return KeyRefusal::kKeyUnusable;
    if (!MacChecks(p.key, direction, signedFrame)) return KeyRefusal::kMacWrong;
    switch (p.counters.Judge(signedFrame.counter)) {
        case CounterVerdict::kReplayed: return KeyRefusal::kReplayed;
        case CounterVerdict::kTooOld: return KeyRefusal::kTooOld;
        case CounterVerdict::kNew: break;
    }
    return KeyRefusal::kNone;
}

KeyRefusal FrameKeys::Gate(size_t peer, FrameDirection direction, SignedShape shape, const SignedFrame& signedFrame,
                           bool* noKey) const {
    *noKey = false;
    if (!Keyed(peer)) {
        *noKey = shape != SignedShape::kNone;
        return KeyRefusal::kNone;
    }
    if (shape == SignedShape::kNone) return KeyRefusal::kUnsigned;
    if (shape == SignedShape::kMalformed) return KeyRefusal::kMalformed;
    return Check(peer, direction, signedFrame);
}

KeyRefusal FrameKeys::Accept(size_t peer, uint64_t counter, std::string* why) {
    if (!Keyed(peer) || !peers_[peer].usable) return KeyRefusal::kKeyUnusable;
    return peers_[peer].counters.Accept(counter, why) ? KeyRefusal::kNone : KeyRefusal::kNotKept;
}

std::string FrameKeys::Describe(size_t peer) const {
    if (!Keyed(peer)) return "no key";
    const Peer& p = peers_[peer];
    if (!p.usable) return "keyed, but " + p.problem + ": nothing is applied from it or sent to it";
    return "key from " + p.path + " (centre " + p.key.centre + ", site " + p.key.site + "), counters sent " +
           CounterText(p.counters.lastSent()) + ", accepted up to " + CounterText(p.counters.lastAccepted());
}

bool CentreKeyFiles(const std::string& setting, std::vector<std::pair<int32_t, std::string>>* files,
                    std::string* why) {
    files->clear();
    size_t start = 0;
    while (start <= setting.size()) {
        size_t end = setting.find(';', start);
        if (end == std::string::npos) end = setting.size();
        const std::string entry = setting.substr(start, end - start);
        start = end + 1;
        if (entry.empty()) continue;
        const size_t equals = entry.find('=');
        int32_t site = -1;
        if (equals != std::string::npos && equals >= 1 && equals <= 2 &&
            entry.find_first_not_of("0123456789") == equals) {
            site = std::stoi(entry.substr(0, equals));
        }
        if (!IsSiteNumber(site) || equals + 1 >= entry.size()) {
            *why = "the entry " + Printable(entry) + " is not SITE=FILE with a site of 0 to 31";
            return false;
        }
        for (const auto& file : *files) {
            if (file.first == site) {
                *why = "site " + std::to_string(site) + " is named twice";
                return false;
            }
        }
        files->emplace_back(site, entry.substr(equals + 1));
    }
    return true;
}

std::vector<std::string> LoadKeysFromSystem(bool centre, FrameKeys* keys) {
    std::vector<std::string> lines;
    std::string why;
    if (!centre) {
        const std::string file = SystemSetting("KELVORA_KEY_FILE", "KeyFile");
        if (file.empty()) return lines;
        keys->Load(0, file, &why);
        lines.push_back("keys: " + keys->Describe(0));
        return lines;
    }
    const std::string setting = SystemSetting("KELVORA_KEY_FILES", "KeyFiles");
    if (setting.empty()) return lines;
    std::vector<std::pair<int32_t, std::string>> files;
    if (!CentreKeyFiles(setting, &files, &why)) {
        // The user meant keys: no site passes unchecked for a slip of the pen.
        for (int32_t site = 0; site < kSiteCount; ++site) {
            keys->MarkUnusable(static_cast<size_t>(site), "the key setting is not understood: " + why);
        }
        lines.push_back("keys: every site keyed and refused: the key setting is not understood: " + why);
        return lines;
    }
    for (const auto& [site, path] : files) {
        keys->Load(static_cast<size_t>(site), path, &why);
        lines.push_back("keys: site " + std::to_string(site) + ": " + keys->Describe(static_cast<size_t>(site)));
    }
    return lines;
}

}  // namespace kelvora
