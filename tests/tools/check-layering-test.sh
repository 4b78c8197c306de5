#!/usr/bin/env bash
# The layering check must pass on a clean tree and fail on a planted platform include.
set -euo pipefail
checker="$1"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/core/app" "$tmp/ports" "$tmp/runtime" "$tmp/platform/linux"
printf '#include <string>\n#include "ports/Preferences.h"\n' > "$tmp/core/app/Clean.cpp"
printf '#include <QClipboard>\n#include <X11/Xlib.h>\n' > "$tmp/platform/linux/Adapter.cpp"
"$checker" "$tmp" >/dev/null || { echo "clean tree rejected"; exit 1; }
for planted in '#include <QString>' '#  include "X11/Xlib.h"' '#include <curl/curl.h>' \
               '#include <boost/beast/websocket.hpp>' '#include <pulse/simple.h>' '#include <unistd.h>'; do
  printf '%s\n' "$planted" > "$tmp/runtime/Bad.h"
  if "$checker" "$tmp" >/dev/null; then echo "missed: $planted"; exit 1; fi
done
echo "layering check: 7 passed, 0 failed"
