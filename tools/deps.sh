# Sourced by run.sh and test.sh: installs the Debian packages the project needs
# when any is missing (as root), or prints the one line to run.
QM_PACKAGES="build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev \
libtinyxml-dev liblzo2-dev liblua5.1-0-dev libogg-dev libvorbis-dev libtheora-dev \
libsdl2-dev libgl-dev libegl-dev libgl1-mesa-dri libegl-mesa0 \
libgtest-dev libgmock-dev libbenchmark-dev libjpeg62-turbo-dev xvfb xauth"

qm_install_packages() {
    local missing=""
    for p in $QM_PACKAGES; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
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
