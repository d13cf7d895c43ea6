#!/usr/bin/env bash
# calvenor --windows DIR on an XP installation generated here: a setting changed through the
# panel shows in the hive as hivexregedit (libwin-hivex-perl) exports it, and nothing else
# does; export and import; the refusals, each naming the file and leaving it untouched.
set -u
program=$1
make_installation=$2
# shellcheck source=tests/support/checks.sh
source "$(dirname "${BASH_SOURCE[0]}")/support/checks.sh"

if ! command -v hivexregedit >/dev/null; then
    echo "hivexregedit is missing: tools/setup.sh test installs it"
    exit 1
fi

# The names inside in other letter cases, as a mounted NTFS or FAT volume may show them (the
# log keeps its own: SOFTWARE.LOG beside software; XP leaves its logs empty at a clean shutdown).
"$make_installation" "$work/WINDOWS" || exit 1
: >"$work/WINDOWS/system32/config/SYSTEM.LOG"
: >"$work/WINDOWS/system32/config/SOFTWARE.LOG"
mv "$work/WINDOWS/system32" "$work/WINDOWS/SYSTEM32"
mv "$work/WINDOWS/SYSTEM32/config" "$work/WINDOWS/SYSTEM32/Config"
mv "$work/WINDOWS/SYSTEM32/Config/SOFTWARE" "$work/WINDOWS/SYSTEM32/Config/software"
windows="$work/WINDOWS"
system="$windows/SYSTEM32/Config/SYSTEM"
software="$windows/SYSTEM32/Config/software"
export_system() { hivexregedit --export --prefix 'HKEY_LOCAL_MACHINE\SYSTEM' "$system" '\' | tr -d '\r'; }

# A setting changed through the panel: exactly that change in the hive.
export_system >"$work/before.reg"
out=$(printf 'dump frmMain\nclick frmMain.chkAttenuation\nclick frmMain.cmdOK\n' |
    "$program" --headless --windows "$windows" 2>&1)
check "panel on the installation: exit code" 0 $?
contains "the gate passes on the installation's own version" \
    "frmMain.cmdOverride button visible=0" "$out"
contains "settings of the current control set loaded" 'frmMain.lblDigOut label visible=1 enabled=1 value="48000"' "$out"
export_system >"$work/after.reg"
check "hivexregedit shows exactly the change" \
    "$(printf '%s\n' '< "ST9704ATTEN"=dword:00000000' '---' '> "ST9704ATTEN"=dword:00000001')" \
    "$(diff "$work/before.reg" "$work/after.reg" | grep -v '^[0-9]')"
contains "in the control set Select\\Current names" \
    '[HKEY_LOCAL_MACHINE\SYSTEM\ControlSet002\Services\wdm_au8830\Customization]' \
    "$(grep -B20 '"ST9704ATTEN"=dword:00000001' "$work/after.reg")"
check "beside the hives, only their logs" "" \
    "$(ls "$windows/SYSTEM32/Config" | grep -v -x -e SYSTEM -e software -e SYSTEM.LOG -e SOFTWARE.LOG)"

# Export: a key in any form, or the card's keys; import back.
out=$("$program" --windows "$windows" --export - 'HKLM\SYSTEM\CurrentControlSet\Services\wdm_au8830\Customization' | tr -d '\r')
contains "export of a key" '"ST9704ATTEN"=dword:00000001' "$out"
out=$("$program" --windows "$windows" --export - | tr -d '\r')
contains "export of the card's keys: the driver" '[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\wdm_au8830\ControlPanel]' "$out"
contains "export of the card's keys: WPCRSET" '[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\WPCRSET]' "$out"
contains "export of the card's keys: the card software" '[HKEY_LOCAL_MACHINE\SOFTWARE\Aureal\Vortex\AU8830\Equalizer]' "$out"
check "export of the card's keys: nothing else" "" "$(grep -i 'Windows NT' <<<"$out")"
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Aureal\\A3D]\r\n"SplashScreen"=dword:00000001\r\n"Path"="C:\\\\A3D"\r\n' |
    "$program" --windows "$windows" --import -
