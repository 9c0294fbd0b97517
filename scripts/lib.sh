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
    libclang-rt-14-dev lld llvm zip unzip)

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
