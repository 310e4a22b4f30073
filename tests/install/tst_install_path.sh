#!/usr/bin/env bash
# What the README's two commands do before any test runs, against stand-ins:
# scripts/deps.sh with fake dpkg-query/apt-get and a policy-rc.d of our own,
# the mail servers' folder choice of scripts/mailservers.sh, and
# scripts/build.sh with a build folder configured elsewhere (fake cmake).
# Nothing is installed, built or started.
set -uo pipefail
REPO_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
umask 022
WORK=$(mktemp -d /tmp/tip.XXXXXX)
chmod 755 "$WORK"
trap 'rm -rf "$WORK"' EXIT
failures=0
skipped=no
fail() { echo "FAIL $name: $*"; failures=$((failures + 1)); }
# "ok" for a case without failures, else the output of the script under test.
report() {
    if [ "$failures" -eq "$failures_before" ]; then echo "ok   $1"; else sed 's/^/     | /' "$2"; fi
}
field() { local f; IFS='|' read -r -a f <<<"$1"; printf '%s' "${f[$2]}" | xargs; }

# --- stand-ins -----------------------------------------------------------------
STUBS=$WORK/bin
mkdir "$STUBS"
cat >"$STUBS/dpkg-query" <<'EOF'
#!/bin/sh
for p; do :; done
case " $STUB_MISSING " in *" $p "* | " all ") exit 1 ;; esac
printf 'install ok installed'
EOF
# Package scripts run during the install must find a policy-rc.d that refuses.
cat >"$STUBS/apt-get" <<'EOF'
#!/bin/sh
echo "apt-get $*" >>"$STUB_LOG"
[ -x "$TRV_POLICY_RC_D" ] || { echo "policy-rc.d: missing" >>"$STUB_LOG"; exit 100; }
"$TRV_POLICY_RC_D" postfix start; rc=$?
[ "$rc" = 101 ] || { echo "policy-rc.d: allows ($rc)" >>"$STUB_LOG"; exit 100; }
case "$STUB_APT:$1" in
    fail:install) exit 100 ;;
    kill:install) kill -KILL "$PPID"; exit 100 ;;
