# Shared by scripts/run and scripts/test: build folders, the install layout,
# a private X display and a private Wine prefix.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"
export WINEPREFIX="${KADRIX_WINEPREFIX:-$build/wineprefix}"
export WINEDEBUG=-all
export WINEARCH=win64
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# Configures and builds the Windows tree (and, when asked, the native tree).
# Build output goes to a log that is shown only when the build fails.
build_windows() {
  mkdir -p "$build"
  cmake -S "$root" -B "$build/win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release >"$build/win-build.log" 2>&1 &&
    cmake --build "$build/win" -- -k 0 "$@" >>"$build/win-build.log" 2>&1 ||
    { cat "$build/win-build.log"; return 1; }
}

build_native() {
  mkdir -p "$build"
  cmake -S "$root" -B "$build/native" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKADRIX_SANITIZE=ON \
    >"$build/native-build.log" 2>&1 &&
    cmake --build "$build/native" -- -k 0 "$@" >>"$build/native-build.log" 2>&1 ||
    { cat "$build/native-build.log"; return 1; }
}

# Lays out Kadrix.exe as an installed program: the exe with Languages/ and
# Languages/Flags/ beside it.
install_kadrix() {
  local dest="$1"
  rm -rf "$dest"
  mkdir -p "$dest"
  cp "$build/win/Kadrix.exe" "$dest/"
  cp -r "$root/Languages" "$dest/"
}

# Starts a private Xvfb on the first free display from 90 up; sets DISPLAY and xvfb_pid.
start_xvfb() {
  local n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 "${XVFB_SCREEN:-1920x1080x24}" -noreset -nolisten tcp >"$build/xvfb.log" 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$n"
  for _ in $(seq 100); do
    [ -e "/tmp/.X11-unix/X$n" ] && return 0
    sleep 0.05
  done
  echo "Xvfb did not start on :$n" >&2
  return 1
}

# Creates the Wine prefix once and keeps a wineserver running for speed.
# Output goes to files: wineserver inherits pipes and would hang a reader.
prepare_wine() {
  mkdir -p "$WINEPREFIX"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >"$build/wineboot.log" 2>&1 || true
    wineserver -w
  fi
  wineserver -p >/dev/null 2>&1
}

stop_wine() {
  wineserver -k >/dev/null 2>&1 || true
}
