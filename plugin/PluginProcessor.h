#pragma once

#include <quodl_midi.h>

#include "ModelFile.h"
#include "PatternBank.h"
#include "StepClock.h"
#include "StepRenderer.h"
#include "VariationGenerator.h"

#include <atomic>
#include <memory>
#include <optional>

// The host-facing processor: owns the parameters, the loaded model, the pattern
// and the playback state, and composes the engine parts that do the work.
class KadenzoAudioProcessor : public juce::AudioProcessor,
                              public quodl::MidiUtils
{
public:
    // The plug-in entry point: models come from the bundle's resource folder.
    KadenzoAudioProcessor();

    // Tests and tools: models from the given folder; the host type decides the buses.
    explicit KadenzoAudioProcessor (const juce::File& resourceFolder,
                                    std::optional<juce::PluginHostType::HostType> hostType = std::nullopt);
    ~KadenzoAudioProcessor() override;

    const juce::String getName() const override;
    void prepareToPlay (double sampleRate, int maximumBlockSize) override;
    void releaseResources() override;
    void processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    void processBlock (juce::AudioBuffer<double>&, juce::MidiBuffer&) override;
    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;
    bool isMidiEffect() const override;
    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;
    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int index) override;
    const juce::String getProgramName (int index) override;
    void changeProgramName (int index, const juce::String& newName) override;
    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;
    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;

    // MIDI buses exist only where the host needs them to route MIDI.
    static BusesProperties busesForHost (juce::PluginHostType::HostType hostType);

    // Model catalogue (any thread).
    static juce::Array<juce::File> getTrieFiles();
    static juce::Array<juce::File> getTrieFiles (const juce::File& folder);
    static juce::String getModelDisplayName (const juce::File& file);

    juce::AudioProcessorValueTreeState::ParameterLayout createParameterLayout() const;

    // Message thread: loads catalogue entry index and regenerates all variations.
    void setModel (int index);

    // Message thread: voice -1 regenerates every unlocked voice, 0-10 that voice.
    void generate (int voice, bool firstPass);

    // Any thread, lock-free: what a voice plays on a step of a variation.
    MidiStep getMidiStep (int instrument, int step, int variation) const;

    // Audio thread: one block of playback.
    void process (juce::MidiBuffer& midi, int numSamples);

    // Message thread: writes "orvo_drums_export.mid" to the temporary folder.
    bool exportMidiFile();
    bool exportMidiFileTo (const juce::File& target);
    static juce::File getExportFile();

    // Tools and tests ------------------------------------------------------
    void seedRandomGenerators (juce::int64 seed);
    // Seeds both generators and starts every context afresh: reproducible output.
    void resetGenerator (juce::int64 seed);
    PatternSnapshot getPattern() const { return patternStore.copy(); }
    std::array<std::vector<StepToken>, Pattern::numVariations> getContextHistories() const;
    const juce::File& getModelFolder() const noexcept { return modelFolder; }
    bool isModelLoaded() const noexcept { return modelLoaded.load(); }
    int getBarCounter() const noexcept { return barCounter; }

    // The variation playback uses; ahead of the parameter until the change made
    // on the audio thread has been handed to the host.
    int getPlaybackVariation() const noexcept;

    // Message thread: hands variation changes made on the audio thread to the
    // parameter, its listeners and the host. Runs on a timer in a host.
    void flushPlaybackParameterChanges();

    struct VoiceParameters
    {
        juce::RangedAudioParameter* velocity = nullptr;
        juce::RangedAudioParameter* pitch = nullptr;
        juce::RangedAudioParameter* density = nullptr;
        juce::RangedAudioParameter* enabled = nullptr;
        juce::RangedAudioParameter* shift = nullptr;
        juce::RangedAudioParameter* lockVelocity = nullptr;
        juce::RangedAudioParameter* lockDensity = nullptr;
        juce::RangedAudioParameter* lock = nullptr;
        juce::RangedAudioParameter* generate = nullptr;
        juce::RangedAudioParameter* velocitymin = nullptr;
        juce::RangedAudioParameter* velocitymax = nullptr;
        juce::RangedAudioParameter* densitymin = nullptr;
        juce::RangedAudioParameter* densitymax = nullptr;
    };

