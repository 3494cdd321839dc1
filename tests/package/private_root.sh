# shellcheck shell=bash
# Sourced by package_test.sh inside its own mount, network and process namespaces, with the
# package as $2. Every mount made here ends with the namespaces.
deb="$2"
scratch="$(mktemp -d)"
mount -t tmpfs tmpfs "$scratch"
mkdir "$scratch/upper" "$scratch/work" "$scratch/root"
# Writes land in `upper`, so the system stays untouched and `upper` shows all the package changed.
mount -t overlay overlay -o "lowerdir=/,upperdir=$scratch/upper,workdir=$scratch/work" "$scratch/root"
root="$scratch/root"
mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
mount -t tmpfs tmpfs "$root/tmp"
mount -t tmpfs tmpfs "$root/run"
ip link set lo up
cp "$deb" "$root/tmp/zevra.deb"
in_root() { chroot "$root" "$@"; }

in_root dpkg -i /tmp/zevra.deb >/dev/null || fail "dpkg -i failed"

# Files and modes: nothing the package owns is writable by others; programs are executable.
while read -r mode owner path; do
  actual="$(stat -c '%a %U' "$root$path" 2>/dev/null)" || fail "$path missing"
  [ "$actual" = "$mode $owner" ] || fail "$path is '$actual', wants '$mode $owner'"
done <<'EOF'
755 root /usr/bin/zevra
755 root /opt/zevra/ZEVRA.app/Contents/MacOS/ZEVRA
755 root /opt/zevra/ZEVRA.app/Contents/Resources/zevra-watchdog.sh
644 root /opt/zevra/ZEVRA.app/Contents/Info.plist
644 root /opt/zevra/ZEVRA.app/Contents/Resources/index.html
644 root /usr/share/applications/com.kelmor.zevra.desktop
644 root /usr/share/mime/packages/com.kelmor.zevra.xml
644 root /usr/share/metainfo/com.kelmor.zevra.metainfo.xml
644 root /usr/share/icons/hicolor/scalable/apps/com.kelmor.zevra.svg
644 root /usr/share/icons/hicolor/scalable/mimetypes/application-x-zevra-document.svg
EOF
for size in 16 24 32 48 64 128 256 512; do
  for icon in apps/com.kelmor.zevra mimetypes/application-x-zevra-document; do
    png="$root/usr/share/icons/hicolor/${size}x$size/$icon.png"
    [ "$(identify -format '%wx%h' "$png" 2>/dev/null)" = "${size}x$size" ] || fail "$png is not ${size}px"
  done
done
writable="$(in_root dpkg -L zevra | while read -r path; do
  [ -L "$root$path" ] || find "$root$path" -maxdepth 0 -perm /022 -printf '%P\n'
done)"
[ -z "$writable" ] || fail "writable by others: $writable"

# The desktop's databases learn the type and the entry at install and forget them at removal.
mime_globs="$root/usr/share/mime/globs2"
desktop_cache="$root/usr/share/applications/mimeinfo.cache"
grep -q ':application/x-zevra-document:\*\.zev$' "$mime_globs" || fail ".zev unknown after install"
grep -q '^application/x-zevra-document=.*com\.kelmor\.zevra\.desktop' "$desktop_cache" ||
  fail "desktop database misses the entry after install"

in_root /usr/bin/zevra --print-update-installer >"$scratch/installer" ||
  fail "--print-update-installer failed"
[ "$(head -n 1 "$scratch/installer")" = '#!/bin/bash' ] || fail "no installer script printed"

# The packaged app, started through the launcher by an unprivileged user without a display.
home=/home/zevra-package-test
mkdir -p "$root$home/runtime"
chown -R 65534:65534 "$root$home"
chmod 700 "$root$home/runtime"
chroot --userspec=65534:65534 "$root" env -i PATH=/usr/bin:/bin HOME="$home" \
  XDG_RUNTIME_DIR="$home/runtime" /usr/bin/zevra >"$scratch/app.log" 2>&1 &
app=$!
healthy=""
for _ in $(seq 1 300); do
  status="$(curl -s -o /dev/null -w '%{http_code}' http://127.0.0.1:18484/health || true)"
  [ "$status" = 200 ] && { healthy=yes; break; }
  kill -0 "$app" 2>/dev/null || break
  sleep 0.1
done
[ -n "$healthy" ] || { cat "$scratch/app.log" >&2; fail "the packaged app did not answer /health"; }
kill -TERM "$app"
wait "$app" || true
# Its watchdog notices the clean exit within a second or two.
for _ in $(seq 1 100); do
  pgrep -u 65534 >/dev/null || break
  sleep 0.1
done
! pgrep -u 65534 -a >&2 || fail "the app left processes running"

in_root dpkg --purge zevra >/dev/null || fail "dpkg --purge failed"
! grep -q 'x-zevra-document' "$mime_globs" "$desktop_cache" || fail "type still known after removal"

# Outside the user's home, every path the overlay holds must match the system beneath it: the
# package's own files are gone and the databases it touched are as they were. dpkg's own records
# and logs change with any install and are left out.
left=""
while IFS= read -r -d '' entry; do
  path="${entry#"$scratch/upper"}"
  case "$path" in
  /home | /home/* | /var/lib/dpkg | /var/lib/dpkg/* | /var/log | /var/log/* | /var/cache | /var/cache/*) continue ;;
  esac
  if [ -d "$entry" ]; then
    [ -d "$path" ] || left+="$path "
  elif [ -c "$entry" ] || ! cmp -s "$entry" "$path"; then
    left+="$path "
  fi
done < <(find "$scratch/upper" -mindepth 1 -print0)
[ -z "$left" ] || fail "left behind after removal: $left"
