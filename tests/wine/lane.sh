# Sourced by loader.sh for "wow64" prefixes: a 64-bit prefix whose 32-bit programs run as real WoW64
# processes, as the shipped 32-bit programs run on 64-bit Windows. Where the kernel cannot execute
# 32-bit code, Wine's 32-bit loader is executed by qemu-i386 through binfmt_misc, registered in a
# private user and mount namespace (the machine-wide registration is never touched), or, where the
# kernel has no private binfmt_misc, once machine-wide as "qev-i386".
# Expects $prefix; defines lane_kind (native, private, global or none, kept in $prefix.lane/kind:
# "native" once found, any other kind looked for again at every preparation;
# QEV_LANE=native|private|global|none chooses instead, e.g. to try the emulated lane on a machine
# that runs 32-bit code), lane_prepare and lane_exec.

lane_dir="$prefix.lane"
lane_qemu=
for q in /usr/bin/qemu-i386-static /usr/bin/qemu-i386; do
  if [ -x "$q" ]; then lane_qemu=$q; break; fi
done
# The i386 ELF executable (or shared object with an interpreter) of any OS ABI; flag F opens the
# interpreter at registration, so it serves in every mount namespace and chroot afterwards.
lane_rule=":qev-i386:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:$lane_qemu:F"
lane_binfmt=/proc/sys/fs/binfmt_misc

# A private binfmt_misc instance (Linux 6.7 and later, user namespaces allowed).
lane_private_possible() {
  unshare --user --map-root-user --mount --fork \
    sh -c "mount -t binfmt_misc binfmt_misc $lane_binfmt" >/dev/null 2>&1
}

lane_detect() {
  local wine32=/usr/lib/wine/wine
  [ -x "$wine32" ] && [ -x /usr/lib/wine/wine64 ] || { echo none; return; }
  if lane_private_possible; then
    # With an empty private binfmt_misc nothing can stand in for the kernel: this tells whether
    # 32-bit code runs natively even where qemu is registered machine-wide.
    if unshare --user --map-root-user --mount --fork \
         sh -c "mount -t binfmt_misc binfmt_misc $lane_binfmt && exec $wine32 --version" \
         >/dev/null 2>&1; then
      echo native
    elif [ -n "$lane_qemu" ]; then
      echo private
    else
      echo none
    fi
    return
  fi
  if "$wine32" --version >/dev/null 2>&1; then
    echo native
  elif [ -n "$lane_qemu" ] && [ "$(id -u)" -eq 0 ]; then
    echo global
  else
    echo none
  fi
}

# Decides the lane once and builds the i386 preload library (see lane_shim.c). Called under the
# prefix lock.
lane_prepare() {
  mkdir -p "$lane_dir"
  # Only "native" is kept for good. Any other answer is asked again at the next run: one failed
  # look (a busy machine, a namespace limit reached for a moment) must not leave a prefix emulated,
  # ten times slower, for the rest of its life. The look itself takes milliseconds.
  if [ "$(cat "$lane_dir/kind" 2>/dev/null)" != native ]; then
    local attempt kind
    for attempt in 1 2 3; do
      kind=$(lane_detect)
      [ "$kind" = native ] && break
      sleep 0.1
    done
    printf '%s\n' "$kind" >"$lane_dir/kind.new" && mv "$lane_dir/kind.new" "$lane_dir/kind"
  fi
  lane_kind=$(lane_chosen)
  local shim=$lane_dir/lib/i386-linux-gnu/qevlane.so source
  source=$(dirname "${BASH_SOURCE[0]}")/lane_shim.c
  if [ "$lane_kind" != native ] && [ "$lane_kind" != none ] &&
     { [ ! -f "$shim" ] || [ "$source" -nt "$shim" ]; }; then
    mkdir -p "$lane_dir/lib/i386-linux-gnu" "$lane_dir/lib/x86_64-linux-gnu"
    gcc -m32 -O2 -fPIC -shared -nostdlib -fno-stack-protector -o "$shim.new" "$source" &&
      gcc -O2 -fPIC -shared -nostdlib -DQEV_LANE_NOOP \
        -o "$lane_dir/lib/x86_64-linux-gnu/qevlane.so" "$source" &&
      mv "$shim.new" "$shim" || {
        echo "lane: cannot build the i386 preload library (gcc -m32)" >&2
        lane_kind=none
      }
  fi
}

lane_chosen() {
  case ${QEV_LANE:-} in
    native|private|global|none) echo "$QEV_LANE" ;;
    *) cat "$lane_dir/kind" 2>/dev/null || echo none ;;
  esac
}
lane_kind=$(lane_chosen)

# Runs a command with 32-bit programs enabled and returns its status. Under qemu a 32-bit process
# that dies of a fault leaves Wine nothing to report but exit code 0; qemu's own message on stderr
# is the only sign, so it is watched for and turns the status into 134.
lane_run() {
  case $lane_kind in
    private|global) ;;
    *) (lane_exec "$@"); return ;;
  esac
  local errors status
  errors=$(mktemp)
  (lane_exec "$@") 2>"$errors"
  status=$?
  cat "$errors" >&2
  if grep -q '^qemu: uncaught target signal' "$errors"; then
    echo "lane: a 32-bit process crashed under qemu-i386 (exit status $status reported)" >&2
    status=134
  fi
  rm -f "$errors"
  return $status
}

# Runs a command (in place of this shell) with 32-bit programs enabled. Every Wine process of a
# run starts inside it: a process started outside the namespace cannot start 32-bit programs.
lane_exec() {
  case $lane_kind in
    native)
      exec "$@" ;;
    private)
      export LD_PRELOAD="$lane_dir/\$LIB/qevlane.so${LD_PRELOAD:+:$LD_PRELOAD}" QEV_LANE_RULE="$lane_rule"
      # The outer namespace mounts and registers as its root; the inner one maps that root back to
      # the calling user, so Wine sees the same user (and finds the same wineserver) as outside.
      exec unshare --user --map-root-user --mount --fork --kill-child sh -c '
        mount -t binfmt_misc binfmt_misc '"$lane_binfmt"' || exit 125
        printf "%s" "$QEV_LANE_RULE" >'"$lane_binfmt"'/register || exit 125
        exec unshare --user --map-user='"$(id -u)"' --map-group='"$(id -g)"' -- "$@"' lane "$@" ;;
    global)
      export LD_PRELOAD="$lane_dir/\$LIB/qevlane.so${LD_PRELOAD:+:$LD_PRELOAD}"
      if [ ! -e "$lane_binfmt/register" ]; then
        mount -t binfmt_misc binfmt_misc "$lane_binfmt" || exit 125
      fi
      if [ ! -e "$lane_binfmt/qev-i386" ]; then
        printf '%s' "$lane_rule" >"$lane_binfmt/register" 2>/dev/null || [ -e "$lane_binfmt/qev-i386" ] ||
          exit 125
        echo "lane: registered qemu-i386 machine-wide as $lane_binfmt/qev-i386" \
          "(remove it with: echo -1 > $lane_binfmt/qev-i386)" >&2
      fi
      exec "$@" ;;
    *)
      echo "lane: 32-bit programs cannot run on this machine (no 32-bit execution, no qemu-i386)" >&2
      exit 77 ;;
  esac
}
