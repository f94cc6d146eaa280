// Passes everything through to another transport and keeps every output report written.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "link/Transport.h"

namespace kavo3::timing::testing {

class RecordingTransport : public link::Transport {
  public:
    explicit RecordingTransport(link::Transport& inner) : inner_(inner) {}

    // Command bytes 0..7 of every output report, in order.
    std::vector<std::array<std::uint8_t, 8>> commands;

    std::vector<link::InterfaceEntry> listInterfaces() override { return inner_.listInterfaces(); }
    std::unique_ptr<link::HidHandle> open(const std::string& path,
                                          link::OpenError& error) override {
        auto handle = inner_.open(path, error);
        if (!handle) return nullptr;
        return std::make_unique<Handle>(*this, std::move(handle));
    }

  private:
    class Handle : public link::HidHandle {
      public:
        Handle(RecordingTransport& owner, std::unique_ptr<link::HidHandle> inner)
            : owner_(owner), inner_(std::move(inner)) {}
        std::optional<link::HidAttributes> attributes() override { return inner_->attributes(); }
        std::optional<link::HidCaps> capabilities() override { return inner_->capabilities(); }
        bool write(std::span<const std::uint8_t> report) override {
            std::array<std::uint8_t, 8> c{};
            for (std::size_t i = 0; i < c.size() && i + 1 < report.size(); ++i)
                c[i] = report[i + 1];
            owner_.commands.push_back(c);
            return inner_->write(report);
        }
        link::ReadStatus read(std::span<std::uint8_t> buffer,
                              std::chrono::milliseconds timeout) override {
            return inner_->read(buffer, timeout);
        }
        void discardQueuedInput() override { inner_->discardQueuedInput(); }

      private:
        RecordingTransport& owner_;
        std::unique_ptr<link::HidHandle> inner_;
    };

    link::Transport& inner_;
};

}  // namespace kavo3::timing::testing
