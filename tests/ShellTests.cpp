#include "TestSupport.h"
#include "ModelCatalogue.h"

using namespace testing_support;

namespace
{
    enum class Kind { Float, Int, Bool, Choice };

    struct Expected
    {
        juce::String id, name;
        Kind kind;
        float min, max, defaultValue;
    };

    // The parameter table as a host sees it, written out independently of the layout code.
    std::vector<Expected> expectedParameters()
    {
        std::vector<Expected> e {
            { "model", "Model", Kind::Choice, 0, 1, 0 },
            { "generate", "Generate", Kind::Bool, 0, 1, 0 },
            { "patternlength", "Length", Kind::Int, 1, 32, 16 },
            { "maxcontext", "Max Context", Kind::Int, 1, 16, 8 },
            { "temperature", "Temperature", Kind::Float, 0.1f, 2.0f, 1.0f },
            { "topp", "Top P", Kind::Float, 0.1f, 1.0f, 1.0f },
            { "temperaturemin", "Temperature Min", Kind::Float, 0.1f, 2.0f, 0.8f },
            { "temperaturemax", "Temperature Max", Kind::Float, 0.1f, 2.0f, 1.2f },
            { "toppmin", "Top P Min", Kind::Float, 0.1f, 1.0f, 0.8f },
            { "toppmax", "Top P Max", Kind::Float, 0.1f, 1.0f, 1.0f },
            { "maxcontextmin", "Max Context Min", Kind::Int, 1, 16, 4 },
            { "maxcontextmax", "Max Context Max", Kind::Int, 1, 16, 12 },
            { "variation", "Variation", Kind::Int, 0, 7, 0 },
            { "variationtype", "Variation Type", Kind::Choice, 0, 1, 0 },
            { "speed", "Speed", Kind::Choice, 0, 4, 0 },
            { "lfo", "VAR", Kind::Bool, 0, 1, 0 },
        };
        for (int i = 0; i < 8; ++i)
            e.push_back ({ "enabledVariation" + juce::String (i), "Enabled Variation " + juce::String (i + 1), Kind::Bool, 0, 1, i < 2 ? 1.0f : 0.0f });
        for (auto x : std::vector<Expected> {
                 { "velocityMain", "Velocity Main", Kind::Int, 0, 100, 100 },
                 { "densityMain", "Density Main", Kind::Int, 0, 100, 100 },
                 { "fourfloor", "Force 4OTF", Kind::Bool, 0, 1, 0 },
                 { "forceoh", "Force OH", Kind::Bool, 0, 1, 0 },
                 { "forcesd", "Force SD", Kind::Bool, 0, 1, 0 },
                 { "continue", "Continue", Kind::Int, 0, 16, 0 },
                 { "lockTemperature", "Lock Temperature", Kind::Bool, 0, 1, 0 },
                 { "lockTopp", "Lock Top P", Kind::Bool, 0, 1, 0 },
                 { "lockMaxContext", "Lock Max Context", Kind::Bool, 0, 1, 0 },
                 { "lockModel", "Lock Model", Kind::Bool, 0, 1, 0 } })
            e.push_back (x);

        const char* codes[] { "BD", "SD", "CH", "OH", "LT", "MT", "HT", "RS", "CP", "CB", "CY" };
        const int pitches[] { 36, 38, 42, 46, 43, 47, 50, 37, 39, 49, 51 };
        for (int v = 0; v < 11; ++v)
        {
            const juce::String c = codes[v];
            for (auto x : std::vector<Expected> {
                     { "velocity", "Velocity ", Kind::Int, 0, 127, 100 },
                     { "pitch", "Pitch ", Kind::Int, 0, 127, (float) pitches[v] },
                     { "density", "Density ", Kind::Int, 0, 100, 100 },
                     { "enabled", "Enabled ", Kind::Bool, 0, 1, 1 },
                     { "shift", "Shift ", Kind::Int, 0, 3, 0 },
                     { "lockVelocity", "Lock Velocity ", Kind::Bool, 0, 1, 0 },
                     { "lockDensity", "Lock Density ", Kind::Bool, 0, 1, 0 },
                     { "lock", "Lock ", Kind::Bool, 0, 1, 0 },
                     { "generate", "Generate ", Kind::Bool, 0, 1, 0 },
                     { "velocitymin", "Velocity Min ", Kind::Int, 0, 127, 60 },
                     { "velocitymax", "Velocity Max ", Kind::Int, 0, 127, 127 },
                     { "densitymin", "Density Min ", Kind::Int, 0, 100, 80 },
                     { "densitymax", "Density Max ", Kind::Int, 0, 100, 100 } })
                e.push_back ({ x.id + c, x.name + c, x.kind, x.min, x.max, x.defaultValue });
        }
        e.push_back ({ "playeverybar", "Every Bar", Kind::Int, 1, 8, 1 });
        e.push_back ({ "shiftbar", "Shift Bar", Kind::Int, 0, 8, 0 });
        e.push_back ({ "swing", "Swing", Kind::Int, 50, 75, 50 });
        return e;
    }

