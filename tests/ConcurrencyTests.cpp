// Generation on one thread while another plays: run under ThreadSanitizer,
// and every pattern the reader sees must be one that was published whole.
#include <gtest/gtest.h>

#include "ModelWriter.h"
#include "PatternBank.h"
#include "StepRenderer.h"
#include "VariationGenerator.h"

#include <atomic>
#include <thread>

namespace
{
    ModelWriter::Node busyModel()
    {
        // Every context offers several steps, so each generation differs.
        ModelWriter::Node root;
        std::vector<StepToken> keys { Tokens::startMarker };
        for (int hits = 0; hits < 64; ++hits)
            for (int c = 0; c < 4; ++c)
                keys.push_back ((StepToken) (hits | (c << 11)));
        for (auto key : keys)
        {
            ModelWriter::Node child;
            child.key = key;
            for (int e = 0; e < 12; ++e)
                child.entries.push_back ({ 1.0f + e, (StepToken) ((key * 7 + e * 13) & 63) });
            root.children.push_back (child);
        }
        return root;
    }
}

TEST (Concurrency, PlaybackReadsOnlyWholePatternsWhileGenerationRuns)
{
    const auto bytes = ModelWriter::serialise (busyModel());
    const ModelFile model (bytes.data(), bytes.size());
    PatternBank bank;
    std::atomic<bool> done { false };
    std::atomic<int> published { 0 };
    PatternSnapshot initial;
    PatternRanks::rebuild (initial, 16);
    bank.publish (initial);

    std::thread messageThread ([&]
    {
        VariationGenerator generator;
        GeneratorSettings settings;
        PatternSnapshot working;
        for (int i = 0; i < 300; ++i)
        {
            working = bank.copy();
            settings.variationType = i % 2;
            settings.continueSteps = i % 3 == 0 ? 4 : 0;
            settings.locked[1] = i % 5 == 0;
            generator.generate (model, settings, i % 7 == 0 ? 3 : -1, false, working);
            bank.publish (working);
            ++published;
        }
        done = true;
    });

    int reads = 0, torn = 0;
    RenderSettings render;
    render.voices[2].density = 50;
    while (! done)
    {
        const auto reader = bank.read();
        const auto& pattern = reader.pattern();
        int valid = 0;
        for (int v = 0; v < 8; ++v)
            for (int step = 0; step < 16; ++step)
                for (int voice = 0; voice < 11; ++voice)
                    valid += StepRenderer::render (render, pattern, voice, step, v).valid;

        // Ranks are rebuilt from the steps before publishing: a torn read
        // would mix the ranks of one pattern with the steps of another.
        auto check = pattern;
        PatternRanks::rebuild (check, 16);
        torn += check.thinningRanks == pattern.thinningRanks ? 0 : 1;
        ++reads;
        (void) valid;
    }
    messageThread.join();

    EXPECT_EQ (published.load(), 300);
    EXPECT_GT (reads, 10);
    EXPECT_EQ (torn, 0);
}
