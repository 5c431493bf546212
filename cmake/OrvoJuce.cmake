# JUCE is compiled once, into this static library; the plug-in formats, the
# tests, the benchmarks and the command-line tools all link it.
add_library(orvo_juce STATIC)
target_link_libraries(orvo_juce
    PRIVATE
        juce::juce_audio_utils
        juce::juce_audio_processors
        juce::juce_audio_devices
        juce::juce_audio_formats
        juce::juce_gui_extra
        juce::juce_gui_basics
        juce::juce_graphics
        juce::juce_data_structures
        juce::juce_events
        juce::juce_audio_basics
        juce::juce_core
    PUBLIC
        juce::juce_recommended_config_flags
        juce::juce_recommended_warning_flags
        # The Debian package builds against the system image libraries.
        png jpeg)

target_compile_definitions(orvo_juce PUBLIC
    JUCE_WEB_BROWSER=0
    JUCE_USE_CURL=0
    JUCE_USE_FLAC=0
    JUCE_USE_OGGVORBIS=0
    JUCE_USE_MP3AUDIOFORMAT=0
    JUCE_PLUGINHOST_VST3=1
    JUCE_PLUGINHOST_LV2=0
    JUCE_MODAL_LOOPS_PERMITTED=1
    JUCE_VST3_CAN_REPLACE_VST2=0
    JUCE_VST3_EMULATE_MIDI_CC_WITH_PARAMETERS=0
    JUCE_DISPLAY_SPLASH_SCREEN=0
    JUCE_REPORT_APP_USAGE=0)

set_target_properties(orvo_juce PROPERTIES
    POSITION_INDEPENDENT_CODE ON
    VISIBILITY_INLINES_HIDDEN ON
    CXX_VISIBILITY_PRESET hidden
    C_VISIBILITY_PRESET hidden)

# Consumers see the module headers and the same definitions the modules were
# compiled with, without compiling the module sources again.
target_include_directories(orvo_juce INTERFACE
    $<TARGET_PROPERTY:orvo_juce,INCLUDE_DIRECTORIES>)
target_compile_definitions(orvo_juce INTERFACE
    $<TARGET_PROPERTY:orvo_juce,COMPILE_DEFINITIONS>)
