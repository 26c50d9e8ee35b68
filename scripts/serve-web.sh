#!/usr/bin/env bash
# Serves the built page (build-web/, made by scripts/build-web.sh) on this machine only and prints
# its address. Usage: scripts/serve-web.sh [port]   (default 8000; Ctrl+C stops it)
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
port=${1:-8000}
if [ ! -f "$here/build-web/index.html" ]; then
  echo "build-web/index.html is missing: run scripts/build-web.sh first" >&2
  exit 1
fi
echo "quorvel page: http://127.0.0.1:$port/  (Ctrl+C stops the server)"
exec python3 -m http.server "$port" --bind 127.0.0.1 --directory "$here/build-web"
