#!/usr/bin/env bash
# Runs the payload benchmark of a build folder (make bench BUILD=...); arguments go to it.
set -euo pipefail
build=${1:-build}
shift || true
cmake --build "$build/host" --target bench_payload >/dev/null
exec "$build/host/bench/bench_payload" "$@"
