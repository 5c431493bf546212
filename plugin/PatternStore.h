#pragma once

#include "StepToken.h"

#include <array>
#include <cstdint>

// One stored step of one variation. The class list starts empty and holds one
// velocity class (0, 1 or 2) per voice once a generation has written the step.
struct PatternStep
{
    std::int32_t hits = 0;
    std::int32_t position = 0;
    std::int32_t numVelocityClasses = 0;
    std::array<std::int8_t, Voices::count> velocityClasses {};

    bool hasVelocityClasses() const noexcept { return numVelocityClasses > 0; }

    // A step never written has no classes; it plays as class 0.
    int velocityClass (int voice) const noexcept
    {
        return voice >= 0 && voice < numVelocityClasses ? velocityClasses[static_cast<std::size_t> (voice)] : 0;
    }

    bool hasHit (int voice) const noexcept { return ((hits >> voice) & 1) != 0; }

    bool operator== (const PatternStep&) const = default;
};

using ThinningRanks = std::array<std::array<std::array<std::int32_t, Pattern::barPositions>, Voices::count>, Pattern::numVariations>;

// The whole generated pattern: what a generation publishes and playback reads.
struct PatternSnapshot
{
    std::array<std::array<PatternStep, Pattern::numSteps>, Pattern::numVariations> steps {};
    ThinningRanks thinningRanks {};

    const PatternStep& step (int variation, int index) const noexcept
    {
        return steps[static_cast<std::size_t> (variation)][static_cast<std::size_t> (index)];
    }

    PatternStep& step (int variation, int index) noexcept
    {
        return steps[static_cast<std::size_t> (variation)][static_cast<std::size_t> (index)];
    }

    std::int32_t rank (int variation, int voice, int position) const noexcept
    {
        return thinningRanks[static_cast<std::size_t> (variation)][static_cast<std::size_t> (voice)][static_cast<std::size_t> (position)];
    }

    bool operator== (const PatternSnapshot&) const = default;
};

namespace PatternRanks
{
    // Orders each voice's hit positions within the first patternLength steps by
    // the voice's thinning priority; -1 where the voice has no hit.
    void rebuild (PatternSnapshot& pattern, int patternLength) noexcept;
}