    Kind kindOf (juce::AudioProcessorParameter* p)
    {
        if (dynamic_cast<juce::AudioParameterFloat*> (p) != nullptr) return Kind::Float;
        if (dynamic_cast<juce::AudioParameterInt*> (p) != nullptr) return Kind::Int;
        if (dynamic_cast<juce::AudioParameterBool*> (p) != nullptr) return Kind::Bool;
        return Kind::Choice;
    }

    void writeModels (const TempFolder& folder, int count)
    {
        for (int i = 0; i < count; ++i)
            writeModel (folder.file (juce::String (i) + ".bin"), rockModel());
    }
}

TEST (Parameters, HostSeesTheTableInOrderWithNamesKindsRangesAndDefaults)
{
    TempFolder folder;
    writeModels (folder, 2);
    auto p = makeProcessor (folder.get());
    const auto& params = p->getParameters();
    const auto expected = expectedParameters();

    ASSERT_EQ (expected.size(), 180u);
    ASSERT_EQ (params.size(), 180);

    for (int i = 0; i < params.size(); ++i)
    {
        SCOPED_TRACE (expected[(size_t) i].id);
        auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (params[i]);
        ASSERT_NE (ranged, nullptr);
        const auto& e = expected[(size_t) i];
        EXPECT_EQ (ranged->getParameterID(), e.id);
        EXPECT_EQ (ranged->getName (100), e.name);
        EXPECT_EQ (kindOf (ranged), e.kind);
        EXPECT_FLOAT_EQ (ranged->getNormalisableRange().start, e.min);
        EXPECT_FLOAT_EQ (ranged->getNormalisableRange().end, e.max);
        EXPECT_FLOAT_EQ (ranged->convertFrom0to1 (ranged->getDefaultValue()), e.defaultValue);
        EXPECT_FLOAT_EQ (ParameterValue::plain (*ranged), e.defaultValue);
        EXPECT_TRUE (ranged->isAutomatable());
        EXPECT_FALSE (ranged->isMetaParameter());
        EXPECT_EQ (ranged->getLabel(), juce::String());
        if (e.kind == Kind::Float)
            EXPECT_FLOAT_EQ (ranged->getNormalisableRange().interval, 0.01f);
    }
}

TEST (Parameters, NormalisedValuesMapAsHostsExpect)
{
    TempFolder folder;
    auto p = makeProcessor (folder.get());

    struct Case { const char* id; float plain; float normalised; };
    const Case cases[] {
        { "variation", 7, 1.0f }, { "speed", 2, 0.5f }, { "speed", 4, 1.0f }, { "swing", 50, 0.0f },
        { "swing", 75, 1.0f }, { "variationtype", 1, 1.0f }, { "temperature", 1.0f, 0.9f / 1.9f },
        { "patternlength", 32, 1.0f }, { "enabledVariation3", 1, 1.0f },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.id);
        EXPECT_NEAR (parameter (*p, c.id).convertTo0to1 (c.plain), c.normalised, 1e-6);
    }

    set (*p, "temperature", 0.123f);
    EXPECT_NEAR (get (*p, "temperature"), 0.12f, 1e-6);
    set (*p, "topp", 0.456f);
    EXPECT_NEAR (get (*p, "topp"), 0.46f, 1e-6);
}

