"""Runs one Zel script test and compares what it prints with its expectations.

A test script carries its expected output in comments:
    print 1 + 2        ; expect: 3
Every "; expect: TEXT" gives one expected line, in order; "; expect-exit: N"
sets the expected exit status (default 0). The script's whole output must
equal the expected lines exactly.
"""
import re
import subprocess
import sys


def main():
    zel, script = sys.argv[1], sys.argv[2]
    expected, status = [], 0
    with open(script, encoding="utf-8") as f:
        for line in f:
            m = re.search(r";\s*expect:\s?(.*?)\s*$", line)
            if m:
                expected.append(m.group(1))
            m = re.search(r";\s*expect-exit:\s*(-?\d+)", line)
            if m:
                status = int(m.group(1)) & 0xFF
    # Generous: under the sanitizers, on a busy machine, the scripts that
    # unwind thousands of recursion levels again and again take minutes.
    run = subprocess.run([zel, script], capture_output=True, timeout=600)
    out = run.stdout.decode("utf-8", "replace").splitlines()
    ok = out == expected and run.returncode == status
    if not ok:
        print(f"script {script}")
        print(f"exit status {run.returncode}, expected {status}")
        for i in range(max(len(out), len(expected))):
            got = out[i] if i < len(out) else "<missing>"
            want = expected[i] if i < len(expected) else "<nothing>"
            mark = "  " if got == want else "!!"
            print(f"{mark} got:  {got}\n{mark} want: {want}")
        if run.stderr:
            print("stderr:", run.stderr.decode("utf-8", "replace")[-2000:])
    print(f"{1 if ok else 0} passed, {0 if ok else 1} failed")
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
