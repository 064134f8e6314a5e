"""Random programs never crash the interpreter.

Programs are made of random words of the core library, literals, blocks,
parens and paths, and run inside `try`. Whatever they do, they must end
as a script ends (status 0 after every program has run), never with a
processor fault, an abort or a sanitizer report. Set ZEL_PROGRAM_SEED to
repeat a run; a failing batch is written out with its seed."""
import os
import random
import subprocess
import sys
import tempfile

BUILD = sys.argv[1]
ZEL = os.path.join(BUILD, "zel")
SEED = int(os.environ.get("ZEL_PROGRAM_SEED", random.randrange(1 << 32)))
rng = random.Random(SEED)
BATCHES, PER_BATCH = 40, 50

WORDS = ("if unless either any all repeat func function does has switch case do get set equal? "
         "not-equal? lesser? greater? same? not type? reduce try break continue exit return throw catch "
         "foreach forall remove-each apply make to form mold add multiply negate subtract even? odd? append "
         "at back change clear copy find head head? index? insert length? next pick poke remove reverse "
         "select sort skip tail tail? take trim + - * = <> < > <= >= and or true false none "
         "x y z f g b s").split()
LITERALS = ['1', '0', '-1', '2', '3.5', '"ab"', '""', '#"c"', "'x", "'y", ':x', 'x:', 'y:', 'z:', 'f:', 'b:',
            '1:30', '10%', 'x/1', 'b/2', 'b/(1)', 'g/r', 'copy/part', 'append/only', 'integer!', 'block!',
            'string!', '[]', '()']
PRELUDE = ('x: 1 y: 2 z: [1 2 3] b: [4 5 6] s: "abc" f: func [a] [a] g: func [a /r c] [a]\n')


def value(depth):
    r = rng.random()
    if depth > 0 and r < 0.15:
        return "[" + " ".join(value(depth - 1) for _ in range(rng.randint(0, 5))) + "]"
    if depth > 0 and r < 0.25:
        return "(" + " ".join(value(depth - 1) for _ in range(rng.randint(0, 4))) + ")"
    return rng.choice(WORDS) if r < 0.65 else rng.choice(LITERALS)


def batch():
    parts = []
    for i in range(PER_BATCH):
        code = " ".join(value(3) for _ in range(rng.randint(3, 25)))
        # Each program starts from the same words; its own errors are caught.
        parts.append(PRELUDE + "loop 2 [try [" + code + "]]\n" + f'prin "{i} "\n')
    return "".join(parts) + 'print "done"\n'


failed = 0
with tempfile.TemporaryDirectory() as tmp:
    for n in range(BATCHES):
        text = batch()
        path = os.path.join(tmp, f"batch{n}.zel")
        with open(path, "w") as f:
            f.write(text)
        try:
            r = subprocess.run([ZEL, path], capture_output=True, timeout=60)
        except subprocess.TimeoutExpired:
            print(f"batch {n}: still running after 60 s (a program that loops); not counted")
            continue
        out = r.stdout.decode("utf-8", "replace")
        if r.returncode != 0 or not out.endswith("done\n") or r.stderr:
            failed += 1
            keep = f"/tmp/zel-random-seed{SEED}-batch{n}.zel"
            with open(keep, "w") as f:
                f.write(text)
            print(f"FAIL batch {n} (seed {SEED}, kept in {keep}): status {r.returncode}")
            print("  output tail:", out[-300:])
            print("  stderr tail:", r.stderr.decode("utf-8", "replace")[-600:])

print(f"seed {SEED}: {BATCHES - failed} batches passed, {failed} failed")
sys.exit(1 if failed else 0)
