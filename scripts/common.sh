# Shared by scripts/run and scripts/test: build folders, the install layout,
# a private X display and a private Wine prefix.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"
export WINEPREFIX="${KADRIX_WINEPREFIX:-$build/wineprefix}"
export WINEDEBUG=-all
export WINEARCH=win64
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# Warnings fail the build in CI, in both trees.
werror() { if [ "${CI:-}" = true ]; then echo ON; else echo OFF; fi; }

# Configures and builds the Windows tree (and, when asked, the native tree).
# Build output goes to a log that is shown only when the build fails.
build_windows() {
  mkdir -p "$build"
  cmake -S "$root" -B "$build/win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DKADRIX_WERROR="$(werror)" >"$build/win-build.log" 2>&1 &&
    cmake --build "$build/win" -- -k 0 "$@" >>"$build/win-build.log" 2>&1 ||
    { cat "$build/win-build.log"; return 1; }
}

build_native() {
  mkdir -p "$build"
  cmake -S "$root" -B "$build/native" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKADRIX_SANITIZE=ON -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
    -DKADRIX_WERROR="$(werror)" >"$build/native-build.log" 2>&1 &&
    cmake --build "$build/native" -- -k 0 "$@" >>"$build/native-build.log" 2>&1 ||
    { cat "$build/native-build.log"; return 1; }
}

# Installs Kadrix.exe with Languages/ and Languages/Flags/ beside it. Only the
# program's own files are replaced: the folder is also where Settings.ini and,
# by default, the screenshots go. The exe is renamed into place, so a copy
# that still runs keeps its old file intact.
install_kadrix() {
  local dest="$1"
  mkdir -p "$dest/Languages"
  cp "$build/win/Kadrix.exe" "$dest/.Kadrix.exe.new"
  mv -f "$dest/.Kadrix.exe.new" "$dest/Kadrix.exe"
  cp -r "$root/Languages/." "$dest/Languages/"
}

# Starts a private Xvfb and sets DISPLAY and xvfb_pid. The server picks a
# display number no other server holds and reports it (-displayfd), so two
# runs on one machine never share a display, whatever lock files lie about.
# The display number an X server started with -displayfd writes into file,
# waited for in polls of 50 ms while the server (pid) runs; empty if none.
display_number() {
  local file="$1" pid="$2" polls="$3"
  for _ in $(seq "$polls"); do
    # The number is complete once its line has ended.
    if [ "$(wc -l <"$file")" -ge 1 ]; then
      head -1 "$file"
      return 0
    fi
    if ! kill -0 "$pid" 2>/dev/null; then return 0; fi
    sleep 0.05
  done
}

