# The engine library: the processor and every part it composes. The plug-in
# formats, tests, benchmarks and tools all link it.
add_library(orvo_engine STATIC
    ${ORVO_CORE_SOURCES}
    plugin/ModelCatalogue.cpp
    plugin/ParameterLayout.cpp
    plugin/PatternState.cpp
    plugin/MidiExport.cpp
    plugin/AtomicFile.cpp
    plugin/StepClock.cpp
    plugin/PluginProcessor.cpp
    plugin/ProcessorPlayback.cpp
    plugin/ProcessorState.cpp
    plugin/ProcessorExport.cpp
    quodl_midi/quodl_midi.cpp)
target_include_directories(orvo_engine PUBLIC plugin quodl_midi)
target_link_libraries(orvo_engine PUBLIC orvo_juce)
set_target_properties(orvo_engine PROPERTIES
    POSITION_INDEPENDENT_CODE ON
    VISIBILITY_INLINES_HIDDEN ON
    CXX_VISIBILITY_PRESET hidden)

set(ORVO_LV2_URI "https://orvo.invalid/plugins/vuded")

juce_add_plugin(OrvoVuded
    PRODUCT_NAME "OrvoVuded"
    PLUGIN_NAME "Orvo Vuded"
    COMPANY_NAME "Orvo"
    BUNDLE_ID "org.orvo.vuded"
    PLUGIN_MANUFACTURER_CODE Orvo
    PLUGIN_CODE Vudd
    DESCRIPTION "Drum patterns from trained Markov models, played as MIDI"
    FORMATS VST3 LV2 Standalone
    IS_SYNTH TRUE
    NEEDS_MIDI_INPUT TRUE
    NEEDS_MIDI_OUTPUT TRUE
    IS_MIDI_EFFECT FALSE
    EDITOR_WANTS_KEYBOARD_FOCUS TRUE
    VST3_CATEGORIES Instrument Generator
    LV2URI ${ORVO_LV2_URI}
    COPY_PLUGIN_AFTER_BUILD FALSE)

target_sources(OrvoVuded PRIVATE plugin/PluginEntry.cpp)
target_compile_definitions(OrvoVuded PUBLIC JucePlugin_LV2URI="${ORVO_LV2_URI}")
target_link_libraries(OrvoVuded PUBLIC orvo_engine)

# Models live in <bundle>/Contents/Resources for every format. They are in
# place before the formats link, because the LV2 manifest step loads the
# plug-in, which lists its models.
set(ORVO_PRODUCTS_DIR ${CMAKE_CURRENT_BINARY_DIR}/OrvoVuded_artefacts/$<CONFIG>)
add_custom_target(orvo_models ALL
    COMMAND ${CMAKE_COMMAND}
        -DSOURCE_DIR=${CMAKE_CURRENT_SOURCE_DIR}/models
        "-DDESTINATIONS=${ORVO_PRODUCTS_DIR}/VST3/OrvoVuded.vst3/Contents/Resources|${ORVO_PRODUCTS_DIR}/LV2/OrvoVuded.lv2/Contents/Resources|${ORVO_PRODUCTS_DIR}/Standalone/Contents/Resources"
        -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/CopyModels.cmake
    VERBATIM)
foreach(format VST3 LV2 Standalone)
    add_dependencies(OrvoVuded_${format} orvo_models)
endforeach()

# The LV2 manifest lists the models' names: a changed model set relinks the
# LV2 plug-in, whose post-build step writes the manifest again.
file(GLOB ORVO_MODEL_FILES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/models/*.bin)
set_property(TARGET OrvoVuded_LV2 APPEND PROPERTY LINK_DEPENDS ${ORVO_MODEL_FILES})
