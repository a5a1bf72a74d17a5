#!/usr/bin/env python3
"""Mutation check: how many small faults in src/ and tools/ does the suite find?

Exports a revision into a folder of its own (the working tree is never
touched), builds it, then for a seeded sample of one-line mutants of the
*.cpp files applies each, rebuilds, runs the suite and reverts. A mutant is
'killed' when a test fails or times out, 'survived' when the suite passes,
'stillborn' when it does not compile (and then left out of the share). The
same seed over the same code gives the same mutants, so two suites compare
mutant by mutant.

  tools/mutate.py [--rev HEAD] [--seed 1] [--per-folder 5] [--only 3,17] [--out FILE]
"""
import argparse, os, random, re, shutil, subprocess, sys, tempfile

FOLDERS = ["src/common", "src/image", "src/music", "src/effects", "src/effects/unscheduled",
           "src/driver", "tools/makedata", "tools/s3m", "tools/songcheck", "tools/capture",
           "tools/output"]
FLIP = {"<": ">=", ">": "<=", "<=": ">", ">=": "<", "==": "!=", "!=": "=="}
CONTINUES = (";", "{", "}", ")", "else", ":")  # a line after these starts a statement
# Statements whose removal would not compile or would only drop a declaration.
NOT_DROPPED = re.compile(r"^(return|case|default|using|namespace|static_assert|typedef|struct|"
                         r"enum|class|template|break|continue)\b|"
                         r"^[A-Za-z_][\w:<>, ]*[\s*&]+\w+(\[.*\])?( =|\(|;|\{)")


def CodeOnly(line):
    """The line with string and character literals and a trailing // comment blanked."""
    out, quote, i = [], None, 0
    while i < len(line):
        c = line[i]
        if quote:
            if c == "\\":
                out.append("  ")
                i += 2
                continue
            out.append(" " if c != quote else c)
            quote = None if c == quote else quote
        elif c in "\"'" and not (c == "'" and i and line[i - 1].isalnum()):  # 1'000 separators
            quote = c
            out.append(c)
        elif line.startswith("//", i):
            break
        else:
            out.append(c)
        i += 1
    return "".join(out).ljust(len(line))[:len(line)]


def Candidates(path, lines):
    """Every (kind, line, before, after) this file offers, in file order."""
    inComment, previous = False, ";"
    for number, line in enumerate(lines, 1):
        text = line.rstrip("\n")
        stripped = text.strip()
        if inComment:
            inComment = "*/" not in stripped
            continue
        if stripped.startswith("/*"):
            inComment = "*/" not in stripped
            continue
        code = CodeOnly(text)
        bare = code.strip()
        if not bare or bare.startswith("#") or not re.search(r"[\w]", bare):
            continue
        def Site(kind, m, new):
            return (kind, number, text, text[:m.start()] + new + text[m.end():])
        for m in re.finditer(r" (<=|>=|==|!=|<|>) ", code):
            yield Site("comparison", m, " " + FLIP[m.group(1)] + " ")
        for m in re.finditer(r"(?<![\w.'])(\d+)(?![\w.'])", code):
            value = int(m.group(1))
            yield Site("off-by-one", m, str(value + 1))
            if value > 0:
                yield Site("off-by-one", m, str(value - 1))
        for m in re.finditer(r" (&&|\|\|) ", code):
            yield Site("and/or", m, " || " if m.group(1) == "&&" else " && ")
        for m in re.finditer(r"\b(true|false)\b", code):
            yield Site("true/false", m, "false" if m.group(1) == "true" else "true")
        balanced = bare.count("(") == bare.count(")") and "{" not in bare and "}" not in bare
        if bare.endswith(";") and balanced and previous.endswith(CONTINUES) \
                and not NOT_DROPPED.search(bare):
            yield ("dropped", number, text, text[:len(text) - len(text.lstrip())] + ";")
        previous = bare


def Sample(root, seed, perFolder):
    """perFolder mutants from each of FOLDERS, spread over the kinds."""
    rng, mutants = random.Random(seed), []
    for f, folder in enumerate(FOLDERS):
        byKind = {}
        for name in sorted(os.listdir(os.path.join(root, folder))):
            if name.endswith(".cpp"):
                rel = folder + "/" + name
                with open(os.path.join(root, rel)) as source:
                    for kind, number, before, after in Candidates(rel, source.readlines()):
                        byKind.setdefault(kind, []).append((rel, number, before, after))
        kinds = sorted(byKind)
        for i in range(perFolder):
            pools = [byKind[kinds[(i + f + k) % len(kinds)]] for k in range(len(kinds))]
            pool = next(p for p in pools if p)
            mutants.append(pool.pop(rng.randrange(len(pool))))
    return mutants


