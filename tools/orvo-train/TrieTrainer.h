#pragma once

#include "DrumCorpus.h"
#include "ModelWriter.h"

#include <map>
#include <memory>

// Counts next steps for every context up to a maximum order and turns the
// counts into a model: each node's distribution interpolated with its shorter
// context's (Witten-Bell), so deep contexts seen a few times still offer the
// steps their suffix knows; negligible entries and rare contexts pruned.
class TrieTrainer
{
public:
    enum class StartMarkers { fileStart, everyBar };

    struct Options
    {
        int maxOrder = 6;                 // 1 to 16
        int minContextCount = 2;          // rarer contexts are left to their suffix
        double minProbability = 0.002;    // interpolated entries below this are dropped
        double backoffWeight = 1.0;       // scales the share Witten-Bell leaves to the suffix
        double discount = 0.0;            // 0: Witten-Bell; otherwise absolute discounting by this much
        double minGainBits = 0.0;         // leaf contexts that sharpen their suffix by less are dropped
        bool smoothing = true;
        StartMarkers startMarkers = StartMarkers::everyBar;
    };

    explicit TrieTrainer (Options options);

    void add (const DrumCorpus::Sequence& sequence);

    ModelWriter::Node build() const;

    std::int64_t stepsCounted() const noexcept { return steps; }

private:
    struct CountNode
    {
        std::map<StepToken, std::uint32_t> next;
        std::uint64_t total = 0;
        std::map<StepToken, std::unique_ptr<CountNode>> children;
    };

    void count (const std::vector<StepToken>& history, std::size_t end, int depth, StepToken next);
    double divergenceBits (const std::vector<ModelWriter::Entry>& node, const std::vector<std::pair<StepToken, double>>& parent) const;
    void buildNode (const CountNode& counts, const std::vector<std::pair<StepToken, double>>& parent,
                    int depth, ModelWriter::Node& out) const;

    Options options;
    CountNode root;
    std::int64_t steps = 0;
};
