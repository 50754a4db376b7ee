#!/usr/bin/env bash
# Boots the demo host tree: copies examples/host into a fresh directory,
# installs the native executor and the demo's native plugins into it, runs
# `kickstand --init --parallel` against it, shows what happened and where
# the boot's time went (kickstand-analyze), and leaves boot.svg beside the logs.
# The tree is /tmp/kickstand-demo-UID, short enough for the control socket's
# address wherever the clone lives, and replaced by each demo, so it stays to
# be looked at without piling up.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$build" && pwd)
root=/tmp/kickstand-demo-$(id -u)
rm -rf "$root"
mkdir "$root"

cp -a "$here/examples/host/." "$root/"
mkdir -p "$root/usr/lib/halvex/kickstand" "$root/usr/libexec/kickstand/plugins" "$root/bootbank"
cp "$build/nativeExecutor" "$root/usr/lib/halvex/kickstand/"
find "$build/examples" -name 'lib*.so' -exec cp {} "$root/usr/libexec/kickstand/plugins/" \;
# Files of the tree name its own programs as @ROOT@/...
grep -rl '@ROOT@' "$root" | xargs -r sed -i "s|@ROOT@|$root|g"

echo "== kickstand --init --parallel (KICKSTAND_ROOT=$root)"
status=0
KICKSTAND_ROOT="$root" "$build/kickstand" --init --parallel --trace || status=$?
echo "== exit status: $status"
for log in sysboot.log kernel.log alerts.log; do
  if [ -s "$root/var/log/$log" ]; then
    echo; echo "== $root/var/log/$log"; cat "$root/var/log/$log"
  fi
done
if [ -s "$root/var/log/demo-activity.log" ]; then
  echo; echo "== what the plugins did, in order ($root/var/log/demo-activity.log)"
  cat "$root/var/log/demo-activity.log"
fi
analyze() { KICKSTAND_ROOT="$root" "$build/kickstand-analyze" "$@"; }
echo; echo "== kickstand-analyze time"; analyze time
echo; echo "== kickstand-analyze blame"; analyze blame
echo; echo "== kickstand-analyze critical-chain"; analyze critical-chain
analyze plot > "$root/var/log/boot.svg"
echo; echo "All logs of this boot are in $root/var/log, the timeline in $root/var/log/boot.svg"
exit "$status"
