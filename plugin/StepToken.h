#pragma once

#include <array>
#include <cstdint>

// One sixteenth step as the model sees it: bits 0-10 hit flags in Instrument
// order, bits 11-12 the metric position class, bits 13-15 carried untouched.
using StepToken = std::uint16_t;

enum Instrument : int { BD, SD, CH, OH, LT, MT, HT, RS, CP, CB, CY };

namespace Voices
{
    static constexpr int count = 11;
    static constexpr std::array<const char*, count> codes { "BD", "SD", "CH", "OH", "LT", "MT",
                                                            "HT", "RS", "CP", "CB", "CY" };
    static constexpr std::array<int, count> defaultPitches { 36, 38, 42, 46, 43, 47, 50, 37, 39, 49, 51 };
}

namespace Tokens
{
    static constexpr StepToken startMarker = 0xFFFF;
    static constexpr StepToken emptyStep = 0;
    static constexpr int hitMask = 0x7FF;
    static constexpr int positionShift = 11;
}

namespace Step
{
    // Metric class of a step within half a bar, indexed by step mod 8.
    static constexpr std::array<std::uint8_t, 8> positionWeights { 0, 1, 2, 1, 0, 1, 2, 3 };

    // The context token the generator appends after storing a step.
    constexpr StepToken contextToken (int hits, int step) noexcept
    {
        return static_cast<StepToken> ((hits | (positionWeights[static_cast<std::size_t> (step % 8)] << Tokens::positionShift)) & 0xFFFF);
    }
}

namespace Pattern
{
    static constexpr int numVariations = 8;
    static constexpr int numSteps = 32;
    static constexpr int barPositions = 16;
}
