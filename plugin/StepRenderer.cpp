#include "StepRenderer.h"

#include <algorithm>
#include <cmath>

MidiStep StepRenderer::render (const RenderSettings& settings, const PatternSnapshot& pattern, int voice, int step, int variation) noexcept
{
    MidiStep result;

    if (voice < 0 || voice >= Voices::count || variation < 0 || variation >= Pattern::numVariations)
        return result;

    const auto& controls = settings.voices[static_cast<std::size_t> (voice)];
    const auto length = std::clamp (settings.patternLength, 1, Pattern::numSteps);
    const auto shift = controls.shift;

    // A shift of n plays stored step i at step i + 4n, wrapping at the length.
    auto stored = ((step % length) + length) % length - 4 * shift;
    stored = ((stored % length) + length) % length;
    const auto& record = pattern.step (variation, stored);

    const auto position = ((step % Pattern::barPositions) + Pattern::barPositions) % Pattern::barPositions;

    auto dropped = true;
    if (record.hasHit (voice))
    {
        const auto threshold = std::round (static_cast<float> (controls.density) * (static_cast<float> (settings.densityMain) / 100.0f));
        const auto recordPosition = std::clamp (static_cast<int> (record.position), 0, Pattern::barPositions - 1);
        const auto rank = pattern.rank (variation, voice, recordPosition);
        dropped = static_cast<float> ((100 / length) * rank) >= threshold;
    }

    const auto forcedKick = voice == BD && settings.fourFloor && position % 4 == 0;
    const auto forcedSnare = voice == SD && settings.forceSnare && position % 8 == 4;
    const auto forcedHat = voice == OH && settings.forceOpenHat && position % 4 == 2;

    if (! ((controls.enabled && ! dropped) || forcedKick || forcedSnare || forcedHat))
        return result;

    const auto velocityClass = record.velocityClass (voice);

    if (forcedKick || velocityClass == 2)
        result.velocity = 127;
    else if (velocityClass == 1)
        result.velocity = static_cast<int> (std::round (static_cast<float> (settings.velocityMain) / 100.0f * static_cast<float> (controls.velocity)));
    else
        result.velocity = 64;

    result.velocity = std::clamp (result.velocity, 0, 127);
    result.swing = (step % 2 != 0) ? std::clamp ((settings.swing - 50) / 25.0, 0.0, 1.0) : 0.0;
    result.note = controls.pitch;
    result.valid = 1;
    return result;
}
