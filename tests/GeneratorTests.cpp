#include "TestSupport.h"
#include "VelocityTables.h"

#include <set>
#include <unistd.h>

using namespace testing_support;

namespace
{
    std::vector<std::uint8_t> bytesOf (const ModelWriter::Node& root) { return ModelWriter::serialise (root); }

    GeneratorSettings flatSettings (float temperature, float topp, int context = 8)
    {
        GeneratorSettings s;
        s.temperature = s.temperatureMin = s.temperatureMax = temperature;
        s.topp = s.toppMin = s.toppMax = topp;
        s.maxContext = s.maxContextMin = s.maxContextMax = context;
        return s;
    }

    ModelWriter::Node leaf (StepToken key, std::vector<ModelWriter::Entry> entries, std::vector<ModelWriter::Node> children = {})
    {
        ModelWriter::Node n;
        n.key = key;
        n.entries = std::move (entries);
        n.children = std::move (children);
        return n;
    }

    double shareOfHits (const PatternSnapshot& p, int hits)
    {
        int count = 0;
        for (int v = 0; v < 8; ++v)
            for (int s = 0; s < 32; ++s)
                count += (p.step (v, s).hits & Tokens::hitMask) == hits ? 1 : 0;
        return count / 256.0;
    }
}

TEST (ModelFile, WalksTheTrieInPlaceTakingTheFirstMatchingSibling)
{
    ModelWriter::Node root;
    root.entries = { { 9.0f, 0x7 } };   // never sampled: the root is the empty context
    root.children = {
        leaf (0x10, { { 1.0f, 0x1 } }, { leaf (0x20, { { 2.0f, 0x2 } }), leaf (0x21, { { 3.0f, 0x3 } }) }),
        leaf (0x11, { { 4.0f, 0x4 }, { 5.0f, 0x5 } }),
        leaf (0x10, { { 6.0f, 0x6 } }),   // unreachable duplicate
    };
    const auto bytes = bytesOf (root);
    const ModelFile model (bytes.data(), bytes.size());

    struct Case { std::vector<StepToken> context; int depth; int firstEntryNext; };
    const Case cases[] {
        { { 0x10 }, 1, 0x1 },
        { { 0x21, 0x10 }, 2, 0x3 },
        { { 0x20, 0x10 }, 2, 0x2 },
        { { 0x99, 0x10 }, 1, 0x1 },
        { { 0x11 }, 1, 0x4 },
        { { 0x20, 0x11 }, 1, 0x4 },   // 0x11 has no children
        { { 0x12 }, 0, 0x7 },
        { {}, 0, 0x7 },
    };
    for (const auto& c : cases)
    {
        const auto d = model.descend (c.context.data(), (int) c.context.size());
        ASSERT_TRUE (d.node.has_value());
        EXPECT_EQ (d.depth, c.depth);
        EXPECT_EQ (model.entry (*d.node, 0).nextStep, c.firstEntryNext);
    }
}

TEST (ModelFile, DamagedFilesNeverReadOutOfBounds)
{
    auto valid = bytesOf (twoChoiceModel (1, 2, 1, 1));

    auto withByte = [] (std::vector<std::uint8_t> b, std::size_t at, std::uint8_t value) { b[at] = value; return b; };
    const std::vector<std::vector<std::uint8_t>> files {
        {},
        { 0, 0, 0, 0, 0, 0, 1 },                                           // shorter than a node
        { 0, 0, 0, 0, 0, 0, 1, 0 },                                        // children flag but no child
        { 0, 0, 0, 0, 0, 0, 0, 5 },                                        // entries past the end
        withByte (valid, 8 + 3, 0x7F),                                     // first child's sibling offset huge
        withByte (valid, 8 + 7, 255),                                      // first child's entry count too large
        std::vector<std::uint8_t> (valid.begin(), valid.begin() + 30),     // truncated
    };

    for (const auto& file : files)
    {
        const ModelFile model (file.data(), file.size());
        for (StepToken key : { (StepToken) 0xFFFF, (StepToken) 1, (StepToken) 2, (StepToken) 0 })
        {
            const auto d = model.descend (&key, 1);
            if (d.node.has_value())
            {
                const auto end = d.node->offset + 8 + 8 * (size_t) d.node->entryCount;
                EXPECT_LE (end, file.size());
            }
        }

        VariationGenerator generator;
        PatternSnapshot pattern;
        generator.generate (model, flatSettings (1.0f, 1.0f), -1, false, pattern);
    }
}

