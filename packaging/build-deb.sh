#!/usr/bin/env bash
# Makes the Debian package from a build tree whose programs and manual pages
# are built (vorlanda, vorlanda-admin, vl_docs), without building anything
# else: the install rules into a staging folder, then CPack over it.
# `cmake --build BUILD --target package` gives the same package after
# building every target of the tree.
#   build-deb.sh BUILD_DIR OUT_DIR   (prints the path of the .deb)
set -euo pipefail
BUILD=$(readlink -f "$1")
OUT=$(mkdir -p "$2" && readlink -f "$2")
STAGE="$OUT/stage"
rm -rf "$STAGE"
DESTDIR="$STAGE" cmake --install "$BUILD" --prefix /usr --strip >"$OUT/install.log"
cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$OUT" \
  -D CPACK_INSTALL_CMAKE_PROJECTS= -D "CPACK_INSTALLED_DIRECTORIES=$STAGE/usr;usr" >"$OUT/cpack.log"
rm -rf "$STAGE" "$OUT/_CPack_Packages"
ls -t "$OUT"/vorlanda_*.deb | head -1
