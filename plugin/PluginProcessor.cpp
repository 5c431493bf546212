#include "PluginProcessor.h"
#include "ModelCatalogue.h"
#include "ParameterLayout.h"

KadenzoAudioProcessor::KadenzoAudioProcessor()
    : KadenzoAudioProcessor (ModelCatalogue::bundleResourceFolder())
{
}

KadenzoAudioProcessor::KadenzoAudioProcessor (const juce::File& resourceFolder,
                                              std::optional<juce::PluginHostType::HostType> hostType)
    : AudioProcessor (busesForHost (hostType.value_or (juce::PluginHostType().type))),
      modelFolder (resourceFolder),
      parameters (*this, nullptr, "OrvoDrums", createParameterLayout())
{
    lockTemperature = &parameterById ("lockTemperature");
    lockTopp = &parameterById ("lockTopp");
    lockMaxContext = &parameterById ("lockMaxContext");
    lockModel = &parameterById ("lockModel");

    auto listen = [this] (juce::RangedAudioParameter& parameter, std::function<void (float)> reaction)
    {
        parameterListeners.push_back (std::make_unique<quodl::ParameterListener> (parameter, std::move (reaction)));
    };

    // References and listeners in construction order; each listener records the
    // value it starts from, so nothing fires before the first model load below.
    model = &parameterById ("model");
    listen (*model, [this] (float) { setModel (ParameterValue::integer (*model)); });
    patternlength = &parameterById ("patternlength");
    maxcontext = &parameterById ("maxcontext");
    temperature = &parameterById ("temperature");
    topp = &parameterById ("topp");
    temperaturemin = &parameterById ("temperaturemin");
    temperaturemax = &parameterById ("temperaturemax");
    toppmin = &parameterById ("toppmin");
    toppmax = &parameterById ("toppmax");
    maxcontextmin = &parameterById ("maxcontextmin");
    maxcontextmax = &parameterById ("maxcontextmax");
    variation = &parameterById ("variation");
    variationtype = &parameterById ("variationtype");
    speed = &parameterById ("speed");
    lfo = &parameterById ("lfo");

    for (int i = 0; i < Pattern::numVariations; ++i)
        enabledVariations[static_cast<std::size_t> (i)] = &parameterById (("enabledVariation" + juce::String (i)).toRawUTF8());

    velocityMain = &parameterById ("velocityMain");
    densityMain = &parameterById ("densityMain");

    for (int voice = 0; voice < Voices::count; ++voice)
    {
        auto& v = voiceParameters[static_cast<std::size_t> (voice)];
        auto voiceParameter = [&] (const char* family) -> juce::RangedAudioParameter*
        {
            return &parameterById (ParameterLayout::voiceParameterId (family, voice).toRawUTF8());
        };

        v.velocity = voiceParameter ("velocity");
        v.pitch = voiceParameter ("pitch");
        v.density = voiceParameter ("density");
        v.enabled = voiceParameter ("enabled");
        v.shift = voiceParameter ("shift");
        v.lockVelocity = voiceParameter ("lockVelocity");
        v.lockDensity = voiceParameter ("lockDensity");
        v.lock = voiceParameter ("lock");
        v.generate = voiceParameter ("generate");
        v.velocitymin = voiceParameter ("velocitymin");
        v.velocitymax = voiceParameter ("velocitymax");
        v.densitymin = voiceParameter ("densitymin");
        v.densitymax = voiceParameter ("densitymax");

        listen (*v.generate, [this, voice] (float) { generate (voice, false); });
    }

    fourfloor = &parameterById ("fourfloor");
    forceoh = &parameterById ("forceoh");
    forcesd = &parameterById ("forcesd");
    generateParameter = &parameterById ("generate");
    listen (*generateParameter, [this] (float) { generate (-1, false); });
    playeverybar = &parameterById ("playeverybar");
    shiftbar = &parameterById ("shiftbar");
    swing = &parameterById ("swing");
    continueParameter = &parameterById ("continue");

    playbackParameterTimer.startTimer (20);

    setModel (0);
}

KadenzoAudioProcessor::~KadenzoAudioProcessor()
{
    parameterListeners.clear();
    playbackParameterTimer.stopTimer();
}

juce::RangedAudioParameter& KadenzoAudioProcessor::parameterById (const char* id)
{
    auto* parameter = parameters.getParameter (id);
    jassert (parameter != nullptr);
    return *parameter;
}

//==============================================================================
const juce::String KadenzoAudioProcessor::getName() const { return "Orvo Vuded"; }
bool KadenzoAudioProcessor::acceptsMidi() const { return true; }
bool KadenzoAudioProcessor::producesMidi() const { return true; }
bool KadenzoAudioProcessor::isMidiEffect() const { return false; }
double KadenzoAudioProcessor::getTailLengthSeconds() const { return std::numeric_limits<double>::max(); }
bool KadenzoAudioProcessor::hasEditor() const { return true; }
juce::AudioProcessorEditor* KadenzoAudioProcessor::createEditor() { return new juce::GenericAudioProcessorEditor (*this); }
int KadenzoAudioProcessor::getNumPrograms() { return 1; }
int KadenzoAudioProcessor::getCurrentProgram() { return 0; }
void KadenzoAudioProcessor::setCurrentProgram (int) {}
const juce::String KadenzoAudioProcessor::getProgramName (int) { return {}; }
void KadenzoAudioProcessor::changeProgramName (int, const juce::String&) {}
void KadenzoAudioProcessor::releaseResources() {}

