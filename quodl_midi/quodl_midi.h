/*******************************************************************************
 BEGIN_JUCE_MODULE_DECLARATION

  ID:                 quodl_midi
  vendor:             quodl
  version:            1.0.0
  name:               quodl MIDI helpers
  description:        Parameter listeners that react on the message thread, and a real-time safe MIDI event queue.
  license:            Proprietary
  dependencies:       juce_audio_processors

 END_JUCE_MODULE_DECLARATION
*******************************************************************************/

#pragma once
#define QUODL_MIDI_H_INCLUDED

#include <juce_audio_processors/juce_audio_processors.h>

#include "ParameterListener.h"
#include "MidiUtils.h"
