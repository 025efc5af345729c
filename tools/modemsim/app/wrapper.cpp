// The program's surroundings of the network (see wrapper.h).
#include "wrapper.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace modemsim {
namespace {

constexpr int kStopTurnMs = 200;
constexpr int kChildGraceSeconds = 5;

bool TakeStopSignal(int waitMs, int* signal) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    timespec ts{waitMs / 1000, static_cast<long>(waitMs % 1000) * 1'000'000};
    const int got = sigtimedwait(&set, nullptr, &ts);
    if (got > 0) {
        *signal = got;
        return true;
    }
    return false;
}

int ExitCodeOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 1;
}

}  // namespace

std::string InfoJson(const std::vector<ModemInfo>& modems, const std::string& controlPath) {
    nlohmann::json info;
    info["modems"] = nlohmann::json::array();
    for (const ModemInfo& m : modems) {
        info["modems"].push_back({{"index", m.index}, {"device", m.device}, {"number", m.number}, {"com", m.com}});
    }
    info["control"] = controlPath;
    info["pid"] = getpid();
    return info.dump(2) + "\n";
}

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error) {
    const std::string temporary = path + ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) {
            *error = "cannot write " + temporary;
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        *error = "cannot rename to " + path + ": " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool LinkIntoWinePrefix(const std::string& prefix, const std::vector<ModemInfo>& modems,
                        std::vector<std::string>* links, std::string* error) {
    const std::string dir = prefix + "/dosdevices";
    mkdir(prefix.c_str(), 0755);
    if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
        *error = "cannot make " + dir + ": " + std::strerror(errno);
        return false;
    }
    for (const ModemInfo& m : modems) {
        const std::string link = dir + "/com" + std::to_string(m.com);
        struct stat st;
        if (lstat(link.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                *error = link + " exists and is no link";
                return false;
            }
            unlink(link.c_str());  // a stale link of an earlier run
        }
        if (symlink(m.device.c_str(), link.c_str()) != 0) {
            *error = "cannot link " + link + ": " + std::strerror(errno);
            return false;
        }
        links->push_back(link);
    }
    return true;
}

void RemoveLinks(const std::vector<std::string>& links) {
    for (const std::string& link : links) unlink(link.c_str());
}

void BlockStopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void Tracer::Turn() {
    if (network_ == nullptr) return;
    seen_.resize(network_->ModemCount(), 0);
    for (size_t i = 0; i < seen_.size(); ++i) {
        const std::vector<LogEntry> log = network_->modem(i).CommandLog();
        if (log.size() < seen_[i]) seen_[i] = 0;  // cleared meanwhile
        for (size_t k = seen_[i]; k < log.size(); ++k) {
            std::fprintf(stderr, "modem %zu <- %s\n", i, Printable(log[k].command).c_str());
            if (!log[k].response.empty()) std::fprintf(stderr, "modem %zu -> %s\n", i, Printable(log[k].response).c_str());
        }
        seen_[i] = log.size();
    }
}

std::string Printable(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c < 0x20 || c >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else out += static_cast<char>(c);
    }
    return out;
}

int RunWrapped(const std::vector<std::string>& command, const std::vector<ModemInfo>& modems,
               const std::string& controlPath, const ControlServer* control, Tracer* tracer) {
    std::vector<std::pair<std::string, std::string>> env;
    env.emplace_back("KELVORA_MODEM_COUNT", std::to_string(modems.size()));
    for (const ModemInfo& m : modems) {
        const std::string prefix = "KELVORA_MODEM" + std::to_string(m.index) + "_";
        env.emplace_back(prefix + "DEVICE", m.device);
        env.emplace_back(prefix + "NUMBER", m.number);
        env.emplace_back(prefix + "COM", std::to_string(m.com));
        env.emplace_back("KELVORA_COM" + std::to_string(m.com), m.device);
    }
    if (!controlPath.empty()) env.emplace_back("KELVORA_MODEMSIM_CONTROL", controlPath);
    if (control != nullptr && control->TcpPort() != 0) {
        env.emplace_back("KELVORA_MODEMSIM_CONTROL_PORT", std::to_string(control->TcpPort()));
    }

    std::vector<char*> argv;
    for (const std::string& a : command) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        std::perror("kelvora-modemsim: fork");
        return 127;
    }
    if (child == 0) {
        // The command ends with us, and takes the stop signals as they come.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        signal(SIGINT, SIG_DFL);
        signal(SIGTERM, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        pthread_sigmask(SIG_SETMASK, &none, nullptr);
        for (const auto& kv : env) setenv(kv.first.c_str(), kv.second.c_str(), 1);
        execvp(argv[0], argv.data());
        std::fprintf(stderr, "kelvora-modemsim: cannot run %s: %s\n", argv[0], std::strerror(errno));
        _exit(127);
    }
    int status = 0;
    int killedWith = 0;
    auto killAt = std::chrono::steady_clock::time_point::max();
    for (;;) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (tracer != nullptr) tracer->Turn();
        if (done == child) break;
        int signal = 0;
        const bool quit = control != nullptr && control->QuitRequested();
        if ((TakeStopSignal(kStopTurnMs, &signal) || quit) && killedWith == 0) {
            killedWith = signal != 0 ? signal : SIGTERM;
            kill(child, killedWith);
            killAt = std::chrono::steady_clock::now() + std::chrono::seconds(kChildGraceSeconds);
        }
        if (std::chrono::steady_clock::now() > killAt) {
            kill(child, SIGKILL);
            killAt = std::chrono::steady_clock::time_point::max();
        }
    }
    return ExitCodeOf(status);
}

int WaitForStop(const ControlServer* control, Tracer* tracer) {
    for (;;) {
        if (tracer != nullptr) tracer->Turn();
        int signal = 0;
        if (TakeStopSignal(kStopTurnMs, &signal)) return 0;
        if (control != nullptr && control->QuitRequested()) return 0;
    }
}

}  // namespace modemsim
