#include "ModelEvaluation.h"

#include <cmath>

ModelEvaluation::Score ModelEvaluation::evaluate (const ModelFile& model, const std::vector<DrumCorpus::Sequence>& sequences, int maxContext)
{
    Score score;
    std::vector<StepToken> context;

    for (const auto& sequence : sequences)
    {
        context.assign (1, Tokens::startMarker);
        for (const auto actual : sequence.tokens)
        {
            if (context.size() > static_cast<std::size_t> (maxContext))
                context.erase (context.begin(), context.end() - maxContext);

            const auto d = model.descend (context.data(), static_cast<int> (context.size()));
            double p = 0.0;

            if (d.depth > 0 && d.node.has_value())
            {
                double total = 0.0, mine = 0.0;
                for (int i = 0; i < d.node->entryCount; ++i)
                {
                    const auto e = model.entry (*d.node, i);
                    total += e.weight;
                    if (e.nextStep == actual)
                        mine += e.weight;
                }
                p = total > 0.0 ? mine / total : 0.0;
            }

            ++score.steps;
            if (p > 0.0)
            {
                ++score.covered;
                score.bits += -std::log2 (p);
            }
            else
            {
                score.bits += missBits;
            }
            context.push_back (actual);
        }
    }
    return score;
}

namespace
{
    // Returns the subtree size of the node at offset, checking each child chain.
    // Deeper than any context a generator uses: a damaged file, not a model.
    constexpr int maxDepth = 256;

    std::size_t walk (const ModelFile& model, const ModelFile::TrieNode& node, int depth, ModelEvaluation::Structure& s)
    {
        if (depth > maxDepth)
        {
            s.withinBounds = false;
            return 0;
        }

        if ((int) s.nodesPerDepth.size() <= depth)
            s.nodesPerDepth.resize ((size_t) depth + 1, 0);
        ++s.nodesPerDepth[(size_t) depth];
        s.entries += node.entryCount;

        auto size = ModelFile::nodeHeaderSize + ModelFile::entrySize * (std::size_t) node.entryCount;
        if (! node.hasChildren)
            return size;

        auto child = model.firstChild (node);
        if (! child.has_value())
        {
            s.withinBounds = false;
            return size;
        }

        while (child.has_value())
        {
            const auto childSize = walk (model, *child, depth + 1, s);
            size += childSize;
            if (child->nextSiblingOffset == 0)
                break;
            if (child->nextSiblingOffset != childSize)
                s.siblingOffsetsMatch = false;
            const auto next = model.nextSibling (*child);
            if (! next.has_value())
                s.withinBounds = false;
            child = next;
        }
        return size;
    }
}

ModelEvaluation::Structure ModelEvaluation::inspect (const ModelFile& model)
{
    Structure s;
    if (const auto root = model.root())
        s.bytesUsed = walk (model, *root, 0, s);
    else
        s.withinBounds = model.size() == 0;
    return s;
}
