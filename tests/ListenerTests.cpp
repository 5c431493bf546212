#include "TestSupport.h"

#include <thread>

using namespace testing_support;

namespace
{
    struct Seeded
    {
        Seeded()
        {
            writeModel (folder.file ("0.bin"), rockModel());
            writeModel (folder.file ("1.bin"), twoChoiceModel (1 << CB, 1 << CY, 1, 1));
            processor = makeProcessor (folder.get());
            set (*processor, "temperature", 1.8f);
        }

        // The pattern one regeneration of `voice` gives from seed 99.
        PatternSnapshot expectedAfterOne (int voice)
        {
            auto twin = makeProcessor (folder.get());
            stateInto (*twin);   // same parameters, pattern and contexts
            twin->seedRandomGenerators (99);
            twin->generate (voice, false);
            return twin->getPattern();
        }

        void stateInto (KadenzoAudioProcessor& twin)
        {
            juce::MemoryBlock state;
            processor->getStateInformation (state);
            twin.setStateInformation (state.getData(), (int) state.getSize());
        }

        TempFolder folder;
        std::unique_ptr<KadenzoAudioProcessor> processor;
    };
}

TEST (Listeners, AFlipRegeneratesOnceAndAnEqualValueNothing)
{
    Seeded s;
    const auto before = s.processor->getPattern();

    set (*s.processor, "generate", 0.0f);                 // unchanged value
    set (*s.processor, "temperature", 0.5f);              // no listener
    set (*s.processor, "patternlength", 12.0f);
    set (*s.processor, "variation", 3.0f);
    EXPECT_EQ (s.processor->getPattern(), before);

    const auto expected = s.expectedAfterOne (-1);
    s.processor->seedRandomGenerators (99);
    flip (*s.processor, "generate");
    EXPECT_EQ (s.processor->getPattern(), expected);
}

TEST (Listeners, AVoiceFlipRegeneratesThatVoiceOnly)
{
    Seeded s;
    const auto before = s.processor->getPattern();
    const auto expected = s.expectedAfterOne (SD);
    s.processor->seedRandomGenerators (99);
    flip (*s.processor, "generateSD");
    const auto after = s.processor->getPattern();
    EXPECT_EQ (after, expected);

    bool snareChanged = false;
    for (int v = 0; v < 8; ++v)
        for (int st = 0; st < 32; ++st)
            for (int voice = 0; voice < 11; ++voice)
            {
                if (voice == SD)
                    snareChanged |= after.step (v, st).velocityClass (SD) != before.step (v, st).velocityClass (SD);
                else
                    EXPECT_EQ (after.step (v, st).hasHit (voice), before.step (v, st).hasHit (voice));
            }
    EXPECT_TRUE (snareChanged);
}

TEST (Listeners, ChangesFromOtherThreadsCoalesceOnTheMessageThread)
{
    Seeded s;
    const auto expected = s.expectedAfterOne (-1);
    s.processor->seedRandomGenerators (99);
    const auto before = s.processor->getPattern();

    std::thread host ([&] { flip (*s.processor, "generate"); flip (*s.processor, "generate"); });
    host.join();
    EXPECT_EQ (s.processor->getPattern(), before);   // nothing yet: deferred

    juce::MessageManager::getInstance()->runDispatchLoopUntil (50);
    EXPECT_EQ (s.processor->getPattern(), expected);  // one regeneration, though the value is back
}

TEST (Listeners, ChoosingAModelLoadsItOnlyWhenTheIndexChanges)
{
    Seeded s;
    const auto before = s.processor->getPattern();
    set (*s.processor, "model", 0.0f);
    EXPECT_EQ (s.processor->getPattern(), before);

    set (*s.processor, "model", 1.0f);
    const auto after = s.processor->getPattern();
    for (int v = 0; v < 8; ++v)
        for (int st = 0; st < 32; ++st)
        {
            const auto hits = after.step (v, st).hits & Tokens::hitMask;
            EXPECT_TRUE (hits == (1 << CB) || hits == (1 << CY)) << hits;
        }
}
