# Sourced by the bench scripts: a work directory removed on exit, and quillora-store started in it.
#   bench_work NAME                 sets $work (under WORK_DIR or TMPDIR) and the exit trap
#   start_store BUILD [ARGS...]     starts "$BUILD/devstore/quillora-store" with its state in
#                                   $work/state; sets $http_url, $https_url and $ca_file
#   stop_store                      stops it, so that another can start with other options
store_pid=
stop_store() {
  if [ -n "$store_pid" ]; then
    kill "$store_pid" 2>/dev/null || true
    wait "$store_pid" 2>/dev/null || true
    store_pid=
  fi
}

bench_cleanup() {
  stop_store
  rm -rf "$work"
}

bench_work() {
  work=$(mktemp -d "${WORK_DIR:-${TMPDIR:-/tmp}}/quillora-$1-XXXXXX")
  trap bench_cleanup EXIT
}

start_store() {
  local build=$1
  shift
  mkdir -p "$work/state"
  : >"$work/store.out"
  "$build/devstore/quillora-store" --state-dir "$work/state" "$@" >"$work/store.out" 2>"$work/store.err" &
  store_pid=$!
  for _ in $(seq 100); do
    [ -s "$work/store.out" ] && break
    sleep 0.1
  done
  http_url=$(sed -n 's/.*"http_url":"\([^"]*\)".*/\1/p' "$work/store.out")
  https_url=$(sed -n 's/.*"https_url":"\([^"]*\)".*/\1/p' "$work/store.out")
  ca_file=$(sed -n 's/.*"ca_file":"\([^"]*\)".*/\1/p' "$work/store.out")
  if [ -z "$http_url" ]; then
    echo "quillora-store did not start" >&2
    cat "$work/store.err" >&2
    exit 1
  fi
}
