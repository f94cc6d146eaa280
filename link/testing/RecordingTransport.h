// Wraps a transport and records every output report written through it, so that a test can
// check the exchanges with a unit that answers for itself, and act at a chosen moment.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "link/Transport.h"

namespace kavo3::link::testing {

class RecordingTransport : public Transport {
  public:
    // The eight command bytes after the report ID.
    using Command = std::array<std::uint8_t, 8>;

    explicit RecordingTransport(Transport& inner) : inner_(inner) {}

    // Every output report written, in order.
    std::vector<Command> commands;
    // What the link said each report was meant as, in order.
    std::vector<Meant> meanings;
    int reads = 0;
    int timeouts = 0;  // reads that waited their whole time for nothing
    // Called after each write has reached the unit.
    std::function<void(const Command&)> afterWrite;
    // May change each input report before the link sees it (ID byte at index 0).
    std::function<void(std::span<std::uint8_t>)> afterRead;

    std::vector<std::uint8_t> codes() const {
        std::vector<std::uint8_t> out;
        for (const Command& c : commands) out.push_back(c[0]);
        return out;
    }

    std::vector<InterfaceEntry> listInterfaces() override { return inner_.listInterfaces(); }

    std::optional<long> holderOf(const std::string& path) override { return inner_.holderOf(path); }
    std::string portPathOf(const std::string& path) override { return inner_.portPathOf(path); }
    std::string serialOf(const std::string& path) override { return inner_.serialOf(path); }
    std::string permissionHint() const override { return inner_.permissionHint(); }
    bool unitsOutliveProgram() const override { return inner_.unitsOutliveProgram(); }

    std::unique_ptr<HidHandle> open(const std::string& path, OpenError& error) override {
        std::unique_ptr<HidHandle> handle = inner_.open(path, error);
        if (!handle) return nullptr;
        return std::make_unique<Handle>(*this, std::move(handle));
    }

  private:
    class Handle : public HidHandle {
      public:
        Handle(RecordingTransport& owner, std::unique_ptr<HidHandle> inner)
            : owner_(owner), inner_(std::move(inner)) {}
        std::optional<HidAttributes> attributes() override { return inner_->attributes(); }
        std::optional<HidCaps> capabilities() override { return inner_->capabilities(); }
        WriteStatus write(std::span<const std::uint8_t> report) override {
            const WriteStatus status = inner_->write(report);
            Command c{};
            for (std::size_t i = 0; i < c.size() && i + 1 < report.size(); ++i)
                c[i] = report[i + 1];
            owner_.commands.push_back(c);
            if (owner_.afterWrite) owner_.afterWrite(c);
            return status;
        }
        ReadStatus read(std::span<std::uint8_t> buffer,
                        std::chrono::milliseconds timeout) override {
            ++owner_.reads;
            const ReadStatus status = inner_->read(buffer, timeout);
            if (status == ReadStatus::Report && owner_.afterRead) owner_.afterRead(buffer);
            if (status == ReadStatus::Timeout) ++owner_.timeouts;
            return status;
        }
        void discardQueuedInput() override { inner_->discardQueuedInput(); }
        void meantAs(Meant meant) override {
            owner_.meanings.push_back(meant);
            inner_->meantAs(meant);
        }
        std::string failureText() const override { return inner_->failureText(); }

      private:
        RecordingTransport& owner_;
        std::unique_ptr<HidHandle> inner_;
    };

    Transport& inner_;
};

}  // namespace kavo3::link::testing
