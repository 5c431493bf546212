#pragma once

#include "StepToken.h"

#include <array>

namespace Thinning
{
    // Per voice, the priority of each bar position; priority 0 is thinned out last.
    extern const std::array<std::array<int, Pattern::barPositions>, Voices::count> priorities;
}

namespace Velocity
{
    // [voice][position in bar][class]: probabilities of velocity classes 0, 1 and 2.
    using Table = std::array<std::array<std::array<double, 3>, Pattern::barPositions>, Voices::count>;
    extern const Table velocityProbabilities;

    // Class for a uniform draw u in [0, 1), subtracting the class shares in turn.
    int classForDraw (double u, const std::array<double, 3>& probabilities) noexcept;
}
