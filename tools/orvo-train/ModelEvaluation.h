#pragma once

#include "DrumCorpus.h"
#include "ModelFile.h"

#include <vector>

namespace ModelEvaluation
{
    // A miss (the actual next step is not offered) costs this many bits.
    static constexpr double missBits = 16.0;

    struct Score
    {
        std::int64_t steps = 0;
        std::int64_t covered = 0;
        double bits = 0.0;

        double coverage() const noexcept { return steps > 0 ? double (covered) / double (steps) : 0.0; }
        double bitsPerStep() const noexcept { return steps > 0 ? bits / double (steps) : 0.0; }
    };

    // Walks each sequence as the generator would (a start marker, then the
    // steps played, cut to maxContext) and scores the actual next steps under
    // the reached node's distribution at temperature 1 and top-p 1.
    Score evaluate (const ModelFile& model, const std::vector<DrumCorpus::Sequence>& sequences, int maxContext);

    struct Structure
    {
        std::vector<std::int64_t> nodesPerDepth;
        std::int64_t entries = 0;
        std::size_t bytesUsed = 0;      // bytes the tree reaches
        bool withinBounds = true;       // every node and entry inside the file
        bool siblingOffsetsMatch = true; // offsets equal the subtree sizes
    };

    Structure inspect (const ModelFile& model);
}
