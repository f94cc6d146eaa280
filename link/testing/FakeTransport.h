// A scripted transport for tests of the link and of the protocol code above it:
// interfaces with chosen identities, answers queued by the test, every write recorded.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "link/Transport.h"

namespace kavo3::link::testing {

struct FakeInterface {
    std::string path;
    HidAttributes attributes{};
    HidCaps caps{65, 65};
    OpenError openError = OpenError::None;  // anything but None makes open() fail
    std::optional<long> holder{};           // with Busy: the program that holds it
    bool attributesFail = false;
    bool capsFail = false;
};

class FakeTransport : public Transport {
  public:
    std::vector<FakeInterface> interfaces;
    std::vector<std::vector<std::uint8_t>> written;        // every output report, in order
    std::deque<std::vector<std::uint8_t>> pendingAnswers;  // delivered one per read
    std::vector<std::string> opened;                       // every successful open, in order
    int listCalls = 0;
    int openHandles = 0;
    int discards = 0;
    bool writesFail = false;
    bool writesStall = false;  // the endpoint stalls: writes are not taken until a replug
    // The device has left: every handle's writes and reads say so at once.
    bool gone = false;
    // The device left and came back: handles opened so far say it has left, new ones work.
    void replug() { replugs_ = static_cast<int>(opened.size()); }

    void answer(std::vector<std::uint8_t> report) { pendingAnswers.push_back(std::move(report)); }

    std::vector<InterfaceEntry> listInterfaces() override {
        ++listCalls;
        std::vector<InterfaceEntry> out;
        for (const auto& i : interfaces) out.push_back({i.path, i.attributes, std::nullopt});
        return out;
    }

    std::unique_ptr<HidHandle> open(const std::string& path, OpenError& error) override {
        for (const auto& i : interfaces) {
            if (i.path != path) continue;
            if (i.openError != OpenError::None) {
                error = i.openError;
                return nullptr;
            }
            opened.push_back(path);
            return std::make_unique<Handle>(*this, i, static_cast<int>(opened.size()));
        }
        error = OpenError::Failed;
        return nullptr;
    }

    std::string permissionHint() const override { return "install 70-kavo3.rules"; }

    std::optional<long> holderOf(const std::string& path) override {
        for (const auto& i : interfaces)
            if (i.path == path) return i.holder;
        return std::nullopt;
    }

  private:
    class Handle : public HidHandle {
      public:
        Handle(FakeTransport& owner, FakeInterface info, int opening)
            : owner_(owner), info_(std::move(info)), opening_(opening) {
            ++owner_.openHandles;
        }
        ~Handle() override { --owner_.openHandles; }
        std::optional<HidAttributes> attributes() override {
            if (info_.attributesFail) return std::nullopt;
            return info_.attributes;
        }
        std::optional<HidCaps> capabilities() override {
            if (info_.capsFail) return std::nullopt;
            return info_.caps;
        }
        WriteStatus write(std::span<const std::uint8_t> report) override {
            if (left()) return WriteStatus::Gone;
            if (owner_.writesFail) return WriteStatus::Refused;
            if (owner_.writesStall) return WriteStatus::Stalled;
            owner_.written.emplace_back(report.begin(), report.end());
            return WriteStatus::Taken;
        }
        ReadStatus read(std::span<std::uint8_t> buffer, std::chrono::milliseconds) override {
            if (left()) return ReadStatus::Gone;
            if (owner_.pendingAnswers.empty()) return ReadStatus::Timeout;
            const auto report = std::move(owner_.pendingAnswers.front());
            owner_.pendingAnswers.pop_front();
            for (std::size_t i = 0; i < buffer.size() && i < report.size(); ++i)
                buffer[i] = report[i];
            return ReadStatus::Report;
        }
        void discardQueuedInput() override { ++owner_.discards; }
        std::string failureText() const override {
            return left() ? "the fake device has left" : "the fake refuses writes";
        }

      private:
        bool left() const { return owner_.gone || opening_ <= owner_.replugs_; }

        FakeTransport& owner_;
        FakeInterface info_;
        int opening_;
    };

    int replugs_ = 0;  // handles of openings up to this one are of a unit that left
};

}  // namespace kavo3::link::testing
