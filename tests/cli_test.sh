#!/usr/bin/env bash
# Options, the default store and its seeding, import and export, and a headless session on the
# seeded machine, through the real program.
set -u
program=$1
seed=$2
version=$3  # the project's, from CMakeLists.txt
# shellcheck source=tests/support/checks.sh
source "$(dirname "${BASH_SOURCE[0]}")/support/checks.sh"

# Bad options: one line on standard error, exit code 2.
for args in "--bogus" "--store" "--export" "--import" "--import a --export b" "stray"; do
    # shellcheck disable=SC2086
    err=$("$program" $args 2>&1 >/dev/null)
    code=$?
    check "exit code of $args" 2 "$code"
    check "one line for $args" 1 "$(printf '%s\n' "$err" | wc -l)"
done
help=$("$program" --help)
contains "help" "--export FILE [KEY]" "$help"
contains "help: the forms of a key" "[HKLM\\SYSTEM\\CurrentControlSet\\Services\\wdm_au8830]" "$help"
contains "help: standard input and output" 'FILE "-" is standard input' "$help"
contains "help: the status of an import that skipped" "3 imported, but the file had entries that were skipped" "$help"
check "version" "calvenor $version" "$("$program" --version)"

# The default store is seeded on first use, under XDG_DATA_HOME.
out=$(printf 'dump frmMain\n' | XDG_DATA_HOME="$work/xdg" "$program" --headless)
check "seeded store exists" yes "$([[ -f $work/xdg/calvenor/machine.db ]] && echo yes)"
check "no side file left" no "$([[ -e $work/xdg/calvenor/machine.db.new ]] && echo yes || echo no)"
contains "gate passes on the seeded XP machine" "frmMain.cmdOverride button visible=0" "$out"
contains "settings loaded" "frmMain.lblDigOut label visible=1 enabled=1 value=\"48000\"" "$out"
# Beside it, the seed machine's Windows folder: the panel reads the in-box driver's version and
# size and the A3D files' versions from it, and the driver window gives the in-box advice.
windows=$work/xdg/calvenor/windows
check "windows folder made" yes "$([[ -f $windows/system32/drivers/adm8830.sys ]] && echo yes)"
check "no side folder left" no "$([[ -e $windows.new ]] && echo yes || echo no)"
contains "a3d.dll version" 'frmMain.txtA3DVer textbox visible=1 enabled=1 value="2.0.1.230"' "$out"
contains "a3dapi.dll version" 'frmMain.txtA3DAPI textbox visible=1 enabled=1 value="2.0.2.230"' \
    "$out"
contains "driver version" 'frmMain.txtDrvVer textbox visible=1 enabled=1 value="5.12.1.2560"' "$out"
contains "driver size" 'frmMain.txtADMSize textbox visible=0 enabled=1 value="747392"' "$out"
out=$(printf 'click frmMain.cmdDrvVerHlp\ndump frmDrvVer\n' | XDG_DATA_HOME="$work/xdg" "$program" \
    --headless)
contains "in-box driver advice" 'frmDrvVer.lblDrvVer label visible=1 enabled=1 value="You appear to be running the original Microsoft provided Aureal drivers.  These are the recommended drivers for Windows XP.' "$out"
contains "A3D advice" 'frmDrvVer.lblA3D label visible=1 enabled=1 value="Your A3D driver seems OK."' \
    "$out"
# A store seeded before there were Windows folders gets its folder at the next start; a folder
# that is there is left as it is.
rm -r "$windows"
printf '' | XDG_DATA_HOME="$work/xdg" "$program" --headless >/dev/null
check "windows folder made again" 747392 "$(stat -c %s "$windows/system32/drivers/adm8830.sys")"
truncate -s 702080 "$windows/system32/drivers/adm8830.sys"
out=$(printf 'dump frmMain\n' | XDG_DATA_HOME="$work/xdg" "$program" --headless)
contains "the folder is the user's" 'frmMain.txtADMSize textbox visible=0 enabled=1 value="702080"' \
    "$out"
# --windows-dir still decides: an empty folder has no driver.
mkdir "$work/bare"
out=$(printf 'dump frmMain\n' | XDG_DATA_HOME="$work/xdg" "$program" --headless \
    --windows-dir "$work/bare")
contains "--windows-dir overrides" 'frmMain.txtDrvVer textbox visible=1 enabled=1 value="N/A"' "$out"
contains "--windows-dir: no size" 'frmMain.txtADMSize textbox visible=0 enabled=1 value="Text1"' \
    "$out"
# And when XDG_DATA_HOME is unset, under HOME.
printf '' | env -u XDG_DATA_HOME HOME="$work/home" "$program" --headless >/dev/null
check "store under HOME" yes "$([[ -f $work/home/.local/share/calvenor/machine.db ]] && echo yes)"
check "windows folder under HOME" yes \
    "$([[ -f $work/home/.local/share/calvenor/windows/system32/a3d.dll ]] && echo yes)"

