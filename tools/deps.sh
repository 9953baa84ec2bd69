# Sourced by run.sh and test.sh: installs the Debian packages the project needs
# when any is missing (as root), or prints the one line to run.
#
#   qm_install_packages        what the debug and release builds and the tests need
#   qm_install_packages fuzz   that, and clang with its sanitizer and fuzzer runtime
#
# No name here carries a release's version number: where Debian's name does
# (clang's runtime), the name is chosen from what the machine's apt knows.
QM_PACKAGES="build-essential cmake ninja-build pkg-config \
libtinyxml-dev liblzo2-dev liblua5.1-0-dev libogg-dev libtheora-dev libvorbis-dev \
libsdl2-dev libgl-dev libegl-dev libgl1-mesa-dri libegl-mesa0 \
libgtest-dev libgmock-dev libbenchmark-dev libjpeg-dev xvfb xauth libxtst6 \
libfreetype-dev fonts-dejavu-core"

qm_package_known() {
    apt-cache show "$1" >/dev/null 2>&1
}

qm_package_installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

# The libFuzzer and sanitizer runtime of the clang that `clang` installs or is:
# libclang-rt-N-dev since clang 14, inside libclang-common-N-dev before.
qm_clang_runtime_package() {
    local major=""
    if command -v clang >/dev/null 2>&1; then
        major=$(clang -dumpversion | cut -d. -f1)
    else
        major=$(apt-cache depends clang 2>/dev/null | sed -n 's/.*Depends: clang-\([0-9][0-9]*\)$/\1/p' | head -n 1)
    fi
    if [ -z "$major" ]; then
        echo "No clang is known to apt: the fuzz build needs clang with its libFuzzer runtime." >&2
        return 1
    fi
    for p in "libclang-rt-$major-dev" "libclang-common-$major-dev"; do
        if qm_package_installed "$p" || qm_package_known "$p"; then
            echo "$p"
            return 0
        fi
    done
    echo "Neither libclang-rt-$major-dev nor libclang-common-$major-dev is known to apt:" \
         "the fuzz build needs clang $major's libFuzzer runtime." >&2
    return 1
}

qm_install_packages() {
    local wanted="$QM_PACKAGES"
    if [ "${1:-}" = fuzz ]; then
        local runtime
        runtime=$(qm_clang_runtime_package) || return 1
        wanted="$wanted clang $runtime"
    fi
    local missing=""
    for p in $wanted; do
        qm_package_installed "$p" || missing="$missing $p"
    done
    [ -z "$missing" ] && return 0
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing:$missing"
        apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing >/dev/null
    else
        echo "Missing packages. Run as root:"
        echo "  apt-get update && apt-get install -y$missing"
        return 1
    fi
}
