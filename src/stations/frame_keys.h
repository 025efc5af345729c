// FrameKeys: a station's keys, one per peer (at the centre one per site, at
// a site the one it shares with its centre), each with its counters, read
// where the station is created from the user's settings: KELVORA_KEY_FILES,
// else on Windows the registry value "KeyFiles", at the centre ("5=FILE",
// several joined by ";"), and KELVORA_KEY_FILE / "KeyFile" at a site (FILE).
// A peer named there is keyed: its frames must be signed and their codes
// must check, and what is sent to it is signed. A key that cannot be used
// (a file missing, readable by others, of the wrong length) leaves its peer
// keyed all the same, so that nothing passes unchecked: nothing is applied
// from it or sent to it until the key is mended and the station made anew.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "stations/frame_counters.h"
#include "stations/signed_frame.h"
#include "stations/station_key.h"

namespace kelvora {

// Why a received frame is refused by the key check, or kNone.
enum class KeyRefusal : uint8_t {
    kNone,
    kUnsigned,     // a plain frame from a keyed peer
    kMalformed,    // a signed frame cut or altered in its layout
    kKeyUnusable,  // the peer's key could not be loaded
    kMacWrong,     // the code does not check: altered, forged, or another key, pair or direction
    kReplayed,     // its counter was accepted before
    kTooOld,       // its counter lies below every counter of the window
    kNotKept,      // its counter could not be written down
};

// "the code does not check (altered, forged, or signed with another key)", ...
const char* KeyRefusalText(KeyRefusal refusal);

// The trace's detail for a refused frame: "refused by the key check: " what
// ": " the refusal, and why when there is one.
std::string DescribeKeyRefusal(KeyRefusal refusal, const std::string& what, const std::string& why = "");

class FrameKeys {
public:
    // role: "centre" or "site", which names the counters file, so that the
    // two stations of a pair can share one key file on one computer.
    FrameKeys(size_t peers, const char* role) : peers_(peers), role_(role) {}

    // Reads a peer's key file and its counters beside it
    // ("<path>.centre.counters" or "<path>.site.counters").
    // false, with the reason, when the key cannot be used (the peer is keyed
    // all the same).
    bool Load(size_t peer, const std::string& path, std::string* why);
    // A peer named keyed by a setting that is not understood: keyed, unusable.
    void MarkUnusable(size_t peer, const std::string& why);

    bool Keyed(size_t peer) const { return peer < peers_.size() && peers_[peer].keyed; }
    bool AnyKeyed() const;

    // The signed text of frame for the peer, with its counter written down
    // first. false, with the reason, when nothing may be sent.
    bool Sign(size_t peer, FrameDirection direction, const std::string& frame, std::string* text, std::string* why);

    // The checks of a signed frame from a keyed peer before anything else is
    // decided: the key, the code, the counter.
    KeyRefusal Check(size_t peer, FrameDirection direction, const SignedFrame& signedFrame) const;
    // The key check of a received text that holds a frame of the peer, by
    // its shape: a plain frame passes for a peer without a key (kNone, as
    // ever) and is kUnsigned for a keyed one; a signed one is Check'ed, or
    // for a peer without a key sets *noKey (taken for no frame).
    KeyRefusal Gate(size_t peer, FrameDirection direction, SignedShape shape, const SignedFrame& signedFrame,
                    bool* noKey) const;
    // Writes the counter down as accepted: kNone, or kNotKept (why filled).
    KeyRefusal Accept(size_t peer, uint64_t counter, std::string* why);
    // Why the peer's key cannot be used ("" when it can, or it has none).
    std::string Problem(size_t peer) const { return peer < peers_.size() ? peers_[peer].problem : ""; }

    // What the trace says of a peer's key at the station's creation.
    std::string Describe(size_t peer) const;

    // The wall clock (seconds since 1970) that sets the counters' floor;
    // tests fix it.
    std::function<int64_t()> wallClock;

private:
    struct Peer {
        bool keyed = false;
        bool usable = false;
        std::string path;
        std::string problem;
        StationKey key;
        FrameCounters counters;
    };
    std::vector<Peer> peers_;
    std::string role_;
};

// The key files the user set for a central station: site and path for each
// "N=FILE" entry of KELVORA_KEY_FILES (or "KeyFiles"). false, with the
// reason, for an entry that is not understood or names a site twice.
bool CentreKeyFiles(const std::string& setting, std::vector<std::pair<int32_t, std::string>>* files,
                    std::string* why);

// Loads the keys the user's settings name into keys: the centre's (peer =
// site number) or a site's (peer 0). The trace lines to emit, one per key.
std::vector<std::string> LoadKeysFromSystem(bool centre, FrameKeys* keys);

}  // namespace kelvora
