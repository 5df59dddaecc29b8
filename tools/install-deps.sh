#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need; does nothing
# when all of them are present. Root runs apt-get directly, anyone else through sudo.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-translations-l10n qt6-gtk-platformtheme libqt6svg6
  libpcre2-dev libicu-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev
  fonts-noto-cjk
  xvfb xauth imagemagick
  adwaita-icon-theme
  perl nkf libc-bin icu-devtools sed
  manpages-ja skkdic mecab-ipadic
  # make deb (dpkg-shlibdeps, file, gzip) and make deb-check (the rest)
  dpkg-dev file gzip man-db groff-base locales desktop-file-utils bash-completion
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  apt=(apt-get)
else
  apt=(sudo apt-get)
fi
export DEBIAN_FRONTEND=noninteractive
"${apt[@]}" update -qq
"${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}"
