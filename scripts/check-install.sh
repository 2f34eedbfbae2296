#!/usr/bin/env bash
# Checks the installed program as a desktop sees it, with the real tools: installs a built tree
# into a temporary DESTDIR and validates the desktop entry, the AppStream file, the MIME package
# (and that sample reports without their extension are recognised by content), the thumbnailer's
# Exec line and the manual pages. As root, it then builds the Debian package, checks it with
# lintian, installs it, uses the installed programs on the sample reports and removes it again.
#
#   scripts/check-install.sh [BUILD_DIR]     (default build/viewer, already built: the
#                                            programs and manual pages as packaged)
#
# Any failure stops the script with a message and exit status 1.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/viewer}" && pwd)
cd "$root"

fail() {
    echo "check-install: FAILED: $*" >&2
    exit 1
}
step() { echo "-- $*"; }
need() {
    command -v "$1" >/dev/null 2>&1 || fail "$1 is missing (scripts/install-deps.sh installs it)"
}
for tool in desktop-file-validate update-desktop-database appstreamcli xmllint \
    update-mime-database xdg-mime mimetype man file; do
    need "$tool"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage="$work/stage"
prefix=/opt/zeralvisualizador # any prefix will do; a packaged copy uses /usr
share="$stage$prefix/share"
samples="$work/samples"
mkdir -p "$samples"
# Copies of the sample reports without their extension, and under names the plain command line
# would not open: their content alone must tell what they are.
cp examples/exemplo.GVP "$samples/relatorio-texto"
cp examples/exemplo.QP3 "$samples/relatorio-preparado"
cp examples/exemplo.GVP "$samples/relatorio.gvp"
cp examples/exemplo.QP3 "$samples/Relatorio.Qp3"
printf 'apenas texto\n' >"$samples/nao-relatorio.gvp"

# A desktop environment of our own: nothing of the machine's user settings takes part, and
# xdg-mime uses its generic (freedesktop) rules.
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CONFIG_DIRS="$work/config"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION GNOME_DESKTOP_SESSION_ID || true
export QT_QPA_PLATFORM=offscreen

step "cmake --install $build (DESTDIR=$stage, prefix $prefix)"
DESTDIR="$stage" cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/zeralvisualizador bin/zeralconv share/applications/zeralvisualizador.desktop \
    share/mime/packages/zeralvisualizador.xml share/thumbnailers/zeralvisualizador.thumbnailer \
    share/metainfo/br.com.terravel.zeralvisualizador.metainfo.xml \
    share/icons/hicolor/scalable/apps/zeralvisualizador.svg \
    share/icons/hicolor/48x48/apps/zeralvisualizador.png \
    share/icons/hicolor/48x48/mimetypes/application-x-zeral-text-report.png \
    share/icons/hicolor/48x48/mimetypes/application-x-zeral-prepared-report.png \
    share/man/man1/zeralconv.1.gz share/man/man1/zeralvisualizador.1.gz; do
    [ -f "$stage$prefix/$f" ] || fail "the install lacks $prefix/$f"
done
echo "installed $(find "$stage" -type f | wc -l) files"

step "desktop-file-validate"
out=$(desktop-file-validate "$share/applications/zeralvisualizador.desktop" 2>&1) ||
    fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"
echo "zeralvisualizador.desktop: no errors, no warnings"

step "appstreamcli validate --no-net"
appstreamcli validate --no-net --pedantic \
    "$share/metainfo/br.com.terravel.zeralvisualizador.metainfo.xml" ||
    fail "appstreamcli validate"

step "xmllint"
xmllint --noout "$share/mime/packages/zeralvisualizador.xml" \
    "$share/metainfo/br.com.terravel.zeralvisualizador.metainfo.xml" || fail "xmllint"
echo "zeralvisualizador.xml, metainfo: well-formed"

step "update-mime-database, then xdg-mime query filetype on samples without extension"
export XDG_DATA_DIRS="$share:/usr/local/share:/usr/share"
update-mime-database "$share/mime" || fail "update-mime-database"
update-desktop-database "$share/applications" || fail "update-desktop-database"
expect_type() {
    local file=$1 want=$2 got
    got=$(xdg-mime query filetype "$file") || fail "xdg-mime query filetype $file"
    echo "$(basename "$file"): $got"
    [ "$got" = "$want" ] || fail "$(basename "$file") is $got, not $want"
}
expect_type "$samples/relatorio-texto" application/x-zeral-text-report
expect_type "$samples/relatorio-preparado" application/x-zeral-prepared-report
expect_type "$samples/relatorio.gvp" application/x-zeral-text-report

step "xdg-mime query default"
for type in application/x-zeral-text-report application/x-zeral-prepared-report; do
    got=$(xdg-mime query default "$type")
    echo "$type: $got"
    [ "$got" = zeralvisualizador.desktop ] || fail "the default for $type is '$got'"
done

