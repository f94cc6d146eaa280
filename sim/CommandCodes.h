// The command codes as the simulated unit's firmware knows them. Kept apart from the host's
// vocabulary on purpose: a host that gets a code wrong then meets a unit that does not
// understand it, as the real one would not.
#pragma once

#include <cstdint>

namespace kavo3::sim::Cmd {

constexpr std::uint8_t StatusPoll = 0;
constexpr std::uint8_t WriteStart = 1;
constexpr std::uint8_t ConnectionCheck = 2;
constexpr std::uint8_t Erase4K = 4;
constexpr std::uint8_t Erase32K = 5;
constexpr std::uint8_t ChecksumRequest = 6;
constexpr std::uint8_t TimingAccess = 0x0F;
constexpr std::uint8_t BlockRead = 0x10;
constexpr std::uint8_t BlockWrite = 0x11;
constexpr std::uint8_t WriteEnd = 0x12;
constexpr std::uint8_t RemoteKey = 19;
constexpr std::uint8_t FrameInformation = 20;
constexpr std::uint8_t LineData = 21;
constexpr std::uint8_t Freeze = 22;

}  // namespace kavo3::sim::Cmd
