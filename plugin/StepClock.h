#pragma once

#include <array>
#include <cstdint>

// The sixteenth grid of the host timeline, as if the current tempo had held
// since sample 0 (a bar line), with four beats to the bar.
namespace StepClock
{
    struct Boundary
    {
        std::int64_t index;   // sixteenths since sample 0
        int offset;           // sample offset in the block
    };

    static constexpr int maxBoundariesPerBlock = 256;
    using Boundaries = std::array<Boundary, maxBoundariesPerBlock>;

    // The sixteenth boundaries that belong to the block [t, t + n): those in
    // (t, t + n], plus the one at t when t is 0. A boundary on a block's first
    // sample was played by the previous block, at its last sample. Returns how
    // many were written, in time order.
    int findBoundaries (double t, int numSamples, double sixteenth, Boundaries& out) noexcept;

    // Sixteenths between automatic variation switches for a "speed" index.
    constexpr int cycleSteps (int speedIndex) noexcept { return 16 >> (speedIndex < 0 ? 0 : (speedIndex > 4 ? 4 : speedIndex)); }

    constexpr std::int64_t floorMod (std::int64_t a, std::int64_t b) noexcept { return ((a % b) + b) % b; }
}
