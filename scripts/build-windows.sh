#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the editor and nx4400c-cli for 64-bit Windows from this Debian 12
# machine, packs them into a zip and an NSIS installer, and runs the tests
# under wine64.
#
#   scripts/build-windows.sh [stage...]
#
# Stages, in order (no stage named: all of them):
#   deps     installs the cross compiler, wine64, nsis and zip when missing
#   qt       builds Qt 6.4.2 for x86_64-w64-mingw32 once, into the cache
#            folder named by its version (skipped when the cache is there)
#   app      cross-builds the editor, nx4400c-cli and the tests
#   package  makes build-win/nx4400c-<version>-win64.zip and the installer
#   test     runs the tests under wine64, and the transfer through COM1
#
# Qt's source comes from Debian's own source packages, fetched through an
# apt configuration private to the cache folder: the system's apt sources
# are left alone. The Qt build is long on a small machine; it runs under
# `nice` so other work keeps the processor.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

qt_version=6.4.2
cache=${NX_WIN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/nx4400c}
qt_prefix=$cache/qt-$qt_version-mingw64
work=$cache/qt-$qt_version-src
build_dir=${NX_WIN_BUILD:-$root/build-win}
jobs=${NX_WIN_JOBS:-$(nproc)}
triple=x86_64-w64-mingw32
wine=${NX_WINE:-/usr/lib/wine/wine64}

log() { echo "== $*"; }

stage_deps() {
  ./scripts/install-deps.sh --windows
}

# The toolchain file both Qt and the editor are built with.
write_toolchain() {
  mkdir -p "$cache"
  cat >"$cache/mingw64-toolchain.cmake" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER   $triple-gcc-posix)
set(CMAKE_CXX_COMPILER $triple-g++-posix)
set(CMAKE_RC_COMPILER  $triple-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$triple $qt_prefix)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF
}

# Fetches a Debian source package's upstream tarball into $work through a
# private apt configuration; prints the tarball's path.
fetch_source() { # package
  local apt=$cache/apt
  mkdir -p "$apt/lists/partial" "$apt/parts" "$apt/cache/archives/partial" "$work"
  echo "deb-src http://deb.debian.org/debian bookworm main" >"$apt/sources.list"
  local opts=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/parts"
    -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o "APT::Sandbox::User=root")
  if ! ls "$apt/lists/"*Sources* >/dev/null 2>&1; then
    apt-get "${opts[@]}" update -qq >&2
  fi
  (cd "$work" && ls "$1"_*.orig.tar.* >/dev/null 2>&1 || apt-get "${opts[@]}" source --download-only -qq "$1" >&2)
  ls "$work/$1"_*.orig.tar.* | head -n1
}

unpack() { # tarball -> prints the unpacked folder
  local tarball=$1 top
  top=$(tar tf "$tarball" | head -n1 | cut -d/ -f1)
  [ -d "$work/$top" ] || tar xf "$tarball" -C "$work"
  echo "$work/$top"
}

