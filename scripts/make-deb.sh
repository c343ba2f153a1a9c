#!/usr/bin/env bash
# Builds the Debian package of the program (build/package/vorlanda_*.deb) and
# checks it with lintian when lintian is installed. Builds only what the
# package holds; `cmake --build build --target package` does the same after
# building everything.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."
./scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target vorlanda vorlanda-admin vl_docs
(cd build && cpack -G DEB >/dev/null)
deb=$(ls -t build/package/vorlanda_*.deb | head -1)
echo "$deb"
if command -v lintian >/dev/null; then
  # The program is built on the machine, not by the Debian tools: no source
  # package to check beside it.
  lintian --no-tag-display-limit "$deb" || true
fi
