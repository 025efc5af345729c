// `status` as lines: the table for people, the CSV and JSON records.
#include <cmath>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "station_view.h"
#include "value_output.h"

namespace kelvora_host {
namespace {

std::string Seconds(double seconds) {
    if (seconds < 0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

double Tenths(double seconds) { return std::round(seconds * 10) / 10; }

std::string HeldText(const SiteStatus& s, const char* between, bool withTime) {
    std::string text;
    for (const HeldWrite& h : s.held) {
        if (!text.empty()) text += between;
        text += "M" + std::to_string(s.site) + "." + std::to_string(h.address) + (withTime ? " = " : "=") +
                std::to_string(h.value);
        if (withTime) text += " (" + Seconds(h.seconds) + ")";
    }
    return text;
}

const char* SilentWord(int silent) { return silent < 0 ? "" : silent != 0 ? "yes" : "no"; }

}  // namespace

std::vector<std::string> StatusText(const std::vector<SiteStatus>& sites, uint32_t staleAfterSeconds) {
    std::vector<std::string> lines;
    if (sites.empty()) {
        lines.push_back("status: no site has a DETC written or a report yet");
        return lines;
    }
    lines.push_back("site  last report (sent)           ago: network      here  applied  refused: sender  before  "
                    "copies  held  silent");
    for (const SiteStatus& s : sites) {
        char line[320];
        std::snprintf(line, sizeof line, "%4d  %-27s  %12s  %8s  %7d  %15d  %6d  %6d  %4zu  %s", s.site,
                      s.lastReportSent.empty() ? "-" : s.lastReportSent.c_str(), Seconds(s.agoNetwork).c_str(),
                      Seconds(s.agoHere).c_str(), s.applied, s.refusedBySender, s.refusedSentBefore,
                      s.refusedCopies, s.held.size(),
                      s.silent < 0 ? "-" : (std::string(SilentWord(s.silent)) + " (" + s.silentWhy + ")").c_str());
        lines.push_back(line);
    }
    for (const SiteStatus& s : sites) {
        if (!s.held.empty()) lines.push_back("site " + std::to_string(s.site) + " holds " + HeldText(s, ", ", true));
    }
    lines.push_back(staleAfterSeconds == 0
                        ? std::string("silent: - (no --stale-after: reads answer from the copy however old)")
                        : "silent: a site's reads fail after " + std::to_string(staleAfterSeconds) +
                              " s without a report applied, or when their poll failed (--stale-after)");
    return lines;
}

std::vector<std::string> StatusCsv(const std::vector<SiteStatus>& sites) {
    std::vector<std::string> lines{"site,last_report_sent,ago_network_s,ago_here_s,applied,refused_sender,"
                                   "refused_sent_before,refused_copies,held_writes,silent,silent_why"};
    const auto number = [](double seconds) {
        if (seconds < 0) return std::string();
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", seconds);
        return std::string(text);
    };
    for (const SiteStatus& s : sites) {
        lines.push_back(std::to_string(s.site) + "," + CsvField(s.lastReportSent) + "," + number(s.agoNetwork) + "," +
                        number(s.agoHere) + "," + std::to_string(s.applied) + "," + std::to_string(s.refusedBySender) +
                        "," + std::to_string(s.refusedSentBefore) + "," + std::to_string(s.refusedCopies) + "," +
                        CsvField(HeldText(s, ";", false)) + "," + SilentWord(s.silent) + "," + CsvField(s.silentWhy));
    }
    return lines;
}

std::vector<std::string> StatusJson(const std::vector<SiteStatus>& sites) {
    std::vector<std::string> lines;
    const auto seconds = [](double value) {
        return value < 0 ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(Tenths(value));
    };
    for (const SiteStatus& s : sites) {
        nlohmann::ordered_json line;
        line["site"] = s.site;
        line["last_report_sent"] = s.lastReportSent.empty() ? nlohmann::ordered_json(nullptr)
                                                            : nlohmann::ordered_json(s.lastReportSent);
        line["ago_network_s"] = seconds(s.agoNetwork);
        line["ago_here_s"] = seconds(s.agoHere);
        line["applied"] = s.applied;
        line["refused_sender"] = s.refusedBySender;
        line["refused_sent_before"] = s.refusedSentBefore;
        line["refused_copies"] = s.refusedCopies;
        line["held_writes"] = nlohmann::ordered_json::array();
        for (const HeldWrite& h : s.held) {
            line["held_writes"].push_back({{"address", "M" + std::to_string(s.site) + "." + std::to_string(h.address)},
                                           {"value", h.value},
                                           {"held_s", Tenths(h.seconds)}});
        }
        line["silent"] = s.silent < 0 ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(s.silent != 0);
        line["silent_why"] = s.silentWhy;
        lines.push_back(line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
    }
    return lines;
}

}  // namespace kelvora_host
