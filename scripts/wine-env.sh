# Sourced by the Wine scripts: where the prefix lives, who runs Wine, and how prefix and display are made ready.
kelvo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# KELVO_WINEARCH=win64 runs the same 32-bit programs in a 64-bit Windows (WoW64), in a prefix of its own, started by
# the 64-bit loader (Debian's `wine` is the 32-bit one).
KELVO_WINEARCH=${KELVO_WINEARCH:-win32}
if [ "$KELVO_WINEARCH" = win64 ]; then
    KELVO_WINE_HOME=${KELVO_WINE_HOME:-$kelvo_root/build/wine64}
    kelvo_wine=/usr/lib/wine/wine64
else
    KELVO_WINE_HOME=${KELVO_WINE_HOME:-$kelvo_root/build/wine}
    # The loader itself, not Debian's `wine`, a shell script that finds it: one process fewer for every program.
    kelvo_wine=/usr/lib/wine/wine
fi
# Exported, so that the Wine machine keys its prefix by the same folder whether a caller named it or not.
export KELVO_WINE_HOME
# As root, Wine runs as an ordinary user of its own (Wine as root ignores read-only files), made on first use.
kelvo_wine_user=kelvo-wine
kelvo_wine_gid=
kelvo_find_wine_user() {
    local name gid
    while IFS=: read -r name _ _ gid _; do
        if [ "$name" = "$kelvo_wine_user" ]; then kelvo_wine_gid=$gid; fi
    done </etc/passwd
}
# On a new machine both Windows' first programs start at once and both find no user: the second useradd then fails
# (the user exists, or /etc/passwd is locked while the first writes it), which is no fault as long as the user exists.
if [ "$EUID" -eq 0 ]; then
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        kelvo_find_wine_user
        [ -z "$kelvo_wine_gid" ] || break
        useradd --system --user-group --no-create-home --shell /usr/sbin/nologin "$kelvo_wine_user" 2>/dev/null ||
            sleep 0.2
    done
    [ -n "$kelvo_wine_gid" ] || {
        echo "wine-env: could not make the user $kelvo_wine_user that Wine runs as" >&2
        exit 1
    }
fi
# Wine names files through the Unix locale's character set: without a UTF-8 one (a CI that sets no locale at all) it
# cannot open a folder whose name is outside ASCII, such as the kit test's copy in "kit-Łukasz".
case ${LC_ALL:-${LC_CTYPE:-${LANG:-}}} in
*.UTF-8 | *.utf8 | *.UTF8 | *.utf-8) ;;
*) [ -n "${LC_ALL:-}" ] || export LC_CTYPE=C.UTF-8 ;;
esac
# KELVO_DLL_OVERRIDES adds Wine DLL overrides for every program of the run (a Windows program cannot change them for
# its children: Wine takes them from the Unix environment).
kelvo_dll_overrides="mscoree,mshtml=${KELVO_DLL_OVERRIDES:+;$KELVO_DLL_OVERRIDES}"

# Lanes: copies of the Windows, each with its own prefix, display and warm server, so that several programs of one
# Windows run at once without sharing a registry or taking each other's focus. Lane 0 is KELVO_WINE_HOME itself.
# CTest hands a test its lane as a resource of the Windows' type (tests/CMakeLists.txt); KELVO_WINE_LANE names one.
if [ -z "${KELVO_WINE_LANE:-}" ] && [ "${CTEST_RESOURCE_GROUP_0:-}" = "$KELVO_WINEARCH" ]; then
    kelvo_granted=CTEST_RESOURCE_GROUP_0_${KELVO_WINEARCH^^}
    KELVO_WINE_LANE=$(sed -n 's/^id:\([0-9]*\),.*/\1/p' <<<"${!kelvo_granted:-}")
fi
KELVO_WINE_LANE=${KELVO_WINE_LANE:-0}
export KELVO_WINE_LANE