# Qt Gui has the DirectWrite font engine only with Direct2D, which this
# build leaves out (mingw lacks parts of it); the Windows print engine still
# calls the engine, and the platform plug-in the DirectWrite font database,
# whenever DirectWrite is on, and neither links. Both are told to ask for
# Direct2D too.
#
# Debian's source leaves out the Wintab header (src/3rdparty/wintab), which
# the Windows platform plug-in uses for graphics tablets; the plug-in is
# built without tablet support (a pen still moves the mouse).
patch_qtbase() { # source folder
  local f=$1/src/printsupport/platform/windows/qprintengine_win.cpp
  grep -q 'QT_CONFIG(directwrite) && QT_CONFIG(direct2d)' "$f" ||
    sed -i 's/^#if QT_CONFIG(directwrite)$/#if QT_CONFIG(directwrite) \&\& QT_CONFIG(direct2d)/' "$f"
  f=$1/src/plugins/platforms/windows/qwindowsintegration.cpp
  grep -q 'QT_CONFIG(directwrite3) && QT_CONFIG(direct2d)' "$f" ||
    sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' "$f"
  local plugin=$1/src/plugins/platforms/windows
  if [ ! -f "$1/src/3rdparty/wintab/wintab.h" ] && ! grep -q 'NX_NO_WINTAB' "$plugin/CMakeLists.txt"; then
    sed -i 's/^qt_internal_extend_target(QWindowsIntegrationPlugin CONDITION QT_FEATURE_tabletevent$/qt_internal_extend_target(QWindowsIntegrationPlugin CONDITION QT_FEATURE_tabletevent AND NOT NX_NO_WINTAB/' \
      "$plugin/CMakeLists.txt"
    sed -i '1i set(NX_NO_WINTAB ON)' "$plugin/CMakeLists.txt"
    local src
    for src in "$plugin"/*.cpp "$plugin"/*.h; do
      case $src in *qwindowstabletsupport*) continue ;; esac
      sed -i 's/QT_CONFIG(tabletevent)/0 \/* no Wintab header *\//' "$src"
    done
  fi
}

# The alert database needs Qt SQL and its SQLite plug-in. Qt's own copy of
# SQLite (src/3rdparty/sqlite) may be stripped from Debian's source; then
# SQLite is cross-built from Debian's sqlite3 source (its amalgamation is
# made with the host's tclsh) into the same prefix, and Qt uses it.
sqlite_options() { # qtbase source folder -> prints the cmake options
  if [ -f "$1/src/3rdparty/sqlite/sqlite3.c" ]; then
    echo "-DFEATURE_sql=ON -DFEATURE_sql_sqlite=ON -DFEATURE_system_sqlite=OFF"
    return 0
  fi
  if [ ! -f "$qt_prefix/lib/libsqlite3.a" ]; then
    local src
    src=$(unpack "$(fetch_source sqlite3)")
    log "cross-building SQLite from $src" >&2
    # The amalgamation is the same C for every platform; it is made by this
    # machine's own compiler and tclsh (configured for this machine, so the
    # tools it builds on the way can run), then compiled for Windows.
    rm -rf "$work/build-sqlite"
    mkdir -p "$work/build-sqlite" "$qt_prefix/lib" "$qt_prefix/include"
    if ! (cd "$work/build-sqlite" && "$src/configure" --disable-tcl --disable-readline >configure.log 2>&1 &&
      make sqlite3.c >make.log 2>&1 &&
      $triple-gcc -O2 -DSQLITE_OMIT_LOAD_EXTENSION -DSQLITE_THREADSAFE=1 -DSQLITE_ENABLE_COLUMN_METADATA -c sqlite3.c -o sqlite3.o &&
      $triple-ar rcs "$qt_prefix/lib/libsqlite3.a" sqlite3.o &&
      cp sqlite3.h "$qt_prefix/include/") >&2; then
      echo "SQLite did not cross-build; see $work/build-sqlite" >&2
      return 1
    fi
  fi
  echo "-DFEATURE_sql=ON -DFEATURE_sql_sqlite=ON -DFEATURE_system_sqlite=ON" \
    "-DSQLite3_INCLUDE_DIR=$qt_prefix/include -DSQLite3_LIBRARY=$qt_prefix/lib/libsqlite3.a"
}

# The monitor's software radio channelises with liquid-dsp: a static
# library cross-built from Debian's source into the same prefix. Its
# configure script asks for a C library named -lc and for sys/resource.h
# (for its own benchmarks), which mingw has neither of: an empty libc.a
# answers the first, and the header is struck from the list.
liquid_dsp() {
  [ -f "$qt_prefix/lib/libliquid.a" ] && return 0
  local src started=$SECONDS
  if ! src=$(unpack "$(fetch_source liquid-dsp)"); then
    echo "liquid-dsp's source could not be fetched: the Windows monitor has no IQ input" >&2
    return 0
  fi
  mkdir -p "$work/nolibc"
  echo 'static int unused;' >"$work/nolibc/empty.c"
  $triple-gcc -c "$work/nolibc/empty.c" -o "$work/nolibc/empty.o"
  $triple-ar rcs "$work/nolibc/libc.a" "$work/nolibc/empty.o"
  if (cd "$src" && sed -i 's| sys/resource.h||' configure.ac && ./bootstrap.sh &&
    LDFLAGS=-L$work/nolibc ./configure --host="$triple" --prefix="$qt_prefix" &&
    make -j "$jobs" libliquid.a) >"$work/liquid-dsp.log" 2>&1; then
    mkdir -p "$qt_prefix/include/liquid" "$qt_prefix/lib"
    cp "$src/include/liquid.h" "$qt_prefix/include/liquid/"
    cp "$src/libliquid.a" "$qt_prefix/lib/"
    log "liquid-dsp built in $((SECONDS - started)) s"
  else
    echo "liquid-dsp did not cross-build (see $work/liquid-dsp.log): the Windows monitor has no IQ input" >&2
  fi
}

stage_qt() {
  if [ -f "$qt_prefix/.complete" ]; then
    # A cache made before the software radio: add liquid-dsp to it.
    liquid_dsp
    log "Qt $qt_version for Windows is in $qt_prefix"
    return 0
  fi
  write_toolchain
  local started=$SECONDS src
  src=$(unpack "$(fetch_source qt6-base)")
  patch_qtbase "$src"
  log "configuring qtbase from $src"
  local common=(-G Ninja -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_TOOLCHAIN_FILE="$cache/mingw64-toolchain.cmake"
    -DCMAKE_INSTALL_PREFIX="$qt_prefix" -DQT_HOST_PATH=/usr
    -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || echo x86_64-linux-gnu)/cmake"
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DBUILD_SHARED_LIBS=ON)
  local sqlite options
  options=$(sqlite_options "$src") || exit 1
  read -r -a sqlite <<<"$options"
  cmake -S "$src" -B "$work/build-qtbase" "${common[@]}" "${sqlite[@]}" \
    -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF -DINPUT_opengl=no \
    -DFEATURE_vulkan=OFF -DFEATURE_direct2d=OFF -DFEATURE_icu=OFF -DFEATURE_openssl=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_doubleconversion=OFF \
    -DFEATURE_freetype=ON -DFEATURE_system_freetype=OFF -DFEATURE_harfbuzz=ON -DFEATURE_system_harfbuzz=OFF \
    -DFEATURE_png=ON -DFEATURE_system_png=OFF -DFEATURE_jpeg=ON -DFEATURE_system_jpeg=OFF \
    -DFEATURE_gui=ON -DFEATURE_widgets=ON -DFEATURE_printsupport=ON -DFEATURE_network=ON \
    -DFEATURE_testlib=ON -DFEATURE_concurrent=ON -DFEATURE_xml=ON
  cmake --build "$work/build-qtbase" -j "$jobs"
  cmake --install "$work/build-qtbase"
  log "qtbase built in $((SECONDS - started)) s"

  # Qt Multimedia is optional: the editor writes WAV files and hands them to
  # the system's player when it is absent.
  if [ "${NX_WIN_MULTIMEDIA:-1}" = 1 ]; then
    local mm
    if mm=$(unpack "$(fetch_source qt6-multimedia)") &&
      cmake -S "$mm" -B "$work/build-qtmultimedia" "${common[@]}" \
        -DCMAKE_PREFIX_PATH="$qt_prefix" -DFEATURE_spatialaudio=OFF -DFEATURE_ffmpeg=OFF \
        -DFEATURE_gstreamer=OFF >"$work/multimedia.log" 2>&1 &&
      cmake --build "$work/build-qtmultimedia" -j "$jobs" --target Multimedia >>"$work/multimedia.log" 2>&1; then
      cmake --install "$work/build-qtmultimedia" >>"$work/multimedia.log" 2>&1 || echo "Qt Multimedia did not install; see $work/multimedia.log"
    else
      echo "Qt Multimedia did not cross-build; the build goes on without it (see $work/multimedia.log)"
    fi
  fi
  liquid_dsp
  touch "$qt_prefix/.complete"
  log "Qt for Windows built in $((SECONDS - started)) s"
}

host_build=${NX_HOST_BUILD:-$root/build}
version=$(sed -n 's/^project(nx4400c VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
stage_dir=$build_dir/stage/nx4400c

need_qt() {
  if [ ! -f "$qt_prefix/.complete" ]; then
    echo "Qt $qt_version for Windows is not in $qt_prefix yet: run scripts/build-windows.sh qt first" >&2
    exit 1
  fi
}

stage_app() {
  need_qt
  write_toolchain
  # The build runs two tools of its own (the test recordings, the PNG
  # icons); a cross build takes them from a build for this machine.
  if [ ! -f "$host_build/CMakeCache.txt" ]; then
    cmake -S . -B "$host_build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  fi
  cmake --build "$host_build" -j "$jobs" --target nx-make-sounds nx-render-icons nx4400c-cli nx4400c-virtual-receiver \
    test_coverage_mapsvg
  local multimedia=OFF
  [ -d "$qt_prefix/lib/cmake/Qt6Multimedia" ] && multimedia=ON
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$cache/mingw64-toolchain.cmake" -DCMAKE_PREFIX_PATH="$qt_prefix" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/cmake" \
    -DNX_WITH_SVG=OFF -DNX_WITH_HELP=OFF -DNX_WITH_MULTIMEDIA=$multimedia \
    -DNX_HOST_TOOLS_DIR="$host_build/bin" >/dev/null
  cmake --build "$build_dir" -j "$jobs"
  log "built the editor, nx4400c-cli and $(ctest --test-dir "$build_dir" -N | grep -c 'Test *#') tests for Windows"
}

# The programs with every DLL and plug-in they load, as they are installed.
stage_files() {
  rm -rf "$stage_dir"
  mkdir -p "$stage_dir"
  cp "$build_dir/bin/nx4400c.exe" "$build_dir/bin/nx4400c-cli.exe" "$stage_dir/"
  cp -r "$build_dir/bin/States" "$stage_dir/"
  cp -r "$build_dir/bin/help" "$stage_dir/"
  local m
  for m in Core Gui Widgets Network PrintSupport Sql Multimedia; do
    [ -f "$qt_prefix/bin/Qt6$m.dll" ] && cp "$qt_prefix/bin/Qt6$m.dll" "$stage_dir/"
  done
  local dir
  for dir in platforms styles imageformats printsupport tls multimedia sqldrivers; do
    if [ -d "$qt_prefix/plugins/$dir" ]; then
      mkdir -p "$stage_dir/$dir"
      cp "$qt_prefix/plugins/$dir/"*.dll "$stage_dir/$dir/"
    fi
  done
  # The alert database is SQLite: Qt's ODBC driver, built beside it, is not
  # shipped.
  rm -f "$stage_dir/sqldrivers/qsqlodbc.dll"
  # The compiler's own run-time libraries (posix threads).
  local gcc_dir
  gcc_dir=$(dirname "$($triple-g++-posix -print-libgcc-file-name)")
  cp "$gcc_dir/libstdc++-6.dll" "$gcc_dir/libgcc_s_seh-1.dll" "$stage_dir/"
  cp "/usr/$triple/lib/libwinpthread-1.dll" "$stage_dir/"
  # What is shipped carries no debug information (libstdc++ alone is 23 MB
  # with it, 2 MB without).
  find "$stage_dir" -name '*.exe' -o -name '*.dll' | xargs $triple-strip --strip-unneeded
  # The licences of what is shipped: the programs (GPL 3), Qt's libraries
  # (LGPL 3, which builds on the GPL's text) and the county boundaries
  # compiled into the programs.
  mkdir -p "$stage_dir/licenses"
  cp /usr/share/common-licenses/GPL-3 "$stage_dir/licenses/GPL-3.txt"
  cp /usr/share/common-licenses/LGPL-3 "$stage_dir/licenses/LGPL-3 (Qt).txt"
  cp data/counties/LICENSE.us-atlas "$stage_dir/licenses/us-atlas (county boundaries).txt"
  cp packaging/windows/README.txt "$stage_dir/"
}

stage_package() {
  need_qt
  stage_files
  local zip=$build_dir/nx4400c-$version-win64.zip
  rm -f "$zip"
  (cd "$build_dir/stage" && zip -qr "$zip" nx4400c)
  log "zip: $zip ($(du -h "$zip" | cut -f1))"
  makensis -V2 -DVERSION="$version" -DSTAGE="$stage_dir" \
    -DOUTFILE="$build_dir/nx4400c-$version-setup.exe" packaging/windows/nx4400c.nsi
  log "installer: $build_dir/nx4400c-$version-setup.exe"
}

# ---- Under Wine ----------------------------------------------------------------

wine_env() {
  export WINEPREFIX=${NX_WINEPREFIX:-$build_dir/wine}
  export WINEDEBUG=-all
  # No Mono or Gecko prompts in a fresh prefix.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64
  export WINEPATH="$(winepath_of "$stage_dir")"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$wine" wineboot --init >/dev/null 2>&1 || true
  fi
  # Wine hands no QT_* variable of this machine to Windows programs; the
  # tests' offscreen platform and its fonts are set in the prefix instead.
  # The grabbed windows use the Windows platform on a virtual display.
  local fonts=/usr/share/fonts/truetype/dejavu
  "$wine" reg add 'HKCU\Environment' /v QT_QPA_PLATFORM /d offscreen /f >/dev/null 2>&1
  "$wine" reg add 'HKCU\Environment' /v QT_QPA_FONTDIR /d "$(winepath_of "$fonts")" /f >/dev/null 2>&1
}

winepath_of() { # a Linux path as Wine's programs see it (drive Z: is /)
  printf 'Z:%s' "$(echo "$1" | tr / '\\')"
}

run_wine_tests() {
  local failed=() passed=0 t name
  # The tests this build declares (an .exe left from an earlier build is not one).
  local tests
  tests=$(ctest --test-dir "$build_dir" --show-only=json-v1 |
    python3 -c 'import json,sys; [print(t["command"][0]) for t in json.load(sys.stdin)["tests"]]')
  for t in $tests; do
    name=$(basename "$t" .exe)
    # The tests find the DLLs and plug-ins beside them, and so do the
    # programs they start from bin/ (a Qt program looks for its plug-ins
    # beside itself, not in the folder it was started from).
    local d dir
    for dir in "$build_dir/tests" "$build_dir/bin"; do
      cp -n "$stage_dir/"*.dll "$qt_prefix/bin/"Qt6Test.dll "$dir/" 2>/dev/null || true
      for d in platforms styles imageformats printsupport tls multimedia sqldrivers; do
        [ -d "$stage_dir/$d" ] && cp -rn "$stage_dir/$d" "$dir/"
      done
    done
    if (cd "$build_dir/tests" && QT_QPA_PLATFORM=offscreen NX_BINARY_DIR="$build_dir" NX_SOURCE_DIR="$root" \
        timeout 600 "$wine" "$t" -silent -o "$(winepath_of "$build_dir/tests/$name.txt"),txt" \
          >"$build_dir/tests/$name.log" 2>&1); then
      passed=$((passed + 1))
    else
      failed+=("$name")
      # What QTest said (Wine's pipes lose a console program's output, so
      # the tests write it to a file).
      grep -E '^(FAIL|XPASS|QFATAL|Totals)' "$build_dir/tests/$name.txt" 2>/dev/null | head -n 20
    fi
  done
  log "tests under Wine: $passed passed, ${#failed[@]} failed${failed:+: ${failed[*]}}"
  [ ${#failed[@]} -eq 0 ]
}

# The virtual receiver on a Linux pseudo-terminal stands behind COM1; the
# Windows nx4400c-cli programs it, and what the receiver got and the history
# it wrote must equal a Linux transfer's.
run_wine_transfer() {
  local tmp pid pty
  tmp=$(mktemp -d)
  mkdir -p "$tmp/linux" "$tmp/wine"
  transfer_on() { # side, command...
    local side=$1; shift
    "$host_build/bin/nx4400c-virtual-receiver" --fast --image "$tmp/$side/received.img" >"$tmp/$side/pty" &
    pid=$!
    while [ ! -s "$tmp/$side/pty" ]; do sleep 0.1; done
    pty=$(head -n1 "$tmp/$side/pty")
    # Wine's mount manager makes dosdevices/com1 from the registry each
    # time it starts (a link made by hand is put back to /dev/ttyS0).
    "$wine" reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$pty" /f >/dev/null 2>&1
    "$(dirname "$wine")/wineserver" -k >/dev/null 2>&1 || true
    "$@" >"$tmp/$side/transfer.out" 2>&1 || { cat "$tmp/$side/transfer.out"; kill "$pid"; return 1; }
    kill "$pid"; wait "$pid" 2>/dev/null || true
  }
  # Linux: the same setup, a private home.
  (export HOME=$tmp/linux XDG_CONFIG_HOME=$tmp/linux/config XDG_DATA_HOME=$tmp/linux/data QT_QPA_PLATFORM=offscreen
    cd "$tmp/linux"
    "$host_build/bin/nx4400c-cli" init >/dev/null
    "$host_build/bin/nx4400c-cli" image >image.txt
    transfer_on linux sh -c "\"\$1\" ports set 1 \"\$(head -n1 \"\$2\")\" >/dev/null && \"\$1\" transfer --port 1 --csv history.csv" \
      sh "$host_build/bin/nx4400c-cli" "$tmp/linux/pty" &&
    # The history went into the alert database beside the log's name; its
    # rows come back out as the CSV layout to compare.
    "$host_build/bin/nx4400c-cli" log export --db history.db --csv history.csv >/dev/null)
  (cd "$tmp/wine"
    "$wine" "$stage_dir/nx4400c-cli.exe" init >/dev/null
    "$wine" "$stage_dir/nx4400c-cli.exe" image | tr -d '\r' >image.txt
    transfer_on wine "$wine" "$stage_dir/nx4400c-cli.exe" transfer --port 1 --csv history.csv &&
    "$wine" "$stage_dir/nx4400c-cli.exe" log export --db history.db --csv history.csv >/dev/null)
  local ok=0 side
  for side in linux wine; do
    [ -s "$tmp/$side/history.csv" ] || { echo "the $side transfer left no history to compare"; ok=1; }
  done
  tr -d '\r' <"$tmp/wine/history.csv" >"$tmp/wine/history.lf.csv" 2>/dev/null || true
  cmp "$tmp/linux/image.txt" "$tmp/wine/image.txt" || { echo "image differs"; ok=1; }
  cmp "$tmp/linux/received.img" "$tmp/wine/received.img" || { echo "the receiver got different bytes"; ok=1; }
  # Each row names the receiver by its device (a pseudo-terminal on Linux,
  # COM1 under Wine); everything else must be the same.
  for side in linux wine; do
    python3 -c 'import csv,sys
rows = list(csv.reader(open(sys.argv[1], newline="")))
col = rows[0].index("Receiver")
w = csv.writer(sys.stdout, lineterminator="\n")
for r in rows:
    if len(r) > col and r is not rows[0]:
        r[col] = "RECEIVER"
    w.writerow(r)' "$tmp/$side/history$([ $side = wine ] && echo .lf).csv" >"$tmp/$side/history.cmp.csv" || ok=1
  done
  cmp "$tmp/linux/history.cmp.csv" "$tmp/wine/history.cmp.csv" || { echo "history differs"; diff "$tmp/linux/history.cmp.csv" "$tmp/wine/history.cmp.csv" | head; ok=1; }
  [ $ok -eq 0 ] && log "transfer through COM1 under Wine: image and history equal Linux's ($(stat -c %s "$tmp/wine/received.img") bytes received)"
  rm -rf "$tmp"
  return $ok
}

# Play, then hear, through the wave API: a PulseAudio server of the stage's
# own with two null sinks; the Windows nx4400c-cli plays a Required Weekly
# Test into the one that is not the default, chosen by name, and the Windows
# monitor, listening to that sink's monitor source by name, must print the
# header exactly as sent. Before that, the wave API alone
# (scripts/wine-sound-loop.sh, no Qt).
run_wine_soundloop() {
  local tmp pulse ok=0 i
  command -v pulseaudio >/dev/null || { echo "the play-and-hear loop needs pulseaudio (scripts/install-deps.sh)"; return 1; }
  NX_WINE=$wine ./scripts/wine-sound-loop.sh "$build_dir/wave-loop" >"$build_dir/wave-loop.log" 2>&1 ||
    { echo "the wave API alone did not hear its own header:"; cat "$build_dir/wave-loop.log"; ok=1; }
  tmp=$(mktemp -d)
  printf '%s\n' "load-module module-native-protocol-unix socket=$tmp/native auth-anonymous=1" \
    "load-module module-null-sink sink_name=nxother sink_properties=device.description=NXOther" \
    "load-module module-null-sink sink_name=nxloop sink_properties=device.description=NXLoop" \
    "set-default-sink nxother" "set-default-source nxother.monitor" >"$tmp/server.pa"
  HOME=$tmp XDG_RUNTIME_DIR=$tmp PULSE_RUNTIME_PATH=$tmp pulseaudio -n --daemonize=no --exit-idle-time=-1 \
    --disable-shm=yes --use-pid-file=no --log-target=file:"$tmp/pulse.log" -F "$tmp/server.pa" &
  pulse=$!
  for i in $(seq 50); do [ -S "$tmp/native" ] && break; sleep 0.2; done
  if [ ! -S "$tmp/native" ]; then
    echo "the PulseAudio server did not start: $(cat "$tmp/pulse.log")"
    kill "$pulse" 2>/dev/null
    rm -rf "$tmp"
    return 1
  fi
  (
    export PULSE_SERVER=unix:$tmp/native
    # Wine's audio driver connects when wineserver starts: one left from
    # before would keep another sound server.
    "$(dirname "$wine")/wineserver" -k >/dev/null 2>&1 || true
    cd "$tmp"
    "$wine" "$stage_dir/nx4400c-cli.exe" sounds --list-devices | tr -d '\r' >outputs.txt
    "$wine" "$stage_dir/nx4400c-cli.exe" monitor --list-devices | tr -d '\r' >inputs.txt
    grep -qx NXLoop outputs.txt || { echo "sounds --list-devices under Wine lacks NXLoop: $(tr '\n' ' ' <outputs.txt)"; exit 1; }
    grep -qx 'Monitor of NXLoop' inputs.txt ||
      { echo "monitor --list-devices under Wine lacks the null sink's monitor: $(tr '\n' ' ' <inputs.txt)"; exit 1; }
    "$wine" "$stage_dir/nx4400c-cli.exe" monitor --device 'Monitor of NXLoop' --csv alerts.csv >heard.txt 2>monitor.err &
    local mon=$!
    sleep 3
    "$wine" "$stage_dir/nx4400c-cli.exe" sounds --play RWT --device NXLoop >play.txt 2>&1 &
    local play=$!
    for i in $(seq 60); do grep -q ZCZC heard.txt 2>/dev/null && break; sleep 1; done
    kill "$play" "$mon" 2>/dev/null
    wait "$play" "$mon" 2>/dev/null
    "$(dirname "$wine")/wineserver" -k >/dev/null 2>&1 || true
    # The header as the program carries it, from the Linux build.
    local want got
    want=$(strings -n 20 "$host_build/bin/nx4400c-cli" | grep -m1 '^ZCZC-WXR-RWT-')
    got=$(tr -d '\r' <heard.txt | grep -m1 ZCZC || true)
    if [ -z "$got" ] || [ "$got" != "$want" ]; then
      echo "the Windows monitor heard \"$got\", not \"$want\""
      tr -d '\r' <monitor.err | head
      tr -d '\r' <play.txt | head
      exit 1
    fi
    log "play and hear under Wine: $got"
  ) || ok=1
  kill "$pulse" 2>/dev/null
  wait "$pulse" 2>/dev/null || true
  rm -rf "$tmp"
  return $ok
}

# The Windows build's tests against the Linux build's: each one missing on
# Windows must be listed with its reason in tests/windows-exceptions.txt.
run_test_count() {
  python3 scripts/compare-tests.py --linux "$host_build" --windows "$build_dir" --verbose
}

# The county map's SVG saved by the Windows build (the test coverage_mapsvg
# under Wine keeps its maps, PNG and SVG, when NX_GRAB_DIR is set), drawn on
# Linux by rsvg-convert: it must look like the PNG the Windows build painted.
run_wine_svg() {
  local dir=$build_dir/svg
  rm -rf "$dir"
  mkdir -p "$dir"
  if ! (cd "$build_dir/tests" && NX_GRAB_DIR="$(winepath_of "$dir")" timeout 300 "$wine" test_coverage_mapsvg.exe \
      savedMap -o "$(winepath_of "$dir/wine.txt"),txt" >/dev/null 2>&1); then
    echo "the map's SVG test failed under Wine; see $dir/wine.txt"
    return 1
  fi
  if ! QT_QPA_PLATFORM=offscreen NX_SVG_FROM="$dir" "$host_build/tests/test_coverage_mapsvg" savedElsewhere \
      -o "$dir/linux.txt,txt" >/dev/null 2>&1; then
    echo "the SVG saved under Wine does not look like its PNG on Linux; see $dir/linux.txt"
    grep -E '^(FAIL|QINFO)' "$dir/linux.txt" | head
    return 1
  fi
  log "SVG saved under Wine, drawn by rsvg-convert on Linux: $(grep -c 'mean channel difference' "$dir/linux.txt") maps look like their PNG ($dir)"
}

# The editor as installed starts and keeps running; its main window and
# county window are grabbed to build-win/shots/ for a person to look at.
# Both run on Wine's own display driver, on a virtual X display, with Qt's
# Windows platform: what a Windows user sees.
run_wine_shots() {
  local shots=$build_dir/shots pid xvfb ok=0
  rm -rf "$shots"
  mkdir -p "$shots"
  Xvfb :73 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  sleep 1
  if ! (cd "$build_dir/tests" && DISPLAY=:73 NX_GRAB_DIR="$(winepath_of "$shots")" \
      timeout 300 "$wine" test_app_mainwindow.exe -platform windows grabWindows \
        -o "$(winepath_of "$shots/grab.txt"),txt" >"$shots/grab.log" 2>&1); then
    echo "grabbing the windows under Wine failed; see $shots/grab.txt"
    ok=1
  fi
  (cd "$shots" && DISPLAY=:73 exec "$wine" "$stage_dir/nx4400c.exe" -platform windows >"$shots/editor.log" 2>&1) &
  pid=$!
  sleep 15
  if ! kill -0 "$pid" 2>/dev/null; then
    echo "the editor did not keep running under Wine; see $shots/editor.log"
    ok=1
  fi
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true
  "$(dirname "$wine")/wineserver" -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null || true
  [ $ok -eq 0 ] && log "under Wine the editor started; windows grabbed: $(cd "$shots" && ls ./*.png | tr '\n' ' ')"
  return $ok
}

# The installer as a user's administrator runs it without questions (/S):
# every file in place, the Start-menu entries (the editor, the Alert
# Monitor), .nxprofile files opening with the editor, Programs and Features;
# the installed command line runs; the uninstaller then leaves nothing
# behind, the association included.
run_wine_installer() {
  local setup=$build_dir/nx4400c-$version-setup.exe
  local dir='C:\nx4400c-install-test' unix=$WINEPREFIX/drive_c/nx4400c-install-test
  local key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\NX-4400C Editor'
  local menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/NX-4400C Editor"
  local ok=0 f
  rm -rf "$unix"
  # /D= must come last, unquoted, as NSIS wants it.
  "$wine" "$setup" /S "/D=$dir" >/dev/null 2>&1 || { echo "the installer failed"; return 1; }
  (cd "$stage_dir" && find . -type f) | sort >"$build_dir/staged.txt"
  while IFS= read -r f; do
    [ -f "$unix/$f" ] || { echo "not installed: $f"; ok=1; }
  done <"$build_dir/staged.txt"
  [ -f "$unix/uninstall.exe" ] || { echo "no uninstaller"; ok=1; }
  [ -f "$menu/NX-4400C Editor.lnk" ] || { echo "no Start-menu entry"; ok=1; }
  [ -f "$menu/Alert Monitor.lnk" ] || { echo "no Start-menu entry for the Alert Monitor"; ok=1; }
  "$wine" reg query 'HKLM\Software\Classes\NX4400C.Profile\shell\open\command' 2>/dev/null | tr -d '\r' |
    grep -qF '"C:\nx4400c-install-test\nx4400c.exe" "%1"' || { echo ".nxprofile files do not open with the editor"; ok=1; }
  "$wine" reg query "$key" /v DisplayVersion 2>/dev/null | tr -d '\r' | grep -q "$version" ||
    { echo "Programs and Features does not list version $version"; ok=1; }
  "$wine" "$unix/nx4400c-cli.exe" --version 2>/dev/null | tr -d '\r' | grep -q "$version" ||
    { echo "the installed nx4400c-cli does not run"; ok=1; }
  # The uninstaller copies itself away and runs from there: wait for it.
  "$wine" "$unix/uninstall.exe" /S >/dev/null 2>&1 || true
  local waited=0
  while [ -e "$unix" ] && [ $waited -lt 60 ]; do sleep 1; waited=$((waited + 1)); done
  if [ -e "$unix" ]; then
    echo "the uninstaller left: $(cd "$unix" && find . | head -n 10 | tr '\n' ' ')"
    ok=1
  fi
  [ -e "$menu" ] && { echo "the uninstaller left the Start-menu folder"; ok=1; }
  "$wine" reg query 'HKLM\Software\Classes\.nxprofile' >/dev/null 2>&1 &&
    { echo "the uninstaller left the .nxprofile association"; ok=1; }
  "$wine" reg query "$key" >/dev/null 2>&1 && { echo "the uninstaller left the Programs and Features entry"; ok=1; }
  [ $ok -eq 0 ] && log "installer under Wine: $(wc -l <"$build_dir/staged.txt") files installed, nx4400c-cli $version runs, uninstalled without a trace"
  return $ok
}

stage_test() {
  need_qt
  [ -d "$stage_dir" ] || stage_files
  wine_env
  local ok=0
  run_wine_tests || ok=1
  run_test_count || ok=1
  run_wine_transfer || ok=1
  run_wine_soundloop || ok=1
  run_wine_svg || ok=1
  run_wine_shots || ok=1
  if [ -f "$build_dir/nx4400c-$version-setup.exe" ]; then
    run_wine_installer || ok=1
  fi
  return $ok
}

stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(deps qt app package test)
for s in "${stages[@]}"; do
  case $s in
    deps) stage_deps ;;
    qt) stage_qt ;;
    app) stage_app ;;
    package) stage_package ;;
    test) stage_test ;;
    *) echo "Unknown stage: $s (deps, qt, app, package, test)" >&2; exit 2 ;;
  esac
done
