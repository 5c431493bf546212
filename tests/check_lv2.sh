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
# lilv prints a port's classes in no fixed order: gather them per port.
ports=$(echo "$info" | awk '
    function flush() { if (seen) print (atom ? "atom" : "-") " " dir; seen=0; atom=0; dir="-" }
    /^[[:space:]]*Port [0-9]+:/ { flush(); seen=1; next }
    seen && /atom#AtomPort/ { atom=1 }
    seen && /lv2core#InputPort/ { dir="in" }
    seen && /lv2core#OutputPort/ { dir="out" }
    END { flush() }')
echo "$ports" | grep -qx "atom in" || { echo "no atom input port"; echo "$info"; exit 1; }
echo "$ports" | grep -qx "atom out" || { echo "no atom output port"; echo "$info"; exit 1; }
[ "$(grep -c 'midi:MidiEvent' "$ttl_dir"/OrvoVuded.lv2/dsp.ttl)" -ge 2 ] || { echo "ports do not carry MIDI"; exit 1; }
echo "lv2 bundle ok: $uri"
