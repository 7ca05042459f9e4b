# The Debian packages the program needs to build, run and test.
# Sourced by run.sh and test.sh; the one list kept in one place.
VARENKO_PACKAGES=(
  cmake
  ninja-build
  g++
  clang-format
  qt6-base-dev
  qt6-svg-dev
  qt6-image-formats-plugins
  libgtest-dev
  libpng-dev
  libjpeg62-turbo-dev
  libx11-dev
  libdeflate-dev
  libspng-dev
  libzstd-dev
  libbenchmark-dev
  fonts-liberation2
  fonts-dejavu-core
  locales
  xauth
  xvfb
  poppler-utils
  desktop-file-utils
)

# Installs whatever of the list is missing. Quiet and non-interactive; uses
# sudo when not run as root.
varenko_install_packages() {
  local missing=()
  local p
  for p in "${VARENKO_PACKAGES[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq &&
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
