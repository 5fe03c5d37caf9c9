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
  cmake -S "$root" -B "$build/native" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKADRIX_SANITIZE=ON \
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
start_xvfb() {
  mkdir -p "$build"
  local numberFile n=""
  numberFile=$(mktemp "$build/xvfb-display.XXXXXX")
  xvfb_log=$(mktemp "$build/xvfb-log.XXXXXX")
  Xvfb -displayfd 3 -screen 0 "${XVFB_SCREEN:-1920x1080x24}" -noreset -nolisten tcp \
    3>"$numberFile" >"$xvfb_log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 200); do
    # The number is complete once its line has ended.
    if [ "$(wc -l <"$numberFile")" -ge 1 ]; then
      n=$(head -1 "$numberFile")
      break
    fi
    if ! kill -0 "$xvfb_pid" 2>/dev/null; then break; fi
    sleep 0.05
  done
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
