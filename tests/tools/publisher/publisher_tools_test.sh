#!/bin/sh
# The publisher's tools end to end: keygen, sign a new reply for an installer, check the printed
# header against the written reply as the program would, re-sign the file as it is, and see
# that the tools refuse what they must, saying which rule a reply breaks.
#   publisher_tools_test.sh KEYGEN SIGN VERIFY
set -eu
keygen=$1 sign=$2 verify=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

entry=$("$keygen" --id pub1 secret.key 2>keygen.err)
case $entry in pub1=*) ;; *) fail "keygen printed '$entry'" ;; esac
[ "$(stat -c %a secret.key)" = 600 ] || fail "secret key file mode $(stat -c %a secret.key)"
secret=$(cut -d' ' -f3 secret.key)
if grep -qF "$secret" keygen.err; then fail "keygen printed the secret key"; fi
if "$keygen" secret.key >/dev/null 2>&1; then fail "keygen overwrote a key file"; fi

head -c 300000 /dev/urandom >setup.exe
header=$("$sign" --key secret.key --id pub1 --product velmora --installer setup.exe \
    --url http://dl.example/setup.exe --version 2.4.1 --channel stable \
    --mirror https://m.example/setup.exe --out reply.json 2>sign.err)
if grep -qF "$secret" sign.err; then fail "sign printed the secret key"; fi
"$verify" "$entry" "$header" reply.json velmora stable || fail "the written reply does not verify"
grep -q '"size" : 300000' reply.json || fail "size not measured"
grep -q "$(sha256sum setup.exe | cut -c1-64)" reply.json || fail "digest not measured"
grep -q '"product" : "velmora"' reply.json || fail "product not written"

resigned=$("$sign" --key secret.key --id pub1 --product velmora reply.json)
"$verify" "$entry" "$resigned" reply.json velmora stable || fail "the re-signed reply does not verify"
if "$verify" "$entry" "$header" reply.json velmora beta >/dev/null; then fail "another channel passed"; fi
if "$verify" "$entry" "$header" reply.json lumen stable >/dev/null; then fail "another product passed"; fi

# A reply breaking one rule each is not signed, whichever product it is for; the tool says why.
while IFS='|' read -r name edit rule; do
    sed "$edit" reply.json >case.json
    if "$sign" --key secret.key --id pub1 --product velmora case.json >case.out 2>case.err; then
        fail "$name: signed"
    fi
    grep -qF "$rule" case.err || fail "$name: said '$(cat case.err)', not '$rule'"
    [ ! -s case.out ] || fail "$name: printed a signature"
done <<'CASES'
version_not_numeric|s/"2.4.1"/"2.x"/|"version" '2.x' is not dotted numeric
expires_beyond_366_days|s/"expires" : [0-9]*/"expires" : 4600000000000000000/|more than 366 days
expired|s/"expires" : [0-9]*/"expires" : 1000/|expired at 1000
other_product|s/"velmora"/"lumen"/|for product 'lumen', asked for 'velmora'
no_product|/"product"/d|names no product
no_channel|/"channel"/d|"channel" is not a string
size_zero|s/"size" : [0-9]*/"size" : 0/|"size" is not an integer
short_digest|s/"sha256" : "\([0-9a-f]\{8\}\)[0-9a-f]*"/"sha256" : "\1"/|"sha256" is not 64
CASES

printf ' ' >>reply.json
if "$verify" "$entry" "$header" reply.json velmora stable >/dev/null; then fail "a changed reply passed"; fi

set +e
"$sign" --key secret.key --id other --product velmora reply.json 2>/dev/null; [ $? = 1 ] || fail "wrong ID signed"
"$sign" --key secret.key --id pub1 --product velmora --installer setup.exe --url http://h/a \
    --version 2.x --channel stable 2>/dev/null; [ $? = 2 ] || fail "a version without order accepted"
"$sign" --key secret.key --id pub1 reply.json 2>/dev/null; [ $? = 2 ] || fail "no product accepted"
"$sign" --key secret.key --id pub1 --product velmora 2>/dev/null; [ $? = 2 ] || fail "nothing to sign accepted"
chmod 644 secret.key
"$sign" --key secret.key --id pub1 --product velmora reply.json 2>/dev/null; [ $? = 1 ] || fail "readable key used"
echo "publisher tools: ok"
