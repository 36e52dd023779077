# Shared by scripts/test and scripts/demo (sourced, not run): installs what a
# fresh Debian machine lacks, then configures and builds the project.
#
#   dova_install_deps [PKG...] apt-get install of the missing packages (the
#                              project's own and the extra PKGs given)
#   dova_build DIR [ARGS...]   cmake configure + build into DIR (relative to
#                              the repository root), extra ARGS to cmake
#
# DOVA_ROOT is the repository root; DOVA_JOBS the build parallelism (2).

DOVA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
DOVA_JOBS="${DOVA_JOBS:-2}"
# the web panel: civetweb for webPanel.x, Chromium and python3 for its tests
DOVA_PACKAGES="cmake g++ make libgtest-dev libbenchmark-dev libncurses-dev tmux procps libcivetweb-dev chromium python3"
# the 32-bit build: the multilib compiler, 32-bit ncurses, and GoogleTest's
# sources (Debian has no 32-bit GoogleTest package on amd64; the build
# compiles the sources into its own tree)
DOVA_PACKAGES_M32="g++-multilib lib32ncurses-dev googletest"

dova_log() { printf '== %s\n' "$*"; }

dova_install_deps() {
  local missing=()
  local p
  for p in $DOVA_PACKAGES "$@"; do
    if ! dpkg -s "$p" >/dev/null 2>&1 || ! dpkg -s "$p" 2>/dev/null | grep -q '^Status: install ok installed'; then
      missing+=("$p")
    fi
  done
  if [ "${#missing[@]}" -eq 0 ]; then
    dova_log "packages present: $DOVA_PACKAGES $*"
    return 0
  fi
  if [ "$(id -u)" -ne 0 ]; then
    dova_log "missing packages: ${missing[*]}"
    dova_log "not root: install them with 'sudo apt-get install -y ${missing[*]}' and run again"
    return 0
  fi
  dova_log "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq || dova_log "apt-get update failed; trying the install anyway"
  apt-get install -y -qq "${missing[@]}"
}

dova_build() {
  local dir="$1"
  shift
  dova_log "configure $dir $*"
  mkdir -p "$DOVA_ROOT/$dir"
  cmake -S "$DOVA_ROOT" -B "$DOVA_ROOT/$dir" "$@" >"$DOVA_ROOT/$dir/configure.log" 2>&1 || {
    cat "$DOVA_ROOT/$dir/configure.log"
    return 1
  }
  dova_log "build $dir (-j$DOVA_JOBS)"
  cmake --build "$DOVA_ROOT/$dir" -j "$DOVA_JOBS"
}
