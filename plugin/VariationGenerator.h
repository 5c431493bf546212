#pragma once

#include "ModelFile.h"
#include "PatternStore.h"

#include <juce_core/juce_core.h>

#include <array>
#include <vector>

// What one generation reads from the parameters, gathered once per call.
struct GeneratorSettings
{
    int variationType = 0;   // 0 "parallel", 1 "beam"
    int continueSteps = 0;
    float temperature = 1.0f;
    float topp = 1.0f;
    int maxContext = 8;
    float temperatureMin = 0.8f, temperatureMax = 1.2f;
    float toppMin = 0.8f, toppMax = 1.0f;
    int maxContextMin = 4, maxContextMax = 12;
    int patternLength = 16;
    std::array<bool, Voices::count> locked {};
};

// Samples eight variations of 32 steps from a model, step by step, into a
// pattern that the caller owns and publishes. Message thread only; never on
// the audio thread.
class VariationGenerator
{
public:
    using Context = std::vector<StepToken>;

    VariationGenerator();

    // voice -1 regenerates every unlocked voice, 0-10 exactly that voice.
    void generate (const ModelFile& model, const GeneratorSettings& settings, int voice, bool firstPass,
                   PatternSnapshot& pattern);

    // Stores one sampled step, keeping the bits and classes of voices not regenerated.
    void addStep (PatternSnapshot& pattern, int variation, int step, int token, int voice,
                  const std::array<bool, Voices::count>& locked);

    struct VariationSettings
    {
        float temperature;
        float topp;
        int contextLength;
    };

    // Variation 0 from the plain parameters, 1 to 7 drawn from the ranges.
    std::array<VariationSettings, Pattern::numVariations> drawVariationSettings (const GeneratorSettings& settings);

    // Weights x^(1/T), cut at top-p in stored order, one draw; -1 when the draw
    // picks nothing (only through rounding or unusable weights).
    int sampleEntry (const ModelFile& model, const ModelFile::TrieNode& node, double temperature, double topp);

    StepToken startToken = Tokens::startMarker;
    std::array<Context, Pattern::numVariations> contextHistories;
    juce::Random generatorRandom;
    juce::Random velocityRandom;

private:
    void prepareContexts (int continueSteps, bool multi);

    std::array<double, 256> powers {};
    std::array<double, 256> shares {};
    ModelFile::Path path {};
};
