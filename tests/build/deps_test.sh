#!/usr/bin/env bash
# tools/deps against apt as it answers on a bad day, recorded: an index that
# fails to download, 32-bit packages that cannot be resolved against this
# machine's libraries, a plan that would downgrade. A stand-in apt-get, dpkg
# and dpkg-query answer from the case's script; the machine's own apt is never
# touched.
#   deps_test.sh SOURCE_DIR
set -u
top=$1
. "$top/tests/common/checks.sh"

bin=$work/bin
mkdir -p "$bin"
# apt-get: logs each call; answers as the files of the case say.
cat >"$bin/apt-get" <<'EOF'
#!/bin/sh
echo "apt-get $*" >>"$case_dir/calls"
case " $* " in
*" update "*)
    [ -f "$case_dir/update-fails" ] || exit 0
    cat "$case_dir/update-fails"; exit 100 ;;
*" -s "*)
    plan=plain
    case " $* " in *" -t "*) plan=target ;; esac
    case " $* " in *":i386 "*) ;; *) plan=rest ;; esac
    answer=$case_dir/$plan
    [ -f "$answer" ] || { echo "Inst something"; exit 0; }
    cat "$answer"
    [ ! -f "$answer.fails" ] || exit 100
    exit 0 ;;
*) echo "installed" ;;
esac
EOF
# dpkg-query -W as the real one answers: a line for each package it knows;
# for one it has never heard of, a message and exit status 1.
cat >"$bin/dpkg-query" <<'EOF'
#!/bin/sh
shift 2
status=0
for p; do
    case $p in *:*) ;; *) p=$p:amd64 ;; esac
    if grep -qx "$p" "$case_dir/installed" 2>/dev/null; then
        echo "$p=ii "
    else
        echo "dpkg-query: no packages found matching $p" >&2
        status=1
    fi