TEST (Parameters, ModelChoicesFollowTheCatalogueAndStayFixed)
{
    for (int count : { 0, 1, 3 })
    {
        SCOPED_TRACE (count);
        TempFolder folder;
        writeModels (folder, count);
        auto p = makeProcessor (folder.get());
        auto* model = dynamic_cast<juce::AudioParameterChoice*> (&parameter (*p, "model"));
        ASSERT_NE (model, nullptr);
        EXPECT_GE (model->choices.size(), 2);
        EXPECT_EQ (model->getIndex(), 0);
        EXPECT_FLOAT_EQ (static_cast<juce::AudioProcessorParameter*> (model)->getValue(), 0.0f);
        if (count > 0)
            EXPECT_EQ (model->choices[0], "Iron Kite");
        if (count == 3)
            EXPECT_EQ (model->choices, juce::StringArray ({ "Iron Kite", "Quiet Ember", "Wolf Den" }));
        EXPECT_EQ (p->isModelLoaded(), count > 0);

        // Selecting the filler choice of a short catalogue loads nothing and breaks nothing.
        set (*p, "model", 1.0f);
        writeModel (folder.file ("7.bin"), rockModel());
        EXPECT_EQ (model->choices.size(), std::max (2, count));
    }
}

TEST (Processor, BusesDependOnTheHost)
{
    using H = juce::PluginHostType;
    struct Case { H::HostType host; bool midiBuses; };
    const Case cases[] {
        { H::UnknownHost, false }, { H::Reaper, false }, { H::Ardour, false }, { H::BitwigStudio, false },
        { H::AbletonLive6, true }, { H::AbletonLive11, true }, { H::AbletonLiveGeneric, true },
        { H::CakewalkSonar8, true }, { H::CakewalkSonarGeneric, true }, { H::CakewalkByBandlab, true },
    };

    TempFolder folder;
    for (const auto& c : cases)
    {
        SCOPED_TRACE ((int) c.host);
        auto p = makeProcessor (folder.get(), c.host);
        if (! c.midiBuses)
        {
            EXPECT_EQ (p->getBusCount (true), 0);
            EXPECT_EQ (p->getBusCount (false), 0);
            continue;
        }
        ASSERT_EQ (p->getBusCount (true), 1);
        ASSERT_EQ (p->getBusCount (false), 1);
        EXPECT_EQ (p->getBus (true, 0)->getName(), "MIDI Input");
        EXPECT_EQ (p->getBus (false, 0)->getName(), "MIDI Output");
        EXPECT_EQ (p->getBus (true, 0)->getDefaultLayout().size(), 0);
        EXPECT_EQ (p->getBus (false, 0)->getDefaultLayout().size(), 0);
        EXPECT_FALSE (p->getBus (true, 0)->isEnabledByDefault());
        EXPECT_FALSE (p->getBus (false, 0)->isEnabledByDefault());
    }
}

