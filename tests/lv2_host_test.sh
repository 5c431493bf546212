#!/usr/bin/env bash
# The LV2 plug-in in a real host: jalv on a JACK server with the dummy driver,
# the transport rolling, and the MIDI it sends recorded by jack_midi_dump.
set -uo pipefail
uri="$1"

# JACK keeps its servers in /dev/shm, where a killed server can leave a stale
# entry behind: run in a private /dev/shm where possible, so the test neither
# meets nor disturbs any other JACK server on the machine.
if [ -z "${ORVO_PRIVATE_SHM:-}" ]; then
    for ns in "unshare --mount" "unshare --user --map-root-user --mount"; do
        if $ns true 2>/dev/null; then
            exec env ORVO_PRIVATE_SHM=1 $ns bash -c 'mount -t tmpfs tmpfs /dev/shm && exec bash "$0" "$@"' "$0" "$@"
        fi
    done
fi
work=$(mktemp -d)
export JACK_DEFAULT_SERVER="orvo-test-$$"
export JACK_NO_AUDIO_RESERVATION=1
pids=()
cleanup() { exec 3>&- 2>/dev/null; for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

wait_for() {   # wait_for SECONDS COMMAND...: until the command succeeds
    local limit=$(( $1 * 10 )); shift
    for _ in $(seq "$limit"); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
    return 1
}
fail() { echo "lv2 host test: $*"; for f in "$work"/*.log; do echo "--- $f"; tail -n 20 "$f"; done; exit 1; }

jackd -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 512 > "$work/jackd.log" 2>&1 &
pids+=($!)
wait_for 10 jack_lsp || fail "the JACK server did not start"

# jalv reads commands from its standard input and quits at its end: keep it open.
mkfifo "$work/jalv.in"
jalv -n orvo "$uri" < "$work/jalv.in" > "$work/jalv.log" 2>&1 &
pids+=($!)
exec 3> "$work/jalv.in"
wait_for 20 sh -c 'jack_lsp | grep -qx orvo:out' || fail "jalv did not load $uri"

jack_midi_dump > "$work/midi.txt" 2> "$work/dump.log" &
pids+=($!)
wait_for 10 sh -c 'jack_lsp | grep -qx midi-monitor:input' || fail "jack_midi_dump did not start"
jack_connect orvo:out midi-monitor:input || fail "cannot connect the plug-in's MIDI output"

(echo locate 0; echo play; sleep 0.5) | jack_transport > /dev/null 2>&1
sleep 4   # two bars at 120 BPM, and some
(echo stop; sleep 0.5) | jack_transport > /dev/null 2>&1
sleep 0.5

ons=$(grep -c "note on  (channel  9)" "$work/midi.txt")
offs=$(grep -c "note off (channel  9)" "$work/midi.txt")
others=$(grep -v "channel  9" "$work/midi.txt" | grep -c "note")
echo "lv2 host test: $ons note-ons and $offs note-offs on channel 10, $others elsewhere"
[ "$ons" -ge 8 ] || fail "too few notes while the transport rolled"
[ "$others" -eq 0 ] || fail "notes outside channel 10"
# Every note-on that was sent has its note-off, the last ones sent by the stop.
[ "$offs" -ge "$ons" ] || fail "notes left hanging"
