// Arbitrary bytes as a model file: loading and generating in every mode must
// never read outside the data, whatever the offsets and counts say.
#include "ModelFile.h"
#include "VariationGenerator.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    // The model is copied into a block of its exact size, as the loader holds it.
    std::vector<std::uint8_t> bytes (data, data + size);
    const ModelFile model (bytes.data(), bytes.size());

    VariationGenerator generator;
    generator.generatorRandom.setSeed (static_cast<juce::int64> (size));
    PatternSnapshot pattern;
    GeneratorSettings settings;
    settings.maxContext = 16;
    settings.maxContextMin = 1;
    settings.maxContextMax = 16;
    settings.temperature = size > 0 ? 0.1f + (data[0] % 20) * 0.1f : 1.0f;
    settings.topp = size > 1 ? 0.1f + (data[1] % 10) * 0.1f : 1.0f;

    for (int mode = 0; mode < 3; ++mode)
    {
        settings.variationType = mode == 0 ? 0 : 1;
        settings.continueSteps = mode == 2 ? 16 : 0;
        generator.generate (model, settings, mode == 2 ? 4 : -1, false, pattern);
    }

    // Contexts taken from the data itself reach the deepest nodes it describes.
    std::vector<StepToken> context;
    for (std::size_t i = 4; i + 1 < size && context.size() < 16; i += 8)
        context.push_back (static_cast<StepToken> (data[i] | (data[i + 1] << 8)));
    std::reverse (context.begin(), context.end());
    const auto descent = model.descend (context.data(), static_cast<int> (context.size()));
    if (descent.node.has_value())
        for (int i = 0; i < descent.node->entryCount; ++i)
            (void) model.entry (*descent.node, i);
    return 0;
}
