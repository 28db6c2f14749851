#!/usr/bin/env bash
# Runs every test: the core natively, then the Win32 tests and the end-to-end tests
# under Wine. Expects the rig (scripts/with-rig.sh) around it.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
status=0
ctest --test-dir build/native --output-on-failure || status=1
ctest --test-dir build/win32 --output-on-failure --timeout 300 || status=1
exit $status
