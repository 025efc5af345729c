// Device paths on POSIX: the driver opens ports by number, so a path is bound
// to COM1 of this process through the variable the serial binding reads.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "port_options.h"

namespace kelvora_host {

bool ResolveDevicePath(const std::string& text, ResolvedPort* port, std::string* error) {
    if (!text.empty() && text[0] == '/') {
        port->comNumber = 1;
        port->devicePath = text;
        port->display = text;
        return true;
    }
    *error = "--port: '" + text + "' is neither COM1 to COM64 nor a device path such as /dev/ttyUSB0";
    return false;
}

std::string PortOpenHint(const ResolvedPort& port) {
    std::string hint = "is the path right, may you use it (group dialout), and is no other program using it?";
    if (port.devicePath.empty()) {
        hint += " COM" + std::to_string(port.comNumber) + " means the path in KELVORA_COM" +
                std::to_string(port.comNumber) + " or /dev/ttyS" + std::to_string(port.comNumber - 1) +
                ": give the device path instead";
    }
    return hint;
}

std::string DescribePortError(uint32_t error) {
    switch (error) {
        case EBUSY:
            return "the port is busy: another program holds it (a host, a terminal program, another kelvora-host); "
                   "stop that program first";
        case EACCES:
            return "permission denied: add the user to the port's group (dialout) or run as its owner";
        case ENOENT:
        case ENXIO:
            return "no such device: is the name right, and is the modem plugged in?";
        default:
            return std::strerror(static_cast<int>(error)) + std::string(" (error ") + std::to_string(error) + ")";
    }
}

namespace {

// Whether the process holds the master side of the pseudo-terminal whose
// index is ptyIndex: it is the far end of the line (a modem simulator, a
// bridge), not a program that takes the modem's answers.
bool HoldsPtyMaster(const std::string& pid, const std::string& fd, unsigned ptyIndex) {
    std::ifstream info("/proc/" + pid + "/fdinfo/" + fd);
    std::string line;
    while (std::getline(info, line)) {
        if (line.rfind("tty-index:", 0) == 0) return std::strtoul(line.c_str() + 10, nullptr, 10) == ptyIndex;
    }
    return false;
}

}  // namespace

std::string OtherPortUsers(const ResolvedPort& port) {
    const std::string named = port.devicePath.empty() ? "/dev/ttyS" + std::to_string(port.comNumber - 1)
                                                      : port.devicePath;
    // A link (/dev/serial/by-id/..., a simulator's modem0) names the device it points at.
    char* real = realpath(named.c_str(), nullptr);
    const std::string path = real != nullptr ? real : named;
    std::free(real);
    struct stat device {};
    struct stat ptmx {};
    if (stat(path.c_str(), &device) != 0) return std::string();
    const bool isPty = path.rfind("/dev/pts/", 0) == 0 && stat("/dev/ptmx", &ptmx) == 0;
    const unsigned ptyIndex = isPty ? static_cast<unsigned>(std::strtoul(path.c_str() + 9, nullptr, 10)) : 0;
    std::string users;
    DIR* processes = opendir("/proc");
    if (processes == nullptr) return users;
    const std::string self = std::to_string(getpid());
    while (dirent* entry = readdir(processes)) {
        const std::string pid = entry->d_name;
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos || pid == self) continue;
        const std::string fds = "/proc/" + pid + "/fd";
        DIR* open = opendir(fds.c_str());
        if (open == nullptr) continue;  // another user's process: not ours to see
        bool holds = false;
        bool farEnd = false;
        while (dirent* fd = readdir(open)) {
            struct stat target {};
            if (fd->d_name[0] == '.' || stat((fds + "/" + fd->d_name).c_str(), &target) != 0 ||
                !S_ISCHR(target.st_mode)) {
                continue;
            }
            holds = holds || target.st_rdev == device.st_rdev;
            farEnd = farEnd || (isPty && target.st_rdev == ptmx.st_rdev && HoldsPtyMaster(pid, fd->d_name, ptyIndex));
        }
        closedir(open);
        if (!holds || farEnd) continue;
        std::string name;
        std::ifstream comm("/proc/" + pid + "/comm");
        std::getline(comm, name);
        users += (users.empty() ? "" : ", ") + std::string("process ") + pid + " (" + name + ")";
    }
    closedir(processes);
    return users;
}

void CancelMessageInput(uint32_t handle) {
    // write(2) is what a signal handler may call; the descriptor is the
    // station's own, open for reading and writing.
    const ssize_t ignored = write(static_cast<int>(handle), "\x1B", 1);
    (void)ignored;
}

void BindDevicePath(const ResolvedPort& port) {
    if (port.devicePath.empty()) return;
    const std::string name = "KELVORA_COM" + std::to_string(port.comNumber);
    setenv(name.c_str(), port.devicePath.c_str(), 1);
}

}  // namespace kelvora_host