step "the thumbnailer's Exec line, as written in its entry"
exec_line=$(sed -n 's/^Exec=//p' "$share/thumbnailers/zeralvisualizador.thumbnailer")
[ -n "$exec_line" ] || fail "the thumbnailer entry has no Exec line"
run_thumbnailer() { # INPUT OUTPUT SIZE
    local line=$exec_line
    line=${line//%s/$3}
    line=${line//%i/\'$1\'}
    line=${line//%u/\'file://$1\'}
    line=${line//%o/\'$2\'}
    echo "\$ $line"
    PATH="$stage$prefix/bin:$PATH" bash -c "$line"
}
for sample in relatorio-texto relatorio-preparado; do
    png="$work/$sample.png"
    run_thumbnailer "$samples/$sample" "$png" 128 || fail "the thumbnailer failed on $sample"
    info=$(file -b "$png")
    echo "  $info"
    [[ $info == "PNG image data, "* ]] || fail "$png is no PNG"
    [[ $info == *" x 128, "* || $info == *"128 x "* ]] || fail "$png does not fit 128 pixels"
done
if run_thumbnailer "$samples/nao-relatorio.gvp" "$work/nada.png" 128 2>/dev/null; then
    fail "the thumbnailer accepted a file that is no report"
fi
[ ! -e "$work/nada.png" ] || fail "the thumbnailer wrote an image for a file that is no report"
echo "  a file that is no report: refused, no image"

step "the installed programs work from their prefix"
(cd "$work" && "$stage$prefix/bin/zeralconv" info "$samples/relatorio-texto" >"$work/info.txt") ||
    fail "the installed zeralconv"
head -n 3 "$work/info.txt"
"$stage$prefix/bin/zeralvisualizador" --version || fail "the installed zeralvisualizador"

step "man -l (warnings shown)"
for page in zeralconv zeralvisualizador; do
    file="$share/man/man1/$page.1.gz"
    warnings=$(MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man $page: $warnings"
    MANWIDTH=80 man -l "$file" >/dev/null 2>&1 || fail "man -l $file"
    echo "$page.1: rendered, no warnings"
done

if [ "$(id -u)" -ne 0 ] || ! command -v dpkg >/dev/null 2>&1; then
    echo "check-install: not root: the Debian package is not built, installed or removed"
    echo "check-install: all checks passed"
    exit 0
fi

step "cpack -G DEB"
need cpack
need lintian
cpack --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null || fail "cpack"
deb=$(ls "$work"/package/zeralvisualizador_*.deb)
dpkg-deb -f "$deb" Package Version Depends

step "lintian"
# lintian warns when run as root; the package's own tags are what count. Errors and warnings
# fail, and so does any hardening tag (they are only informational).
status=0
report=$(lintian --fail-on error,warning --display-info --tag-display-limit 0 "$deb" 2>&1) ||
    status=$?
grep -v 'root privileges' <<<"$report" || true
[ "$status" -eq 0 ] || fail "lintian reports errors or warnings"
! grep -q ' hardening-' <<<"$report" || fail "lintian reports missing hardening"
control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t)
! grep -Eq 'post(inst|rm)|pre(inst|rm)' <<<"$control" ||
    fail "the package has maintainer scripts; the desktop caches are refreshed by triggers"
echo "lintian: no errors, no warnings, no hardening tags; no maintainer scripts"

if dpkg-query -W -f='${Status}' zeralvisualizador 2>/dev/null | grep -q "ok installed"; then
    echo "check-install: zeralvisualizador is installed on this machine already;" \
        "the package is not installed over it"
    echo "check-install: all checks passed"
    exit 0
fi

step "dpkg -i, use, dpkg -r"
unset XDG_DATA_DIRS
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" \
    >/dev/null 2>&1 || fail "installing $deb"
trap 'dpkg --purge zeralvisualizador >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
[ "$(command -v zeralconv)" = /usr/bin/zeralconv ] || fail "zeralconv is not on the PATH"
(cd "$work" && zeralconv info "$samples/Relatorio.Qp3" >"$work/info.txt") ||
    fail "zeralconv info"
head -n 2 "$work/info.txt"
zeralconv convert "$samples/relatorio.gvp" "$work/copia.pdf" || fail "zeralconv convert"
zeralconv thumbnail "$samples/relatorio-preparado" "$work/installed.png" || fail "thumbnail"
zeralvisualizador --version || fail "zeralvisualizador"
expect_type "$samples/relatorio-texto" application/x-zeral-text-report
expect_type "$samples/relatorio-preparado" application/x-zeral-prepared-report
for type in application/x-zeral-text-report application/x-zeral-prepared-report; do
    got=$(xdg-mime query default "$type")
    echo "$type: $got"
    [ "$got" = zeralvisualizador.desktop ] || fail "after installing, the default for $type is '$got'"
done
man -w zeralconv >/dev/null || fail "man zeralconv finds no page"
dpkg --purge zeralvisualizador >/dev/null || fail "removing the package"
[ ! -e /usr/bin/zeralconv ] || fail "/usr/bin/zeralconv is still there after removal"
got=$(xdg-mime query filetype "$samples/relatorio-texto")
[ "$got" != application/x-zeral-text-report ] || fail "the type outlived the package"
echo "installed, used and removed"
echo "check-install: all checks passed"
