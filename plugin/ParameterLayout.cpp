#include "ParameterLayout.h"
#include "ModelCatalogue.h"

namespace
{
    using Layout = juce::AudioProcessorValueTreeState::ParameterLayout;

    void addInt (Layout& layout, const juce::String& id, const juce::String& name, int min, int max, int defaultValue)
    {
        layout.add (std::make_unique<juce::AudioParameterInt> (juce::ParameterID { id, 0 }, name, min, max, defaultValue));
    }

    void addFloat (Layout& layout, const juce::String& id, const juce::String& name, float min, float max, float defaultValue)
    {
        layout.add (std::make_unique<juce::AudioParameterFloat> (juce::ParameterID { id, 0 }, name, min, max, defaultValue));
    }

    void addBool (Layout& layout, const juce::String& id, const juce::String& name, bool defaultValue)
    {
        layout.add (std::make_unique<juce::AudioParameterBool> (juce::ParameterID { id, 0 }, name, defaultValue));
    }

    void addChoice (Layout& layout, const juce::String& id, const juce::String& name, const juce::StringArray& choices)
    {
        layout.add (std::make_unique<juce::AudioParameterChoice> (juce::ParameterID { id, 0 }, name, choices, 0));
    }
}

juce::String ParameterLayout::voiceParameterId (const char* family, int voice)
{
    return juce::String (family) + Voices::codes[static_cast<std::size_t> (voice)];
}

juce::StringArray ParameterLayout::modelChoices (const juce::Array<juce::File>& catalogue)
{
    juce::StringArray names;
    for (const auto& file : catalogue)
        names.add (ModelCatalogue::displayName (file));

    if (names.isEmpty())
        names.add ("No Model");

    // A choice parameter needs two choices to map to 0..1; the filler selects nothing.
    while (names.size() < 2)
        names.add ("-");

    return names;
}

juce::AudioProcessorValueTreeState::ParameterLayout ParameterLayout::create (const juce::StringArray& modelNames)
{
    Layout layout;

    addChoice (layout, "model", "Model", modelNames);
    addBool (layout, "generate", "Generate", false);
    addInt (layout, "patternlength", "Length", 1, 32, 16);
    addInt (layout, "maxcontext", "Max Context", 1, 16, 8);
    addFloat (layout, "temperature", "Temperature", 0.1f, 2.0f, 1.0f);
    addFloat (layout, "topp", "Top P", 0.1f, 1.0f, 1.0f);
    addFloat (layout, "temperaturemin", "Temperature Min", 0.1f, 2.0f, 0.8f);
    addFloat (layout, "temperaturemax", "Temperature Max", 0.1f, 2.0f, 1.2f);
    addFloat (layout, "toppmin", "Top P Min", 0.1f, 1.0f, 0.8f);
    addFloat (layout, "toppmax", "Top P Max", 0.1f, 1.0f, 1.0f);
    addInt (layout, "maxcontextmin", "Max Context Min", 1, 16, 4);
    addInt (layout, "maxcontextmax", "Max Context Max", 1, 16, 12);
    addInt (layout, "variation", "Variation", 0, 7, 0);
    addChoice (layout, "variationtype", "Variation Type", { "parallel", "beam" });
    addChoice (layout, "speed", "Speed", { "1/1", "1/2", "1/4", "1/8", "1/16" });
    addBool (layout, "lfo", "VAR", false);

    for (int i = 0; i < 8; ++i)
        addBool (layout, "enabledVariation" + juce::String (i), "Enabled Variation " + juce::String (i + 1), i < 2);

    addInt (layout, "velocityMain", "Velocity Main", 0, 100, 100);
    addInt (layout, "densityMain", "Density Main", 0, 100, 100);
    addBool (layout, "fourfloor", "Force 4OTF", false);
    addBool (layout, "forceoh", "Force OH", false);
    addBool (layout, "forcesd", "Force SD", false);
    addInt (layout, "continue", "Continue", 0, 16, 0);
    addBool (layout, "lockTemperature", "Lock Temperature", false);
    addBool (layout, "lockTopp", "Lock Top P", false);
    addBool (layout, "lockMaxContext", "Lock Max Context", false);
    addBool (layout, "lockModel", "Lock Model", false);

    for (int voice = 0; voice < Voices::count; ++voice)
    {
        const juce::String code = Voices::codes[static_cast<std::size_t> (voice)];
        addInt (layout, "velocity" + code, "Velocity " + code, 0, 127, 100);
        addInt (layout, "pitch" + code, "Pitch " + code, 0, 127, Voices::defaultPitches[static_cast<std::size_t> (voice)]);
        addInt (layout, "density" + code, "Density " + code, 0, 100, 100);
        addBool (layout, "enabled" + code, "Enabled " + code, true);
        addInt (layout, "shift" + code, "Shift " + code, 0, 3, 0);
        addBool (layout, "lockVelocity" + code, "Lock Velocity " + code, false);
        addBool (layout, "lockDensity" + code, "Lock Density " + code, false);
        addBool (layout, "lock" + code, "Lock " + code, false);
        addBool (layout, "generate" + code, "Generate " + code, false);
        addInt (layout, "velocitymin" + code, "Velocity Min " + code, 0, 127, 60);
        addInt (layout, "velocitymax" + code, "Velocity Max " + code, 0, 127, 127);
        addInt (layout, "densitymin" + code, "Density Min " + code, 0, 100, 80);
        addInt (layout, "densitymax" + code, "Density Max " + code, 0, 100, 100);
    }

    addInt (layout, "playeverybar", "Every Bar", 1, 8, 1);
    addInt (layout, "shiftbar", "Shift Bar", 0, 8, 0);
    addInt (layout, "swing", "Swing", 50, 75, 50);

    return layout;
}
