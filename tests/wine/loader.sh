# Sourced by prefix.sh and run.sh: the environment of one isolated prefix and the Wine loader for
# its architecture. Expects $prefix and $arch; sets HOME, WINEPREFIX, WINEARCH and $loader.
export HOME="$prefix.home" WINEPREFIX="$prefix" WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ "$arch" = win32 ]; then
  export WINEARCH=win32
  loader=wine
else
  # The 64-bit loader runs 64-bit programs itself (no 32-bit code involved) and hands 32-bit
  # ones on to the 32-bit loader where the machine can execute it.
  export WINEARCH=win64
  loader=/usr/lib/wine/wine64
  [ -x "$loader" ] || loader=wine
fi