TEST (Generator, TemperatureReshapesTheStoredWeights)
{
    const auto bytes = bytesOf (twoChoiceModel (1 << BD, 1 << SD, 3.0f, 1.0f));
    const ModelFile model (bytes.data(), bytes.size());

    struct Case { float temperature; double expectedShareOfFirst; };
    const Case cases[] {
        { 1.0f, 0.75 },                                     // proportional
        { 0.5f, 0.9 },                                      // 3^2 : 1
        { 2.0f, std::sqrt (3.0) / (std::sqrt (3.0) + 1) },  // flatter
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.temperature);
        VariationGenerator generator;
        generator.generatorRandom.setSeed (42);
        PatternSnapshot pattern;
        double share = 0;
        constexpr int runs = 40;
        for (int i = 0; i < runs; ++i)
        {
            generator.generate (model, flatSettings (c.temperature, 1.0f), -1, false, pattern);
            share += shareOfHits (pattern, 1 << BD) / runs;
        }
        EXPECT_NEAR (share, c.expectedShareOfFirst, 0.02);
    }
}

TEST (Generator, TopPCutsEntriesInStoredOrder)
{
    struct Case { float weightA, weightB, topp; double minShareA, maxShareA; };
    const Case cases[] {
        { 3, 1, 0.1f, 1.0, 1.0 },     // the first entry alone reaches 0.1
        { 1, 1, 0.5f, 1.0, 1.0 },     // exactly reaching the threshold keeps one
        { 1, 3, 0.1f, 1.0, 1.0 },     // stored order, not weight order
        { 1, 1, 1.0f, 0.45, 0.55 },   // everything kept
        { 1, 1, 0.6f, 0.45, 0.55 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.topp);
        const auto bytes = bytesOf (twoChoiceModel (1 << CH, 1 << OH, c.weightA, c.weightB));
        const ModelFile model (bytes.data(), bytes.size());
        VariationGenerator generator;
        generator.generatorRandom.setSeed (7);
        PatternSnapshot pattern;
        double share = 0;
        for (int i = 0; i < 10; ++i)
        {
            generator.generate (model, flatSettings (1.0f, c.topp), -1, false, pattern);
            share += shareOfHits (pattern, 1 << CH) / 10;
        }
        EXPECT_GE (share, c.minShareA - 1e-9);
        EXPECT_LE (share, c.maxShareA + 1e-9);
    }
}

TEST (Generator, UnknownContextGivesTheEmptyStep)
{
    // No child for the start marker; the empty step's token (0) leads to a cymbal.
    ModelWriter::Node root;
    root.children = { leaf (0x1234, { { 1.0f, 1 } }), leaf (0x0000, { { 1.0f, token (1 << CY, 1) } }) };
    const auto bytes = bytesOf (root);
    const ModelFile model (bytes.data(), bytes.size());

    VariationGenerator generator;
    PatternSnapshot pattern;
    pattern.step (0, 0).hits = 0x55;
    generator.generate (model, flatSettings (1.0f, 1.0f), -1, false, pattern);

    for (int v = 0; v < 8; ++v)
    {
        EXPECT_EQ (pattern.step (v, 0).hits, 0);
        EXPECT_EQ (pattern.step (v, 0).position, 0);
        EXPECT_EQ (pattern.step (v, 1).hits & Tokens::hitMask, 1 << CY);
        EXPECT_EQ (pattern.step (v, 2).hits, 0);
    }
}

TEST (Generator, ContextCutsShortenTheSharedContext)
{
    const auto bytes = bytesOf (rockModel());
    const ModelFile model (bytes.data(), bytes.size());

    struct Case { int maxContext, rangeMin, rangeMax; std::size_t expectedLength; };
    const Case cases[] {
        { 16, 1, 1, 2 },     // variations 1-7 cut to one token at every step
        { 8, 16, 16, 9 },    // only variation 0 cuts
        { 3, 16, 16, 4 },
    };
    for (const auto& c : cases)
    {
        VariationGenerator generator;
        auto settings = flatSettings (1.0f, 1.0f, c.maxContext);
        settings.maxContextMin = c.rangeMin;
        settings.maxContextMax = c.rangeMax;
        PatternSnapshot pattern;
        generator.generate (model, settings, -1, false, pattern);
        EXPECT_EQ (generator.contextHistories[0].size(), c.expectedLength);
    }
}