check "import into the installation: exit code" 0 $?
out=$(hivexregedit --export --prefix 'HKEY_LOCAL_MACHINE\SOFTWARE' "$software" '\Aureal\A3D' | tr -d '\r')
contains "import into the installation: a number" '"SplashScreen"=dword:00000001' "$out"
contains "import into the installation: a text in UTF-16 with its terminator" \
    '"Path"=hex(1):43,00,3a,00,5c,00,41,00,33,00,44,00,00,00' "$out"

# Keys the hives refuse (one outside SYSTEM and SOFTWARE, a hive's own root) are skipped and
# named, as keys under other roots are, and the rest is imported.
before_system=$(export_system)
printf 'REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\SYSTEM]\r\n[HKEY_LOCAL_MACHINE\\HARDWARE\\Card]\r\n"Irq"=dword:5\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Aureal\\A3D]\r\n"Refused"=dword:2\r\n' \
    >"$work/refused.reg"
err=$("$program" --windows "$windows" --import "$work/refused.reg" 2>&1)
check "refused keys: exit code" 3 $?
contains "refused keys: a hive's root is kept" \
    "refused.reg:3: skipped deleting a key Windows needs to start: [-HKEY_LOCAL_MACHINE\SYSTEM]" "$err"
contains "refused keys: no key outside the hives" \
    "refused.reg:4: key [HKEY_LOCAL_MACHINE\HARDWARE\Card] skipped with the values under it: no key can be made there in this registry" \
    "$err"
check "refused keys: SYSTEM untouched" "$before_system" "$(export_system)"
out=$(hivexregedit --export --prefix 'HKEY_LOCAL_MACHINE\SOFTWARE' "$software" '\Aureal\A3D' | tr -d '\r')
contains "refused keys: the rest imported" '"Refused"=dword:00000002' "$out"

# An import never deletes what Windows needs to start: each such line is named and skipped, the
# rest imported.
export_system >"$work/before.reg"
err=$(printf 'REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet]\r\n\r\n[-HKEY_LOCAL_MACHINE\\SYSTEM\\select]\r\n\r\n[-HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Services]\r\n\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Aureal\\A3D]\r\n' |
    "$program" --windows "$windows" --import - 2>&1)
check "import deleting the control set: exit code" 3 $?
contains "import deleting the control set: the line named" \
    "standard input:3: skipped deleting a key Windows needs to start: [-HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet]" "$err"
contains "import deleting Select: the line named" \
    "standard input:5: skipped deleting a key Windows needs to start: [-HKEY_LOCAL_MACHINE\\SYSTEM\\select]" "$err"
contains "import deleting a control set's services: the line named" \
    "standard input:7: skipped deleting a key Windows needs to start" "$err"
check "import deleting the control set: SYSTEM unchanged" "" "$(export_system | diff "$work/before.reg" -)"
check "import deleting the control set: the rest imported" "" \
    "$(hivexregedit --export --prefix 'HKEY_LOCAL_MACHINE\SOFTWARE' "$software" '\Aureal' | tr -d '\r' | grep -i A3D)"

# Refusals: named, said what to do, nothing written.
cp "$system" "$work/system.good"
python3 - "$system" <<'PY'
import struct, sys
path = sys.argv[1]
data = bytearray(open(path, "rb").read())
struct.pack_into("<I", data, 4, struct.unpack_from("<I", data, 4)[0] + 1)
csum = 0
for i in range(0, 0x1FC, 4):
    csum ^= struct.unpack_from("<I", data, i)[0]
