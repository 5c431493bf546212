#pragma once

#include "StepToken.h"

#include <cstdint>
#include <vector>

// Builds model files: a trie in memory, written in pre-order so that each
// child's next-sibling offset is the size of its subtree.
namespace ModelWriter
{
    struct Entry
    {
        float weight = 0.0f;
        StepToken nextStep = 0;
    };

    struct Node
    {
        StepToken key = 0;
        std::vector<Entry> entries;     // at most 255 are written
        std::vector<Node> children;     // in the order the generator scans them
    };

    std::size_t subtreeSize (const Node& node);
    std::vector<std::uint8_t> serialise (const Node& root);
}
