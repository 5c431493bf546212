#include "quodl_midi.h"

#include "ParameterListener.cpp"
#include "MidiUtils.cpp"