TEST (Processor, AcceptsLayoutsWithoutAudioInput)
{
    TempFolder folder;
    auto p = makeProcessor (folder.get());
    using L = juce::AudioProcessor::BusesLayout;
    auto layout = [] (std::vector<juce::AudioChannelSet> in, std::vector<juce::AudioChannelSet> out)
    {
        L l;
        for (auto& s : in) l.inputBuses.add (s);
        for (auto& s : out) l.outputBuses.add (s);
        return l;
    };
    const auto none = juce::AudioChannelSet();
    const auto stereo = juce::AudioChannelSet::stereo();

    EXPECT_TRUE (p->isBusesLayoutSupported (layout ({}, {})));
    EXPECT_TRUE (p->isBusesLayoutSupported (layout ({}, { stereo })));
    EXPECT_TRUE (p->isBusesLayoutSupported (layout ({ none }, { stereo })));
    EXPECT_TRUE (p->isBusesLayoutSupported (layout ({ none, stereo }, {})));
    EXPECT_FALSE (p->isBusesLayoutSupported (layout ({ juce::AudioChannelSet::mono() }, {})));
    EXPECT_FALSE (p->isBusesLayoutSupported (layout ({ stereo }, { stereo })));
}

TEST (Processor, AnswersTheHostsQuestions)
{
    TempFolder folder;
    writeModels (folder, 1);
    auto p = makeProcessor (folder.get());

    EXPECT_EQ (p->getName(), "Orvo Vuded");
    EXPECT_TRUE (p->acceptsMidi());
    EXPECT_TRUE (p->producesMidi());
    EXPECT_FALSE (p->isMidiEffect());
    EXPECT_TRUE (p->hasEditor());
    EXPECT_EQ (p->getTailLengthSeconds(), 1.7976931348623157e308);
    EXPECT_EQ (p->getNumPrograms(), 1);
    EXPECT_EQ (p->getCurrentProgram(), 0);
    EXPECT_EQ (p->getProgramName (0), juce::String());

    const auto before = p->getPattern();
    p->setCurrentProgram (0);
    p->changeProgramName (0, "renamed");
    EXPECT_EQ (p->getProgramName (0), juce::String());
    EXPECT_EQ (p->getNumPrograms(), 1);
    EXPECT_EQ (p->getPattern(), before);
}

TEST (Processor, ReturnsSilenceWhateverAudioComesIn)
{
    TempFolder folder;
    writeModels (folder, 1);
    auto p = makeProcessor (folder.get());
    p->setRateAndBufferSizeDetails (48000.0, 256);
    p->prepareToPlay (48000.0, 256);

    juce::AudioBuffer<float> floats (2, 256);
    juce::AudioBuffer<double> doubles (2, 256);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 256; ++i)
        {
            floats.setSample (c, i, 0.5f);
            doubles.setSample (c, i, -0.25);
        }

    juce::MidiBuffer midi;
    midi.addEvent (juce::MidiMessage::noteOn (1, 60, (juce::uint8) 100), 3);
    p->processBlock (floats, midi);
    EXPECT_TRUE (midi.isEmpty());   // incoming MIDI is not passed on
    p->processBlock (doubles, midi);

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 256; ++i)
        {
            EXPECT_EQ (floats.getSample (c, i), 0.0f);
            EXPECT_EQ (doubles.getSample (c, i), 0.0);
        }
}

TEST (Processor, FreshInstanceHoldsAGeneratedPatternAndDefaultSwitches)
{
    TempFolder folder;
    writeModels (folder, 1);
    auto p = makeProcessor (folder.get());

    const auto pattern = p->getPattern();
    int hits = 0;
    for (int v = 0; v < 8; ++v)
        for (int s = 0; s < 32; ++s)
        {
            EXPECT_TRUE (pattern.step (v, s).hasVelocityClasses());
            hits += juce::countNumberOfBits ((juce::uint32) (pattern.step (v, s).hits & Tokens::hitMask));
        }
    EXPECT_GT (hits, 100);

    for (int i = 0; i < 8; ++i)
        EXPECT_EQ (get (*p, "enabledVariation" + juce::String (i)) >= 0.5f, i < 2);
}

