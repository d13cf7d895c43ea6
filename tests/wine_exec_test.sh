#!/usr/bin/env bash
# tools/wine-exec.sh with a stand-in for Wine's loader: the program runs a second time only
# when the loader died in glibc's exit code, and every other result is passed on unchanged.
set -u
exec_sh=$1
# shellcheck source=tests/support/checks.sh
source "$(dirname "${BASH_SOURCE[0]}")/support/checks.sh"

# The stand-in runs the plan's next line, "STATUS MESSAGE", and logs its arguments; past the
# plan's end it goes on with the last line.
cat >"$work/loader" <<'EOF'
#!/usr/bin/env bash
dir=$(dirname "$0")
printf '%s|' "$@" >>"$dir/runs"
echo >>"$dir/runs"
n=$(wc -l <"$dir/runs")
line=$(sed -n "${n}p" "$dir/plan")
[[ -n $line ]] || line=$(tail -n 1 "$dir/plan")
echo "out $n"
[[ ${line#* } == - ]] || echo "${line#* }" >&2
exit "${line%% *}"
EOF
chmod +x "$work/loader"

dl_fini="Inconsistency detected by ld.so: dl-fini.c: 87: _dl_fini: Assertion \`ns != LM_ID_BASE || i == nloaded' failed!"

# run NAME PLAN...: runs wine-exec.sh on the stand-in; sets status, out, err, runs.
run() {
    rm -f "$work/runs"
    printf '%s\n' "${@:2}" >"$work/plan"
    status=0
    "$exec_sh" "$work/loader" 'C:\a b.exe' --gtest_filter='X.Y' >"$work/out" 2>"$work/err" ||
        status=$?
    out=$(cat "$work/out")
    err=$(cat "$work/err")
    runs=$(wc -l <"$work/runs")
}

run "passes" "0 -"
check "a passing program: status" 0 "$status"
check "a passing program: one run" 1 "$runs"
check "a passing program: its output" "out 1" "$out"
check "arguments passed as given" 'C:\a b.exe|--gtest_filter=X.Y|' "$(head -n 1 "$work/runs")"

run "fails" "1 [  FAILED  ] X.Y"
check "a failing program: status" 1 "$status"
check "a failing program: one run" 1 "$runs"
check "a failing program: its errors" "[  FAILED  ] X.Y" "$err"

run "exit failure, then passes" "127 $dl_fini" "0 -"
check "loader died at exit, then passed: status" 0 "$status"
check "loader died at exit, then passed: two runs" 2 "$runs"
check "both runs' output kept" "out 1
out 2" "$out"
check "the failure and the second run are said" "$dl_fini
wine-exec.sh: Wine's loader failed in glibc's exit code after the program ended; running the program again" "$err"

run "exit failure twice" "127 $dl_fini"
check "loader died at exit twice: its status" 127 "$status"
check "loader died at exit twice: no third run" 2 "$runs"

run "exit failure, then a real failure" "127 $dl_fini" "1 -"
check "the second run's failure stands" 1 "$status"

run "127 for another reason" "127 wine: could not load kernel32.dll"
check "status 127 without the loader's message: passed on" 127 "$status"
check "status 127 without the loader's message: one run" 1 "$runs"

run "the message with another status" "3 $dl_fini"
check "the loader's message with another status: passed on" 3 "$status"
check "the loader's message with another status: one run" 1 "$runs"

run "another ld.so failure" "127 Inconsistency detected by ld.so: dl-close.c: 759: _dl_close"
check "another of ld.so's failures: one run" 1 "$runs"

finish
