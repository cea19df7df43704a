#!/bin/sh
# Installs every Debian package the build, the tests, the benchmarks and the run need.
# Idempotent and quiet: packages already present are skipped.
set -eu

packages="build-essential g++ cmake ninja-build pkg-config git
googletest libgtest-dev libgmock-dev libbenchmark-dev
clang libclang-rt-14-dev
libtinyxml-dev libcrypto++-dev libsndfile1-dev libwavpack-dev
libpng-dev zlib1g-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core fonts-liberation2 locales"

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -n "$missing" ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "install-deps: run as root to install:$missing" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq >/dev/null
    # shellcheck disable=SC2086
    apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi

# A locale with a decimal comma, so that the tests proving numbers ignore the process locale run.
if ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "install-deps: run as root to generate the de_DE.UTF-8 locale" >&2
    else
        if grep -q '^# *de_DE\.UTF-8 UTF-8' /etc/locale.gen; then
            sed -i 's/^# *\(de_DE\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
        elif ! grep -q '^de_DE\.UTF-8 UTF-8' /etc/locale.gen; then
            echo 'de_DE.UTF-8 UTF-8' >>/etc/locale.gen
        fi
        locale-gen >/dev/null
    fi
fi
