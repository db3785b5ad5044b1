# Shared by the scripts: installing what the build needs on a fresh Debian
# machine, and a persistent wineserver for the Windows preset's programs.

# Every Debian package the builds, tests and tools use (Debian 12, bookworm).
TP_PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev googletest libbenchmark-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64
  libcairo2-dev libfontconfig-dev libcli11-dev nlohmann-json3-dev fonts-liberation2 libgdal-dev
  valgrind python3 spin
  python3-pefile dpkg-dev file unzip
)

# Installs the packages of TP_PACKAGES that are missing (as root, or
# through sudo for a user).
tp_ensure_packages() {
  local missing=() sudo=()
  for pkg in "${TP_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed" || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Starts a wineserver that outlives single programs (each Wine start then
# costs about 0.1 s instead of 3 s) and boots the prefix with its output
# sent elsewhere, so Wine's background services never hold a test's pipes.
tp_start_wine() {
  export WINEPREFIX="$1/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$WINEPREFIX"
  (wineserver -p >/dev/null 2>&1 &)
  /usr/lib/wine/wine64 wineboot >/dev/null 2>&1 </dev/null || true
  trap 'WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1 || true' EXIT
}

# Configures and builds one preset: all of it, or the targets named after it.
tp_build() {
  local preset=$1
  shift
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" ${1:+--target "$@"}
}
