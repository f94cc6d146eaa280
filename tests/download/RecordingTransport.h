// Wraps a transport and keeps every output report written through it, so that a test can
// check the exchanges with a unit that answers for itself.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "link/Transport.h"

namespace kavo3::download::testing {

class RecordingTransport : public link::Transport {
  public:
    explicit RecordingTransport(link::Transport& inner) : inner_(inner) {}

    // The eight bytes after the report ID of every report written, in order.
    std::vector<std::array<std::uint8_t, 8>> written;

    std::vector<link::InterfaceEntry> listInterfaces() override { return inner_.listInterfaces(); }

    std::unique_ptr<link::HidHandle> open(const std::string& path,
                                          link::OpenError& error) override {
        std::unique_ptr<link::HidHandle> handle = inner_.open(path, error);
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
            std::array<std::uint8_t, 8> bytes{};
            for (std::size_t i = 0; i < bytes.size() && i + 1 < report.size(); ++i)
                bytes[i] = report[i + 1];
            owner_.written.push_back(bytes);
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

}  // namespace kavo3::download::testing
