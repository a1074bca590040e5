#!/usr/bin/env bash
# Installs the Debian packages Mindel needs that are missing, and nothing else.
# Sourced by ./run.sh and ./test.sh; `mindel_install_deps build` for building and
# running, `mindel_install_deps test` for building and testing.

mindel_packages_build=(g++ cmake make pkg-config libpng-dev libglib2.0-dev libx11-dev libxrandr-dev
  libgtk-3-dev)
# What Mindel uses while it runs: a speech synthesizer for spoken reminders and
# xdg-open for web addresses. Without them Mindel stays silent or opens nothing.
mindel_packages_run=(espeak-ng xdg-utils)
# clang and its runtime build the fuzz targets (fuzz/run; skipped without them).
mindel_packages_test=(libgtest-dev libgmock-dev libbenchmark-dev valgrind python3 clang
  libclang-rt-14-dev)
# The install tests: the desktop's validators (desktop-file-validate, appstreamcli), and
# cpack -G DEB with its dependency finder (file, dpkg-shlibdeps) and lintian.
mindel_packages_test+=(desktop-file-utils appstream lintian dpkg-dev file)

# The graphical desktop's tests: a private X server, a private session bus, key presses, and
# the system Python's D-Bus bindings for the panel the tests play.
mindel_packages_test+=(xvfb xdotool dbus-daemon python3-gi gir1.2-glib-2.0)
# ... the accessibility tree through which they read and drive windows and alerts, and an
# X11 system tray for the panel-less fallback.
mindel_packages_test+=(at-spi2-core gir1.2-atspi-2.0 trayer)

mindel_install_deps() {
  if [ "${1:-build}" = test ]; then
    mindel_generate_test_locale || echo "No de_DE.UTF-8 locale: the locale test will be skipped"
  fi
  local wanted=("${mindel_packages_build[@]}")
  if [ "${1:-build}" = test ]; then
    wanted+=("${mindel_packages_test[@]}")
  else
    wanted+=("${mindel_packages_run[@]}")
  fi
  local missing=()
  local pkg
  for pkg in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0

  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
  fi
  echo "Installing missing packages: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -q || return 1
  "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" || return 1
}

# A locale that writes numbers with a comma, for the test that numbers keep their point
# (tests/core/text_test.cpp skips without one): de_DE.UTF-8, made by localedef from the
# locales package's sources.
mindel_generate_test_locale() {
  locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8' && return 0
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
  fi
  if [ ! -e /usr/share/i18n/locales/de_DE ]; then
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -q || return 1
    "${sudo[@]}" apt-get install -y -q --no-install-recommends locales || return 1
  fi
  "${sudo[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8
}
