// The period of the ticks that settle waits count. 1 ms by default; the unit's firmware was made
// against a timer that fired only every 15.6 ms, so a unit that misbehaves at our pace can be
// tried at 16 (KAVO3_TICK_MS=16 or --tick-ms 16).
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace kavo3::link {

inline constexpr const char* kTickEnvironment = "KAVO3_TICK_MS";
inline constexpr const char* kTickOption = "--tick-ms";
inline constexpr int kMaxTickMs = 1000;

// A whole number of milliseconds from 1 to kMaxTickMs.
std::optional<std::chrono::milliseconds> parseTickMs(std::string_view text);

// Sets the period from `option` (the --tick-ms value; null when it was not given), else from
// KAVO3_TICK_MS. On a bad value keeps the period and returns what is wrong.
std::string setTickPeriodFrom(const char* option);

void setTickPeriod(std::chrono::milliseconds period);
std::chrono::milliseconds tickPeriod();

}  // namespace kavo3::link
