# Shared by the scripts: paths, packages, the Wine prefix and the virtual display.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build
wine_dir=$build/wine
template=$wine_dir/template
export WINEDEBUG=${WINEDEBUG:--all}
# Neither Mono nor Gecko is needed, and their install prompts would stop a fresh prefix.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

packages=(cmake g++ g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev googletest wine wine64
    xvfb xauth xdotool x11-utils imagemagick fonts-wine fonts-ipafont-gothic clang
    libclang-rt-14-dev lld llvm zip unzip debootstrap fuse3 python3-fusepy)

# Installs the Debian packages that are missing (as root, through apt-get).
ensure_packages() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "installing: ${missing[*]}" >&2
    local sudo=
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -q >&2
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends \
        "${missing[@]}" >&2
}

# ---- Wine 10, from Debian 13, as a second implementation of the system under every test.
# It lives in a root file system made with debootstrap from Debian's packages, kept in a
# cache outside the checkout (a fresh clone reuses it) and made anew when the list below
# changes. Nothing is mounted for it but inside a private mount namespace (with_wine10).
wine10_suite=trixie
wine10_packages=(wine wine64 fonts-wine fonts-ipafont-gothic)
cache=${ZELVON_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zelvon}
wine10_root=$cache/wine10-$wine10_suite
wine10_mirror=${ZELVON_DEBIAN_MIRROR:-http://deb.debian.org/debian}

ensure_wine10_root() {
    local stamp="$wine10_suite: ${wine10_packages[*]}"
    [ "$(cat "$wine10_root/.zelvon-root" 2>/dev/null)" = "$stamp" ] && return 0
    mkdir -p "$cache" || return 1
    (
        flock 9
        [ "$(cat "$wine10_root/.zelvon-root" 2>/dev/null)" = "$stamp" ] && exit 0
        echo "making the Wine 10 root file system in $wine10_root" >&2
        rm -rf "$wine10_root.new"
        debootstrap --variant=minbase --include="$(IFS=,; echo "${wine10_packages[*]}")" \
            "$wine10_suite" "$wine10_root.new" "$wine10_mirror" >"$cache/debootstrap.log" 2>&1 || {
            echo "debootstrap failed; see $cache/debootstrap.log" >&2
            exit 1
        }
        echo "$stamp" >"$wine10_root.new/.zelvon-root"
        rm -rf "$wine10_root" && mv "$wine10_root.new" "$wine10_root"
    ) 9>"$cache/.lock"
}

# Runs a program or script (not a shell function) with Wine 10: in a mount namespace of its
# own the root sees /proc, /dev, the X server's sockets and this checkout at its own path,
# each bound alone, never recursively, so that nothing outlives the command and no rm -rf
# of the root or of build/ can reach the machine's /dev or /sys.
with_wine10() {
    ensure_wine10_root || return 1
    # An X server started later puts its socket here, where the root sees it too.
    mkdir -p -m 1777 /tmp/.X11-unix || return 1
    unshare -m --propagation private -- /bin/bash -c '
        r=$1 checkout=$2
        shift 2
        mkdir -p "$r/proc" "$r/dev" "$r/tmp/.X11-unix" "$r$checkout" || exit 1
        mount --bind /proc "$r/proc" && mount --bind /dev "$r/dev" &&
            mount -t tmpfs -o mode=1777 tmpfs "$r/dev/shm" &&
            mount --bind "$checkout" "$r$checkout" &&
            mount --bind /tmp/.X11-unix "$r/tmp/.X11-unix" || exit 1
        ZELVON_WINE_ROOT=$r exec "$@"' with-wine10 "$wine10_root" "$root" "$@"
}

wine_name=8
if [ -n "${ZELVON_WINE_ROOT:-}" ]; then
    wine_name=10
    wine_dir=$build/wine10
    template=$wine_dir/template
    # The root's own Wine, in the caller's folder where the root sees it (the checkout).
    wine_root_folder() {
        case $PWD in "$root" | "$root"/*) echo "$PWD" ;; *) echo / ;; esac
    }
    in_wine_root() { chroot "$ZELVON_WINE_ROOT" /usr/bin/env -C "$(wine_root_folder)" "$@"; }
    wine() { in_wine_root wine "$@"; }
    wineboot() { in_wine_root wineboot "$@"; }
    wineserver() { in_wine_root wineserver "$@"; }
fi

# Replaces the shell with a Wine program of the Wine in use.
exec_wine() {
    [ -z "${ZELVON_WINE_ROOT:-}" ] ||
        exec chroot "$ZELVON_WINE_ROOT" /usr/bin/env -C "$(wine_root_folder)" wine "$@"
    exec wine "$@"
}

# A build folder that an older checkout configured for g++ is configured anew for clang.
build_windows() {
    grep -qs 'CMAKE_CXX_COMPILER_ID "Clang"' "$build"/windows/CMakeFiles/*/CMakeCXXCompiler.cmake ||
        cmake --preset windows --fresh >/dev/null
    cmake --build --preset windows
}

# A display for Wine: the caller's, or a virtual one started here and stopped on exit.
xvfb_pid=
ensure_display() {
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
    local n
    for n in $(seq 90 140); do
        [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || break
    done
    Xvfb ":$n" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
    echo "the virtual display did not start" >&2
    return 1
}

stop_display() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    xvfb_pid=
}

# The prefix every run and test copies: made once, with unmanaged windows (instant to
# destroy, captions drawn without a window manager), a Japanese face for the UI font,
# and no crash dialog of Wine's own to linger over later windows.
template_version=3
ensure_template() {
    [ "$(cat "$template/.ready" 2>/dev/null)" = "$template_version" ] && return 0
    rm -rf "$template"
    mkdir -p "$wine_dir"
    WINEPREFIX=$template wineboot -i >/dev/null 2>&1
    WINEPREFIX=$template wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
        >/dev/null 2>&1
    WINEPREFIX=$template wine reg add 'HKCU\Software\Wine\Fonts\Replacements' \
        /v "$(printf '\xe3\x83\xa1\xe3\x82\xa4\xe3\x83\xaa\xe3\x82\xaa')" /d IPAPGothic /f \
        >/dev/null 2>&1
    WINEPREFIX=$template wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog \
        /t REG_DWORD /d 0 /f >/dev/null 2>&1
    # A crash ends the process at once instead of waiting in a debugger.
    WINEPREFIX=$template wine reg add \
        'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /d 0 /f \
        >/dev/null 2>&1
    WINEPREFIX=$template wine reg delete \
        'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f \
        >/dev/null 2>&1
    WINEPREFIX=$template wineserver -w
    echo "$template_version" >"$template/.ready"
}

# A fresh prefix at $1, copied from the template.
fresh_prefix() {
    ensure_template
    rm -rf "$1"
    cp -a "$template" "$1"
}

# A prefix at $1 made from the current template, unless it already is.
current_prefix() {
    cmp -s "$1/.ready" "$template/.ready" 2>/dev/null || fresh_prefix "$1"
}

# Where zelvon keeps its settings inside a prefix.
settings_path() {
    echo "$1/drive_c/users/$(id -un)/AppData/Roaming/zelvon.sav"
}