def Run(command, cwd, log, timeout=None):
    """The command's status, its output appended to the log; -1 when it timed out."""
    with open(log, "a") as out:
        start = out.tell()
        try:
            status = subprocess.run(command, cwd=cwd, stdout=out, stderr=subprocess.STDOUT,
                                    timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            status = -1
    return status, open(log).read()[start:]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--rev", default="HEAD", help="git revision to export (default HEAD)")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--per-folder", type=int, default=5, help="mutants from each folder")
    parser.add_argument("--only", help="comma-separated mutant ids to run, the rest skipped")
    parser.add_argument("--list", action="store_true", help="list the mutants, build nothing")
    parser.add_argument("--dir", help="work folder, kept (default: a temporary one, of which "
                        "only the log is kept)")
    parser.add_argument("--out", default="-", help="result table (default: standard output)")
    args = parser.parse_args()

    repo = subprocess.check_output(["git", "rev-parse", "--show-toplevel"], text=True).strip()
    work = args.dir or tempfile.mkdtemp(prefix="ekudemo-mutate-")
    tree, build, log = (os.path.join(work, d) for d in ("tree", "build", "log.txt"))
    shutil.rmtree(tree, ignore_errors=True)
    os.makedirs(tree)
    subprocess.run(f"git -C {repo} archive {args.rev} | tar -x -C {tree}", shell=True, check=True)
    mutants = Sample(tree, args.seed, args.per_folder)
    only = {int(i) for i in args.only.split(",")} if args.only else None
    out = sys.stdout if args.out == "-" else open(args.out, "w")
    out.write(f"# mutants of {args.rev} (seed {args.seed}, {len(mutants)} mutants)\n")
    if args.list:
        for i, (rel, number, before, after) in enumerate(mutants, 1):
            out.write(f"{i:3} {rel}:{number}: {before.strip()}  ->  {after.strip()}\n")
        return

    os.environ.update(CCACHE_BASEDIR=work, CCACHE_NOHASHDIR="1")
    configure = ["cmake", "-S", tree, "-B", build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                 "-DEKUDEMO_BENCHMARKS=OFF", "-DEKUDEMO_WERROR=OFF",
                 "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache",
                 "-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=gold"]
    make = ["cmake", "--build", build, "-j2"]
    suite = ["ctest", "-j2", "--stop-on-failure", "--timeout", "120", "-E", "^Package\\."]
    if Run(configure, work, log)[0] or Run(make, work, log)[0] or Run(suite, build, log)[0]:
        sys.exit(f"the unmutated tree does not build or pass its suite: see {log}")
    counts = {"killed": 0, "survived": 0, "stillborn": 0}
    for i, (rel, number, before, after) in enumerate(mutants, 1):
        if only is not None and i not in only:
            continue
        path = os.path.join(tree, rel)
        original = open(path).read()
        lines = original.split("\n")
        lines[number - 1] = after
        with open(path, "w") as f:
            f.write("\n".join(lines))
        with open(log, "a") as f:
            f.write(f"\n=== mutant {i}: {rel}:{number}\n")
        result, by = "stillborn", ""
        if not Run(make, work, log)[0]:
            status, output = Run(suite, build, log, timeout=3600)
            result = "killed" if status else "survived"
            # The tests that failed, so that a flaky one can be told from a real kill.
            failed = re.findall(r"Test +#\d+: (\S+).*\*\*\*(?:Failed|Timeout|Exception)", output)
            by = f" ({', '.join(failed)})" if failed else ""
        with open(path, "w") as f:
            f.write(original)
        counts[result] += 1
        out.write(f"{i:3} {rel}:{number}: {before.strip()}  ->  {after.strip()}  {result}{by}\n")
        out.flush()
    tried = counts["killed"] + counts["survived"]
    share = counts["killed"] / tried if tried else 0
    out.write(f"# killed {counts['killed']} of {tried} ({share:.0%}); "
              f"{counts['stillborn']} stillborn; log: {log}\n")
    Run(make, work, log)  # the tree as exported again
    if not args.dir:  # the log stays
        shutil.rmtree(tree)
        shutil.rmtree(build)


if __name__ == "__main__":
    main()
