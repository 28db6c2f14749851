# Decides, in one place, which Windows build runs here: the 32-bit program under wine where
# this machine runs 32-bit code, else its 64-bit twin under wine64 (some kernels have their
# 32-bit emulation switched off, and then no 32-bit Wine starts). Sourced by the scripts
# that start Wine; the first caller decides and exports the answer to the rest.
#
# AURECHO_WINDOWS=win32 or win64 forces one build; forcing win32 where it cannot run fails.
# Sets: AURECHO_WINDOWS, AURECHO_WINDOWS_WHY, AURECHO_WINE (the loader), WINEPREFIX (the
# build's own prefix unless already set), and for the twin WINELOADER and WINEARCH.

aurecho_windows_target() {
  local root="$1"
  # Decided already by a calling script, for the same build.
  [ -n "${AURECHO_WINDOWS:-}" ] && [ "${AURECHO_WINDOWS_DECIDED:-}" = "$AURECHO_WINDOWS" ] && return 0
  local wine32=/usr/lib/wine/wine wine64=/usr/lib/wine/wine64
  local why32="" err
  # The 32-bit loader itself is the probe: it is what must start.
  if [ ! -x "$wine32" ]; then
    why32="the 32-bit Wine loader $wine32 is not installed"
  else
    err="$("$wine32" --version 2>&1 >/dev/null)"
    case $? in
      0) ;;
      126) why32="this machine runs no 32-bit code: $wine32 cannot be executed" ;;
      *) why32="the 32-bit Wine loader does not start: ${err##*$'\n'}" ;;
    esac
  fi

  case "${AURECHO_WINDOWS:-}" in
    win32)
      if [ -n "$why32" ]; then
        echo "AURECHO_WINDOWS=win32 cannot run here: $why32" >&2
        return 1
      fi
      AURECHO_WINDOWS_WHY="forced by AURECHO_WINDOWS=win32" ;;
    win64)
      AURECHO_WINDOWS_WHY="forced by AURECHO_WINDOWS=win64" ;;
    "")
      if [ -z "$why32" ]; then
        AURECHO_WINDOWS=win32
        AURECHO_WINDOWS_WHY="this machine runs 32-bit code"
      else
        AURECHO_WINDOWS=win64
        AURECHO_WINDOWS_WHY="$why32"
      fi ;;
    *)
      echo "AURECHO_WINDOWS must be win32 or win64, not '$AURECHO_WINDOWS'" >&2
      return 1 ;;
  esac

  # A prefix chosen by a caller for the other build is not ours.
  case "${WINEPREFIX:-}" in "$root/build/wineprefix" | "$root/build/wineprefix64") unset WINEPREFIX ;; esac
  if [ "$AURECHO_WINDOWS" = win32 ]; then
    AURECHO_WINDOWS_LABEL="32-bit program under wine"
    AURECHO_WINE=wine
    unset WINELOADER WINEARCH
    export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix}"
  else
    if [ ! -x "$wine64" ]; then
      echo "the 64-bit twin needs $wine64 (package wine64): not installed" >&2
      return 1
    fi
    AURECHO_WINDOWS_LABEL="64-bit twin under wine64"
    # Debian's wine script picks the 32-bit loader whenever it is installed: bypass it.
    AURECHO_WINE="$wine64"
    export WINELOADER="$wine64" WINEARCH=win64
    export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix64}"
  fi
  AURECHO_WINDOWS_DECIDED="$AURECHO_WINDOWS"
  export AURECHO_WINDOWS AURECHO_WINDOWS_WHY AURECHO_WINDOWS_LABEL AURECHO_WINE AURECHO_WINDOWS_DECIDED
}

aurecho_windows_target "$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)" || exit 1
