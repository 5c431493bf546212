#include "VariationGenerator.h"
#include "VelocityTables.h"

#include <algorithm>
#include <cmath>

namespace
{
    void keepLast (VariationGenerator::Context& context, int count)
    {
        const auto keep = static_cast<std::size_t> (std::max (0, count));

        if (context.size() > keep)
            context.erase (context.begin(), context.end() - static_cast<std::ptrdiff_t> (keep));
    }

    // floor (d * range / 2^32) for a fresh 32-bit draw d; range may be negative.
    int drawOffset (juce::Random& random, int range)
    {
        const auto d = static_cast<std::int64_t> (static_cast<std::uint32_t> (random.nextInt()));
        return static_cast<int> ((d * range) >> 32);
    }
}

VariationGenerator::VariationGenerator()
{
    for (auto& context : contextHistories)
    {
        context.reserve (64);
        context.assign (1, startToken);
    }
}

void VariationGenerator::prepareContexts (int continueSteps, bool multi)
{
    const auto used = multi ? Pattern::numVariations : 1;

    for (int j = 0; j < used; ++j)
    {
        auto& context = contextHistories[static_cast<std::size_t> (j)];

        if (continueSteps != 0)
            keepLast (context, continueSteps);
        else if (! multi)
            context.assign (1, startToken);
        else if (j != 0)
            context = contextHistories[0];
    }
}

std::array<VariationGenerator::VariationSettings, Pattern::numVariations>
VariationGenerator::drawVariationSettings (const GeneratorSettings& s)
{
    std::array<VariationSettings, Pattern::numVariations> result {};
    result[0] = { juce::jlimit (0.1f, 2.0f, s.temperature), juce::jlimit (0.1f, 1.0f, s.topp), s.maxContext };

    const auto tMin = juce::jlimit (0.1f, 2.0f, s.temperatureMin);
    const auto tMax = juce::jlimit (0.1f, 2.0f, s.temperatureMax);
    const auto pMin = juce::jlimit (0.1f, 1.0f, s.toppMin);
    const auto pMax = juce::jlimit (0.1f, 1.0f, s.toppMax);
    const auto cMin = juce::jlimit (1, 16, s.maxContextMin);
    const auto cMax = juce::jlimit (1, 16, s.maxContextMax);

    for (std::size_t v = 1; v < result.size(); ++v)
    {
        const auto t = tMin + (tMax - tMin) * generatorRandom.nextFloat();
        const auto p = pMin + (pMax - pMin) * generatorRandom.nextFloat();
        const auto c = cMin + drawOffset (generatorRandom, cMax - cMin + 1);
        result[v] = { t, p, c };
    }

    return result;
}

int VariationGenerator::sampleEntry (const ModelFile& model, const ModelFile::TrieNode& node, double temperature, double topp)
{
    const auto n = node.entryCount;
    const auto exponent = 1.0 / temperature;

    // The powers and their shares are computed once and shared by the sum, the
    // cut and the draw; x^1 is x exactly, so temperature 1 skips the powers.
    double total = 0.0;
    for (int i = 0; i < n; ++i)
    {
        const auto x = static_cast<double> (model.entry (node, i).weight);
        powers[static_cast<std::size_t> (i)] = exponent == 1.0 ? x : std::pow (x, exponent);
        total += powers[static_cast<std::size_t> (i)];
    }

    for (int i = 0; i < n; ++i)
        shares[static_cast<std::size_t> (i)] = powers[static_cast<std::size_t> (i)] / total;

    int kept = n;
    double cumulative = 0.0;
    for (int i = 0; i < n; ++i)
    {
        cumulative += shares[static_cast<std::size_t> (i)];

        if (cumulative >= topp)
        {
            kept = i + 1;
            break;
        }
    }

    auto r = cumulative * generatorRandom.nextDouble();

    for (int j = 0; j < kept; ++j)
    {
        r -= shares[static_cast<std::size_t> (j)];

        if (r <= 0.0)
            return j;
    }

    return -1;
}

void VariationGenerator::addStep (PatternSnapshot& pattern, int variation, int step, int token, int voice,
                                  const std::array<bool, Voices::count>& locked)
{
    const auto position = step % Pattern::barPositions;
    auto& stored = pattern.step (variation, step);
    const auto old = stored;
    auto word = token;
    PatternStep result;

    for (int i = 0; i < Voices::count; ++i)
    {
        const auto regenerated = (i == voice) || (voice == -1 && ! locked[static_cast<std::size_t> (i)]);

        if (regenerated)
        {
            const auto u = velocityRandom.nextDouble();
            const auto& p = Velocity::velocityProbabilities[static_cast<std::size_t> (i)][static_cast<std::size_t> (position)];
            result.velocityClasses[static_cast<std::size_t> (i)] = static_cast<std::int8_t> (Velocity::classForDraw (u, p));
        }
        else
        {
            word = old.hasHit (i) ? (word | (1 << i)) : (word & ~(1 << i));
            result.velocityClasses[static_cast<std::size_t> (i)] = static_cast<std::int8_t> (old.velocityClass (i));
        }
    }

    result.hits = word;
    result.position = position;
    result.numVelocityClasses = Voices::count;
    stored = result;
}

void VariationGenerator::generate (const ModelFile& model, const GeneratorSettings& settings, int voice, bool firstPass,
                                   PatternSnapshot& pattern)
{
    const auto beam = settings.variationType == 1;

    if (beam && ! firstPass && settings.continueSteps == 0)
        generate (model, settings, voice, true, pattern);

    const auto multi = beam && ! firstPass;
    prepareContexts (settings.continueSteps, multi);

    const auto variations = drawVariationSettings (settings);

    for (int s = 0; s < Pattern::numSteps; ++s)
    {
        int walked = -1;   // depth of the shared context's walk at this step

        for (int v = 0; v < Pattern::numVariations; ++v)
        {
            const auto& vs = variations[static_cast<std::size_t> (v)];
            auto& context = contextHistories[static_cast<std::size_t> (multi ? v : 0)];
            keepLast (context, vs.contextLength);
            const auto length = static_cast<int> (context.size());

            // The variations after the first only cut the shared context
            // shorter, so its walk is done once and followed part of the way.
            if (multi || walked < 0)
                walked = model.descendPath (context.data(), length, path);

            const auto depth = std::min (walked, length);

            if (depth <= 0 || path[static_cast<std::size_t> (depth)].entryCount == 0)
            {
                addStep (pattern, v, s, Tokens::emptyStep, voice, settings.locked);
                continue;
            }

            const auto& node = path[static_cast<std::size_t> (depth)];
            const auto picked = sampleEntry (model, node, vs.temperature, vs.topp);

            if (picked >= 0)
                addStep (pattern, v, s, model.entry (node, picked).nextStep, voice, settings.locked);
        }

        if (multi)
        {
            for (int v = 0; v < Pattern::numVariations; ++v)
                contextHistories[static_cast<std::size_t> (v)].push_back (Step::contextToken (pattern.step (v, s).hits, s));
        }
        else
        {
            contextHistories[0].push_back (Step::contextToken (pattern.step (0, s).hits, s));
        }
    }

    PatternRanks::rebuild (pattern, settings.patternLength);
}
