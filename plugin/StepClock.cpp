#include "StepClock.h"

#include <algorithm>
#include <cmath>

int StepClock::findBoundaries (double t, int numSamples, double sixteenth, Boundaries& out) noexcept
{
    if (numSamples <= 0 || ! (sixteenth > 0.0) || ! std::isfinite (t))
        return 0;

    const auto first = t == 0.0 ? std::int64_t { 0 } : static_cast<std::int64_t> (std::floor (t / sixteenth)) + 1;
    const auto last = static_cast<std::int64_t> (std::floor ((t + numSamples) / sixteenth));
    int count = 0;

    for (auto k = first; k <= last && count < maxBoundariesPerBlock; ++k)
    {
        const auto exact = sixteenth * (static_cast<double> (k) - t / sixteenth);
        const auto offset = static_cast<int> (std::round (exact));   // halves away from zero
        out[static_cast<std::size_t> (count++)] = { k, std::clamp (offset, 0, numSamples - 1) };
    }

    return count;
}
