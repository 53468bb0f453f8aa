# Sourced by the scripts: where the private cluster of this checkout lives.
# Root runs the cluster as postgres, which must reach its folder, so root keeps it under /var/lib.
kestrova_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ "$(id -u)" -eq 0 ]; then
  kestrova_pg_dir="/var/lib/kestrova/$(printf '%s' "$kestrova_top" | md5sum | cut -c1-12)"
else
  kestrova_pg_dir="$kestrova_top/build/pg"
fi

# ini_get FILE SECTION KEY DEFAULT and ini_set FILE SECTION KEY VALUE [owner-only]: sections and
# keys match without regard to case, as the server matches them; every other line is kept as it
# stands. The texts travel through the environment: awk -v would read the backslashes of a
# registry key. The file is replaced whole and keeps its mode, owner and group; "owner-only"
# (a file naming a database) takes every right of group and others away.
ini_get() {
  ini_section="$2" ini_key="$3" ini_fallback="$4" awk '
    BEGIN { section = ENVIRON["ini_section"]; key = ENVIRON["ini_key"]; fallback = ENVIRON["ini_fallback"] }
    function trim(s) { sub(/^[ \t]+/, "", s); sub(/[ \t\r]+$/, "", s); return s }
    /^[ \t]*\[/ { name = trim($0); inside = tolower(substr(name, 2, length(name) - 2)) == tolower(section); next }
    inside && index($0, "=") > 1 && tolower(trim(substr($0, 1, index($0, "=") - 1))) == tolower(key) {
      print trim(substr($0, index($0, "=") + 1)); found = 1; exit }
    END { if (!found) print fallback }' "$1"
}
ini_set() {
  local new
  new=$(mktemp "$1.XXXXXX")
  ini_section="$2" ini_key="$3" ini_value="$4" awk '
    BEGIN { section = ENVIRON["ini_section"]; key = ENVIRON["ini_key"]; value = ENVIRON["ini_value"] }
    function trim(s) { sub(/^[ \t]+/, "", s); sub(/[ \t\r]+$/, "", s); return s }
    function flush() { for (i = 1; i <= held; i++) print pending[i]; held = 0 }
    /^[ \t]*\[/ {
      if (inside && !done) { print key "=" value; done = 1 }
      flush(); name = trim($0); inside = tolower(substr(name, 2, length(name) - 2)) == tolower(section)
      print; next }
    inside && !done && index($0, "=") > 1 && tolower(trim(substr($0, 1, index($0, "=") - 1))) == tolower(key) {
      flush(); print key "=" value; done = 1; next }
    # Blank lines at the end of a section stay after a key added to it.
    inside && trim($0) == "" { pending[++held] = $0; next }
    { flush(); print }
    END {
      if (inside && !done) { print key "=" value; done = 1 }
      flush()
      if (!done) { print "[" section "]"; print key "=" value }
    }' "$1" > "$new"
  chmod --reference="$1" "$new"
  # Only root may give a file away; anyone else's rewrite is theirs already.
  chown --reference="$1" "$new" 2>/dev/null || true
  [ "${5:-}" != owner-only ] || chmod go-rwx "$new"
  mv -f "$new" "$1"
}