juce::AudioProcessor::BusesProperties KadenzoAudioProcessor::busesForHost (juce::PluginHostType::HostType hostType)
{
    using Host = juce::PluginHostType;
    const auto needsMidiBuses = hostType == Host::AbletonLive6 || hostType == Host::AbletonLive7
                             || hostType == Host::AbletonLive8 || hostType == Host::AbletonLive9
                             || hostType == Host::AbletonLive10 || hostType == Host::AbletonLive11
                             || hostType == Host::AbletonLiveGeneric || hostType == Host::CakewalkSonar8
                             || hostType == Host::CakewalkSonarGeneric || hostType == Host::CakewalkByBandlab;

    BusesProperties buses;
    if (needsMidiBuses)
    {
        buses = buses.withInput ("MIDI Input", juce::AudioChannelSet(), false)
                     .withOutput ("MIDI Output", juce::AudioChannelSet(), false);
    }
    return buses;
}

bool KadenzoAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    return layouts.inputBuses.isEmpty() || layouts.getMainInputChannels() == 0;
}

//==============================================================================
juce::Array<juce::File> KadenzoAudioProcessor::getTrieFiles()
{
    return ModelCatalogue::listModels (ModelCatalogue::bundleResourceFolder());
}

juce::Array<juce::File> KadenzoAudioProcessor::getTrieFiles (const juce::File& folder)
{
    return ModelCatalogue::listModels (folder);
}

juce::String KadenzoAudioProcessor::getModelDisplayName (const juce::File& file)
{
    return ModelCatalogue::displayName (file);
}

juce::AudioProcessorValueTreeState::ParameterLayout KadenzoAudioProcessor::createParameterLayout() const
{
    return ParameterLayout::create (ParameterLayout::modelChoices (getTrieFiles (modelFolder)));
}

//==============================================================================
void KadenzoAudioProcessor::setModel (int index)
{
    const auto catalogue = getTrieFiles (modelFolder);

    if (index < 0 || index >= catalogue.size())
        return;

    const auto file = catalogue[index];
    if (! file.existsAsFile())
        return;

    // loadFileAsData fails on a file that cannot be opened or reads short.
    juce::MemoryBlock block;
    if (! file.loadFileAsData (block))
        return;

    {
        const juce::ScopedLock lock (modelLock);
        modelData.swapWith (block);
        modelLoaded.store (true);
        generate (-1, false);
    }
}

GeneratorSettings KadenzoAudioProcessor::readGeneratorSettings() const
{
    GeneratorSettings s;
    s.variationType = ParameterValue::integer (*variationtype);
    s.continueSteps = ParameterValue::integer (*continueParameter);
    s.temperature = ParameterValue::plain (*temperature);
    s.topp = ParameterValue::plain (*topp);
    s.maxContext = ParameterValue::integer (*maxcontext);
    s.temperatureMin = ParameterValue::plain (*temperaturemin);
    s.temperatureMax = ParameterValue::plain (*temperaturemax);
    s.toppMin = ParameterValue::plain (*toppmin);
    s.toppMax = ParameterValue::plain (*toppmax);
    s.maxContextMin = ParameterValue::integer (*maxcontextmin);
    s.maxContextMax = ParameterValue::integer (*maxcontextmax);
    s.patternLength = ParameterValue::integer (*patternlength);

    for (int voice = 0; voice < Voices::count; ++voice)
        s.locked[static_cast<std::size_t> (voice)] = ParameterValue::isOn (*voiceParameters[static_cast<std::size_t> (voice)].lock);

    return s;
}

void KadenzoAudioProcessor::generate (int voice, bool firstPass)
{
    const juce::ScopedTryLock lock (modelLock);

    if (! lock.isLocked() || ! modelLoaded.load() || restoreHold->active.load())
        return;

    const ModelFile modelFile (modelData.getData(), modelData.getSize());
    workingPattern = patternStore.copy();
    generator.generate (modelFile, readGeneratorSettings(), voice, firstPass, workingPattern);
    patternStore.publish (workingPattern);
}

void KadenzoAudioProcessor::seedRandomGenerators (juce::int64 seed)
{
    const juce::ScopedLock lock (modelLock);
    generator.generatorRandom.setSeed (seed);
    generator.velocityRandom.setSeed (seed ^ 0x5DEECE66DLL);
}

void KadenzoAudioProcessor::resetGenerator (juce::int64 seed)
{
    const juce::ScopedLock lock (modelLock);
    seedRandomGenerators (seed);
    for (auto& context : generator.contextHistories)
        context.assign (1, generator.startToken);
}

std::array<std::vector<StepToken>, Pattern::numVariations> KadenzoAudioProcessor::getContextHistories() const
{
    const juce::ScopedLock lock (modelLock);
    return generator.contextHistories;
}

//==============================================================================
RenderSettings KadenzoAudioProcessor::readRenderSettings() const noexcept
{
    RenderSettings s;
    s.patternLength = ParameterValue::integer (*patternlength);
    s.densityMain = ParameterValue::integer (*densityMain);
    s.velocityMain = ParameterValue::integer (*velocityMain);
    s.fourFloor = ParameterValue::isOn (*fourfloor);
    s.forceSnare = ParameterValue::isOn (*forcesd);
    s.forceOpenHat = ParameterValue::isOn (*forceoh);
    s.swing = ParameterValue::integer (*swing);

    for (std::size_t voice = 0; voice < s.voices.size(); ++voice)
    {
        const auto& p = voiceParameters[voice];
        s.voices[voice] = { ParameterValue::integer (*p.pitch), ParameterValue::integer (*p.velocity),
                            ParameterValue::integer (*p.density), ParameterValue::integer (*p.shift),
                            ParameterValue::isOn (*p.enabled) };
    }

    return s;
}

MidiStep KadenzoAudioProcessor::getMidiStep (int instrument, int step, int variationIndex) const
{
    const auto reader = patternStore.read();
    return StepRenderer::render (readRenderSettings(), reader.pattern(), instrument, step, variationIndex);
}
