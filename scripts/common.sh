# Shared by the run and test scripts.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
COMMON_PACKAGES=(build-essential cmake pkg-config help2man libmodbus-dev fonts-noto-cjk fonts-dejavu-core)
QT5_PACKAGES=(qtbase5-dev libqt5serialport5-dev qttools5-dev qttools5-dev-tools qtbase5-private-dev qttranslations5-l10n)
QT6_PACKAGES=(qt6-base-dev qt6-serialport-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
              qt6-base-private-dev qt6-translations-l10n)
BUILD_PACKAGES=("${COMMON_PACKAGES[@]}" "${QT5_PACKAGES[@]}")
JOBS=$(nproc 2>/dev/null || echo 2)

build() { # build DIR [cmake options...]; BUILD_TARGETS limits what is built
    local dir=$1
    shift
    cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    # shellcheck disable=SC2086
    cmake --build "$dir" -j "$JOBS" ${BUILD_TARGETS:+--target $BUILD_TARGETS}
}
