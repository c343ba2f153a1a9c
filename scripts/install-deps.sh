#!/usr/bin/env bash
# Installs the Debian packages that are missing (needs root when something is missing).
set -euo pipefail
PKGS=(qt6-base-dev qt6-charts-dev qt6-httpserver-dev qt6-websockets-dev libqt6opengl6-dev libqt6sql6-odbc qt6-image-formats-plugins
      firebird3.0-server-core firebird3.0-utils firebird-dev libfbclient2
      libsodium-dev libxlsxwriter-dev libshp-dev pxlib-dev libgsf-1-dev libcurl4-openssl-dev libqrencode-dev
      fonts-dejavu-core fonts-liberation2 qt6-translations-l10n cmake g++ make pkg-config
      dpkg-dev)
if [ "${1:-}" = "--test" ]; then
  PKGS+=(xvfb imagemagick poppler-utils unixodbc libsqliteodbc firebird3.0-server vsftpd openssl
        python3-openpyxl python3-xlrd gnumeric python3-dbfread
        lintian desktop-file-utils man-db passwd util-linux openbox zbar-tools
        chromium libnss3-tools)
fi
missing=()
# The browser tests drive Chromium from node: a node already on the machine is kept.
if [ "${1:-}" = "--test" ] && ! command -v npm >/dev/null; then
  PKGS+=(nodejs npm)
fi
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  # The server package must not start its own service while installing.
  if [ ! -e /usr/sbin/policy-rc.d ]; then
    printf '#!/bin/sh\nexit 101\n' | $SUDO tee /usr/sbin/policy-rc.d >/dev/null
    $SUDO chmod +x /usr/sbin/policy-rc.d
    trap '$SUDO rm -f /usr/sbin/policy-rc.d' EXIT
  fi
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
