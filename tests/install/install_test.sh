#!/usr/bin/env bash
# Usage: install_test.sh BUILD_DIR WORK_DIR VERSION LIBDIR PROGRAM...
# Installs BUILD_DIR into a staging prefix under WORK_DIR, runs the staged programs with a bare
# environment, validates the desktop files, manual pages and the services' systemd units, and
# builds a program against the staged kelcomm with find_package and with pkg-config that talks
# to a pseudo-terminal.
set -euo pipefail

build_dir=$1
work=$2
version=$3
libdir=$4
shift 4
programs=("$@")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
prefix=$work/prefix

fail() { echo "install test: $*" >&2; exit 1; }
step() { echo "== $*"; }

rm -rf "$work"
mkdir -p "$work"
step "cmake --install into $prefix"
cmake --install "$build_dir" --prefix "$prefix" > "$work/install.log" || { cat "$work/install.log"; fail "install failed"; }

# No LD_LIBRARY_PATH and no build folder on PATH: the programs find their libraries by RUNPATH.
bare=(env -i HOME="$work" PATH=/usr/bin:/bin LC_ALL=C.UTF-8)
step "staged programs"
for program in "${programs[@]}"; do
  [[ $("${bare[@]}" "$prefix/bin/$program" --version) == "$program $version" ]] || fail "$program --version"
done
[[ $("${bare[@]}" "$prefix/bin/vpanel-devsim" --help) == *"--port COMn"* ]] || fail "vpanel-devsim --help"
for file in "${programs[@]/#/$prefix/bin/}" "$prefix/$libdir"/libkel*.so.*.*; do
  while read -r library _ path _; do
    [[ $(realpath -m "$path") == $(realpath -m "$prefix/$libdir/$library") ]] || fail "$file takes $library from '$path', not from the prefix"
  done < <("${bare[@]}" ldd "$file" | grep libkel)
done

step "desktop entry, metadata and manual pages"
desktop-file-validate "$prefix"/share/applications/*.desktop
appstreamcli validate --no-net --pedantic "$prefix"/share/metainfo/*.metainfo.xml > "$work/appstream.log" \
  || { cat "$work/appstream.log"; fail "metainfo not valid"; }
for size in 16x16 24x24 32x32 48x48 64x64 128x128 256x256 scalable; do
  compgen -G "$prefix/share/icons/hicolor/$size/apps/*" > /dev/null || fail "no $size icon"
done
for page in "${programs[@]}"; do
  warnings=$(zcat "$prefix/share/man/man1/$page.1.gz" | groff -k -Tutf8 -man -ww -z 2>&1)
  [[ -z $warnings ]] || fail "$page(1): $warnings"
done

# A service's unit names the packaged program; verified against the staged one and its manual
# page, with its example configuration beside.
check_unit() {
  local program=$1 example=$2
  local unit=$prefix/lib/systemd/system/$program.service
  [[ -f $unit ]] || fail "no systemd unit for $program"
  [[ -f $prefix/share/doc/vpanel/$example ]] || fail "no example configuration $example"
  sed "s|/usr/bin/$program|$prefix/bin/$program|" "$unit" > "$work/$program.service"
  MANPATH=$prefix/share/man systemd-analyze verify "$work/$program.service" > "$work/$program-unit.log" 2>&1 \
    || { cat "$work/$program-unit.log"; fail "$program's systemd unit not valid"; }
  [[ ! -s $work/$program-unit.log ]] || { cat "$work/$program-unit.log"; fail "$program's systemd unit has warnings"; }
}
if [[ " ${programs[*]} " == *" vpanel-server "* ]]; then
  step "web server's systemd unit and example configuration"
  check_unit vpanel-server server.conf.example
fi
if [[ " ${programs[*]} " == *" vpanel-gateway "* ]]; then
  step "gateway's systemd unit and example configuration"
  check_unit vpanel-gateway gateway.conf.example
fi

step "consumer through find_package"
cmake -S "$here/consumer" -B "$work/consumer" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" > "$work/consumer.log" \
  && cmake --build "$work/consumer" >> "$work/consumer.log" || { cat "$work/consumer.log"; fail "consumer build"; }
"$work/consumer/kelcomm_consumer"

step "consumer through pkg-config"
export PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig
[[ $(pkg-config --modversion kelcomm) == "$version" ]] || fail "pkg-config kelcomm version"
# shellcheck disable=SC2046
c++ -std=c++17 -o "$work/kelcomm_consumer_pc" "$here/consumer/main.cpp" $(pkg-config --cflags --libs kelcomm) \
  -Wl,-rpath,"$prefix/$libdir"
"$work/kelcomm_consumer_pc"
echo "install test: passed"
