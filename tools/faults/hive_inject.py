#!/usr/bin/env python3
"""Faults injected from outside a real run of the program on an XP installation's hives.

    hive_inject.py BUILD [--op click|import] [--fault error|kill] [--ntfs] [--keep DIR]

The run: `calvenor --windows DIR --headless` clicking the ST9704 attenuation box (a DWORD in
SYSTEM), or `--import` of a file that sets a value in each hive (a group across both). It is
traced once (strace) to count its write, pwrite, fsync, fdatasync, rename, link, unlink,
ftruncate and chmod calls on the installation's files; then it runs again from the same
installation once for each of those calls, with that call failing with ENOSPC (error) or the
program killed at it (kill), injected by `strace -e inject`. After each, the installation is
opened again by the program, and judged: each hive clean by the index checker
(build*/faults/hive_check), read without error by reglookup and chntpw's reged -x, and holding
what it held before or what the run writes, both hives alike for a group; a failed run must
leave both as before and say so (exit status and message), a run that says it succeeded must
have written (judged on the import: a headless run also commits the
window's load writes). With --ntfs the installation is on an NTFS volume mounted with ntfs-3g (an image
made with mkntfs), where rename is done by link and unlink steps.

Prints one line for each point that fails and a summary; exits 1 when any point failed.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

CALLS = ["write", "pwrite64", "fsync", "fdatasync", "rename", "renameat", "renameat2",
         "link", "linkat", "unlink", "unlinkat", "ftruncate", "chmod", "fchmod", "fchmodat"]

IMPORT = (b'REGEDIT4\r\n\r\n'
          b'[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\wdm_au8830\\Customization]\r\n'
          b'"ST9704ATTEN"=dword:00000001\r\n\r\n'
          b'[HKEY_LOCAL_MACHINE\\SOFTWARE\\Aureal\\Vortex\\AU8830\\Equalizer]\r\n'
          b'"PresetNumber"=dword:00000005\r\n')


class Tools:
    def __init__(self, build):
        self.calvenor = os.path.join(build, "calvenor")
        self.maker = os.path.join(build, "tests", "make_xp_installation")
        self.checker = os.path.join(build, "faults", "hive_check")

    def command(self, op, windows, work):
        if op == "click":
            return [self.calvenor, "--windows", windows, "--headless"], \
                b"click frmMain.chkAttenuation\n"
        path = os.path.join(work, "both.reg")
        with open(path, "wb") as out:
            out.write(IMPORT)
        return [self.calvenor, "--windows", windows, "--import", path], b""


def hives(windows):
    config = os.path.join(windows, "system32", "config")
    return {name: os.path.join(config, name) for name in ("SYSTEM", "SOFTWARE")}


def contents(tools, path):
    done = subprocess.run([tools.checker, "--contents", path], capture_output=True)
    return done.stdout


def judge_hive(tools, path):
    """What is wrong with a hive file by the checker and the two readers, or ""."""
    if not os.path.exists(path):
        return "missing"
    checked = subprocess.run([tools.checker, "--lines", "3", path], capture_output=True,
                             text=True)
    if checked.returncode != 0:
        return "checker: " + checked.stdout.strip().replace("\n", " | ")
    looked = subprocess.run(["reglookup", "-H", path], capture_output=True, text=True,
                            errors="replace")
    problems = [line for line in looked.stderr.splitlines()
                if "converting" not in line and line.strip()]
    if looked.returncode != 0 or problems:
        return "reglookup: exit %d %s" % (looked.returncode, " | ".join(problems[:2]))
    with tempfile.TemporaryDirectory() as scratch:
        reged = subprocess.run(["reged", "-x", path, "HKEY_LOCAL_MACHINE\\X", "\\",
                                os.path.join(scratch, "out.reg")],
                               capture_output=True, text=True, errors="replace")
        bad = [line for line in reged.stdout.splitlines() + reged.stderr.splitlines()
               if re.search(r"error|corrupt|not found", line, re.I)]
        if reged.returncode != 0 or bad:
            return "reged -x: exit %d %s" % (reged.returncode, " | ".join(bad[:2]))
    return ""


def trace_points(tools, op, pristine, work):
    """The calls of one clean run on the installation's files: (call, ordinal, line)."""
    windows = os.path.join(work, "traced")
    shutil.copytree(pristine, windows, symlinks=True)
    command, stdin = tools.command(op, windows, work)
    log = os.path.join(work, "trace.txt")
    subprocess.run(["strace", "-f", "-qq", "-y", "-o", log, "-e",
                    "trace=" + ",".join(CALLS)] + command, input=stdin, capture_output=True)
    config = os.path.join(windows, "system32", "config")
    seen = {}
    points = []
    with open(log, errors="replace") as trace:
        for line in trace:
            match = re.match(r"^\d+\s+(\w+)\(", line)
            if not match or match.group(1) not in CALLS:
                continue
            call = match.group(1)
            seen[call] = seen.get(call, 0) + 1
            if config in line:
                points.append((call, seen[call], line.strip()[:110]))
    shutil.rmtree(windows)
    return points


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--op", choices=["click", "import"], default="import")
    parser.add_argument("--fault", choices=["error", "kill"], default="error")
    parser.add_argument("--ntfs", action="store_true")
    parser.add_argument("--keep", help="keep the installations of failed points here")
    args = parser.parse_args()
    tools = Tools(args.build)

    work = tempfile.mkdtemp(prefix="calvenor-inject-")
    mount = None
    try:
        base = work
        if args.ntfs:
            image = os.path.join(work, "ntfs.img")
            with open(image, "wb") as out:
                out.truncate(64 << 20)
            subprocess.run(["mkntfs", "-F", "-f", "-q", image], check=True,
                           capture_output=True)
            mount = os.path.join(work, "mnt")
            os.mkdir(mount)
            subprocess.run(["ntfs-3g", image, mount], check=True)
            base = mount
        pristine = os.path.join(base, "pristine")
        made = subprocess.run([tools.maker, pristine], capture_output=True, text=True)
        if made.returncode != 0:
            print("cannot make an installation: " + made.stderr.strip())
            return 2
        # What the hives hold opened again after no run, and after a run without a fault (the
        # main window's load writes back what it reads, so each state is taken once opened).
        states = {}
        for state in ("before", "after"):
            copy = os.path.join(base, state)
            shutil.copytree(pristine, copy, symlinks=True)
            if state == "after":
                command, stdin = tools.command(args.op, copy, work)
                done = subprocess.run(command, input=stdin, capture_output=True)
                if done.returncode != 0:
                    print("the run fails without a fault: %d %s" % (done.returncode, done.stderr))
                    return 2
            subprocess.run([tools.calvenor, "--windows", copy, "--headless"], input=b"",
                           capture_output=True)
            states[state] = {name: contents(tools, path) for name, path in hives(copy).items()}
            shutil.rmtree(copy)
        before, after = states["before"], states["after"]
        changed = [name for name in after if after[name] != before[name]]

        points = trace_points(tools, args.op, pristine, base)
        print("hive %s %s%s: %d calls on the installation's files (%s)" % (
            args.op, args.fault, " on ntfs-3g" if args.ntfs else "", len(points),
            ", ".join("%s %d" % (call, sum(1 for p in points if p[0] == call))
                      for call in CALLS if any(p[0] == call for p in points))))
        failed = 0
        for call, ordinal, line in points:
            windows = os.path.join(base, "run")
            shutil.rmtree(windows, ignore_errors=True)
            shutil.copytree(pristine, windows, symlinks=True)
            command, stdin = tools.command(args.op, windows, work)
            inject = "%s:%s:when=%d" % (
                call, "error=ENOSPC" if args.fault == "error" else "signal=KILL", ordinal)
            run = subprocess.run(["strace", "-f", "-qq", "-o", "/dev/null", "-e",
                                  "trace=" + call, "-e", "inject=" + inject] + command,
                                 input=stdin, capture_output=True)
            # The next open completes or rolls back what it finds.
            reopened = subprocess.run([tools.calvenor, "--windows", windows, "--headless"],
                                      input=b"", capture_output=True)
            problems = []
            if reopened.returncode != 0:
                problems.append("the next open refuses it: " +
                                reopened.stderr.decode(errors="replace").strip()[:200])
            states = {}
            for name, path in hives(windows).items():
                verdict = judge_hive(tools, path)
                if verdict:
                    problems.append("%s: %s" % (name, verdict))
                now = contents(tools, path) if os.path.exists(path) else None
                states[name] = ("before" if now == before[name] else
                                "after" if now == after[name] else "neither")
                if states[name] == "neither":
                    problems.append("%s holds neither what it held nor what the run writes"
                                    % name)
            landed = {states[name] for name in changed}
            if len(landed) > 1:
                problems.append("half applied: " + ", ".join(
                    "%s %s" % (name, states[name]) for name in changed))
            told = run.stderr.decode(errors="replace").strip()
            # A headless run commits the main window's load writes too, so a message there may
            # be about another commit than the click's: the truth of its words is judged on the
            # import, one group.
            if args.fault == "error" and args.op == "import":
                succeeded = run.returncode == 0
                if succeeded and landed != {"after"}:
                    problems.append("says it succeeded (exit %d) but %s" % (
                        run.returncode, ", ".join("%s %s" % (n, states[n]) for n in changed)))
                if not succeeded and landed != {"before"}:
                    problems.append("says it failed (exit %d: %s) but %s" % (
                        run.returncode, told.splitlines()[-1][:120] if told else "no message",
                        ", ".join("%s %s" % (n, states[n]) for n in changed)))
                if not succeeded and (not told or told.endswith("(see above)")
                                      and len(told.splitlines()) < 2):
                    problems.append("fails without saying why: %r" % told[:120])
            if problems:
                failed += 1
                print("FAIL %s #%d (%s): %s" % (call, ordinal, line, "; ".join(problems)))
                if args.keep:
                    kept = os.path.join(args.keep, "%s-%d" % (call, ordinal))
                    shutil.rmtree(kept, ignore_errors=True)
                    shutil.copytree(windows, kept, symlinks=True)
            shutil.rmtree(windows, ignore_errors=True)
        print("hive %s %s%s: %d passed, %d failed" % (
            args.op, args.fault, " on ntfs-3g" if args.ntfs else "", len(points) - failed, failed))
        return 1 if failed else 0
    finally:
        if mount:
            subprocess.run(["fusermount", "-u", mount], capture_output=True)
            subprocess.run(["umount", mount], capture_output=True)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
