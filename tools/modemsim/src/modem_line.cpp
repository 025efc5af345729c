// The line's ends of each modem: its pty, and the link that clients open,
// which stays at one path while the pty under it changes (a modem unplugged
// and plugged back, a line that hangs up).
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "network_impl.h"

namespace modemsim {
namespace {

bool OpenPty(ModemSlot& slot, std::string* error) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0) {
        *error = std::string("posix_openpt: ") + std::strerror(errno);
        return false;
    }
    char name[128];
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
        *error = std::string("pty set-up: ") + std::strerror(errno);
        close(master);
        return false;
    }
    const int slave = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) {
        *error = std::string("open ") + name + ": " + std::strerror(errno);
        close(master);
        return false;
    }
    // Raw, so that nothing the modem sends is echoed back to it by the line discipline.
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    cfsetspeed(&tio, B115200);
    tcsetattr(slave, TCSANOW, &tio);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    slot.master = master;
    slot.slaveHold = slave;
    slot.slavePath = name;
    slot.lineOpen = true;
    return true;
}

// Points the link at the pty in one step: a client never finds a link to
// the pty that went away.
bool Relink(const ModemSlot& slot, std::string* error) {
    const std::string temporary = slot.linkPath + ".new";
    unlink(temporary.c_str());
    if (symlink(slot.slavePath.c_str(), temporary.c_str()) != 0 ||
        rename(temporary.c_str(), slot.linkPath.c_str()) != 0) {
        *error = "cannot link " + slot.linkPath + ": " + std::strerror(errno);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace

bool Network::Impl::MakeLinkDirectory(std::string* error) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/kelvora-modemsim-XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) {
        *error = "cannot make a folder for the device links (" + pattern + "): " + std::strerror(errno);
        return false;
    }
    linkDirectory = pattern;
    return true;
}

void Network::Impl::RemoveLinks() {
    if (linkDirectory.empty()) return;
    for (const auto& slot : modems) unlink(slot->linkPath.c_str());
    rmdir(linkDirectory.c_str());
    linkDirectory.clear();
}

bool Network::Impl::OpenLine(ModemSlot& slot, std::string* error) {
    if (slot.linkPath.empty()) {
        const size_t index = static_cast<size_t>(
            std::find_if(modems.begin(), modems.end(), [&slot](const auto& m) { return m.get() == &slot; }) -
            modems.begin());
        slot.linkPath = linkDirectory + "/modem" + std::to_string(index);
    }
    if (!OpenPty(slot, error)) return false;
    if (Relink(slot, error)) return true;
    CloseLine(slot);
    return false;
}

void Network::Impl::AwaitTurn(std::unique_lock<std::mutex>& lock) {
    const uint64_t turn = turns;
    Wake();
    changed.wait_for(lock, std::chrono::seconds(2), [this, turn] { return turns != turn || !running; });
}

void Network::Impl::Unplug(ModemSlot& slot, Millis away, Millis boot, std::unique_lock<std::mutex>& lock) {
    CloseLine(slot);
    AwaitTurn(lock);
    unlink(slot.linkPath.c_str());
    slot.unplugged = true;
    slot.plugAt = std::chrono::steady_clock::now() + away;
    slot.bootAfterPlug = boot;
    slot.at->log().push_back({std::chrono::system_clock::now(), "<unplugged>", ""});
}

void Network::Impl::PlugDue(SteadyTime now, SteadyTime* next) {
    for (auto& owned : modems) {
        ModemSlot& slot = *owned;
        if (!slot.unplugged) continue;
        if (slot.plugAt > now) {
            *next = std::min(*next, slot.plugAt);
            continue;
        }
        std::string error;
        if (!OpenLine(slot, &error)) {
            std::fprintf(stderr, "kelvora-modemsim: plugging %s back: %s\n", slot.linkPath.c_str(), error.c_str());
            slot.plugAt = now + std::chrono::seconds(1);  // tried again
            *next = std::min(*next, slot.plugAt);
            continue;
        }
        slot.unplugged = false;
        slot.blocked = slot.stalled = false;
        slot.at->Restart(std::chrono::system_clock::now() + slot.bootAfterPlug);
        changed.notify_all();
    }
}

void Network::Impl::HangUp(ModemSlot& slot, std::unique_lock<std::mutex>& lock) {
    if (slot.unplugged) return;  // no line to hang up
    CloseLine(slot);
    AwaitTurn(lock);  // the old line hangs up before the new one appears
    slot.at->DropLine();
    std::string error;
    if (!OpenLine(slot, &error)) {
        // As if unplugged: tried again in a second.
        unlink(slot.linkPath.c_str());
        slot.unplugged = true;
        slot.plugAt = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        slot.bootAfterPlug = Millis(0);
    }
    slot.blocked = slot.stalled = false;
    Wake();
}

void Modem::Unplug(Millis away, Millis boot) {
    std::unique_lock<std::mutex> lock(network_->impl_->mu);
    if (index_ >= network_->impl_->modems.size() || !network_->impl_->running) return;
    network_->impl_->Unplug(*network_->impl_->modems[index_], away, boot, lock);
}

void Modem::HangUp() {
    std::unique_lock<std::mutex> lock(network_->impl_->mu);
    if (index_ >= network_->impl_->modems.size() || !network_->impl_->running) return;
    network_->impl_->HangUp(*network_->impl_->modems[index_], lock);
}

}  // namespace modemsim