# A missing --store file is created empty: no Windows version, so the gate refuses.
out=$(printf 'windows\n' | "$program" --headless --store "$work/empty.db")
contains "empty store: gate message" 'title="Incorrect Operating System" icon=critical' "$out"

# Import, change through the panel, export.
"$program" --store "$work/m.db" --import "$seed"
check "import exit code" 0 $?
out=$(printf 'select frmMain.cboWavetableMode 2\nclick frmMain.cmdOK\ndump frmMain\n' |
      "$program" --headless --store "$work/m.db")
check "closing the main window ends the run" "" "$out"
check "a store of one's own has no Windows folder made beside it" no \
    "$([[ -e $work/windows ]] && echo yes || echo no)"
"$program" --store "$work/m.db" --export "$work/out.reg" \
    'SYSTEM\CurrentControlSet\Services\wdm_au8830\ControlPanel'
check "export exit code" 0 $?
exported=$(tr -d '\r' <"$work/out.reg")
contains "export header" "REGEDIT4" "$exported"
contains "export holds the change" '"SoftSynthModeIndex"=dword:00000002' "$exported"
check "export holds only the key asked for" "" "$(grep -i 'WPCRSET' <<<"$exported")"

# A key named every way a .reg file or regedit names it gives the same export.
key='SYSTEM\CurrentControlSet\Services\wdm_au8830\ControlPanel'
"$program" --store "$work/m.db" --export "$work/bare.reg" "$key"
for form in "HKEY_LOCAL_MACHINE\\$key" "HKLM\\$key" "[HKEY_LOCAL_MACHINE\\$key]" "[hklm\\$key]" \
    "hkey_local_machine\\$key" "$key\\"; do
    "$program" --store "$work/m.db" --export "$work/form.reg" "$form"
    check "export of $form: exit code" 0 $?
    check "export of $form: same file" "$(cat "$work/bare.reg")" "$(cat "$work/form.reg")"
done
# Other roots, and names that are no key, are refused with a line that says why.
for form in 'HKEY_CURRENT_USER\Software' 'HKCU\Software' '[HKEY_USERS\.DEFAULT]'; do
    err=$("$program" --store "$work/m.db" --export "$work/other.reg" "$form" 2>&1)
    check "export of $form: exit code" 2 $?
    contains "export of $form: says why" "is not under HKEY_LOCAL_MACHINE" "$err"
done
err=$("$program" --store "$work/m.db" --export "$work/other.reg" 'HKEY_LOCAL_MACHINE\SYSTEM\\x' 2>&1)
check "export of an empty name: exit code" 2 $?
contains "export of an empty name: says why" "empty name in key path" "$err"
check "refused exports write no file" no "$([[ -e $work/other.reg ]] && echo yes || echo no)"
err=$("$program" --store "$work/m.db" --export "$work/other.reg" 'HKLM\SOFTWARE\Absent' 2>&1)
check "export of a missing key: exit code" 1 $?
check "export of a missing key: names it" \
    'calvenor: key "HKEY_LOCAL_MACHINE\SOFTWARE\Absent" not found' "$err"

# "-": export to standard output (a reader that stops early is no failure), import from
# standard input.
out=$("$program" --store "$work/m.db" --export - "HKLM\\$key" | tr -d '\r' | head -3)
check "export to standard output" \
    "$(printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\%s]' "$key")" "$out"
"$program" --store "$work/m.db" --export - | head -1 >/dev/null
check "export of everything into head: exit code" "0 0" "${PIPESTATUS[*]}"
printf 'REGEDIT4\r\n\r\n[HKLM\\SOFTWARE\\FromStdin]\r\n"v"=dword:00000007\r\n' |
    "$program" --store "$work/m.db" --import -
check "import from standard input: exit code" 0 $?
contains "import from standard input: applied" '"v"=dword:00000007' \
    "$("$program" --store "$work/m.db" --export - 'SOFTWARE\FromStdin')"

# An import that skips part of its file says so and ends with status 3; the rest is imported
# (as one transaction).
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\X]\r\n"u"=dword:1\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kept]\r\n"k"=dword:2\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone]\r\n"g"=dword:3\r\n' \
    >"$work/mixed.reg"
err=$("$program" --store "$work/m.db" --import "$work/mixed.reg" 2>&1)
check "import with skipped entries: exit code" 3 $?
contains "import with skipped entries: the key outside" \
    "mixed.reg:3: skipped key outside HKEY_LOCAL_MACHINE: [HKEY_CURRENT_USER\\Software\\X]" "$err"
contains "import with skipped entries: the value after a deletion" \
    "mixed.reg:8: value after a deleted key ignored" "$err"
contains "import with skipped entries: the summary" \
    "mixed.reg: 2 entries were skipped (above); the rest was imported" "$err"
contains "import with skipped entries: the rest imported" '"k"=dword:00000002' \
    "$("$program" --store "$work/m.db" --export - 'SOFTWARE\Kept')"

