# Sourced by prefix.sh and run.sh: the environment of one isolated prefix and the Wine loader for
# its architecture. Expects $prefix and $arch; sets HOME, WINEPREFIX, WINEARCH and $loader.
#   win64  a 64-bit prefix; the 64-bit loader runs 64-bit programs itself and hands 32-bit ones on
#          to the 32-bit loader where the machine can execute it
#   wow64  the same prefix kind, for the 32-bit programs that ship: run through the 32-bit lane
#          (lane.sh), natively or emulated; run.sh ends with 77 (skipped) where neither works
export HOME="$prefix.home" WINEPREFIX="$prefix" WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
case $arch in
  wow64)
    export WINEARCH=win64
    loader=/usr/lib/wine/wine64
    . "$(dirname "${BASH_SOURCE[0]}")/lane.sh" ;;
  *)
    export WINEARCH=win64
    loader=/usr/lib/wine/wine64
    [ -x "$loader" ] || loader=wine ;;
esac
