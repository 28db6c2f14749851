#!/usr/bin/env bash
# Runs every test: the core natively, then the Windows tests and the end-to-end tests under
# Wine, on the build that scripts/windows-target.sh chose. Expects the rig
# (scripts/with-rig.sh) around it.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
source scripts/windows-target.sh
status=0
ctest --test-dir build/native --output-on-failure || status=1
echo "Windows tests: $AURECHO_WINDOWS_LABEL ($AURECHO_WINDOWS_WHY)"
ctest --test-dir "build/$AURECHO_WINDOWS" --output-on-failure --timeout 300 || status=1
exit $status
