// Owners for the Windows objects the HID backend holds: kernel handles, device-information
// sets and HID preparsed data. Each releases its object exactly once.
#pragma once

#include <windows.h>

#include <utility>

namespace kavo3::link::windows {

// A kernel handle; both null and INVALID_HANDLE_VALUE count as "none".
class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE h) : h_(h) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(std::exchange(other.h_, nullptr));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }

    void reset(HANDLE h = nullptr) {
        if (*this) ::CloseHandle(h_);
        h_ = h;
    }

  private:
    HANDLE h_ = nullptr;
};

}  // namespace kavo3::link::windows
