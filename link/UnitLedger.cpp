#include "link/UnitLedger.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

namespace kavo3::link {

namespace {

// How often the state file's count of data reports sent is brought up to date: a program that
// dies pads at most this many reports more than the unit still takes, and the unit's answer to
// its last data report ends the padding before that anyway.
constexpr std::uint32_t kStateFileEvery = 4096;

std::filesystem::path defaultStateFolder() {
#ifdef _WIN32
    if (const char* local = std::getenv("LOCALAPPDATA"); local && *local)
        return std::filesystem::path(local) / "kavo3";
    return {};
#else
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/')
        return std::filesystem::path(state) / "kavo3";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::filesystem::path(home) / ".local" / "state" / "kavo3";
    return {};
#endif
}

std::string hex4(std::uint16_t v) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", v);
    return text;
}

}  // namespace

std::string unitKey(const std::string& portPath, const std::string& nodePath,
                    const HidAttributes& identity, const std::string& serial) {
    const std::string where = portPath.empty() ? "node " + nodePath : "port " + portPath;
    return where + " " + hex4(identity.VendorID) + ":" + hex4(identity.ProductID) +
           (serial.empty() ? "" : " " + serial);
}

UnitLedger& UnitLedger::process() {
    static UnitLedger ledger(defaultStateFolder());
    return ledger;
}

UnitLedger::UnitLedger(std::filesystem::path stateFolder) : stateFolder_(std::move(stateFolder)) {}

UnitDebt UnitLedger::debt(const std::string& key) const {
    const std::lock_guard lock(mutex_);
    const auto found = debts_.find(key);
    return found == debts_.end() ? UnitDebt{} : found->second;
}

bool UnitLedger::anyDebt() const {
    const std::lock_guard lock(mutex_);
    for (const auto& [key, debt] : debts_)
        if (!debt.empty()) return true;
    return false;
}

std::vector<std::string> UnitLedger::owingUnits() const {
    const std::lock_guard lock(mutex_);
    std::vector<std::string> keys;
    for (const auto& [key, debt] : debts_)
        if (!debt.empty()) keys.push_back(key);
    return keys;
}

void UnitLedger::setFrozen(const std::string& key, bool frozen) {
    if (key.empty()) return;  // no unit: nothing it could owe
    const std::lock_guard lock(mutex_);
    debts_[key].frozen = frozen;
}

void UnitLedger::setTimingOpen(const std::string& key, bool open) {
    if (key.empty()) return;  // no unit: nothing it could owe
    const std::lock_guard lock(mutex_);
    UnitDebt& debt = debts_[key];
    debt.timingOpen = open;
    if (!open) debt.writeEndOwed = false;
}

void UnitLedger::setWriteEndOwed(const std::string& key,
                                 const std::array<std::uint8_t, 8>* writeEnd) {
    if (key.empty()) return;  // no unit: nothing it could owe
    const std::lock_guard lock(mutex_);
    UnitDebt& debt = debts_[key];
    debt.writeEndOwed = writeEnd != nullptr;
    if (writeEnd) debt.writeEnd = *writeEnd;
}

void UnitLedger::setChecksumRequested(const std::string& key, bool requested) {
    if (key.empty()) return;  // no unit: nothing it could owe
    const std::lock_guard lock(mutex_);
    debts_[key].checksumRequested = requested;
}

void UnitLedger::dataAnnounced(const std::string& key, std::uint32_t reports, bool persist) {
    if (key.empty()) return;  // no unit: nothing it could owe
    const std::lock_guard lock(mutex_);
    UnitDebt& debt = debts_[key];
    debt.dataAnnounced = reports;
    debt.dataSent = 0;
    debt.inStateFile = persist && reports > 0;
    if (debt.inStateFile) writeStateFile(key, debt);
}

void UnitLedger::dataReportTaken(const std::string& key) {
    if (key.empty()) return;  // no unit: nothing it could owe
    const std::lock_guard lock(mutex_);
    UnitDebt& debt = debts_[key];
    if (debt.dataSent < debt.dataAnnounced) ++debt.dataSent;
    if (debt.inStateFile && debt.dataSent % kStateFileEvery == 0 && debt.dataOwed() > 0)
        writeStateFile(key, debt);
}