esac
EOF
cat >"$STUBS/debconf-set-selections" <<'EOF'
#!/bin/sh
cat >>"$STUB_LOG.debconf"
EOF
cat >"$STUBS/id" <<'EOF'
#!/bin/sh
if [ "$*" = -u ]; then echo "$STUB_UID"; else exec /usr/bin/id "$@"; fi
EOF
cat >"$STUBS/cmake" <<'EOF'
#!/bin/sh
echo "cmake $*" >>"$STUB_LOG"
EOF
chmod 755 "$STUBS"/*

# --- scripts/deps.sh -------------------------------------------------------------
deps() {  # case folder, args...
    local dir=$1; shift
    env PATH="$STUBS:$PATH" TRV_POLICY_RC_D="$dir/policy-rc.d" STUB_LOG="$dir/log" \
        STUB_MISSING="$missing" STUB_APT="$apt" STUB_UID="$uid" \
        bash "$REPO_DIR/scripts/deps.sh" "$@" >>"$dir/out" 2>&1
}
mail_packages="postfix dovecot-core dovecot-pop3d openssl dbus at-spi2-core xvfb clang libclang-rt-14-dev nkf python3 poppler-utils openbox x11-utils dpkg-dev lintian desktop-file-utils appstream"
# policy before: none, the machine's own, or one left by a run that was killed.
# exit: a status, or "fail" for any but 0. apt-get calls: their subcommands.
#  case                    | before   | missing             | args   | apt  | uid  | exit | after   | apt-get calls  | install names             | install never names
deps_cases=(
  "machine-policy          | machine  | make                |        | ok   | 0    | 0    | machine | update install | make                      | cmake"
  "no-policy               | none     | make fonts-noto-cjk |        | ok   | 0    | 0    | absent  | update install | make fonts-noto-cjk       | cmake"
  "apt-fails               | none     | make                |        | fail | 0    | fail | absent  | update install | make                      | -"
  "apt-fails-machine       | machine  | make                |        | fail | 0    | fail | machine | update install | make                      | -"
  "nothing-missing         | none     | -                   |        | ok   | 0    | 0    | absent  | -              | -                         | -"
  "nothing-missing-machine | machine  | -                   |        | ok   | 0    | 0    | machine | -              | -                         | -"
  "mail                    | none     | all                 | --mail | ok   | 0    | 0    | absent  | update install | cmake $mail_packages      | -"
  "no-mail                 | none     | all                 |        | ok   | 0    | 0    | absent  | update install | cmake fonts-noto-cjk libgmime-3.0-dev qt6-charts-dev qt6-translations-l10n | $mail_packages"
  "demo                    | none     | all                 | --demo | ok   | 0    | 0    | absent  | update install | cmake postfix dovecot-pop3d openssl | dbus at-spi2-core xvfb"
  "mail-missing-no-mail    | none     | postfix xvfb        |        | ok   | 0    | 0    | absent  | -              | -                         | -"
  "leftover-policy         | leftover | make                |        | ok   | 0    | 0    | absent  | update install | make                      | -"
  "not-root                | none     | make                |        | ok   | 1000 | 1    | absent  | -              | -                         | -"
)
for row in "${deps_cases[@]}"; do
    name=$(field "$row" 0); before=$(field "$row" 1); missing=$(field "$row" 2)
    args=$(field "$row" 3); apt=$(field "$row" 4); uid=$(field "$row" 5)
    want_rc=$(field "$row" 6); after=$(field "$row" 7); want_calls=$(field "$row" 8)
    names=$(field "$row" 9); never=$(field "$row" 10)
    [ "$missing" = - ] && missing=""
    dir=$WORK/deps-$name; mkdir "$dir"; : >"$dir/log"
    policy=$dir/policy-rc.d
    case "$before" in
        machine) printf '#!/bin/sh\n# the machine'"'"'s own\nexit 101\n' >"$policy"
                 chmod 755 "$policy"; cp -p "$policy" "$dir/policy.before" ;;
        leftover) (apt="kill"; deps "$dir" ${args:+"$args"}) 2>/dev/null  # "Killed" is the point here
                  [ -e "$policy" ] || fail "setup: the killed run left no policy-rc.d"
                  : >"$dir/log"; : >"$dir/log.debconf" ;;
    esac
    failures_before=$failures
    deps "$dir" ${args:+"$args"}; rc=$?

    case "$want_rc" in
        fail) [ "$rc" -ne 0 ] || fail "exit 0, want a failure" ;;
        *) [ "$rc" -eq "$want_rc" ] || fail "exit $rc, want $want_rc" ;;
    esac
    case "$after" in
        absent) [ ! -e "$policy" ] || fail "policy-rc.d left behind" ;;
        machine) cmp -s "$policy" "$dir/policy.before" || fail "the machine's policy-rc.d was changed" ;;
    esac
    if grep -q 'policy-rc.d:' "$dir/log"; then fail "during apt-get: $(grep 'policy-rc.d:' "$dir/log" | xargs)"; fi
    calls=$(sed -n 's/^apt-get \([a-z]*\).*/\1/p' "$dir/log" | xargs)
    [ "$calls" = "${want_calls/#-/}" ] || fail "apt-get calls '$calls', want '$want_calls'"
    install=" $(sed -n 's/^apt-get install //p' "$dir/log") "
    if [ -n "$calls" ]; then
        [[ $install == " -y -q --no-install-recommends "* ]] || fail "install options: $install"
        grep -qx 'postfix postfix/main_mailer_type select No configuration' "$dir/log.debconf" ||
            fail "Postfix not preseeded"
    fi
    for p in ${names/#-/}; do [[ $install == *" $p "* ]] || fail "install list lacks $p:$install"; done
    for p in ${never/#-/}; do [[ $install != *" $p "* ]] || fail "install list has $p:$install"; done
    report "deps $name" "$dir/out"
done

# --- scripts/mailservers.sh dir ----------------------------------------------------
# A build folder whose servers' folder (build/mailservers) is $1 characters long.
path_of_length() {
    local tail=/b/mailservers
    local pad=$(($1 - ${#WORK} - 1 - ${#tail}))
    printf '%s/%s/b' "$WORK" "$(head -c "$pad" /dev/zero | tr '\0' p)"
}
#  case            | build folder          | servers' folder
ms_cases=(
  "short           | $WORK/s/b             | inside"
  "at-limit        | $(path_of_length 60)  | inside"
  "over-limit      | $(path_of_length 61)  | outside"
  "not-yet-built   | $WORK/fresh/b         | inside"
  "locked-parent   | $WORK/locked/b        | outside"
)
mkdir -m 755 "$WORK/s" "$WORK/s/b"
mkdir -m 700 "$WORK/locked"
outside_seen=" "
if [ "$(id -u)" != 0 ] || ! id mail >/dev/null 2>&1 || ! id postfix >/dev/null 2>&1 || ! id dovecot >/dev/null 2>&1; then
    echo "SKIP mailservers dir: needs root and the mail, postfix and dovecot users"
    skipped=yes
else
    for row in "${ms_cases[@]}"; do
        name=$(field "$row" 0); build=$(field "$row" 1); want=$(field "$row" 2)
        failures_before=$failures
        got=$(bash "$REPO_DIR/scripts/mailservers.sh" dir "$build") || fail "dir failed"
        again=$(bash "$REPO_DIR/scripts/mailservers.sh" dir "$build")
        [ "$got" = "$again" ] || fail "not stable: $got, then $again"
        if [ "$want" = inside ]; then
            [ "$got" = "$build/mailservers" ] || fail "got $got, want $build/mailservers"
        else
            [[ $got == /tmp/trivorn-ms-?* && ${got#/tmp/} != */* ]] || fail "got $got, want a /tmp/trivorn-ms-* folder"
            [ ${#got} -le 60 ] || fail "$got is longer than 60 characters"
            [ ! -e "$got" ] || fail "dir created $got"
            [[ $outside_seen != *" $got "* ]] || fail "$got is shared with another build folder"
            outside_seen="$outside_seen$got "
        fi
        report "mailservers dir $name -> $got" /dev/null
    done
fi

# --- scripts/mailservers.sh start on a taken address ---------------------------------
# Something else listens on the address the servers want: the script names
# the address and port, starts nothing and fails. The listener is Perl's,
# which every Debian has.
if [ "$skipped" = no ] && command -v postfix >/dev/null && command -v dovecot >/dev/null; then
    for port in 25 110; do
        listen_on=127.84.86.9
        name="taken-$listen_on:$port"; failures_before=$failures
        dir=$WORK/taken-$port; mkdir -p "$dir/b"
        perl -MIO::Socket::INET -e '
            my $s = IO::Socket::INET->new(LocalAddr => $ARGV[0], LocalPort => $ARGV[1], Listen => 1, ReuseAddr => 1)
                or die "listen: $!";
            print "ready\n"; $| = 1; sleep 60;' "$listen_on" "$port" >"$dir/listener" 2>&1 &
        listener=$!
        for _ in $(seq 1 50); do grep -qx ready "$dir/listener" && break; sleep 0.1; done
        if ! grep -qx ready "$dir/listener"; then
            echo "SKIP mailservers $name: cannot listen there ($(cat "$dir/listener"))"
            kill "$listener" 2>/dev/null; wait "$listener" 2>/dev/null
            continue
        fi
        TRV_MAIL_ADDRESS=127.84.86.9 bash "$REPO_DIR/scripts/mailservers.sh" start "$dir/b" >"$dir/out" 2>&1; rc=$?
        kill "$listener" 2>/dev/null; wait "$listener" 2>/dev/null
        # Should it have started all the same, nothing of it may outlive the test.
        TRV_MAIL_ADDRESS=127.84.86.9 bash "$REPO_DIR/scripts/mailservers.sh" stop "$dir/b" >/dev/null 2>&1
        [ "$rc" -ne 0 ] || fail "start succeeded on a taken port"
        grep -qF "127.84.86.9:$port is taken" "$dir/out" || fail "the message does not name 127.84.86.9:$port"
        grep -qF "pid $listener" "$dir/out" || fail "the message does not name the listener (pid $listener)"
        [ ! -e "$dir/b/mailservers/postfix/main.cf" ] || fail "configuration written although the port is taken"
        report "mailservers $name" "$dir/out"
    done
fi

# --- scripts/build.sh ----------------------------------------------------------------
# The cache names the source and build folders it was configured for: the
# checkout itself, the checkout through a symbolic link, a checkout that is
# still there, one that is gone, or there is no cache yet. TRV_WERROR as CI
# sets it, or unset as a user's shell has it: warnings are errors only when
# asked for, every run saying which.
#  case             | configured for | CMake state | TRV_WERROR | -DTRV_WERROR
build_cases=(
  "same-place       | here           | kept        | -          | OFF"
  "through-a-link   | link           | kept        | -          | OFF"
  "copied-checkout  | $WORK/original | dropped     | -          | OFF"
  "moved-checkout   | $WORK/gone     | dropped     | -          | OFF"
  "no-cache         | -              | kept        | -          | OFF"
  "ci               | here           | kept        | ON         | ON"
)
mkdir -p "$WORK/original/build"
for row in "${build_cases[@]}"; do
    name=$(field "$row" 0); configured=$(field "$row" 1); want=$(field "$row" 2)
    werror=$(field "$row" 3); want_werror=$(field "$row" 4)
    repo=$WORK/repo-$name; b=$repo/build
    mkdir -p "$repo/scripts" "$b/CMakeFiles" "$b/src/CMakeFiles/trivorn.dir"
    cp "$REPO_DIR/scripts/build.sh" "$repo/scripts/"
    echo data >"$b/src/trv1.dat"
    case "$configured" in
        here) configured=$repo ;;
        link) configured=$WORK/link-$name; ln -s "$repo" "$configured" ;;
    esac
    [ "$configured" = - ] || printf 'CMAKE_CACHEFILE_DIR:INTERNAL=%s\nCMAKE_HOME_DIRECTORY:INTERNAL=%s\n' \
        "$configured/build" "$configured" >"$b/CMakeCache.txt"
    failures_before=$failures
    ci=()
    [ "$werror" = - ] || ci=(TRV_WERROR="$werror")
    env -u TRV_WERROR "${ci[@]}" PATH="$STUBS:$PATH" STUB_LOG="$repo/log" \
        bash "$repo/scripts/build.sh" trivorn >"$repo/out" 2>&1 || fail "build.sh failed"
    grep -qxF "cmake -S $repo -B $b -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRV_WERROR=$want_werror" "$repo/log" ||
        fail "not configured for $repo with -DTRV_WERROR=$want_werror: $(head -1 "$repo/log")"
    [ -f "$b/src/trv1.dat" ] || fail "the program's data file was removed"
    left=""
    for f in CMakeCache.txt CMakeFiles src/CMakeFiles; do [ -e "$b/$f" ] && left="$left $f"; done
    left=${left# }
    all="CMakeCache.txt CMakeFiles src/CMakeFiles"
    [ "$configured" = - ] && all="CMakeFiles src/CMakeFiles"
    case "$left" in "") state=dropped ;; "$all") state=kept ;; *) state="partly ($left)" ;; esac
    [ "$state" = "$want" ] || fail "CMake state $state, want $want"
    report "build $name" "$repo/out"
done

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
[ "$skipped" = no ] || exit 77
echo "all passed"
