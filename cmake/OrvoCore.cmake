# The engine core: model walker, generator, pattern store and step rendering.
# It needs only juce_core, so the sanitizer builds can compile it cheaply.
set(ORVO_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/../plugin/ModelFile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../plugin/ModelWriter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../plugin/PatternBank.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../plugin/PatternStore.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../plugin/VelocityTables.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../plugin/VariationGenerator.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../plugin/StepRenderer.cpp)
set(ORVO_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/..)
