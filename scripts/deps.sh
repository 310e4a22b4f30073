#!/usr/bin/env bash
# Installs the Debian packages the build needs; with --demo also the mail
# servers the demonstration round runs on, with --mail everything the tests
# and the package check use. apt is only touched when something is missing.
set -euo pipefail

# GMime reads the MIME structure of the players' replies; QtKeychain keeps the
# mail passwords in the desktop's keyring; Qt Charts draws the results
# window's charts (its CMake package needs Qt's OpenGL one, which Debian's
# qt6-charts-dev does not pull in); Qt's translations put its own dialogs
# and menus in Japanese; ccache makes a rebuild (a fresh clone on a machine
# that built before) fast.
packages="cmake g++ make pkg-config qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-charts-dev libqt6opengl6-dev libgl-dev libgmime-3.0-dev qtkeychain-qt6-dev fonts-noto-cjk qt6-translations-l10n ccache"
# openssl makes the mail servers' certificates at every start (dovecot-core
# pulls it in today, but the script calls it itself).
mail_packages="postfix dovecot-core dovecot-pop3d openssl"
# The accessibility test runs the program on a private X display with its own
# session and accessibility buses; the keyring test starts a GNOME Keyring of
# its own on a private bus; the fuzz targets need clang's libFuzzer;
# bench_compare_codec measures the codecs against the nkf command; Python's
# email package reads the reply corpus beside the program and is measured
# against it; poppler-utils reads back the results report the program writes;
# SpamAssassin judges the mail the demonstration's phones received, as the
# players' providers would; openbox frames the windows on the private X
# display where the windows' fit is tried with a real window manager, and
# xprop (x11-utils) reads what the program tells the window manager of its
# windows.
a11y_packages="dbus at-spi2-core xvfb gnome-keyring clang libclang-rt-14-dev nkf python3 poppler-utils spamassassin openbox x11-utils"
# The Debian package and its checks: dpkg-shlibdeps (dpkg-dev) works out the
# libraries it depends on, lintian judges it, and the installed menu entry
# and AppStream metadata go through their validators.
package_packages="dpkg-dev lintian desktop-file-utils appstream"
case "${1:-}" in
    --mail) packages="$packages $mail_packages $a11y_packages $package_packages" ;;
    --demo) packages="$packages $mail_packages" ;;
esac

missing=""
for p in $packages; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing="$missing $p"
done
if [ -z "$missing" ]; then
    echo "deps: all packages present"
    exit 0
fi

[ "$(id -u)" = 0 ] || { echo "deps: missing:$missing; run as root to install them" >&2; exit 1; }
echo "deps: installing$missing"
export DEBIAN_FRONTEND=noninteractive
# Postfix must not configure itself as the machine's mail system: the tests
# run their own instance with its own configuration.
echo "postfix postfix/main_mailer_type select No configuration" | debconf-set-selections

# Package scripts must not start system-wide postfix/dovecot services, which
# would take the ports the tests need. The standard way is a policy-rc.d that
# refuses; it is removed again afterwards if it was ours. The path can be
# overridden so that the install path can be exercised without touching the
# machine's own file.
policy=${TRV_POLICY_RC_D:-/usr/sbin/policy-rc.d}
# Our file says so: one left behind by a run that was killed before it could
# clean up is ours to remove, not the machine's to keep (it would stop every
# service from ever starting through package scripts).
own_marker="# Written by TRIVORN's scripts/deps.sh while it installs; removed afterwards."
own_policy=no
if [ ! -e "$policy" ] || grep -qxF "$own_marker" "$policy" 2>/dev/null; then
    printf '#!/bin/sh\n%s\nexit 101\n' "$own_marker" > "$policy"
    chmod 755 "$policy"
    own_policy=yes
fi
# An EXIT trap's last status becomes the script's: it must end in success
# when there is nothing to clean up (a policy-rc.d that was already there).
cleanup() {
    if [ "$own_policy" = yes ]; then rm -f "$policy"; fi
}
trap cleanup EXIT

apt-get update -q
# shellcheck disable=SC2086
apt-get install -y -q --no-install-recommends $missing
