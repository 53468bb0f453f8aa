# Sourced by the scripts: where the private cluster of this checkout lives.
# Root runs the cluster as postgres, which must reach its folder, so root keeps it under /var/lib.
kestrova_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ "$(id -u)" -eq 0 ]; then
  kestrova_pg_dir="/var/lib/kestrova/$(printf '%s' "$kestrova_top" | md5sum | cut -c1-12)"
else
  kestrova_pg_dir="$kestrova_top/build/pg"
fi