private:
    const juce::File modelFolder;

public:
    juce::RangedAudioParameter* lockTemperature = nullptr;
    juce::RangedAudioParameter* lockTopp = nullptr;
    juce::RangedAudioParameter* lockMaxContext = nullptr;
    juce::RangedAudioParameter* lockModel = nullptr;

    juce::AudioProcessorValueTreeState parameters;

private:
    juce::RangedAudioParameter& parameterById (const char* id);
    GeneratorSettings readGeneratorSettings() const;
    RenderSettings readRenderSettings() const noexcept;
    void playbackReset (bool onAudioThread);
    void advanceVariation() noexcept;
    void playStep (const PatternSnapshot& pattern, const RenderSettings& settings, std::int64_t step,
                   double stepTime, int offset, double samplesPerBeat, juce::MidiBuffer& midi) noexcept;
    void restorePattern (const juce::ValueTree& patternState, juce::ValueTree& tree);

    bool wasPlaying = false;
    int barCounter = -1;
    double expectedBlockStart = 0.0;
    double lastBeatsPerSecond = 2.0;
    std::atomic<int> pendingVariation { -1 };

    juce::RangedAudioParameter* model = nullptr;
    juce::RangedAudioParameter* maxcontext = nullptr;
    juce::RangedAudioParameter* patternlength = nullptr;
    juce::RangedAudioParameter* temperature = nullptr;
    juce::RangedAudioParameter* topp = nullptr;
    juce::RangedAudioParameter* temperaturemin = nullptr;
    juce::RangedAudioParameter* temperaturemax = nullptr;
    juce::RangedAudioParameter* toppmin = nullptr;
    juce::RangedAudioParameter* toppmax = nullptr;
    juce::RangedAudioParameter* maxcontextmin = nullptr;
    juce::RangedAudioParameter* maxcontextmax = nullptr;
    juce::RangedAudioParameter* velocityMain = nullptr;
    juce::RangedAudioParameter* densityMain = nullptr;
    juce::RangedAudioParameter* variation = nullptr;
    juce::RangedAudioParameter* variationtype = nullptr;
    juce::RangedAudioParameter* speed = nullptr;
    juce::RangedAudioParameter* lfo = nullptr;
    std::array<juce::RangedAudioParameter*, Pattern::numVariations> enabledVariations {};
    juce::RangedAudioParameter* fourfloor = nullptr;
    juce::RangedAudioParameter* forceoh = nullptr;
    juce::RangedAudioParameter* forcesd = nullptr;
    juce::RangedAudioParameter* generateParameter = nullptr;
    juce::RangedAudioParameter* playeverybar = nullptr;
    juce::RangedAudioParameter* shiftbar = nullptr;
    juce::RangedAudioParameter* swing = nullptr;
    juce::RangedAudioParameter* continueParameter = nullptr;

    std::array<VoiceParameters, Voices::count> voiceParameters {};

    std::atomic<bool> modelLoaded { false };
    juce::MemoryBlock modelData;
    juce::CriticalSection modelLock;

    // Generation state: random generators, context histories and start token.
    VariationGenerator generator;
    PatternSnapshot workingPattern;
    PatternBank patternStore;

    // A restored pattern must survive the reloads and regenerations that the
    // restore's own parameter changes set off, also when they arrive later.
    struct RestoreHold
    {
        std::atomic<bool> active { false };
        std::atomic<int> serial { 0 };
    };
    std::shared_ptr<RestoreHold> restoreHold = std::make_shared<RestoreHold>();

    class PlaybackParameterTimer : public juce::Timer
    {
    public:
        explicit PlaybackParameterTimer (KadenzoAudioProcessor& p) : owner (p) {}
        void timerCallback() override { owner.flushPlaybackParameterChanges(); }
    private:
        KadenzoAudioProcessor& owner;
    };
    PlaybackParameterTimer playbackParameterTimer { *this };

    std::vector<std::unique_ptr<quodl::ParameterListener>> parameterListeners;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KadenzoAudioProcessor)
};
