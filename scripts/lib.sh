# Shared by the scripts: where things are, and installing what is missing. Sourcing it
# leaves the caller's directory and options as they were.
# shellcheck shell=bash

VELMO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Packages every build needs; the scripts add their own. qt6-translations-l10n: Qt's own
# texts in Chinese, which the window loads and its tests check. The picture reader uses only
# these modules of OpenCV (the whole of libopencv-dev pulls in about three times as many
# packages).
VELMO_BUILD_PACKAGES=(cmake ninja-build g++ libgtest-dev libbenchmark-dev qt6-base-dev fonts-wqy-microhei
    qt6-translations-l10n pybind11-dev python3-dev python3-numpy pkg-config parallel
    libopencv-imgproc-dev libopencv-imgcodecs-dev libopencv-dnn-dev)
# What rendering digits from fonts needs besides (scripts/train-digits).
VELMO_RENDER_PACKAGES=(python3-pil fonts-dejavu fonts-liberation2 fonts-urw-base35 fonts-noto-core)
# What training the digit classifier needs besides rendering (scripts/train-digits only).
VELMO_TRAIN_PACKAGES=(python3-torch)
# What the clang presets (clang, asan-clang, fuzz) need besides: clang 19 and its sanitizer
# and fuzzer runtime, the same version on Debian 12 and 13.
VELMO_CLANG_PACKAGES=(clang-19 libclang-rt-19-dev)
# What the Python module's tests need besides.
VELMO_PYTHON_TEST_PACKAGES=(python3-pytest python3-dask python3-distributed)
# The formatter, one version on Debian 12 and 13 (see scripts/format).
VELMO_FORMAT_PACKAGES=(clang-format-19)
# What building the Debian packages and checking what they hold need besides.
VELMO_PACKAGE_PACKAGES=(dpkg-dev file binutils desktop-file-utils appstream)
# What the window's tests under a Wayland compositor need besides.
VELMO_WAYLAND_PACKAGES=(weston qt6-wayland)

# Installs whichever of the named Debian packages are missing, as root or through sudo.
velmo_require_packages() {
    local missing=()
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || { echo "velmo: need root or sudo to install: ${missing[*]}" >&2; return 1; }
        sudo=(sudo)
    fi
    echo "velmo: installing ${missing[*]}" >&2
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Configures and builds one preset. Configuring every time takes a second and applies any
# change to the preset's settings to an existing build folder. VELMO_WERROR=ON (as CI sets
# it) turns warnings into errors.
velmo_build() {
    local preset=$1
    (
        cd "$VELMO_ROOT" &&
            cmake --preset "$preset" -DCMAKE_COMPILE_WARNING_AS_ERROR="${VELMO_WERROR:-OFF}" > /dev/null &&
            cmake --build --preset "$preset"
    )
}

# Runs the tests of one preset, as many at once as there are cores; further arguments go to
# ctest (-LE slow leaves out the tests labelled slow).
velmo_ctest() {
    local preset=$1
    shift
    (cd "$VELMO_ROOT" && ctest --preset "$preset" -j "$(nproc)" "$@")
}
