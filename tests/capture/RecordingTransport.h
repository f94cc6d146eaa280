// Wraps a transport and records every output report the link writes, so a test can check
// the exchange sequence and act at a chosen moment (the unit receiving line k, say).
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "link/Transport.h"

namespace kavo3::capture::testing {

class RecordingTransport : public link::Transport {
  public:
    explicit RecordingTransport(link::Transport& inner) : inner_(inner) {}

    // Command bytes 0 and 1 of every output report written, in order.
    struct Command {
        std::uint8_t code;
        std::uint8_t byte1;
    };
    std::vector<Command> commands;
    int reads = 0;
    // Called after each write has reached the unit.
    std::function<void(const Command&)> afterWrite;
    // May change each input report before the link sees it (ID byte at index 0).
    std::function<void(std::span<std::uint8_t>)> afterRead;

    std::vector<link::InterfaceEntry> listInterfaces() override { return inner_.listInterfaces(); }

    std::unique_ptr<link::HidHandle> open(const std::string& path,
                                          link::OpenError& error) override {
        auto handle = inner_.open(path, error);
        if (!handle) return nullptr;
        return std::make_unique<Handle>(*this, std::move(handle));
    }

    std::vector<std::uint8_t> codes() const {
        std::vector<std::uint8_t> out;
        for (const auto& c : commands) out.push_back(c.code);
        return out;
    }

  private:
    class Handle : public link::HidHandle {
      public:
        Handle(RecordingTransport& owner, std::unique_ptr<link::HidHandle> inner)
            : owner_(owner), inner_(std::move(inner)) {}
        std::optional<link::HidAttributes> attributes() override { return inner_->attributes(); }
        std::optional<link::HidCaps> capabilities() override { return inner_->capabilities(); }
        bool write(std::span<const std::uint8_t> report) override {
            const bool ok = inner_->write(report);
            const Command c{report.size() > 1 ? report[1] : std::uint8_t{0},
                            report.size() > 2 ? report[2] : std::uint8_t{0}};
            owner_.commands.push_back(c);
            if (owner_.afterWrite) owner_.afterWrite(c);
            return ok;
        }
        link::ReadStatus read(std::span<std::uint8_t> buffer,
                              std::chrono::milliseconds timeout) override {
            ++owner_.reads;
            const link::ReadStatus status = inner_->read(buffer, timeout);
            if (status == link::ReadStatus::Report && owner_.afterRead) owner_.afterRead(buffer);
            return status;
        }
        void discardQueuedInput() override { inner_->discardQueuedInput(); }

      private:
        RecordingTransport& owner_;
        std::unique_ptr<link::HidHandle> inner_;
    };

    link::Transport& inner_;
};

}  // namespace kavo3::capture::testing
