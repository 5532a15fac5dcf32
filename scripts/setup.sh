# Shared set-up of run.sh and test.sh: Debian packages, configure, build.
# Sourced, not run; expects OV_ROOT to be set to the project folder.

OV_PACKAGES=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libssl-dev
  qt6-base-dev qt6-svg-dev libqcustomplot-dev fonts-wqy-microhei libx11-dev
  libpugixml-dev libgeoip-dev geoip-database
  ieee-data netbase libfontconfig-dev
  iproute2
  # alerts: the event sounds; the private session bus of the notification tests
  libcanberra-dev dbus-daemon
  # the probe's metrics (client library and its HTTP server), and the
  # monitoring system that the tests read them with (promtool, a real server)
  prometheus-cpp-dev libcivetweb-dev libdeflate-dev prometheus zlib1g-dev
  # the check that the committed help pages match their generator
  python3
  # the check that the sources follow .clang-format (braces on every if)
  clang-format-16
  # icons, checks of the desktop files, the Debian package
  librsvg2-bin desktop-file-utils appstream dpkg-dev file
)

# Installs what is missing when we are root; otherwise names the one command
# that would, and stops.
ov_ensure_packages() {
  local missing=() p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq </dev/null || return 1
    apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null || return 1
  else
    echo "Missing Debian packages. Install them with:" >&2
    echo "  sudo apt-get install ${missing[*]}" >&2
    return 1
  fi
}

# ov_build <build dir> [cmake options...]
ov_build() {
  local dir=$1; shift
  cmake -S "$OV_ROOT" -B "$dir" -G Ninja "$@" >/dev/null || return 1
  cmake --build "$dir" --parallel "$(nproc)" || return 1
}
