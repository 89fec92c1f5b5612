# shellcheck shell=bash
# Sourced by the session runners. A test session's processes are known by its private runtime
# folder; any still alive once the session is over (a portal or settings service the bus
# started, an application a failed test left behind) would keep the test's output open and hold
# ctest until its timeout, so they are ended.
end_session_leftovers() {
  local runtime=$1 environ pid
  for environ in /proc/[0-9]*/environ; do
    pid=${environ#/proc/}
    pid=${pid%/environ}
    grep -qzxF "XDG_RUNTIME_DIR=$runtime" "$environ" 2> /dev/null && kill -KILL "$pid" 2> /dev/null
  done
  return 0
}

# The end of a session in folder WORK that exited with STATUS: its leftovers ended, the bus's
# log (WORK/bus.log) shown when the session failed, the folder removed.
end_session() {
  local work=$1 status=$2
  end_session_leftovers "$work/runtime"
  if [ "$status" != 0 ] && [ "$status" != 77 ] && [ -s "$work/bus.log" ]; then
    echo "--- the session bus and the services it started, last lines:"
    tail -n 30 "$work/bus.log"
  fi
  rm -rf "$work"
}
