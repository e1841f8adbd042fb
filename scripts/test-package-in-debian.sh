#!/usr/bin/env bash
# Installs the Debian package into a fresh Debian 12 root made with debootstrap, the way an
# administrator installs it on a desk (apt resolving what it needs), then, as a desk user in
# that root: starts vxdown offscreen (its first start makes the demo library), records a
# borrower's loans into a workfile as the desk writes them, and posts the workfile to the demo
# library with vximport. Prints what each step printed. Needs root (debootstrap, chroot).
#
# Usage: scripts/test-package-in-debian.sh [PACKAGE.deb [ROOT]]
#   PACKAGE.deb  default: built by scripts/build-package.sh
#   ROOT         default: a new folder under /var/tmp; an existing Debian root is reused as
#                it is (for trying the script again without a new debootstrap)
#   DEBIAN_MIRROR  the mirror for debootstrap and apt (default http://deb.debian.org/debian)
# The second start of vxdown reports its first paint (VX_REPORT_FIRST_PAINT) and ends there.
set -euo pipefail
cd "$(dirname "$0")/.."

deb=${1:-}
if [ -z "$deb" ]; then
  deb=$(scripts/build-package.sh | tail -n 1)
fi
deb=$(realpath "$deb")
root=${2:-$(mktemp -d /var/tmp/vellumdex-debian12.XXXXXX)}
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
# mktemp makes the folder for root alone; as the root's "/" it must let every user through.
chmod 755 "$root"

step() { printf '\n==== %s\n' "$*"; }
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "$@"; }
as_desk() {
  chroot "$root" /usr/bin/env -i PATH=/usr/bin:/bin HOME=/home/desk USER=desk LANG=C.UTF-8 \
    XDG_RUNTIME_DIR=/tmp/desk-runtime QT_QPA_PLATFORM=offscreen \
    /usr/sbin/runuser -u desk -- "$@"
}

if [ ! -f "$root/etc/debian_version" ]; then
  step "debootstrap bookworm $root"
  command -v debootstrap >/dev/null || apt-get install -y -q debootstrap
  debootstrap --variant=minbase bookworm "$root" "$mirror" | tail -n 1
fi
echo "Debian $(cat "$root/etc/debian_version") in $root"

mounted=()
cleanup() { for m in "${mounted[@]}"; do umount -l "$m" 2>/dev/null || true; done; }
trap cleanup EXIT
for fs in proc sys dev; do
  if ! mountpoint -q "$root/$fs"; then
    mount --rbind "/$fs" "$root/$fs" && mount --make-rslave "$root/$fs"
    mounted+=("$root/$fs")
  fi
done

step "apt-get install ./$(basename "$deb")"
cp "$deb" "$root/tmp/"
echo "deb $mirror bookworm main" > "$root/etc/apt/sources.list"
in_root apt-get update -q | tail -n 1
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
  "/tmp/$(basename "$deb")" | grep -E "^(Setting up vellumdex|The following NEW|[0-9]+ upgraded)" || true
in_root dpkg -s vellumdex-system-down | grep -E "^(Status|Version|Depends)"
in_root dpkg -L vellumdex-system-down | grep -E "^/usr/bin/|aliases.ini|\.desktop$|man1/vxdown"

step "a desk user"
in_root sh -c 'id desk >/dev/null 2>&1 || useradd -m -s /bin/sh desk'
in_root sh -c 'mkdir -p /tmp/desk-runtime && chown desk /tmp/desk-runtime && chmod 700 /tmp/desk-runtime'
as_desk vxdown --version
as_desk vxver /usr/lib/vellumdex/vxdown | head -n 12

step "vxdown, first start, offscreen (10 s)"
rc=0
as_desk timeout 10 vxdown || rc=$?
# 124: still running after 10 s, as a desk's window is; anything else ended it early.
[ "$rc" -eq 124 ] || { echo "vxdown ended with status $rc within 10 s" >&2; exit 1; }
echo "vxdown was running after 10 s"
as_desk sh -c 'ls -l ~/.local/share/vellumdex/ && cat ~/.config/vellumdex/aliases.ini'

step "vxdown, second start, until its window's first paint"
as_desk env VX_REPORT_FIRST_PAINT=1 vxdown
as_desk sh -c 'cd / && vxdown --help | sed -n "/^Files:/,\$p"'

step "recording: three loans of borrower 1001, as the desk writes them"
as_desk sh -c "printf '1001,2001\r\n1001,2002\r\n1001,2004\r\n' > ~/work.csv && cat -A ~/work.csv"

step "vximport ~/work.csv --alias demo --user vxdesk --unit 1"
as_desk sh -c 'cd ~ && printf "vxdesk-demo\n" > pw && chmod 600 pw &&
  vximport work.csv --alias demo --user vxdesk --unit 1 --password-file pw; echo "exit status $?"'
as_desk sh -c 'cd ~ && for f in *; do echo "--- $f"; cat "$f"; done'