start_xvfb() {
  mkdir -p "$build"
  local numberFile n=""
  numberFile=$(mktemp "$build/xvfb-display.XXXXXX")
  xvfb_log=$(mktemp "$build/xvfb-log.XXXXXX")
  Xvfb -displayfd 3 -screen 0 "${XVFB_SCREEN:-1920x1080x24}" -noreset -nolisten tcp ${XVFB_ARGS:-} \
    3>"$numberFile" >"$xvfb_log" 2>&1 &
  xvfb_pid=$!
  n=$(display_number "$numberFile" "$xvfb_pid" 200)
  rm -f "$numberFile"
  if [ -z "$n" ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "Xvfb did not start:" >&2
    cat "$xvfb_log" >&2
    stop_xvfb
    return 1
  fi
  export DISPLAY=":$n"
}

stop_xvfb() {
  if [ -n "${xvfb_pid:-}" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
  fi
  rm -f "${xvfb_log:-}"
  return 0
}

# Creates the Wine prefix once and keeps a wineserver running for speed.
# Output goes to files: wineserver inherits pipes and would hang a reader.
prepare_wine() {
  mkdir -p "$WINEPREFIX"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >"$build/wineboot.log" 2>&1 || true
    wineserver -w || true
  fi
  # Fails when a server for this prefix already runs, which is just as good.
  wineserver -p >/dev/null 2>&1 || true
}

# Ends the wineserver of this prefix and every program running in it.
stop_wine() {
  wineserver -k >/dev/null 2>&1 || true
}

# A display of several monitors for the multi-monitor tests: Xorg with the
# dummy video driver, whose outputs xrandr lays out. Xorg reads a
# configuration from the project's folder only when run as root.
start_xorg_monitors() {
  mkdir -p "$build"
  local numberFile n="" sudo=()
  [ "$(id -u)" = 0 ] || sudo=(sudo -n)
  numberFile=$(mktemp "$build/xorg-display.XXXXXX")
  xorg_log=$(mktemp "$build/xorg-log.XXXXXX")
  # Shares the console's VT and never switches it: on a desktop machine the
  # user's screen stays as it is.
  "${sudo[@]}" Xorg -config "$root/tests/monitors/xorg-dummy.conf" -noreset -nolisten tcp ${XVFB_ARGS:-} \
    -novtswitch -sharevts -logfile "$xorg_log" -displayfd 3 3>"$numberFile" >/dev/null 2>&1 &
  xorg_pid=$!
  n=$(display_number "$numberFile" "$xorg_pid" 400)
  rm -f "$numberFile"
  if [ -z "$n" ]; then
    echo "Xorg with the dummy driver did not start:" >&2
    tail -20 "$xorg_log" >&2
    stop_xorg_monitors
    return 1
  fi
  export DISPLAY=":$n"
}

stop_xorg_monitors() {
  if [ -n "${xorg_pid:-}" ]; then
    if [ "$(id -u)" = 0 ]; then kill "$xorg_pid" 2>/dev/null; else sudo -n kill "$xorg_pid" 2>/dev/null; fi
    wait "$xorg_pid" 2>/dev/null || true
    xorg_pid=""
  fi
  rm -f "${xorg_log:-}"
  return 0
}

# Lays out the dummy outputs: "left,top,width,height;..." in Windows screen
# coordinates, the primary monitor first at 0,0. X places its outputs from
# 0,0, so every monitor is shifted by the leftmost and topmost edges.
set_monitor_layout() {
  local spec="$1" minx=0 miny=0 i=0 args=() m l t w h
  IFS=';' read -r -a mons <<<"$spec"
  for m in "${mons[@]}"; do
    IFS=, read -r l t w h <<<"$m"
    ((l < minx)) && minx=$l
    ((t < miny)) && miny=$t
  done
  for m in "${mons[@]}"; do
    IFS=, read -r l t w h <<<"$m"
    xrandr --addmode "DUMMY$i" "${w}x$h" 2>/dev/null || true
    args+=(--output "DUMMY$i" --mode "${w}x$h" --pos "$((l - minx))x$((t - miny))")
    [ $i = 0 ] && args+=(--primary)
    i=$((i + 1))
  done
  for ((; i < 4; i++)); do args+=(--output "DUMMY$i" --off); done
  xrandr "${args[@]}" || return 1
  for _ in $(seq 100); do
    [ "$(xrandr --listactivemonitors | head -1 | grep -o '[0-9]*$')" = "${#mons[@]}" ] && return 0
    sleep 0.05
  done
  echo "xrandr did not take the layout $spec" >&2
  return 1
}

# Two folders the end-to-end fault tests save screenshots into: a read-only
# one and one on a full disk, each a small tmpfs. Mounting needs root (or
# sudo without a password); without it the tests name the cases they skip.
# Sets KADRIX_READONLY_FOLDER and KADRIX_FULL_FOLDER (Unix paths).
mount_fault_folders() {
  local base="$build/fault-folders" sudo=()
  [ "$(id -u)" = 0 ] || sudo=(sudo -n)
  unmount_fault_folders
  mkdir -p "$base/readonly" "$base/full"
  if "${sudo[@]}" mount -t tmpfs -o ro,size=64k,mode=0777 kadrix-readonly "$base/readonly" 2>/dev/null; then
    export KADRIX_READONLY_FOLDER="$base/readonly"
  else
    echo "note: no read-only folder for the fault tests (mount needs root)" >&2
  fi
  if "${sudo[@]}" mount -t tmpfs -o size=128k,mode=0777 kadrix-full "$base/full" 2>/dev/null; then
    # Filled to the last block; writing fails once the disk is full.
    head -c 1M /dev/zero >"$base/full/filler" 2>/dev/null || true
    export KADRIX_FULL_FOLDER="$base/full"
  else
    echo "note: no full-disk folder for the fault tests (mount needs root)" >&2
  fi
}

unmount_fault_folders() {
  local base="$build/fault-folders" sudo=() d
  [ "$(id -u)" = 0 ] || sudo=(sudo -n)
  for d in readonly full; do
    mountpoint -q "$base/$d" 2>/dev/null && "${sudo[@]}" umount "$base/$d" 2>/dev/null
  done
  return 0
}

# The receiving service users run (php -S on a free port), for the upload
# tests and the upload benchmark: start_upload_service <pictures folder> <log>.
# Sets php_pid and exports KADRIX_UPLOAD_SERVICE (host:port).
start_upload_service() {
  local shots="$1" log="$2" port
  for port in $(shuf -i 20000-40000 -n 20); do
    rm -f "$log"
    mkdir -p "$shots"
    KADRIX_SHOTS_DIR="$shots" "$root/scripts/upload-service" "$port" >"$log" 2>&1 &
    php_pid=$!
    for _ in $(seq 100); do
      if ! kill -0 "$php_pid" 2>/dev/null; then break; fi
      if grep -q "Development Server" "$log" 2>/dev/null; then
        export KADRIX_UPLOAD_SERVICE="127.0.0.1:$port"
        return 0
      fi
      sleep 0.05
    done
    kill "$php_pid" 2>/dev/null || true
  done
  echo "the upload service did not start" >&2
  return 1
}
