#!/usr/bin/env bash
# Runs every test of a test build through CTest. Services the integration tests need (the
# loopback news server) are started by scripts named scripts/test-service-*.sh, each called
# with "start" before and "stop" after the run. For each one started, K32_REQUIRE_<NAME>=1
# (K32_REQUIRE_INN for test-service-inn.sh) tells the tests that need it to fail, not skip, when
# they cannot reach it: a run that left them out would otherwise pass.
set -uo pipefail
build=${1:?usage: run-tests.sh BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
services=()
for s in "$here"/test-service-*.sh; do [ -x "$s" ] && services+=("$s"); done
stop_services() {
  for s in "${services[@]}"; do "$s" stop >/dev/null 2>&1 || true; done
}
trap stop_services EXIT
for s in "${services[@]}"; do
  "$s" start || { echo "could not start $(basename "$s")" >&2; exit 1; }
  name=$(basename "$s" .sh)
  name=${name#test-service-}
  export "K32_REQUIRE_${name^^}=1"
done
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 300