# Sets everything that belongs to one lane: its home and prefix, its display, its locks, and how Wine is started in it.
kelvo_select_lane() {
    local lane=$1
    kelvo_home=$KELVO_WINE_HOME
    [ "$lane" -eq 0 ] || kelvo_home=$KELVO_WINE_HOME.lane$lane
    # Each Windows and lane its own display: a window of one never takes the focus of another's. Another work tree
    # testing at once names another KELVO_DISPLAY_BASE, so that its displays are its own too.
    local second=0
    [ "$KELVO_WINEARCH" = win64 ] && second=1
    kelvo_display=${KELVO_DISPLAY:-:$((${KELVO_DISPLAY_BASE:-87} + 2 * lane + second))}
    kelvo_lock_base=/tmp/kelvo-wine${kelvo_home//\//-}
    kelvo_run_lock=$kelvo_lock_base.run.lock
    export WINEPREFIX=$kelvo_home/prefix WINEARCH=$KELVO_WINEARCH WINEDEBUG=${KELVO_WINEDEBUG:--all}
    export WINEDLLOVERRIDES="$kelvo_dll_overrides" DISPLAY=$kelvo_display
    if [ "$EUID" -eq 0 ]; then
        # setpriv, not runuser: no PAM session for every program, which emulation makes dear.
        kelvo_as_user=(setpriv --reuid="$kelvo_wine_user" --regid="$kelvo_wine_gid" --init-groups -- env
            USER="$kelvo_wine_user" LOGNAME="$kelvo_wine_user" HOME="$kelvo_home" WINEPREFIX="$WINEPREFIX"
            WINEARCH=$KELVO_WINEARCH WINEDEBUG=$WINEDEBUG WINEDLLOVERRIDES="$kelvo_dll_overrides" DISPLAY="$DISPLAY"
            ${LC_ALL:+LC_ALL=$LC_ALL} ${KELVO_SIM_LOG:+KELVO_SIM_LOG=$KELVO_SIM_LOG} ${KELVO_DIST:+KELVO_DIST=$KELVO_DIST})
    else
        export HOME=$kelvo_home
        kelvo_as_user=(env)
    fi
}
kelvo_select_lane "$KELVO_WINE_LANE"

# X keeps its sockets in /tmp/.X11-unix, which an Xvfb makes where none exists yet (a new machine, a fresh boot), but
# not safely at once: of two started at the same moment, both find none, the second one's mkdir fails (errno 17) and
# it runs on listening on no socket. Made here first, as X expects it: root's, everyone's to write, sticky.
kelvo_x11_folder() {
    local folder=/tmp/.X11-unix
    [ -d "$folder" ] && [ ! -L "$folder" ] && [ "$(stat -c %u:%a "$folder")" = 0:1777 ] && return 0
    mkdir -p "$folder"
    # Not root, the folder is the user's own: Xvfb takes that with a warning.
    if [ "$EUID" -eq 0 ]; then chown root:root "$folder"; fi
    chmod 1777 "$folder" 2>/dev/null || true
}

kelvo_display_ready() {
    local socket=/tmp/.X11-unix/X${kelvo_display#:} log=$kelvo_home/xvfb.log pid
    if [ -S "$socket" ]; then
        kelvo_alive "$kelvo_lock_base.xvfb.pid" Xvfb && return 0
        kelvo_record_pid xvfb -f "Xvfb $kelvo_display " && return 0
    fi
    rm -f "$socket" "/tmp/.X${kelvo_display#:}-lock"
    kelvo_x11_folder
    # Its error output is kept in the lane's folder, so that a display that does not start can say why.
    mkdir -p "$kelvo_home"
    # --wait: where setsid must fork, what it leaves behind still lives as long as the Xvfb does.
    setsid --wait Xvfb "$kelvo_display" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>"$log" 9>&- &
    pid=$!
    # Up to 30 s: the first start on a new machine builds its caches and has taken longer than 5 s.
    for _ in $(seq 600); do
        [ -S "$socket" ] && kelvo_record_pid xvfb -f "Xvfb $kelvo_display " && return 0
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    # One that runs on without a socket would hold the display's lock against the next start.
    pkill -f "Xvfb $kelvo_display " 2>/dev/null || true
    echo "Xvfb did not start on $kelvo_display; the end of its output ($log):" >&2
    tail -n 5 "$log" | sed 's/^/    /' >&2
    return 1
}

# One prefix per work tree and Windows, made once: a Windows 7, no sound driver, unmanaged windows, CJK fonts.
# Another lane's prefix is a copy of lane 0's: seconds, where making one takes minutes on an emulated machine.
kelvo_prefix_ready() {
    [ -f "$kelvo_home/.ready" ] && return 0
    if [ "$kelvo_home" != "$KELVO_WINE_HOME" ]; then
        (
            kelvo_select_lane 0
            exec 8>"$kelvo_lock_base.lock"
            flock 8
            kelvo_prefix_ready
        )
        rm -rf "$kelvo_home.partial"
        cp -a "$KELVO_WINE_HOME" "$kelvo_home.partial"
        # The lane's own display log, not lane 0's: moved, it stays the file its running Xvfb writes to.
        rm -f "$kelvo_home.partial/xvfb.log"
        mv "$kelvo_home/xvfb.log" "$kelvo_home.partial/" 2>/dev/null || true
        rm -rf "$kelvo_home"
        mv "$kelvo_home.partial" "$kelvo_home"
        return 0
    fi
    mkdir -p "$kelvo_home"
    if [ "$EUID" -eq 0 ]; then
        chown "$kelvo_wine_user" "$kelvo_home"
    fi
    local w=("${kelvo_as_user[@]}")
    # No sound driver from the start: probing for one makes a new prefix take minutes on an emulated machine.
    "${w[@]}" env WINEDLLOVERRIDES="mscoree,mshtml=;winealsa.drv,winepulse.drv,wineoss.drv=d" "$kelvo_wine" wineboot -i \
        </dev/null >/dev/null 2>&1 9>&-
    "${w[@]}" "$kelvo_wine" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d '' /f </dev/null >/dev/null 2>&1 9>&-
    "${w[@]}" "$kelvo_wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 9>&-
    # A crashing program ends instead of waiting in the debugger, holding its caller's output.
    # Under WoW64 a 32-bit program reads its own (32-bit) view of the key.
    local view views=(/reg:32)
    [ "$KELVO_WINEARCH" = win64 ] && views+=(/reg:64)
    for view in "${views[@]}"; do
        "${w[@]}" "$kelvo_wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d '' /f \
            "$view" </dev/null >/dev/null 2>&1 9>&-
    done
    local font
    for font in 宋体 SimSun 'Arial Unicode MS' '@Arial Unicode MS'; do
        "${w[@]}" "$kelvo_wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" /d 'WenQuanYi Micro Hei' /f \
            </dev/null >/dev/null 2>&1 9>&-
    done
    "${w[@]}" wineserver -w 9>&-
    touch "$kelvo_home/.ready"
}

# A persistent, warm wineserver for the prefix: every later start of a program then costs little. The server of the
# other prefix does not count, so each is told by the prefix in its environment.
kelvo_server_ready() {
    kelvo_alive "$kelvo_lock_base.server.pid" wineserver && return 0
    kelvo_find_server && return 0
    setsid "${kelvo_as_user[@]}" wineserver -p </dev/null >/dev/null 2>&1 9>&- &
    "${kelvo_as_user[@]}" "$kelvo_wine" cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
    kelvo_find_server
}
kelvo_find_server() {
    local pid
    for pid in $(pgrep -u "$([ "$EUID" -eq 0 ] && echo "$kelvo_wine_user" || echo "$EUID")" '^wineserver'); do
        if tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
            echo "$pid" >"$kelvo_lock_base.server.pid"
            return 0
        fi
    done
    return 1
}

# The lane's own processes are remembered by their pids, so that a later program finds them ready by a look at a few
# files; the name tells a pid that was given again to another process.
kelvo_record_pid() {
    local what=$1 pid
    shift
    pid=$(pgrep "$@" | head -1) && [ -n "$pid" ] && echo "$pid" >"$kelvo_lock_base.$what.pid"
}
kelvo_alive() {
    local pid name
    read -r pid 2>/dev/null <"$1" && read -r name 2>/dev/null <"/proc/$pid/comm" && [[ $name == "$2"* ]]
}

# The program and every test program are 32-bit: Wine runs them only where the kernel runs 32-bit code. Some
# kernels are booted with that switched off (dmesg: "32-bit emulation disabled"); Wine then runs in the Wine machine
# (scripts/wine-vm), a guest whose kernel does, once `make deps` has built its disk. KELVO_WINE_VM=1 uses it on any
# machine, so that its path and its time can be tried where the kernel would run Wine itself.
kelvo_runs_32bit() { /usr/lib/wine/wine --version >/dev/null 2>&1; }
kelvo_wants_vm() { [ "${KELVO_WINE_VM:-}" = 1 ] || ! kelvo_runs_32bit; }
kelvo_vm_home=${KELVO_VM_HOME:-/var/cache/kelvo-wine-vm}
# Inside the guest Wine runs directly; the guest marks its requests, which spares each run the check of the kernel.
kelvo_vm_ready() { [ -z "${KELVO_IN_WINE_VM:-}" ] && kelvo_wants_vm && [ -f "$kelvo_vm_home/image.ready" ]; }
kelvo_use_vm() {
    [ -n "${KELVO_IN_WINE_VM:-}" ] && return 1
    kelvo_wants_vm || return 1
    kelvo_vm_ready && return 0
    if [ "${KELVO_WINE_VM:-}" = 1 ]; then
        echo "KELVO_WINE_VM=1: the Wine machine's disk is not built; 'make deps' as root builds it" >&2
        exit 1
    fi
    echo "Wine cannot start its 32-bit part on this machine: $(wine --version 2>&1 | tail -1)" >&2
    if dmesg 2>/dev/null | grep -q "32-bit emulation disabled"; then
        echo "The kernel runs no 32-bit programs (booted with IA32 emulation off); 'make deps' as root builds the" \
            "Wine machine that runs them instead." >&2
    fi
    exit 1
}

# A lane found ready that way costs a program no lock and no further process, which emulation makes dear.
kelvo_wine_ready() {
    [ -f "$kelvo_home/.ready" ] && [ -S "/tmp/.X11-unix/X${kelvo_display#:}" ] &&
        kelvo_alive "$kelvo_lock_base.xvfb.pid" Xvfb && kelvo_alive "$kelvo_lock_base.server.pid" wineserver && return 0
    (
        flock 9
        kelvo_display_ready
        kelvo_prefix_ready
        kelvo_server_ready
    ) 9>"$kelvo_lock_base.lock"
}
