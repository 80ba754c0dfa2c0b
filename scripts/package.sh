#!/usr/bin/env bash
# Makes the Debian packages from the build in build/ (scripts/test.sh builds it), installs them on
# this machine, then builds a small host outside the tree against the installed files, once with
# pkg-config and once with find_package(Wardlet), and runs both.
# Usage: scripts/package.sh [BUILD-DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=$(realpath "${1:-build}")
[[ -f $build_dir/build.ninja ]] || scripts/build.sh "$build_dir"
ninja -C "$build_dir"

packages=$build_dir/packages
rm -rf "$packages"
(cd "$build_dir" && cpack -B "$packages" >/dev/null)
rm -rf "$packages/_CPack_Packages"
echo "Packages:"
for package in "$packages"/*.deb; do
    printf '  %-48s %8s bytes\n' "$(basename "$package")" "$(stat -c %s "$package")"
done

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    as_root=(sudo)
fi
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y --no-install-recommends \
    --reinstall "$packages"/*.deb >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/run
mkdir -m 700 "$XDG_RUNTIME_DIR"

# With pkg-config.
g++ -std=c++20 -o "$work/host-pkgconfig" tests/package/host.cpp $(pkg-config --cflags --libs wardlet)
"$work/host-pkgconfig" "$work/pkgconfig.dat"

# With the CMake package.
cmake -S tests/package -B "$work/cmake-build" -G Ninja >/dev/null
ninja -C "$work/cmake-build" >/dev/null
"$work/cmake-build/installed_host" "$work/cmake.dat"

# The installed command line reads what the installed library wrote.
printf 'installed-7\n' | wardlet --data "$work/cmake.dat" exists Admin
echo "The installed packages build and run a host."
