#!/usr/bin/env bash
# The review page in a real browser (headless Chromium): it loads, shows
# every entry, its filter and search work, and it reaches nothing outside
# itself.
#   preview_test.sh path/to/hecat
set -u
hecat=$1
source "$(dirname "$0")/../common/checks.sh"
browse() {  # browse URL: the page's DOM after its scripts ran, in $work/dom
    # The browser's profile, caches and settings stay in the scratch folder.
    HOME=$work XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache \
    chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
             --disable-component-update --disable-sync --user-data-dir="$work/profile" --dump-dom "$1" \
             >"$work/dom" 2>"$work/browser.log"
}

"$hecat" preview --output "$work/page.html"
browse "file://$work/page.html"
ok "the page loads" grep -q '</html>' "$work/dom"
ok "every entry has its row" [ "$(grep -o 'class="entry ' "$work/dom" | wc -l)" -eq 743 ]
ok "the script counts them" grep -q 'id="count">743 texts shown' "$work/dom"
ok "reading boxes are right-to-left controls" [ "$(grep -o '<div class="box" dir="rtl">' "$work/dom" | wc -l)" -ge 743 ]
ok "moved readings are marked" grep -q 'class="entry quoted moved"' "$work/dom"
ok "byte length against its limit" grep -q '5 / 26 bytes' "$work/dom"
browse "file://$work/page.html#show=open"
written=$(grep -o 'class="entry open' "$work/page.html" | wc -l)
ok "the filter shows the wording written for this module" grep -q "id=\"count\">$written texts shown" "$work/dom"
browse "file://$work/page.html#search=GetTrMnuSave"
ok "the search finds by name" grep -q 'id="count">2 texts shown' "$work/dom"
ok "the search leaves one family, its heading counting what is shown" sh -c \
    "[ \$(grep -o '<section class=\"family\" data-family=\"[a-z]*\">' '$work/dom' | wc -l) -eq 1 ] && grep -q '<h2 id=\"menus\">menus (2)</h2>' '$work/dom'"
ok "links to pictures need the page's place: --shots without --output refused" sh -c "! '$hecat' preview --shots '$work' 2>/dev/null"
ok "nothing outside the page" sh -c "! grep -qE 'src=|href=\"[a-z]+:|@import|url\\(' '$work/page.html'"
ok "the browser fetched nothing" sh -c "! grep -qiE 'net::ERR|Failed to load' '$work/browser.log'"

finish
