#!/usr/bin/env bash
# Asks lilv what it sees of the LV2 bundle: it must be listed, be an
# instrument, and have an atom MIDI input and output.
set -euo pipefail
uri="$1"
command -v lv2info >/dev/null || { echo "lv2info is missing (Debian lilv-utils)"; exit 1; }
lv2ls | grep -qx "$uri" || { echo "lilv does not list $uri"; exit 1; }
info=$(lv2info "$uri")
ttl_dir="$LV2_PATH"
grep -q "a lv2:InstrumentPlugin" "$ttl_dir"/OrvoVuded.lv2/dsp.ttl || { echo "not an instrument"; exit 1; }
echo "$info" | grep -q "Name:              Orvo Vuded" || { echo "wrong name"; exit 1; }
inputs=$(echo "$info" | awk '/Port [0-9]+:/{p=1; t=""} p && /atom#AtomPort/{t=t" atom"} p && /lv2core#InputPort/{t=t" in"} p && /lv2core#OutputPort/{t=t" out"} p && /Name:/{print t; p=0}')
echo "$inputs" | grep -q "atom in" || { echo "no atom input port"; exit 1; }
echo "$inputs" | grep -q "atom out" || { echo "no atom output port"; exit 1; }
[ "$(grep -c 'midi:MidiEvent' "$ttl_dir"/OrvoVuded.lv2/dsp.ttl)" -ge 2 ] || { echo "ports do not carry MIDI"; exit 1; }
echo "lv2 bundle ok: $uri"
