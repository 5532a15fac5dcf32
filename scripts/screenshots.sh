#!/usr/bin/env bash
# Renders the windows offscreen into PNG files for review:
#   scripts/screenshots.sh OUTDIR
# Each view during a run of three hosts on the fake ICMP provider (one losing
# every third reply): the log list in classic and table view, the tree, and
# the chart in its line, area and bar gallery with 3D on and off, with and
# without the legend box, in a small frame, and for a run of 300 hosts with
# its legend; the main window before and during a run and its
# menus, a run of one named host with 128-byte packets at the default size, a
# run whose host name does not resolve, and the option dialog; in
# English, German and Chinese; OUTDIR/2x holds the English pictures at
# device pixel ratio 2.
# The application's own windows per language: the About box, the help
# window, the online pane with its installed page and the update dialogs,
# and the five language-check message boxes (English only). The alerts: the
# Alerts dialog, the tree with a down host and the tray menu per language.
# Builds into $OV_BUILD_DIR (default: the test build, build-test).
set -euo pipefail
OV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$OV_ROOT/scripts/setup.sh"

if [ $# -ne 1 ]; then
  echo "usage: $0 OUTDIR" >&2
  exit 2
fi
OUT=$1
mkdir -p "$OUT"

ov_ensure_packages "${OV_PACKAGES[@]}"
BUILD=${OV_BUILD_DIR:-$OV_ROOT/build-test}
cmake -S "$OV_ROOT" -B "$BUILD" -G Ninja -DOV_BUILD_TESTS=ON >/dev/null
cmake --build "$BUILD" --target ov_screenshots ov_mainframe_shot ov_optiondlg_shot ov_app_shot ov_alerts_shot ov_mui_modules ov_mui_docs

export QT_QPA_PLATFORM=offscreen
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$OV_ROOT/scripts/lsan.supp}
for lang in en de_de zh_cn; do
  "$BUILD/bin/ov_screenshots" "$OUT" "$lang"
  "$BUILD/bin/ov_mainframe_shot" "$OUT" "$lang"
done
"$BUILD/bin/ov_optiondlg_shot" "$OUT" en de_de zh_cn
"$BUILD/bin/ov_alerts_shot" "$OUT" en de_de zh_cn
QT_SCALE_FACTOR=2 "$BUILD/bin/ov_screenshots" "$OUT/2x" en
"$BUILD/bin/ov_app_shot" "$OUT" en de_de zh_cn
