#include "PatternStore.h"
#include "VelocityTables.h"

#include <algorithm>

void PatternRanks::rebuild (PatternSnapshot& pattern, int patternLength) noexcept
{
    const auto length = std::clamp (patternLength, 0, Pattern::numSteps);

    for (int v = 0; v < Pattern::numVariations; ++v)
    {
        for (int voice = 0; voice < Voices::count; ++voice)
        {
            std::array<bool, Pattern::barPositions> hit {};

            for (int k = 0; k < length; ++k)
                if (pattern.step (v, k).hasHit (voice))
                    hit[static_cast<std::size_t> (k % Pattern::barPositions)] = true;

            std::array<int, Pattern::barPositions> positions {};
            int count = 0;

            for (int p = 0; p < Pattern::barPositions; ++p)
                if (hit[static_cast<std::size_t> (p)])
                    positions[static_cast<std::size_t> (count++)] = p;

            const auto& priority = Thinning::priorities[static_cast<std::size_t> (voice)];
            std::sort (positions.begin(), positions.begin() + count,
                       [&] (int a, int b) { return priority[static_cast<std::size_t> (a)] < priority[static_cast<std::size_t> (b)]; });

            auto& ranks = pattern.thinningRanks[static_cast<std::size_t> (v)][static_cast<std::size_t> (voice)];
            ranks.fill (-1);

            for (int r = 0; r < count; ++r)
                ranks[static_cast<std::size_t> (positions[static_cast<std::size_t> (r)])] = r;
        }
    }
}
