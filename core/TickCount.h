#pragma once
// The millisecond tick count that paint timing, timers and animation use.

#include <cstdint>
#include <functional>

// A 32-bit millisecond counter; it wraps after about 49.7 days.
using TTickSource = std::function<uint32_t()>;
// Milliseconds of the steady clock, cut to 32 bits.
uint32_t SteadyTickCount();
// Milliseconds from `start` to `now` across at most one wrap of the counter.
constexpr uint32_t TicksBetween(uint32_t start, uint32_t now) { return now - start; }
