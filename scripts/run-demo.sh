#!/usr/bin/env bash
# Installs what is missing, builds the client, creates the demo database if there is none,
# and starts the client on it. The demo keeps its connection settings in a folder of its own
# (build/demo/config), so the settings of a real installation are left alone.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${QUARVEL_BUILD_DIR:-$ROOT/build}"
DEMO="$BUILD/demo"
bash "$ROOT/scripts/install-deps.sh"
bash "$ROOT/scripts/build.sh" quarvel quarvel-demodb

mkdir -p "$DEMO/config/CorvaneMIS2011"
if [ ! -f "$DEMO/quarvel-demo.db" ]; then
  "$BUILD/tools/demodb/quarvel-demodb" "$DEMO/quarvel-demo.db" --text-documents 60 --backfill
fi
# The background picture is read from the program's folder.
if [ ! -f "$BUILD/src/MDI.BMP" ]; then
  "$BUILD/tools/demodb/quarvel-demodb" --background "$BUILD/src/MDI.BMP"
fi
cat > "$DEMO/config/CorvaneMIS2011/CorvaneMIS2011.conf" <<CONF
[DBConfig]
Svr=sqlite:$DEMO/quarvel-demo.db
UID=
PWD=
DBname=
CONF

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: start the demo from a desktop session (or under Xvfb with DISPLAY set)." >&2
  exit 1
fi
cd "$BUILD"
XDG_CONFIG_HOME="$DEMO/config" exec "$BUILD/src/quarvel" "$@"