done
exit $status
EOF
cat >"$bin/dpkg" <<'EOF'
#!/bin/sh
case $1 in
--print-architecture) echo amd64 ;;
--print-foreign-architectures) cat "$case_dir/arch" 2>/dev/null ;;
--add-architecture) echo "dpkg $*" >>"$case_dir/calls"; echo "$2" >>"$case_dir/arch" ;;
esac
EOF
printf '#!/bin/sh\nexec "$@"\n' >"$bin/sudo"
chmod +x "$bin"/*

# apt's own words on such a day.
index_failure='Err:6 http://deb.debian.org/debian-security bookworm-security/main i386 Packages
  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]
E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]
E: Some index files failed to download. They have been ignored, or old ones used instead.'
held_broken='The following packages have unmet dependencies:
 libcurl4:i386 : Depends: libssl3:i386 (>= 3.0.0) but it is not going to be installed
E: Error, pkgProblemResolver::Resolve generated breaks, this may be caused by held packages.'
downgrade='The following packages will be DOWNGRADED:
  libssl3
Inst libssl3 [3.0.19-1~deb12u2] (3.0.17-1~deb12u2 Debian:12.15/oldstable [amd64])'

# run CASE: tools/deps for three packages in a fresh case folder; its output
# in $case_dir/out, its status in $case_dir/status.
run() {
    export case_dir=$work/$1
    mkdir -p "$case_dir"
    [ -f "$case_dir/installed" ] || : >"$case_dir/installed"
    PATH=$bin:$PATH HE_DEPS_PAUSE=0 HE_DEBIAN_RELEASE=bookworm HE_DEPS_LOG=$case_dir/apt.log \
        "$top/tools/deps" cmake wine wine32:i386 >"$case_dir/out" 2>&1
    echo $? >"$case_dir/status"
}
calls() { grep -c -- "$2" "$work/$1/calls"; }
said() { grep -q -- "$2" "$work/$1/out"; }
status() { [ "$(cat "$work/$1/status")" = "$2" ]; }
lines() { [ "$(grep -c '^dev:' "$work/$1/out")" = "$2" ]; }
installs() { grep '^apt-get install' "$work/$1/calls" | grep -v ' -s '; }
last_install() { [ "$(installs "$1" | tail -n 1)" = "apt-get install -y -q --no-install-recommends $2" ]; }
not() { ! "$@"; }

# Everything installed: apt is not asked.
mkdir -p "$work/none" && printf 'cmake:amd64\nwine:amd64\nwine32:i386\n' >"$work/none/installed"
run none
ok "nothing missing: apt is not run" test ! -e "$work/none/calls"
ok "nothing missing: silent, status 0" test ! -s "$work/none/out" -a "$(cat "$work/none/status")" = 0

# A day with no fault: one refresh, one plain install, i386 added once.
run plain
ok "plain: i386 is added" test "$(calls plain 'add-architecture i386')" = 1
ok "plain: one refresh" test "$(calls plain ' update')" = 1
ok "plain: installs the three" last_install plain "cmake wine wine32:i386"
ok "plain: says what it installs and that it did, in two lines" lines plain 2
ok "plain: names apt's log, and keeps apt's words there" said plain "apt's log: $work/plain/apt.log"
ok "plain: apt's own output is in the log, not on the terminal" not said plain '^installed$'

# The index fails every time: tried three times, said in one line, then installed.
mkdir -p "$work/index" && printf '%s\n' "$index_failure" >"$work/index/update-fails"
run index
ok "index: refresh tried three times" test "$(calls index ' update')" = 3
ok "index: one line naming the failure, two for the install" lines index 3
ok "index: the line says what apt said" said index "could not be refreshed after 3 tries (Failed to fetch .*Mirror sync in progress?)"
ok "index: the mirror's address is left out" not said index "IP: 203"
ok "index: installs with the indexes at hand" last_install index "cmake wine wine32:i386"
ok "index: status 0" status index 0

# Held broken against this machine's libraries: the stable release alone resolves it.
mkdir -p "$work/held" && printf '%s\n' "$index_failure" >"$work/held/update-fails"
printf '%s\n' "$held_broken" >"$work/held/plain" && touch "$work/held/plain.fails"
run held
ok "held: installs against bookworm" last_install held "-t bookworm cmake wine wine32:i386"
ok "held: one real install, no other" test "$(installs held | wc -l)" = 1
ok "held: says why, and that nothing is downgraded" said held "do not match this machine's libraries (Error, pkgProblemResolver.*); installing against bookworm alone.*downgrades nothing"
ok "held: four lines in all (index, resolution, install)" lines held 4

# The stable release would downgrade: never taken; the 32-bit set is left out, its cost named.
mkdir -p "$work/down"
printf '%s\n' "$held_broken" >"$work/down/plain" && touch "$work/down/plain.fails"
printf '%s\n' "$downgrade" >"$work/down/target"
run down
ok "downgrade: the rest installed, without wine32:i386" last_install down "cmake wine"
ok "downgrade: names what is missing and what it costs" said down "cannot install wine32:i386 (.*): .*x86 checks will fail.*x64 DLL"
ok "downgrade: status 0" status down 0

# Nothing resolves: refused in one line, nothing installed.
mkdir -p "$work/stuck"
for plan in plain target rest; do
    printf '%s\n' "$held_broken" >"$work/stuck/$plan" && touch "$work/stuck/$plan.fails"
done
run stuck
mkdir -p "$work/absent"
for plan in plain target rest; do
    echo "E: Unable to locate package wine" >"$work/absent/$plan" && touch "$work/absent/$plan.fails"
done
run absent
ok "absent: one line naming the package the mirror lacks" said absent "^dev: cannot install cmake wine wine32:i386: Unable to locate package wine"
ok "absent: status 2, nothing installed" test "$(cat "$work/absent/status")" = 2 -a "$(installs absent | wc -l)" = 0
ok "stuck: status 2" status stuck 2
ok "stuck: nothing installed" test "$(installs stuck | wc -l)" = 0
ok "stuck: one line naming the packages" said stuck "^dev: cannot install cmake wine wine32:i386: Error, pkgProblemResolver"

finish
