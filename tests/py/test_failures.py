"""Runtime failures seen from outside: report text, exit status, signals."""
import os
import signal
import subprocess
import sys
import tempfile
import time

BUILD = sys.argv[1]
PROG = os.path.join(BUILD, "tests", "failure_prog")
results = {"passed": 0, "failed": 0}


# Under the sanitizers the program's own fault handlers must see the faults.
ENV = dict(os.environ)
ENV["ASAN_OPTIONS"] = (ENV.get("ASAN_OPTIONS", "") +
                       ":handle_segv=0:handle_sigfpe=0:handle_sigill=0:handle_sigbus=0").lstrip(":")


def run(mode, **kw):
    return subprocess.run([PROG, mode], capture_output=True, timeout=60, env=ENV, **kw)


def check(name, cond, detail=""):
    if cond:
        results["passed"] += 1
    else:
        results["failed"] += 1
        print(f"FAIL {name}: {detail}")


def report_re(number, message):
    return f"\n*** Runtime Error {number}: {message}\n*** at: "


# Processor faults, by signal and si_code.
for mode, number, message in [
    ("segv", 32, "segmentation fault"),
    ("fpe", 13, "integer divide by zero"),
    ("ill", 23, "illegal operand"),
    ("bus", 34, "Bus error"),
]:
    r = run(mode)
    out = r.stdout.decode()
    check(mode, r.returncode == number, f"status {r.returncode}, out {out!r}")
    check(mode + " text", out.startswith(report_re(number, message)), repr(out))
    # The address: eight hexadecimal digits and "h", then a new line.
    tail = out[len(report_re(number, message)):]
    check(mode + " address", len(tail) == 10 and tail.endswith("h\n")
          and all(c in "0123456789ABCDEF" for c in tail[:8]), repr(tail))

r = run("runtime-error")
check("runtime-error", r.returncode == 94 and r.stdout.decode() ==
      "\n*** Runtime Error 94: out of memory\n*** at: 00001234h\n", repr(r.stdout))
r = run("unknown-error")
check("unknown-error", r.returncode == 77 and r.stdout.decode() ==
      "\n*** Runtime Error 77: unknown error code!\n*** at: ABCDEF01h\n", repr(r.stdout))

r = run("quit")
check("quit", r.returncode == 0 and r.stdout == b"" and r.stderr == b"", repr((r.returncode, r.stdout, r.stderr)))

r = run("uncaught")
check("uncaught", r.returncode == 254, f"status {r.returncode}")
check("uncaught text", r.stdout.decode().startswith("*** Math Error: zero-divide\n"), repr(r.stdout))

r = run("bad-registration")
check("bad-registration", r.returncode != 0 and r.stdout.decode() ==
      "*** Datatype Error: invalid actions count for type: 55\n*** Found: 3\n*** Expected: 62\n",
      repr((r.returncode, r.stdout)))

r = run("deep")
check("deep recursion", r.returncode == 0 and r.stdout.decode() == "stack-overflow\n",
      repr((r.returncode, r.stdout, r.stderr[-300:])))

# Code nested deeper than the machine stack allows (parens in parens and
# chained assignments, which mark no frames) is a stack overflow the script
# can catch, not a crash.
ZEL = os.path.join(BUILD, "zel")
deep_parens = "(" * 6000000 + "1" + ")" * 6000000
with tempfile.TemporaryDirectory() as tmp:
    caught = os.path.join(tmp, "caught.zel")
    with open(caught, "w") as f:
        f.write("print type? try [" + deep_parens + "]\nprint \"alive\"\n")
    r = subprocess.run([ZEL, caught], capture_output=True, timeout=300, env=ENV)
    check("deep parens caught", r.returncode == 0 and r.stdout.decode() == "error\nalive\n",
          repr((r.returncode, r.stdout[-300:], r.stderr[-300:])))
    chained = os.path.join(tmp, "chained.zel")
    with open(chained, "w") as f:
        f.write("print type? try [" + "a: " * 3000000 + "1]\nprint \"alive\"\n")
    r = subprocess.run([ZEL, chained], capture_output=True, timeout=300, env=ENV)
    check("deep assignments caught", r.returncode == 0 and r.stdout.decode() == "error\nalive\n",
          repr((r.returncode, r.stdout[-300:], r.stderr[-300:])))
    uncaught = os.path.join(tmp, "uncaught.zel")
    with open(uncaught, "w") as f:
        f.write(deep_parens + "\n")
    r = subprocess.run([ZEL, uncaught], capture_output=True, timeout=300, env=ENV)
    check("deep parens reported", r.returncode == 254 and
          r.stdout.decode().startswith("*** Internal Error: stack-overflow\n"),
          repr((r.returncode, r.stdout[:300], r.stderr[-300:])))

# Ctrl-C while running: the silent orderly quit.
p = subprocess.Popen([PROG, "interrupt"], env=ENV, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
line = p.stdout.readline()
p.send_signal(signal.SIGINT)
try:
    out, err = p.communicate(timeout=30)
    check("interrupt", p.returncode == 0 and line == b"ready\n" and out == b"", repr((p.returncode, out, err)))
except subprocess.TimeoutExpired:
    p.kill()
    check("interrupt", False, "did not quit")

# A script that cannot be read, missing or a directory, is an access error.
with tempfile.TemporaryDirectory() as d:
    for path in [os.path.join(d, "missing.zel"), d]:
        r = subprocess.run([ZEL, path], capture_output=True, timeout=60, env=ENV)
        check(f"unreadable script {path}", r.returncode == 1 and
              r.stdout.decode() == f"*** Access Error: cannot open: {path}\n", repr((r.returncode, r.stdout, r.stderr)))

# A script saved with a UTF-8 byte-order mark runs as without it.
with tempfile.NamedTemporaryFile("wb", suffix=".zel", delete=False) as f:
    f.write(b"\xef\xbb\xbfZel []\nprint 1 + 2\n")
r = subprocess.run([ZEL, f.name], capture_output=True, timeout=60, env=ENV)
check("script with a byte-order mark", r.returncode == 0 and r.stdout == b"3\n", repr((r.returncode, r.stdout)))
os.unlink(f.name)

# Ctrl-C stops a script's endless loop, whatever its body: the same quit.
for body in ["forever []", "loop 2000000000 []", "while [true] []", "forever [1]", "forever [x: 1 + 1]"]:
    with tempfile.NamedTemporaryFile("w", suffix=".zel", delete=False) as f:
        f.write('Zel []\nprint "ready"\n' + body + "\n")
    p = subprocess.Popen([ZEL, f.name], env=ENV, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    line = p.stdout.readline()
    time.sleep(0.2)
    p.send_signal(signal.SIGINT)
    try:
        out, err = p.communicate(timeout=30)
        check(f"interrupt {body}", p.returncode == 0 and line == b"ready\n" and out == b"",
              repr((p.returncode, out, err)))
    except subprocess.TimeoutExpired:
        p.kill()
        check(f"interrupt {body}", False, "did not quit")
    os.unlink(f.name)

# A closed output pipe ends nothing.
p = subprocess.Popen([PROG, "pipe"], env=ENV, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
p.stdout.read(100)
p.stdout.close()
p.wait(timeout=60)
check("closed pipe", p.returncode == 0, f"status {p.returncode}")

print(f"{results['passed']} passed, {results['failed']} failed")
sys.exit(1 if results["failed"] else 0)
