#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite. Starts its own Xvfb for the
# tests that open a real window (OpenGL through Mesa, input through xdotool).
set -euo pipefail
cd "$(dirname "$0")"
#
#   ./test.sh [CTEST-ARGS...]             the suite, built in build/
#   ./test.sh --sanitize [CTEST-ARGS...]  the suite built with AddressSanitizer
#                                         and UndefinedBehaviorSanitizer (no
#                                         recovery) in build-sanitize/
./setup.sh
build=build
config=()
if [ "${1:-}" = "--sanitize" ]; then
  shift
  build=build-sanitize
  flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
  config=(-DFLINGO_FUZZ=OFF "-DCMAKE_C_FLAGS=$flags" "-DCMAKE_CXX_FLAGS=$flags")
  if command -v ccache >/dev/null; then
    config+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  # The build runs the asset generator and lists the tests, so these hold
  # for it as well as for the tests.
  # intercept_tls_get_addr=0: GCC 12's runtime takes a thread-local block that
  # happens to start 16 bytes past a page boundary for an old-glibc block with
  # a header, reads a size and address from the bytes before it, and the leak
  # check's thread scan then dies at exit ("Tracer caught signal 11") in
  # processes that loaded the GL driver. Static TLS and thread stacks are
  # scanned as before.
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1:intercept_tls_get_addr=0
  export LSAN_OPTIONS="suppressions=$PWD/tests/sanitize/leaks.supp:print_suppressions=0"
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
cmake -S . -B "$build" -G Ninja "${config[@]}" >/dev/null
cmake --build "$build"

display=""
for n in $(seq 91 120); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/tmp/flingo-xvfb.log 2>&1 &
xvfb_pid=$!
pg_dir=""
pg_run=()
cleanup() {
  kill "$xvfb_pid" 2>/dev/null || true
  if [ -n "$pg_dir" ]; then
    "${pg_run[@]}" "$pg_bin/pg_ctl" -D "$pg_dir/data" -m immediate stop >/dev/null 2>&1 || true
    rm -rf "$pg_dir"
  fi
}
trap cleanup EXIT

# A private PostgreSQL cluster for the score server's tests: a folder of its
# own, trust for connections on one loopback port only, no fsync (nothing in
# it outlives the run), stopped and removed at the end. PostgreSQL refuses to
# run as root, so as root it runs as the package's own user. Without it the
# PostgreSQL cases skip and the SQLite ones still run.
pg_bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1 || true)
pg_user=$(id -un)
if [ "$(id -u)" -eq 0 ]; then pg_user=postgres; pg_run=(runuser -u postgres --); fi
if [ -n "$pg_bin" ] && [ -x "$pg_bin/initdb" ] && id "$pg_user" >/dev/null 2>&1; then
  pg_dir=$(mktemp -d /tmp/flingo-pg.XXXXXX)
  chown "$pg_user" "$pg_dir"
  pg_port=""
  for p in $(seq 54320 54399); do
    if ! (echo >"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then pg_port=$p; break; fi
  done
  if "${pg_run[@]}" "$pg_bin/initdb" -D "$pg_dir/data" -U "$pg_user" -A trust -E UTF8 \
       --no-sync >"$pg_dir/initdb.log" 2>&1 &&
     "${pg_run[@]}" "$pg_bin/pg_ctl" -D "$pg_dir/data" -l "$pg_dir/server.log" -w \
       -o "-h 127.0.0.1 -p $pg_port -k $pg_dir -F -c max_connections=300" start >/dev/null; then
    export FLINGO_TEST_POSTGRES="postgresql://$pg_user@127.0.0.1:$pg_port"
    echo "test: PostgreSQL for the score server tests on 127.0.0.1:$pg_port"
  else
    echo "test: PostgreSQL did not start (see $pg_dir); its score server cases skip"
  fi
fi
for _ in $(seq 1 50); do
  [ -e "/tmp/.X11-unix/X${display#:}" ] && break
  sleep 0.1
done
export DISPLAY="$display"
export FLINGO_REQUIRE_DISPLAY=1

ctest --test-dir "$build" --output-on-failure -j2 "$@"
