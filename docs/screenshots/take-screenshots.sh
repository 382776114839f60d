#!/bin/sh
# Screenshots of the download window in its downloading and failure views, taken from the
# real program against the local demo service (port 18080, the default compiled-in hosts)
# under Xvfb. Run from the repository root after building:
#   docs/screenshots/take-screenshots.sh build-U
# The failure view comes from a transfer that the service cuts off after 3 MB.
set -eu
build=${1:-build}
out=$(dirname "$0")
work=$(mktemp -d)
service=
cleanup() {
    [ -n "$service" ] && kill "$service" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

python3 tools/demo/make_installer.py "$work/setup.exe" --mib 40
# Nothing is started at the end: a do-nothing xdg-open comes first on PATH.
printf '#!/bin/sh\nexit 0\n' >"$work/xdg-open"
chmod +x "$work/xdg-open"

shoot() {
    name=$1
    shift
    rm -rf "$work/tmp" "$work/run"
    mkdir -m 700 "$work/tmp" "$work/run"
    python3 tools/demo/demo_service.py --file "$work/setup.exe" --quiet "$@" &
    service=$!
    sleep 1
    TMPDIR="$work/tmp" XDG_RUNTIME_DIR="$work/run" PATH="$work:$PATH" \
        xvfb-run -a -s "-screen 0 640x480x24" sh -c "
            '$build/downloader' & app=\$!
            sleep 5
            import -window root -crop 627x467+0+0 +repage '$out/$name.png'
            kill \$app"
    kill "$service"
    wait "$service" 2>/dev/null || true
    service=
}

shoot downloading --rate 2
shoot failure --rate 2 --close-after 3000000
echo "wrote $out/downloading.png $out/failure.png"
