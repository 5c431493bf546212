#include "TrieTrainer.h"

#include <algorithm>
#include <cmath>

TrieTrainer::TrieTrainer (Options o) : options (o)
{
    options.maxOrder = std::clamp (options.maxOrder, 1, 16);
}

// Counts `next` after the `depth` tokens of history ending before `end`.
void TrieTrainer::count (const std::vector<StepToken>& history, std::size_t end, int depth, StepToken next)
{
    auto* node = &root;
    for (int d = 0; d < depth; ++d)
    {
        auto& child = node->children[history[end - 1 - static_cast<std::size_t> (d)]];
        if (child == nullptr)
            child = std::make_unique<CountNode>();
        node = child.get();
    }
    ++node->next[next];
    ++node->total;
}

void TrieTrainer::add (const DrumCorpus::Sequence& sequence)
{
    std::vector<StepToken> history;
    history.reserve (sequence.tokens.size() + 1);
    history.push_back (Tokens::startMarker);
    history.insert (history.end(), sequence.tokens.begin(), sequence.tokens.end());

    for (std::size_t i = 1; i < history.size(); ++i)
    {
        const auto next = history[i];
        count (history, i, 0, next);
        for (int depth = 1; depth <= options.maxOrder && static_cast<std::size_t> (depth) <= i; ++depth)
            count (history, i, depth, next);
        ++steps;
    }

    if (options.startMarkers != StartMarkers::everyBar)
        return;

    // Every bar line may also start a pattern: count the contexts that reach
    // back to a start marker placed there.
    for (std::size_t bar = 16; bar < sequence.tokens.size(); bar += 16)
    {
        std::vector<StepToken> fromBar { Tokens::startMarker };
        for (std::size_t i = bar; i < sequence.tokens.size() && fromBar.size() <= static_cast<std::size_t> (options.maxOrder); ++i)
        {
            count (fromBar, fromBar.size(), static_cast<int> (fromBar.size()), sequence.tokens[i]);
            fromBar.push_back (sequence.tokens[i]);
        }
    }
}

// Kullback-Leibler divergence of a node's entries from its parent's, in bits;
// tokens the parent lacks are charged as if the parent gave them minProbability.
double TrieTrainer::divergenceBits (const std::vector<ModelWriter::Entry>& node,
                                    const std::vector<std::pair<StepToken, double>>& parent) const
{
    std::map<StepToken, double> q (parent.begin(), parent.end());
    double bits = 0.0;
    for (const auto& e : node)
    {
        if (e.weight <= 0.0f)
            continue;
        const auto found = q.find (e.nextStep);
        const auto qp = found != q.end() ? found->second : std::max (options.minProbability, 1e-6);
        bits += e.weight * std::log2 (e.weight / qp);
    }
    return bits;
}

void TrieTrainer::buildNode (const CountNode& counts, const std::vector<std::pair<StepToken, double>>& parent,
                             int depth, ModelWriter::Node& out) const
{
    // Witten-Bell: the share left to the shorter context grows with the number
    // of different next steps seen here relative to how often the context occurred.
    const auto total = static_cast<double> (counts.total);
    const auto types = static_cast<double> (counts.next.size());
    std::map<StepToken, double> probability;

    if (options.smoothing && ! parent.empty())
    {
        // Absolute discounting instead takes a fixed amount off every count.
        const auto d = options.discount;
        const auto kept = d > 0.0 ? 1.0 - std::min (1.0, d * types / total) : total / (total + options.backoffWeight * types);
        for (const auto& [token, n] : counts.next)
            probability[token] = d > 0.0 ? std::max (0.0, n - d) / total : kept * n / total;
        for (const auto& [token, p] : parent)
        {
            const auto interpolated = (1.0 - kept) * p;
            const auto seenHere = counts.next.count (token) > 0;
            if (seenHere || interpolated >= options.minProbability)
                probability[token] += interpolated;
        }
    }
    else
    {
        for (const auto& [token, n] : counts.next)
            probability[token] = n / total;
    }

    std::vector<std::pair<StepToken, double>> entries (probability.begin(), probability.end());
    std::sort (entries.begin(), entries.end(), [] (const auto& a, const auto& b)
    {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    if (entries.size() > 255)
        entries.resize (255);

    double sum = 0.0;
    for (const auto& e : entries)
        sum += e.second;
    for (auto& e : entries)
        e.second /= sum;

    // The root is the empty context: never sampled, so it stores no entries.
    if (depth > 0)
        for (const auto& [token, p] : entries)
            out.entries.push_back ({ static_cast<float> (p), token });

    if (depth >= options.maxOrder)
        return;

    // Frequent contexts first, so the generator's sibling scan meets them early.
    std::vector<const std::pair<const StepToken, std::unique_ptr<CountNode>>*> children;
    // Every single step seen keeps its node: without one the generator has
    // nothing to draw from after that step. Longer contexts must earn theirs.
    const auto minCount = depth == 0 ? std::uint64_t { 1 } : static_cast<std::uint64_t> (options.minContextCount);
    for (const auto& child : counts.children)
        if (child.second->total >= minCount)
            children.push_back (&child);
    std::sort (children.begin(), children.end(), [] (auto* a, auto* b)
    {
        return a->second->total != b->second->total ? a->second->total > b->second->total : a->first < b->first;
    });

    for (const auto* child : children)
    {
        ModelWriter::Node node;
        node.key = child->first;
        buildNode (*child->second, entries, depth + 1, node);

        // A leaf that predicts about what its suffix predicts only costs space:
        // without it the generator stops one level up and draws the same.
        if (depth > 0 && node.children.empty() && options.minGainBits > 0.0
            && static_cast<double> (child->second->total) * divergenceBits (node.entries, entries) < options.minGainBits)
            continue;

        out.children.push_back (std::move (node));
    }
}

ModelWriter::Node TrieTrainer::build() const
{
    ModelWriter::Node result;
    buildNode (root, {}, 0, result);
    return result;
}