TEST (Generator, ContinueAndBeamStartFromTheRightContext)
{
    // Every step's hits are unique (its index + 1), so each context names one
    // next step; the start marker leads to a cymbal.
    auto counter = [] (int step) { return step % 16 + 1; };
    ModelWriter::Node root;
    root.children.push_back (leaf (Tokens::startMarker, { { 1.0f, token (1 << CY, 0) } }));
    root.children.push_back (leaf (token (1 << CY, 0), { { 1.0f, token (counter (1), 1) } }));
    for (int s = 0; s < 16; ++s)
        root.children.push_back (leaf (token (counter (s), s), { { 1.0f, token (counter (s + 1), s + 1) } }));
    const auto bytes = bytesOf (root);
    const ModelFile model (bytes.data(), bytes.size());
    auto settings = flatSettings (1.0f, 1.0f, 16);

    {
        VariationGenerator g;   // parallel, continue 0: from the start marker
        PatternSnapshot p;
        g.generate (model, settings, -1, false, p);
        EXPECT_EQ (p.step (0, 0).hits & Tokens::hitMask, 1 << CY);
        EXPECT_EQ (p.step (0, 1).hits & Tokens::hitMask, counter (1));
    }
    {
        VariationGenerator g;   // continue 16: the previous context's last token leads
        g.contextHistories[0].assign (20, token (counter (3), 3));
        settings.continueSteps = 16;
        PatternSnapshot p;
        g.generate (model, settings, -1, false, p);
        EXPECT_EQ (p.step (0, 0).hits & Tokens::hitMask, counter (4));
        settings.continueSteps = 0;
    }
    {
        VariationGenerator g;   // continue 16, maxcontext 8: cut to 16, then to 8 before each draw
        g.contextHistories[0].assign (20, token (counter (3), 3));
        auto cut = settings;
        cut.continueSteps = 16;
        cut.maxContext = 8;
        PatternSnapshot p;
        g.generate (model, cut, -1, false, p);
        EXPECT_EQ (p.step (0, 0).hits & Tokens::hitMask, counter (4));
        EXPECT_EQ (g.contextHistories[0].size(), 9u);
    }
    {
        VariationGenerator g;   // beam, continue 0: every chain continues the first pass
        settings.variationType = 1;
        PatternSnapshot p;
        g.generate (model, settings, -1, false, p);
        for (int v = 0; v < 8; ++v)
        {
            EXPECT_EQ (p.step (v, 0).hits & Tokens::hitMask, counter (0)) << v;
            EXPECT_EQ (g.contextHistories[(size_t) v].back(), token (counter (15), 31));
        }
    }
    {
        VariationGenerator g;   // beam, continue 4: each chain from its own context
        settings.variationType = 1;
        settings.continueSteps = 4;
        for (int v = 0; v < 8; ++v)
            g.contextHistories[(size_t) v] = v % 2 == 0 ? std::vector<StepToken> { Tokens::startMarker }
                                                        : std::vector<StepToken> { token (counter (2), 2), token (counter (3), 3) };
        PatternSnapshot p;
        g.generate (model, settings, -1, false, p);
        for (int v = 0; v < 8; ++v)
            EXPECT_EQ (p.step (v, 0).hits & Tokens::hitMask, v % 2 == 0 ? 1 << CY : counter (4)) << v;
    }
}

