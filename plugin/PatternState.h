#pragma once

#include "PatternStore.h"

#include <juce_data_structures/juce_data_structures.h>

#include <optional>
#include <vector>

// The generated pattern and the generator's context histories as one child of
// the saved parameter tree, so that a reopened project plays what was saved.
namespace PatternState
{
    static const juce::Identifier elementType { "PATTERN" };

    struct Saved
    {
        PatternSnapshot pattern;
        std::array<std::vector<StepToken>, Pattern::numVariations> contexts;
    };

    juce::ValueTree toValueTree (const Saved& saved);

    // Nothing when the element is missing or any part of it is malformed: a
    // damaged pattern is never half restored.
    std::optional<Saved> fromValueTree (const juce::ValueTree& element);
}
