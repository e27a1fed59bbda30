#!/usr/bin/env bash
# The installed layout: installs the build into a temporary prefix, checks each
# file is where the install rules put it, validates the desktop entry and the
# AppStream file, runs the installed command-line programs, then starts the
# installed tool with its menu entry's command from another working directory,
# switches it to English and reads an English title, which it can only have
# from the translations in the installed data folder.
#   check.sh CMAKE BUILD_DIR PROBE_DIR BINDIR DATADIR MANDIR MAN_PAGES(yes|no)
# Exits 77 (skipped) when a validator is missing, after every other check.
set -euo pipefail
cmake=$1 build=$2 probe=$3 bindir=$4 datadir=$5 mandir=$6 man_pages=$7
id=io.github.nvb8140t.nvb8140t_tool

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

"$cmake" --install "$build" --prefix "$prefix" >"$tmp/install.log" || { cat "$tmp/install.log" >&2; fail "cmake --install"; }

# Where the rules put each file.
expected=(
    "$bindir/nvb8140t-tool" "$bindir/nvb8140t-ctl" "$bindir/nvb8140t-sim"
    "$datadir/nvb8140t-tool/Translation_en.qm" "$datadir/nvb8140t-tool/Translation_zh.qm"
    "$datadir/nvb8140t-tool/天线.png"
    "$datadir/icons/hicolor/256x256/apps/nvb8140t-tool.png"
    "$datadir/applications/$id.desktop"
    "$datadir/metainfo/$id.metainfo.xml"
)
[ "$man_pages" = yes ] && expected+=("$mandir/man1/nvb8140t-ctl.1" "$mandir/man1/nvb8140t-sim.1")
for file in "${expected[@]}"; do
    [ -f "$prefix/$file" ] || fail "$file is not installed"
done
for program in nvb8140t-tool nvb8140t-ctl nvb8140t-sim; do
    [ -x "$prefix/$bindir/$program" ] || fail "$bindir/$program is not executable"
done
# Nothing else: no data beside the programs, nothing the rules do not name.
(cd "$prefix" && find . -type f | sed 's|^\./||' | sort) >"$tmp/installed"
printf '%s\n' "${expected[@]}" | sort >"$tmp/expected"
diff -u "$tmp/expected" "$tmp/installed" >&2 || fail "the installed files differ from the layout"

skipped=()
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/$datadir/applications/$id.desktop" || fail "desktop-file-validate"
else
    skipped+=("desktop-file-validate (apt-get install desktop-file-utils)")
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$prefix/$datadir/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"
else
    skipped+=("appstreamcli (apt-get install appstream)")
fi

# The command-line programs run from the prefix, and their manual pages are theirs.
[ "$("$prefix/$bindir/nvb8140t-ctl" --version)" = "$("$build/nvb8140t-ctl" --version)" ] || fail "nvb8140t-ctl --version"
[ "$("$prefix/$bindir/nvb8140t-sim" --version)" = "$("$build/nvb8140t-sim" --version)" ] || fail "nvb8140t-sim --version"
if [ "$man_pages" = yes ]; then
    for program in nvb8140t-ctl nvb8140t-sim; do
        page=$prefix/$mandir/man1/$program.1
        grep -q "^\.TH ${program^^} \"1\"" "$page" || fail "$page has no title line for $program"
        grep -qF -- '\-\-port' "$page" || fail "$page lists no options"
    done
fi

# The menu entry's command, its field codes dropped, found on PATH like a desktop would.
command=$(sed -n 's/^Exec=//p' "$prefix/$datadir/applications/$id.desktop" | sed 's/ *%[fFuUdDnNickvm]//g')
[ "$command" = nvb8140t-tool ] || fail "Exec= runs '$command', not nvb8140t-tool"
mkdir "$tmp/elsewhere"
run_tool() { # the output of the probe in the installed tool, started in $tmp/elsewhere
    (cd "$tmp/elsewhere" && PATH="$prefix/$bindir:$PATH" QT_QPA_PLATFORM=offscreen \
        QT_PLUGIN_PATH="$probe" QT_QPA_GENERIC_PLUGINS=nvbprobe timeout 60 "$command")
}
out=$(run_tool) || fail "the installed tool did not run to its end: $out"
echo "$out"
expect() { grep -qxF "$1" <<<"$out" || fail "the installed tool did not show '$1'"; }
expect "before title: NVB8140T - 网关调试工具"
expect "before icon: 256x256"
expect "after title: NVB8140T - Gateway Debug Tool"
expect "after open button: Open port"

# Without its data folder the same run stays Chinese and has no icon: the
# English above came from there.
mv "$prefix/$datadir/nvb8140t-tool" "$tmp/moved"
out=$(run_tool) || fail "the installed tool without its data did not run to its end: $out"
expect "after title: NVB8140T - 网关调试工具"
expect "after icon: none"

if [ ${#skipped[@]} -gt 0 ]; then
    printf 'SKIPPED: %s\n' "${skipped[@]}"
    exit 77
fi
echo "The installed layout works."
