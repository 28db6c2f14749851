#!/usr/bin/env bash
# Runs every test: the core natively and as a 32-bit program, then the Windows tests and
# the end-to-end tests under Wine, on the build that scripts/windows-target.sh chose.
# Expects the rig (scripts/with-rig.sh) around it.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
source scripts/windows-target.sh
status=0
ctest --test-dir build/native --output-on-failure || status=1

# The core's tests again as a 32-bit program, where size_t and long are 32 bits: straight
# on a kernel that runs 32-bit code, else under qemu-i386-static (~90 s against ~6 s).
core32=build/native32/core_tests
run32=()
"$core32" --gtest_list_tests >/dev/null 2>&1
case $? in
  0) echo "32-bit core tests: run directly (this machine runs 32-bit code)" ;;
  126)
    echo "32-bit core tests: under qemu-i386-static (this machine runs no 32-bit code)"
    run32=(qemu-i386-static) ;;
  *) echo "32-bit core tests: $core32 does not start"; status=1 ;;
esac
(cd build/native32 && timeout 1200 "${run32[@]}" ./core_tests --gtest_brief=1) || status=1

echo "Windows tests: $AURECHO_WINDOWS_LABEL ($AURECHO_WINDOWS_WHY)"
ctest --test-dir "build/$AURECHO_WINDOWS" --output-on-failure --timeout 300 || status=1
exit $status
