#!/usr/bin/env bash
# Takes the user's guide's screenshots (docs/images/*.png): the program's own windows on the
# sample project under Xvfb, walked through by doryou-guide-shots (docs/GuideShots.cpp). Run it
# again whenever the windows change:  make guide-screenshots
set -euo pipefail
cd "$(dirname "$0")/.."

shots=build/docs/doryou-guide-shots
if [ ! -x "$shots" ]; then
  echo "guide-screenshots: $shots is missing; build first (make build)" >&2
  exit 1
fi
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
# Fresh preview settings, no printers and one locale, so the shots are alike on every machine.
env -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$config" LANG=C.UTF-8 LC_ALL=C.UTF-8 \
  CUPS_SERVER=/nonexistent QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s '-screen 0 1280x1024x24' "$shots" examples/sample-site.msh docs/images