TEST (Generator, VariationSettingsAreDrawnFromTheRanges)
{
    struct Case { int cMin, cMax; std::set<int> expected; };
    const Case cases[] {
        { 4, 12, { 4, 5, 6, 7, 8, 9, 10, 11, 12 } },
        { 10, 5, { 6, 7, 8, 9 } },   // reversed: Cmax + 1 .. Cmin, Cmin itself only for a zero draw
        { 7, 7, { 7 } },
    };
    for (const auto& c : cases)
    {
        VariationGenerator g;
        g.generatorRandom.setSeed (3);
        GeneratorSettings s;
        s.maxContextMin = c.cMin;
        s.maxContextMax = c.cMax;
        s.temperatureMin = 1.5f;
        s.temperatureMax = 0.5f;
        std::set<int> seen;
        for (int i = 0; i < 200; ++i)
        {
            const auto drawn = g.drawVariationSettings (s);
            EXPECT_EQ (drawn[0].contextLength, s.maxContext);
            for (int v = 1; v < 8; ++v)
            {
                seen.insert (drawn[(size_t) v].contextLength);
                EXPECT_GE (drawn[(size_t) v].temperature, 0.5f);
                EXPECT_LE (drawn[(size_t) v].temperature, 1.5f);
            }
        }
        EXPECT_EQ (seen, c.expected);
    }
}

TEST (PatternStore, KeptVoicesKeepTheirHitsAndClasses)
{
    const auto bytes = bytesOf (rockModel());
    const ModelFile model (bytes.data(), bytes.size());
    VariationGenerator g;
    g.generatorRandom.setSeed (11);
    g.velocityRandom.setSeed (12);
    PatternSnapshot before;
    g.generate (model, flatSettings (1.5f, 1.0f), -1, false, before);

    struct Case { int voice; std::vector<int> locked; std::vector<int> changing; };
    const Case cases[] {
        { 3, {}, { OH } },                              // one voice, whatever the locks
        { SD, { SD }, { SD } },                         // a voice given by number ignores its lock
        { -1, { SD }, { BD, CH, OH, LT, MT, HT, RS, CP, CB, CY } },
        { -1, { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 }, {} },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.voice);
        auto settings = flatSettings (1.5f, 1.0f);
        for (auto v : c.locked)
            settings.locked[(size_t) v] = true;
        auto after = before;
        g.generate (model, settings, c.voice, false, after);

        int changedClasses = 0;
        for (int v = 0; v < 8; ++v)
            for (int s = 0; s < 32; ++s)
                for (int voice = 0; voice < 11; ++voice)
                {
                    const auto& a = after.step (v, s);
                    const auto& b = before.step (v, s);
                    const bool mayChange = std::find (c.changing.begin(), c.changing.end(), voice) != c.changing.end();
                    if (! mayChange)
                    {
                        EXPECT_EQ (a.hasHit (voice), b.hasHit (voice));
                        EXPECT_EQ (a.velocityClass (voice), b.velocityClass (voice));
                    }
                    else
                    {
                        changedClasses += a.velocityClass (voice) != b.velocityClass (voice) ? 1 : 0;
                    }
                }
        if (! c.changing.empty())
            EXPECT_GT (changedClasses, 0);
    }
}

TEST (PatternStore, TokenUpperBitsAreCarriedAndContextsAdvanceWithMergedSteps)
{
    ModelWriter::Node root;
    root.children.push_back (leaf (Tokens::startMarker, { { 1.0f, (StepToken) (0xE000 | (1 << CY)) } }));
    root.children.push_back (leaf ((StepToken) (0xE000 | (1 << BD)), { { 1.0f, token (1 << HT, 1) } }));
    const auto bytes = bytesOf (root);
    const ModelFile model (bytes.data(), bytes.size());

    VariationGenerator g;
    PatternSnapshot p;
    p.step (0, 0).hits = 1 << BD;
    auto settings = flatSettings (1.0f, 1.0f);
    settings.locked.fill (true);
    settings.locked[HT] = false;
    g.generate (model, settings, -1, false, p);

    // Locked bits kept, the sampled token's upper bits taken; the context
    // advanced with the merged step, which is what leads to the tom.
    EXPECT_EQ (p.step (0, 0).hits, 0xE000 | (1 << BD));
    EXPECT_TRUE (p.step (0, 1).hasHit (HT));
}

