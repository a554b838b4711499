# Sourced by scripts/run and scripts/test: installs the Debian packages the
# build needs, only those that are missing, through apt-get (sudo when not root).
# With QUILLON_BUILD_GUI=OFF in the environment the Qt packages are left out.

QUILLON_PACKAGES=(
    build-essential cmake ninja-build pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    nlohmann-json3-dev python3-pil
    # Real units through libusb; the umockdev test bed of that backend.
    libusb-1.0-0-dev umockdev libumockdev-dev
    # The Python module and its tests.
    pybind11-dev python3-dev python3-numpy python3-pytest
)
# Tools the export tests run, by command: a node that brings its own npm is
# used as it is (Debian's npm package would not install beside it).
QUILLON_COMMANDS=(node:nodejs npm:npm)
if [ "${QUILLON_BUILD_GUI:-ON}" != "OFF" ]; then
    QUILLON_PACKAGES+=(
        qt6-base-dev qt6-base-dev-tools libqt6svg6-dev qt6-qpa-plugins
        fonts-dejavu-core
        # pdftotext and pdftoppm read the printed data sheet back in the tests.
        poppler-utils
    )
fi

quillon_install_deps() {
    local missing=()
    local pkg
    for pkg in "${QUILLON_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    local entry
    for entry in "${QUILLON_COMMANDS[@]}"; do
        if ! command -v "${entry%%:*}" >/dev/null 2>&1; then
            missing+=("${entry#*:}")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    echo "Installing missing packages: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo=(sudo)
    fi
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