# A file that is not a store: a message naming it, exit code 1, the file untouched.
printf 'not a database, just text\n' >"$work/text.db"
before=$(sha256sum <"$work/text.db")
err=$(printf 'windows\n' | "$program" --headless --store "$work/text.db" 2>&1 >/dev/null)
code=$?
check "not a store: exit code" 1 "$code"
contains "not a store: names the file" "$work/text.db" "$err"
check "not a store: untouched" "$before" "$(sha256sum <"$work/text.db")"

# The store file moved away while the panel runs: the change cannot be saved, and the user is
# told so on standard error, once, naming the file; the panel goes on.
mkfifo "$work/commands"
"$program" --headless --store "$work/m.db" <"$work/commands" >"$work/session.out" \
    2>"$work/session.err" &
session=$!
exec 3>"$work/commands"
printf 'dump frmMain\n' >&3
for _ in $(seq 100); do [[ -s "$work/session.out" ]] && break; sleep 0.05; done
mv "$work/m.db" "$work/moved.db"
printf 'select frmMain.cboWavetableMode 1\nselect frmMain.cboWavetableMode 0\nwindows\n' >&3
exec 3>&-
wait "$session"
check "moved store: the panel goes on" 0 $?
mv "$work/moved.db" "$work/m.db"
check "moved store: told once" \
    "calvenor: cannot save settings to \"$work/m.db\": the file was deleted or moved away" \
    "$(cat "$work/session.err")"
contains "moved store: commands after the failure ran" "frmMain" "$(tail -1 "$work/session.out")"
"$program" --store "$work/m.db" --export "$work/after.reg" \
    'SYSTEM\CurrentControlSet\Services\wdm_au8830\ControlPanel'
contains "moved store: nothing written" '"SoftSynthModeIndex"=dword:00000002' \
    "$(tr -d '\r' <"$work/after.reg")"

# A store the user may not write: said once at start, naming the file; the panel runs on it.
# In a folder the user may not write either, it cannot be read (no room for the shared-memory
# file SQLite needs): refused with a message naming the file.
mkdir -m 0777 "$work/shared"
cp "$work/m.db" "$work/shared/locked.db"
cp "$work/m.db" "$work/locked.db"
chmod 0444 "$work/shared/locked.db" "$work/locked.db"
chmod 0755 "$work"
as_user=()
[[ $(id -u) -eq 0 ]] && as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
err=$(printf 'windows\n' | "${as_user[@]}" "$program" --headless --store "$work/shared/locked.db" \
    2>&1 >/dev/null)
check "read-only store: exit code" 0 $?
check "read-only store: told" \
    "calvenor: \"$work/shared/locked.db\" is read-only: changes will not be saved" "$err"
err=$(printf 'windows\n' | "${as_user[@]}" "$program" --headless --store "$work/locked.db" 2>&1 \
    >/dev/null)
check "read-only store in a read-only folder: exit code" 1 $?
check "read-only store in a read-only folder: told" \
    "calvenor: cannot open store \"$work/locked.db\": the file is read-only and its folder cannot be written" \
    "$err"

# A Windows folder that cannot be made (a side folder left by someone else, which this user may
# not remove) is said on standard error; the panel runs on, finding no files.
mkdir -p -m 0777 "$work/xdg2/calvenor"
cp "$work/xdg/calvenor/machine.db" "$work/xdg2/calvenor/machine.db"
chmod 0666 "$work/xdg2/calvenor/machine.db"
mkdir "$work/xdg2/calvenor/windows.new"
touch "$work/xdg2/calvenor/windows.new/left-over"
chmod 0555 "$work/xdg2/calvenor/windows.new"
out=$(printf 'dump frmMain\n' | XDG_DATA_HOME="$work/xdg2" "${as_user[@]}" "$program" --headless \
    2>"$work/xdg2.err")
check "no Windows folder: exit code" 0 $?
check "no Windows folder: told" \
    "calvenor: no Windows folder for the default store: cannot create \"$work/xdg2/calvenor/windows.new\": Permission denied" \
    "$(cat "$work/xdg2.err")"
contains "no Windows folder: no driver" 'frmMain.txtDrvVer textbox visible=1 enabled=1 value="N/A"' \
    "$out"
check "no Windows folder: none made" no "$([[ -e $work/xdg2/calvenor/windows ]] && echo yes || echo no)"
chmod 0755 "$work/xdg2/calvenor/windows.new"

# A malformed import: the line number, nothing applied.
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\New]\r\n"a"=dword:1\r\n"b"=nonsense\r\n' \
    >"$work/bad.reg"
err=$("$program" --store "$work/m.db" --import "$work/bad.reg" 2>&1)
check "malformed import: exit code" 1 $?
contains "malformed import: line number" "bad.reg:5" "$err"
"$program" --store "$work/m.db" --export "$work/new.reg" 'SOFTWARE\New'
check "malformed import: nothing applied" "" "$(grep -i '"a"' "$work/new.reg" 2>/dev/null)"

finish
