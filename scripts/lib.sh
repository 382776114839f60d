# shellcheck shell=bash disable=SC2034  # sets variables for the scripts that source it
# What the run, test and benchmark scripts share. Sourced, never run:
#   source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"      # from scripts/
# Defines lib_root (the repository) and the functions below; changes no directory and no
# shell option of its caller.

lib_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# split_at_dashes ARG...: the arguments before the first "--" go to lib_before, the ones after
# it to lib_after.
split_at_dashes() {
    lib_before=()
    while (($#)) && [[ $1 != -- ]]; do
        lib_before+=("$1")
        shift
    done
    (($#)) && shift
    lib_after=("$@")
}

# ---- the demo's port ------------------------------------------------------------------------

# Where the demo service listens and what a build points at unless told otherwise (the CMake
# defaults of DOWNLOADER_UPDATE_HOST and DOWNLOADER_WEB_HOST).
demo_port=18080
demo_host=127.0.0.1:$demo_port

# True when something accepts connections on 127.0.0.1:PORT.
port_in_use() {
    python3 -c "import socket,sys; sys.exit(socket.socket().connect_ex(('127.0.0.1', $1)) != 0)"
}

# True when a server could listen on 127.0.0.1:PORT now.
port_bindable() {
    python3 - "$1" <<'EOF'
import socket, sys
probe = socket.socket()
probe.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
try:
    probe.bind(("127.0.0.1", int(sys.argv[1])))
except OSError:
    sys.exit(1)
EOF
}

# Prints a port of 127.0.0.1 that nobody listens on.
free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# ---- the build ------------------------------------------------------------------------------

# The CMake setting for WERROR=1 (compiler warnings are errors; CI sets it).
werror_setting() {
    if [[ ${WERROR:-0} == 1 ]]; then
        echo -DDOWNLOADER_WERROR=ON
    else
        echo -DDOWNLOADER_WERROR=OFF
    fi
}

# throwaway_key KEYGEN KEY ID: makes the key pair KEY (secret) and KEY.pub (the "ID=BASE64"
# entry for DOWNLOADER_UPDATE_KEYS) with the publisher's KEYGEN, in a folder only the user may
# read, unless both are there already. The tool's advice on keeping the key is left out.
throwaway_key() {
    local keygen=$1 key=$2 id=$3
    [[ -f $key && -s $key.pub ]] && return 0
    mkdir -p "$(dirname "$key")"
    chmod 0700 "$(dirname "$key")"
    rm -f "$key" "$key.pub"
    if ! "$keygen" --id "$id" "$key" >"$key.pub" 2>"$key.notes"; then
        cat "$key.notes" >&2
        rm -f "$key" "$key.pub"
        return 1
    fi
}

# signed_build DIR KEY ID [TARGET...] -- [SETTING...]: configures DIR with the SETTINGs and
# the public half of the throwaway key KEY, made first with DIR's own downloader-keygen when
# it is missing, then builds the TARGETs. JOBS (default 2) compile jobs.
signed_build() {
    local dir=$1 key=$2 id=$3
    shift 3
    split_at_dashes "$@"
    local targets=("${lib_before[@]}") settings=("${lib_after[@]}")
    if [[ ! -f $key || ! -s $key.pub ]]; then
        # The tools come first: the key pair they make decides how the program is built.
        cmake -S "$lib_root" -B "$dir" "${settings[@]}" >/dev/null
        cmake --build "$dir" -j "${JOBS:-2}" --target downloader-keygen
        throwaway_key "$dir/tools/publisher/downloader-keygen" "$key" "$id"
    fi
    cmake -S "$lib_root" -B "$dir" "${settings[@]}" -DDOWNLOADER_UPDATE_KEYS="$(cat "$key.pub")" \
        >/dev/null
    ((${#targets[@]} == 0)) || cmake --build "$dir" -j "${JOBS:-2}" --target "${targets[@]}"
}

# ---- a display ------------------------------------------------------------------------------

# under_xvfb [XVFB-RUN OPTION...] -- COMMAND...: runs COMMAND on a display of its own
# (xvfb-run -a).
under_xvfb() {
    split_at_dashes "$@"
    local options=("${lib_before[@]}") command=("${lib_after[@]}")
    xvfb-run -a "${options[@]}" "${command[@]}"
}

# in_display COMMAND...: runs COMMAND on the display there is, or under Xvfb without one.
in_display() {
    if [[ -n ${DISPLAY:-} ]]; then
        "$@"
    else
        echo "no display: running under xvfb-run -a" >&2
        under_xvfb -- "$@"
    fi
}

# start_xvfb FOLDER [SCREEN]: starts a private Xvfb server (SCREEN default 800x600x24) that
# keeps its notes in FOLDER; sets xvfb_pid and xvfb_display (":N"). Returns 1 when it did not
# start.
start_xvfb() {
    local folder=$1 screen=${2:-800x600x24}
    rm -f "$folder/display"
    Xvfb -displayfd 1 -screen 0 "$screen" -nolisten tcp >"$folder/display" 2>"$folder/xvfb.log" &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [[ -s $folder/display ]] && break
        sleep 0.1
    done
    [[ -s $folder/display ]] || return 1
    xvfb_display=:$(head -n1 "$folder/display")
}

# ---- the demo's parts -----------------------------------------------------------------------

# demo_installer PATH MIB: generates the demo's "installer" (pseudo-random data) unless PATH
# is there already.
demo_installer() {
    [[ -f $1 ]] && return 0
    mkdir -p "$(dirname "$1")"
    python3 "$lib_root/tools/demo/make_installer.py" "$1" --mib "$2" >/dev/null
}

# recording_xdg_open FOLDER RECORD: puts a stand-in xdg-open into FOLDER (made private) that
# opens nothing and appends "<epoch time> <its arguments>" to RECORD for each call.
recording_xdg_open() {
    mkdir -p "$1"
    chmod 0700 "$1"
    cat >"$1/xdg-open" <<EOF
#!/bin/bash
printf '%s %s\n' "\$EPOCHREALTIME" "\$*" >>'$2'
EOF
    chmod 0700 "$1/xdg-open"
}

# stop_processes PID...: ends each process (empty ones are skipped) and waits for it.
stop_processes() {
    local pid
    for pid in "$@"; do
        [[ -n $pid ]] || continue
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
}
