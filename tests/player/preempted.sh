#!/bin/sh
# Runs a test program while pausing it 350 ms every 0.6 s (SIGSTOP, SIGCONT),
# as a preempted machine does; exits with the program's status.
#   tests/player/preempted.sh PROGRAM [ARGS...]
"$@" &
pid=$!
# Only the program is paused: the players it starts run on, as they would.
(
    while kill -0 "$pid" 2>/dev/null; do
        sleep 0.25
        kill -STOP "$pid" 2>/dev/null || break
        sleep 0.35
        kill -CONT "$pid" 2>/dev/null || break
    done
) &
pauser=$!
wait "$pid"
status=$?
kill "$pauser" 2>/dev/null
kill -CONT "$pid" 2>/dev/null
exit "$status"