struct.pack_into("<I", data, 0x1FC, csum)
open(path, "wb").write(data)
PY
mv "$system.LOG" "$work/system.log"
before=$(sha256sum "$system" "$software")
err=$(echo | "$program" --headless --windows "$windows" 2>&1)
check "hive not closed cleanly, no log: exit code" 1 $?
contains "hive not closed cleanly, no log: named, and why" \
    "\"$system\" was not closed cleanly: its last write was not completed (Windows was not shut down, or was hibernated), and there is no log beside it" "$err"
contains "hive not closed cleanly, no log: what to do" "shut it down normally" "$err"
check "hive not closed cleanly, no log: untouched" "$before" "$(sha256sum "$system" "$software")"
# The log of the hive's last write beside it, as a write Windows XP was cut short in leaves it
# (XP numbers its log one below the hive): completed from it, and said.
mv "$work/system.log" "$system.LOG"
err=$(echo | "$program" --headless --windows "$windows" 2>&1)
check "hive completed from its log: exit code" 0 $?
contains "hive completed from its log: said" \
    "the last write to \"$system\" had not been completed (Windows or a program writing it was stopped during it); it was completed from its log \"$system.LOG\"" "$err"
check "hive completed from its log: what it holds" "$(cat "$work/after.reg")" "$(export_system)"
cp "$work/system.good" "$system"

cp "$software" "$work/software.good"
cp "$system" "$software"
before=$(sha256sum "$system" "$software")
err=$(echo | "$program" --headless --windows "$windows" 2>&1)
check "hive of the wrong kind: exit code" 1 $?
contains "hive of the wrong kind: named" "\"$software\" is a SYSTEM hive, not the SOFTWARE hive" "$err"
check "hive of the wrong kind: untouched" "$before" "$(sha256sum "$system" "$software")"
cp "$work/software.good" "$software"

mkfifo "$work/commands"
"$program" --headless --windows "$windows" <"$work/commands" >"$work/session.out" 2>&1 &
session=$!
exec 3>"$work/commands"
printf 'windows\n' >&3
for _ in $(seq 100); do [[ -s "$work/session.out" ]] && break; sleep 0.05; done
before=$(sha256sum "$system" "$software")
err=$(echo | "$program" --headless --windows "$windows" 2>&1)
check "hives in use: exit code" 1 $?
contains "hives in use: named, and what to do" \
    "\"$system\" is in use by another calvenor (its hives are locked while it runs): close that one first" "$err"
check "hives in use: untouched" "$before" "$(sha256sum "$system" "$software")"
exec 3>&-
wait "$session"

# A folder that cannot be written: the panel refuses, an export reads it.
if [[ $(id -u) -eq 0 ]]; then
    chmod -R a-w "$windows"
    chmod 0755 "$work"
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    err=$(echo | "${as_user[@]}" "$program" --headless --windows "$windows" 2>&1)
    check "unwritable hives: exit code" 1 $?
    contains "unwritable hives: named, and what to do" "cannot be written" "$err"
    out=$("${as_user[@]}" "$program" --windows "$windows" --export - | tr -d '\r')
    contains "unwritable hives: an export reads them" '"ST9704ATTEN"=dword:00000001' "$out"
    chmod -R u+w "$windows"
fi
# A file system mounted read-only, where this machine lets us mount one.
mkdir -p "$work/ro"
if unshare -m true 2>/dev/null; then
    cp -r "$windows" "$work/ro-src"
    out=$(unshare -m bash -c "mount --bind '$work/ro-src' '$work/ro' && mount -o remount,ro,bind '$work/ro' && \
        echo | '$program' --headless --windows '$work/ro' 2>&1; echo \"rc=\$?\"" 2>&1)
    if [[ "$out" != *"mount"*"failed"* && "$out" != *"Operation not permitted"* ]]; then
        contains "read-only mount: refused, named, and what to do" "is on a file system mounted read-only: mount it read-write" "$out"
        contains "read-only mount: exit code" "rc=1" "$out"
    fi
fi

finish
