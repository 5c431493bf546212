#include "TestSupport.h"

using namespace testing_support;

namespace
{
    // Every voice's stored hits and classes set by hand, ranks rebuilt.
    PatternSnapshot patternWith (std::initializer_list<std::tuple<int, int, int>> voiceStepClass, int length = 16)
    {
        PatternSnapshot p;
        for (int v = 0; v < 8; ++v)
            for (int s = 0; s < 32; ++s)
            {
                p.step (v, s).position = s % 16;
                p.step (v, s).numVelocityClasses = 11;
            }
        for (auto [voice, step, cls] : voiceStepClass)
            for (int v = 0; v < 8; ++v)
            {
                p.step (v, step).hits |= 1 << voice;
                p.step (v, step).velocityClasses[(size_t) voice] = (std::int8_t) cls;
            }
        PatternRanks::rebuild (p, length);
        return p;
    }

    std::vector<int> soundingSteps (const RenderSettings& s, const PatternSnapshot& p, int voice, int steps = 16)
    {
        std::vector<int> out;
        for (int i = 0; i < steps; ++i)
            if (StepRenderer::render (s, p, voice, i, 0).valid > 0)
                out.push_back (i);
        return out;
    }
}

TEST (StepRendering, ForcedHitsSoundWhateverThePattern)
{
    const auto p = patternWith ({ { SD, 4, 0 }, { SD, 12, 2 }, { OH, 6, 1 } });
    RenderSettings s;
    s.voices[BD].enabled = false;
    s.voices[BD].density = 0;
    s.fourFloor = s.forceSnare = s.forceOpenHat = true;
    s.voices[SD].enabled = false;

    EXPECT_EQ (soundingSteps (s, p, BD), (std::vector<int> { 0, 4, 8, 12 }));
    EXPECT_EQ (soundingSteps (s, p, SD), (std::vector<int> { 4, 12 }));
    EXPECT_EQ (soundingSteps (s, p, OH, 32), (std::vector<int> { 2, 6, 10, 14, 18, 22, 26, 30 }));

    EXPECT_EQ (StepRenderer::render (s, p, BD, 4, 0).velocity, 127);
    EXPECT_EQ (StepRenderer::render (s, p, SD, 4, 0).velocity, 64);    // class stored there: 0
    EXPECT_EQ (StepRenderer::render (s, p, SD, 12, 0).velocity, 127);  // class 2
    EXPECT_EQ (StepRenderer::render (s, p, OH, 6, 0).velocity, 100);   // class 1, velocity controls
}

TEST (StepRendering, ShiftMovesAVoiceByWholeBeats)
{
    struct Case { int voice, shift, length, step, storedStep; };
    const Case cases[] {
        { SD, 1, 16, 4, 0 }, { SD, 1, 16, 0, 12 }, { BD, 3, 2, 0, 0 }, { BD, 3, 2, 1, 1 }, { CH, 2, 32, 8, 0 }, { CH, 2, 32, 3, 27 },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.step);
        const auto p = patternWith ({ { c.voice, c.storedStep, 2 } }, c.length);
        RenderSettings s;
        s.patternLength = c.length;
        s.voices[(size_t) c.voice].shift = c.shift;
        std::vector<int> sounding;
        for (int i = 0; i < c.length; ++i)
            if (StepRenderer::render (s, p, c.voice, i, 0).valid > 0)
                sounding.push_back (i);
        EXPECT_EQ (sounding, std::vector<int> { c.step });
    }
}

TEST (StepRendering, DensityThinsHitsByRank)
{
    // Hits on every step: ranks are the voice's priorities, so thinning keeps
    // the highest-priority positions.
    std::initializer_list<std::tuple<int, int, int>> all {};
    PatternSnapshot p = patternWith (all);
    for (int v = 0; v < 8; ++v)
        for (int step = 0; step < 16; ++step)
            p.step (v, step).hits = Tokens::hitMask;
    PatternRanks::rebuild (p, 16);

    struct Case { int voice, density, densityMain, length; int expectedCount; };
    const Case cases[] {
        { BD, 100, 100, 16, 16 },
        { BD, 50, 100, 16, 9 },     // 6 x 8 = 48 < 50
        { RS, 50, 50, 16, 5 },      // threshold 25: ranks 0..4
        { CH, 0, 100, 16, 0 },
        { CH, 100, 0, 16, 0 },
        { CH, 10, 100, 8, 1 },      // factor 12: rank 0 only
        { CH, 1, 100, 1, 1 },       // factor 100: rank 0 plays below threshold 1
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.density);
        RenderSettings s;
        s.patternLength = c.length;
        s.densityMain = c.densityMain;
        s.voices[(size_t) c.voice].density = c.density;
        PatternRanks::rebuild (p, c.length);
        EXPECT_EQ ((int) soundingSteps (s, p, c.voice, c.length).size(), c.expectedCount);
    }

    RenderSettings s;
    s.voices[HT].density = 50;
    const auto unshifted = soundingSteps (s, p, HT);
    s.voices[HT].shift = 2;
    auto shifted = soundingSteps (s, p, HT);
    for (auto& step : shifted)
        step = (step + 8) % 16;
    std::sort (shifted.begin(), shifted.end());
    EXPECT_EQ (shifted, unshifted);   // the same hits survive, two beats later
}

TEST (StepRendering, VelocitySwingAndArgumentChecks)
{
    const auto p = patternWith ({ { CH, 0, 0 }, { CH, 1, 1 }, { CH, 2, 2 }, { CH, 3, 1 } });
    RenderSettings s;
    s.velocityMain = 50;
    s.voices[CH].velocity = 100;
    s.voices[CH].pitch = 0;
    s.swing = 75;

    const auto c0 = StepRenderer::render (s, p, CH, 0, 0);
    const auto c1 = StepRenderer::render (s, p, CH, 1, 0);
    const auto c2 = StepRenderer::render (s, p, CH, 2, 0);
    EXPECT_EQ (c0.velocity, 64);
    EXPECT_EQ (c1.velocity, 50);
    EXPECT_EQ (c2.velocity, 127);
    EXPECT_EQ (c0.note, 0);
    EXPECT_EQ (c0.swing, 0.0);
    EXPECT_EQ (c1.swing, 1.0);

    s.swing = 60;
    EXPECT_NEAR (StepRenderer::render (s, p, CH, 3, 0).swing, 0.4, 1e-12);
    s.swing = 50;
    EXPECT_EQ (StepRenderer::render (s, p, CH, 3, 0).swing, 0.0);

    s.velocityMain = 33;
    s.voices[CH].velocity = 127;   // 41.91 rounds to 42
    EXPECT_EQ (StepRenderer::render (s, p, CH, 1, 0).velocity, 42);

    s.voices[CH].enabled = false;
    EXPECT_EQ (StepRenderer::render (s, p, CH, 0, 0), MidiStep {});

    for (auto [voice, variation] : { std::pair { 11, 0 }, { -1, 0 }, { 0, 8 }, { 0, -1 } })
        EXPECT_EQ (StepRenderer::render (s, p, voice, 0, variation), MidiStep {});

    PatternSnapshot unwritten;   // no classes yet: class 0
    unwritten.step (0, 0).hits = 1 << BD;
    PatternRanks::rebuild (unwritten, 16);
    EXPECT_EQ (StepRenderer::render (RenderSettings {}, unwritten, BD, 0, 0).velocity, 64);
}