TEST (Processor, PrepareToPlayMovesToVariationSevenOnlyWhenCycling)
{
    TempFolder folder;
    auto p = makeProcessor (folder.get());

    set (*p, "variation", 3);
    p->prepareToPlay (44100.0, 512);
    EXPECT_EQ (get (*p, "variation"), 3.0f);

    struct HostSpy : juce::AudioProcessorListener
    {
        void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value) override { changes.push_back ({ index, value }); }
        void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}
        std::vector<std::pair<int, float>> changes;
    } host;
    p->addListener (&host);

    set (*p, "lfo", 1);
    host.changes.clear();
    p->prepareToPlay (44100.0, 512);
    EXPECT_EQ (get (*p, "variation"), 7.0f);
    ASSERT_EQ (host.changes.size(), 1u);
    EXPECT_EQ (host.changes[0].first, parameter (*p, "variation").getParameterIndex());
    EXPECT_EQ (host.changes[0].second, 1.0f);
    p->removeListener (&host);
}

TEST (Catalogue, OrdersAndNamesModelFiles)
{
    TempFolder folder;
    for (auto name : { "10.bin", "2.bin", "0.bin", "19.bin", "20.bin", "007.bin", "-1.bin", "Funk.bin", "17.bin", "1.bin", "a.b.bin", "notes.txt" })
        folder.file (name).replaceWithText ("x");
    folder.file ("x.bin").createDirectory();
    folder.file ("sub").createDirectory();
    folder.file ("sub").getChildFile ("3.bin").replaceWithText ("x");

    juce::StringArray order, names;
    for (const auto& f : KadenzoAudioProcessor::getTrieFiles (folder.get()))
    {
        order.add (f.getFileName());
        names.add (KadenzoAudioProcessor::getModelDisplayName (f));
    }

    EXPECT_EQ (order, juce::StringArray ({ "-1.bin", "0.bin", "007.bin", "1.bin", "2.bin", "10.bin", "17.bin", "19.bin", "20.bin", "Funk.bin", "a.b.bin" }));
    EXPECT_EQ (names, juce::StringArray ({ "-1", "Iron Kite", "007", "Quiet Ember", "Wolf Den", "Salt Vane", "Rust Lantern", "Nova Elm", "20", "Funk", "a.b" }));

    EXPECT_TRUE (KadenzoAudioProcessor::getTrieFiles (folder.file ("missing")).isEmpty());
    EXPECT_TRUE (KadenzoAudioProcessor::getTrieFiles (folder.file ("sub").getChildFile ("empty")).isEmpty());
}

TEST (Catalogue, NumericNamesAreCanonicalThirtyTwoBitIntegers)
{
    struct Case { const char* base; std::optional<int> value; };
    const Case cases[] {
        { "0", 0 }, { "7", 7 }, { "-1", -1 }, { "2147483647", 2147483647 }, { "-2147483648", -2147483647 - 1 },
        { "007", std::nullopt }, { "+7", std::nullopt }, { " 7", std::nullopt }, { "7 ", std::nullopt }, { "-0", std::nullopt },
        { "2147483648", std::nullopt }, { "", std::nullopt }, { "-", std::nullopt }, { "1a", std::nullopt }, { "99999999999", std::nullopt },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.base);
        EXPECT_EQ (ModelCatalogue::numericValue (c.base), c.value);
    }
}

TEST (Catalogue, FindsTheResourceFolderOfEachBundleKind)
{
    const juce::File root ("/opt/x");
    EXPECT_EQ (ModelCatalogue::resourceFolderForBinary (root.getChildFile ("OrvoVuded.vst3/Contents/x86_64-linux/OrvoVuded.so")),
               root.getChildFile ("OrvoVuded.vst3/Contents/Resources"));
    EXPECT_EQ (ModelCatalogue::resourceFolderForBinary (root.getChildFile ("OrvoVuded.lv2/OrvoVuded.so")),
               root.getChildFile ("OrvoVuded.lv2/Contents/Resources"));
    EXPECT_EQ (ModelCatalogue::resourceFolderForBinary (root.getChildFile ("Standalone/OrvoVuded")),
               root.getChildFile ("Standalone/Contents/Resources"));
}