TEST (PatternStore, RanksFollowThePrioritiesOfTheHitPositions)
{
    PatternSnapshot p;
    for (int s : { 0, 4, 8, 12 })
        p.step (0, s).hits |= 1 << BD;
    for (int s : { 1, 17 })
        p.step (1, s).hits |= 1 << CH;
    p.step (2, 5).hits |= 1 << SD;

    PatternRanks::rebuild (p, 16);
    for (int pos = 0; pos < 16; ++pos)
    {
        const int expected = pos == 0 ? 0 : pos == 4 ? 3 : pos == 8 ? 1 : pos == 12 ? 2 : -1;
        EXPECT_EQ (p.rank (0, BD, pos), expected) << pos;
        EXPECT_EQ (p.rank (0, SD, pos), -1);
    }

    PatternRanks::rebuild (p, 20);
    EXPECT_EQ (p.rank (1, CH, 1), 0);   // hit in both halves counts once
    for (int pos = 0; pos < 16; ++pos)
        if (pos != 1)
            EXPECT_EQ (p.rank (1, CH, pos), -1);

    PatternRanks::rebuild (p, 4);
    EXPECT_EQ (p.rank (0, BD, 0), 0);
    EXPECT_EQ (p.rank (0, BD, 4), -1);
    EXPECT_EQ (p.rank (2, SD, 5), -1);
}

TEST (PatternStore, VelocityClassesComeFromTheTable)
{
    for (const auto& voice : Velocity::velocityProbabilities)
        for (const auto& p : voice)
            EXPECT_NEAR (p[0] + p[1] + p[2], 1.0, 1e-12);

    EXPECT_NEAR (Velocity::velocityProbabilities[BD][0][0], 0.025, 1e-12);
    EXPECT_NEAR (Velocity::velocityProbabilities[CP][1][2], 0.078, 1e-12);

    const std::array<double, 3> p { 0.25, 0.5, 0.25 };
    struct Case { double u; int cls; };
    for (auto c : { Case { 0.0, 0 }, Case { 0.25, 0 }, Case { 0.26, 1 }, Case { 0.75, 1 }, Case { 0.76, 2 }, Case { 0.999, 2 } })
        EXPECT_EQ (Velocity::classForDraw (c.u, p), c.cls) << c.u;
    EXPECT_EQ (Velocity::classForDraw (1.5, p), 1);   // above the sum only through rounding
}

TEST (SetModel, BadIndicesAndUnreadableFilesLeaveTheLoadedModelAndPattern)
{
    TempFolder folder;
    writeModel (folder.file ("0.bin"), rockModel());
    auto p = makeProcessor (folder.get());
    ASSERT_TRUE (p->isModelLoaded());
    const auto pattern = p->getPattern();

    for (int index : { -1, 1, 100 })
    {
        p->setModel (index);
        EXPECT_EQ (p->getPattern(), pattern);
    }

    // A catalogue entry whose file is gone by the time it is read: a dangling link.
    ASSERT_EQ (symlink (folder.file ("gone.bin").getFullPathName().toRawUTF8(), folder.file ("1.bin").getFullPathName().toRawUTF8()), 0);
    if (KadenzoAudioProcessor::getTrieFiles (folder.get()).size() > 1)
    {
        p->setModel (1);
        EXPECT_EQ (p->getPattern(), pattern);
    }
    folder.file ("1.bin").deleteFile();

    // The same model again: read anew and regenerated.
    p->setModel (0);
    EXPECT_NE (p->getPattern(), pattern);

    // An empty file is a model too, one that knows no context: empty steps.
    folder.file ("1.bin").create();
    p->setModel (1);
    EXPECT_EQ (p->getPattern().step (0, 0).hits, 0);
    EXPECT_TRUE (p->getPattern().step (0, 0).hasVelocityClasses());
}

TEST (SetModel, NoModelFilesMeansNoGeneration)
{
    TempFolder folder;
    auto p = makeProcessor (folder.get());
    EXPECT_FALSE (p->isModelLoaded());
    flip (*p, "generate");
    EXPECT_EQ (p->getPattern(), PatternSnapshot {});

    auto missing = makeProcessor (folder.file ("nowhere"));
    EXPECT_FALSE (missing->isModelLoaded());
}

TEST (SetModel, PatternLengthOnlyLimitsTheRanks)
{
    TempFolder folder;
    writeModel (folder.file ("0.bin"), rockModel());
    auto p = makeProcessor (folder.get());
    set (*p, "patternlength", 8);
    flip (*p, "generate");
    const auto pattern = p->getPattern();
    EXPECT_TRUE (pattern.step (0, 31).hasVelocityClasses());
    for (int pos = 8; pos < 16; ++pos)
        EXPECT_EQ (pattern.rank (0, CH, pos), -1);
}
