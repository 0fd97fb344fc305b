#!/usr/bin/env bash
# The release archive as a packager makes it: two clean runs give the same
# zip; signing with a throwaway certificate gives DLLs that osslsigncode
# accepts and whose sections and exports are those of the unsigned ones; a
# missing or wrong certificate or key is refused with nothing written.
#   dist_test.sh SOURCE_DIR OBJDUMP   (an objdump that reads 32-bit and 64-bit PE files)
set -u
source_dir=$1 objdump=$2
source "$(dirname "$0")/../common/checks.sh"
dist() {  # dist OUT_DIR [ARG...]: ./dev dist into OUT_DIR, output in $work/log
    local out=$1
    shift
    (cd "$source_dir" && HE_DIST_DIR=$out ./dev dist "$@") >"$work/log" 2>&1
}

version=$(sed -nE 's/^project\(DLLTranslation_HE VERSION ([0-9.]+).*/\1/p' "$source_dir/CMakeLists.txt")
zip=DLLTranslation_HE-$version.zip

ok "first run" dist "$work/one"
ok "second run" dist "$work/two"
ok "two clean runs give the same zip" cmp "$work/one/$zip" "$work/two/$zip"
ok "the archive's entries, in order" [ "$(unzip -Z1 "$work/one/$zip" | tr '\n' ' ')" = \
    "LICENSE NOTICE README.txt SHA256SUMS x64/DLLTranslation_HE.dll x86/DLLTranslation_HE.dll " ]
mkdir "$work/unsigned"
(cd "$work/unsigned" && unzip -q "$work/one/$zip")
ok "the checksums hold" sh -c "cd '$work/unsigned' && sha256sum --quiet -c SHA256SUMS"

# A throwaway certificate, and another key that does not belong to it.
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
    -subj "/CN=DLLTranslation_HE test" 2>/dev/null
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$work/other.pem" 2>/dev/null
echo "not a certificate" >"$work/junk.pem"

ok "signed run" dist "$work/signed" --sign "$work/cert.pem" "$work/key.pem"
mkdir "$work/signed-files"
(cd "$work/signed-files" && unzip -q "$work/signed/$zip")
exports() { "$objdump" -p "$1" | sed -n '/^There is an export table/,$p'; }
for arch in x86 x64; do
    signed=$work/signed-files/$arch/DLLTranslation_HE.dll unsigned=$work/unsigned/$arch/DLLTranslation_HE.dll
    ok "$arch signature verifies" sh -c "osslsigncode verify -CAfile '$work/cert.pem' -in '$signed' >'$work/verify' 2>&1"
    sections=$("$objdump" -h "$unsigned" | tail -n +3)
    ok "$arch sections read" grep -q '\.rdata' <<<"$sections"
    ok "$arch sections unchanged by signing" [ "$("$objdump" -h "$signed" | tail -n +3)" = "$sections" ]
    ok "$arch exports read" grep -q GetCompatibility <<<"$(exports "$unsigned")"
    ok "$arch exports unchanged by signing" [ "$(exports "$signed")" = "$(exports "$unsigned")" ]
done

# Bad certificates and keys: exit 2, one line, nothing written.
refused() {  # refused DESCRIPTION ARG...
    local what=$1
    shift
    dist "$work/bad" --sign "$@"
    local status=$?
    ok "$what: exit status 2" [ "$status" -eq 2 ]
    ok "$what: says why" grep -q '^dev: ' "$work/log"
    ok "$what: nothing written" [ ! -e "$work/bad" ]
}
refused "missing certificate" "$work/none.pem" "$work/key.pem"
refused "missing key" "$work/cert.pem" "$work/none.pem"
refused "not a certificate" "$work/junk.pem" "$work/key.pem"
refused "a key of another certificate" "$work/cert.pem" "$work/other.pem"
dist "$work/bad" --sign "$work/cert.pem"
ok "--sign without a key: exit status 2" [ $? -eq 2 ]

finish
