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
deb=$(./packaging/build-deb.sh build build/package)
echo "$deb"
if command -v lintian >/dev/null; then
  # The program is built on the machine, not by the Debian tools: no source
  # package to check beside it.
  lintian --tag-display-limit 0 "$deb" || true
fi
