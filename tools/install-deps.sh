#!/usr/bin/env bash
# Installs the Debian packages the project needs and are not yet there; does nothing when all
# of them are present. Root runs apt-get directly, anyone else through sudo.
#
#   tools/install-deps.sh build   what building, `make install` and `make deb` need
#   tools/install-deps.sh test    what running the program here, the tests, `make lint` and
#                                 `make deb-check` need besides
#   tools/install-deps.sh [all]   both (`make deps`, which `make run` and `make test` call)
set -euo pipefail

build=(
  cmake ninja-build g++ pkg-config make
  qt6-base-dev libpcre2-dev libicu-dev
  # lrelease, which compiles morvelle-batch's English; lupdate for make translations
  qt6-l10n-tools
  # the manual pages; CPack's DEB generator (dpkg-shlibdeps, file)
  gzip dpkg-dev file
)

test=(
  # what the program loads at run time (make run, the window tests)
  qt6-translations-l10n qt6-gtk-platformtheme libqt6svg6 fonts-noto-cjk adwaita-icon-theme
  xvfb xauth imagemagick
  libgtest-dev libgmock-dev
  # make fuzz; make format-check (part of make test) and make lint
  clang-14 libclang-rt-14-dev clang-format-14 clang-tidy-14 python3 git
  # the peers the tests compare with, and the tools they call
  perl nkf libc-bin icu-devtools sed patch e2fsprogs
  # the Japanese text the corpus tests read
  manpages-ja skkdic mecab-ipadic
  # make deb-check
  man-db groff-base locales desktop-file-utils bash-completion lintian appstream
)

case "${1:-all}" in
  build) packages=("${build[@]}") ;;
  test) packages=("${test[@]}") ;;
  all) packages=("${build[@]}" "${test[@]}") ;;
  *)
    echo "usage: tools/install-deps.sh [build|test|all]" >&2
    exit 2
    ;;
esac

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