void UnitLedger::dataDone(const std::string& key) {
    if (key.empty()) return;  // no unit: nothing it could owe
    const std::lock_guard lock(mutex_);
    UnitDebt& debt = debts_[key];
    debt.dataAnnounced = debt.dataSent = 0;
    if (debt.inStateFile) removeStateFile(key);
    debt.inStateFile = false;
}

void UnitLedger::unitLeft(const std::string& key) {
    if (key.empty()) return;
    const std::lock_guard lock(mutex_);
    const auto found = debts_.find(key);
    if (found != debts_.end()) found->second.left = true;
}

UnitDebt UnitLedger::take(const std::string& key, bool fromStateFile) {
    std::optional<UnitDebt> left;
    if (fromStateFile) left = leftInStateFile(key);
    const std::lock_guard lock(mutex_);
    UnitDebt debt = debts_[key];
    debts_.erase(key);
    if (left && debt.dataOwed() == 0) {
        debt.dataAnnounced = left->dataAnnounced;
        debt.dataSent = left->dataSent;
    }
    debt.inStateFile = debt.inStateFile || left.has_value();
    return debt;
}

void UnitLedger::putBack(const std::string& key, const UnitDebt& debt, bool persist) {
    const std::lock_guard lock(mutex_);
    UnitDebt& kept = debts_[key];
    kept = debt;
    kept.left = false;
    if (!persist || !kept.inStateFile) return;
    if (kept.dataOwed() > 0) {
        writeStateFile(key, kept);
    } else {
        removeStateFile(key);
        kept.inStateFile = false;
    }
}

std::filesystem::path UnitLedger::stateFileOf(const std::string& key) const {
    if (stateFolder_.empty()) return {};
    std::string name;
    for (const char c : key) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '-';
        name += plain ? c : '_';
    }
    // Keys that differ only in the characters replaced above still get files of their own.
    std::uint32_t hash = 2166136261u;
    for (const char c : key) hash = (hash ^ static_cast<std::uint8_t>(c)) * 16777619u;
    char tail[16];
    std::snprintf(tail, sizeof tail, "-%08x", hash);
    return stateFolder_ / (name + tail + ".owed");
}

std::optional<UnitDebt> UnitLedger::leftInStateFile(const std::string& key) const {
    const std::filesystem::path file = stateFileOf(key);
    if (file.empty()) return std::nullopt;
    std::ifstream in(file);
    if (!in) return std::nullopt;
    UnitDebt debt;
    std::string line, unit;
    bool announced = false;
    while (std::getline(in, line)) {
        const auto equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string name = line.substr(0, equals), value = line.substr(equals + 1);
        char* end = nullptr;
        const unsigned long number = std::strtoul(value.c_str(), &end, 10);
        if (name == "unit") unit = value;
        if (name == "announced" && end && *end == '\0') {
            debt.dataAnnounced = static_cast<std::uint32_t>(number);
            announced = true;
        }
        if (name == "sent" && end && *end == '\0') debt.dataSent = static_cast<std::uint32_t>(number);
    }
    // A file of another unit or one cut short says nothing reliable of this one.
    if (unit != key || !announced || debt.dataSent > debt.dataAnnounced) return std::nullopt;
    return debt;
}

void UnitLedger::writeStateFile(const std::string& key, const UnitDebt& debt) const {
    const std::filesystem::path file = stateFileOf(key);
    if (file.empty()) return;
    std::error_code error;
    std::filesystem::create_directories(stateFolder_, error);
    // Written beside and renamed, so that a program killed while writing leaves the old file.
    const std::filesystem::path partial = file.string() + ".new";
    {
        std::ofstream out(partial, std::ios::trunc);
        if (!out) return;
        out << "# a KAVO-3 left in the middle of a download's data; the next program that finds "
               "it sends the rest as erased bytes\n"
            << "unit=" << key << "\nannounced=" << debt.dataAnnounced << "\nsent=" << debt.dataSent
            << "\n";
        if (!out.flush()) return;
    }
    std::filesystem::rename(partial, file, error);
}

void UnitLedger::removeStateFile(const std::string& key) const {
    const std::filesystem::path file = stateFileOf(key);
    if (file.empty()) return;
    std::error_code error;
    std::filesystem::remove(file, error);
}

}  // namespace kavo3::link
