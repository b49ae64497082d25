#!/usr/bin/env python3
"""Times the ormidal command on large files against tools doing the same
work, in one run, and prints a Markdown table with the targets:

    bench/compare.py [--build DIR] [--size-mb 100] [--memory-mb 200] [--runs 9] [--only TEXT]

Without --build, the linux preset is configured and built in
/tmp/ormidal-bench-build (reused by later runs). Inputs and outputs live in a
temporary folder that is removed at the end (--keep leaves it). Every timed
command starts a process, so process start is always included; the runs of
all commands are interleaved, so a burst of load from elsewhere hits them
alike. Medians are reported. Peak memory is read from /usr/bin/time -v on
inputs of --memory-mb megabytes. Each time is shown as the median with the
fastest and the slowest run in brackets.

A byte transform reads the file into the process and writes its result out,
so it is measured against a copy that does the same: dd with 256 KiB
blocks. cat (and cp) copy inside the kernel here (copy_file_range), which no
transform can do; cat is shown for information only.

Needs txt2pdbdoc, gzip, dd, cat and /usr/bin/time (.ci/install-deps)."""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
DEFAULT_BUILD = "/tmp/ormidal-bench-build"
MIB = 1024 * 1024
MEMORY_LIMIT_KIB = 8 * 1024
LIST_LIMIT_S = 0.050


class Command:
    """One command line, with the file its standard output goes to and the
    files to remove before each run (a packer never replaces its target)."""

    def __init__(self, label, argv, stdout=None, remove=()):
        self.label = label
        self.argv = argv
        self.stdout = stdout
        self.remove = list(remove) + ([stdout] if stdout and stdout != os.devnull else [])
        self.times = []

    def prepare(self):
        for path in self.remove:
            if os.path.exists(path):
                os.remove(path)

    def run(self):
        self.prepare()
        out = open(self.stdout, "wb") if self.stdout else subprocess.DEVNULL
        try:
            start = time.perf_counter()
            done = subprocess.run(self.argv, stdout=out, stderr=subprocess.PIPE)
            elapsed = time.perf_counter() - start
        finally:
            if self.stdout:
                out.close()
        if done.returncode != 0:
            sys.exit("%s failed (%d): %s" % (" ".join(self.argv), done.returncode,
                                             done.stderr.decode(errors="replace").strip()))
        return elapsed

    def peak_kib(self):
        self.prepare()
        out = open(self.stdout, "wb") if self.stdout else subprocess.DEVNULL
        try:
            done = subprocess.run(["/usr/bin/time", "-v"] + self.argv, stdout=out,
                                  stderr=subprocess.PIPE)
        finally:
            if self.stdout:
                out.close()
        if done.returncode != 0:
            sys.exit("%s failed under /usr/bin/time" % " ".join(self.argv))
        for line in done.stderr.decode(errors="replace").splitlines():
            if "Maximum resident set size" in line:
                return int(line.split(":")[1])
        sys.exit("/usr/bin/time -v gave no peak memory")

    def median(self):
        return statistics.median(self.times)


def run_checked(argv, **kwargs):
    done = subprocess.run(argv, **kwargs)
    if done.returncode != 0:
        sys.exit("failed: " + " ".join(argv))


def find_ormidal(build):
    if build is None:
        build = DEFAULT_BUILD
        if not os.path.exists(os.path.join(build, "build.ninja")):
            run_checked(["cmake", "--preset", "linux", "-B", build], cwd=ROOT, stdout=subprocess.DEVNULL)
        run_checked(["cmake", "--build", build, "--target", "ormidal_cli"], cwd=ROOT,
                    stdout=subprocess.DEVNULL)
    program = os.path.join(build, "src", "ormidal")
    if not os.access(program, os.X_OK):
        sys.exit("no ormidal command in " + build + "/src")
    return program


def check_tools():
    missing = [tool for tool in ("txt2pdbdoc", "gzip", "dd", "cat") if shutil.which(tool) is None]
    if not os.access("/usr/bin/time", os.X_OK):
        missing.append("/usr/bin/time")
    if missing:
        sys.exit("missing: %s (run .ci/install-deps)" % ", ".join(missing))


def make_inputs(folder, megabytes):
    """text.txt (LF), text_crlf.txt, document.pdb, ztxt.pdb, many.pdb,
    calendar.pdb and calendar_small.pdb, compressed.pdb (txt2pdbdoc) and
    text.txt.gz (gzip)."""
    os.makedirs(folder, exist_ok=True)
    run_checked([sys.executable, os.path.join(HERE, "make_convert_inputs.py"), folder,
                 str(megabytes), "--many"])
    run_checked(["txt2pdbdoc", "bench", folder + "/text.txt", folder + "/compressed.pdb"],
                stdout=subprocess.DEVNULL)
    with open(folder + "/text.txt.gz", "wb") as out:
        run_checked(["gzip", "-c", folder + "/text.txt"], stdout=out)


def same_bytes(a, b):
    with open(a, "rb") as one, open(b, "rb") as other:
        while True:
            x, y = one.read(MIB), other.read(MIB)
            if x != y:
                return False
            if not x:
                return True


class Job:
    """A piece of work: ormidal's command and the commands it is measured
    against, each with the largest ratio allowed (None: shown only)."""

    def __init__(self, name, ormidal, references):
        self.name = name
        self.ormidal = ormidal
        self.references = references  # [(Command, limit or None)]

    def commands(self):
        return [self.ormidal] + [command for command, _ in self.references]


def jobs_for(program, inputs, out):
    copy = out + "/copy"
    text = out + "/text.txt"
    database = out + "/packed.pdb"
    peer_database = out + "/peer.pdb"

    def cat(source):
        return Command("cat", ["cat", source], stdout=copy)

    def dd(source):
        return Command("dd bs=256K", ["dd", "if=" + source, "of=" + copy, "bs=256K", "status=none"],
                       remove=[copy])

    def convert_calendar(database_name):
        ics = out + "/calendar.ics"
        return Command("ormidal convert", [program, "convert", inputs + "/" + database_name, "-o", ics],
                       remove=[ics])

    def convert(database_name):
        return Command("ormidal convert", [program, "convert", inputs + "/" + database_name, "-o", text],
                       remove=[text])

    def peer_decode(database_name):
        return Command("txt2pdbdoc -d", ["txt2pdbdoc", "-d", inputs + "/" + database_name, text],
                       remove=[text])

    return [
        Job("convert, uncompressed document", convert("document.pdb"),
            [(dd(inputs + "/document.pdb"), 1.3), (cat(inputs + "/document.pdb"), None),
             (peer_decode("document.pdb"), None)]),
        Job("convert, compressed document", convert("compressed.pdb"),
            [(peer_decode("compressed.pdb"), 0.5)]),
        Job("convert, zTXT", convert("ztxt.pdb"),
            [(Command("gzip -dc", ["gzip", "-dc", inputs + "/text.txt.gz"], stdout=text), 0.6)]),
        Job("pack, CR LF text", Command("ormidal pack", [program, "pack", inputs + "/text_crlf.txt", database],
                                        remove=[database]),
            [(dd(inputs + "/text_crlf.txt"), 1.2), (cat(inputs + "/text_crlf.txt"), None),
             (Command("txt2pdbdoc -c", ["txt2pdbdoc", "-c", "bench", inputs + "/text_crlf.txt", peer_database],
                      remove=[peer_database]), 0.5)]),
        Job("pack compressed, prose",
            Command("ormidal pack --compress", [program, "pack", "--compress", inputs + "/text.txt", database],
                    remove=[database]),
            [(Command("txt2pdbdoc", ["txt2pdbdoc", "bench", inputs + "/text.txt", peer_database],
                      remove=[peer_database]), 0.2)]),
        Job("list, 65535 records", Command("ormidal list", [program, "list", inputs + "/many.pdb"],
                                           stdout=out + "/listing.txt"), []),
        Job("convert, calendar of 65535 records", convert_calendar("calendar.pdb"),
            [(dd(inputs + "/calendar.pdb"), None)]),
        Job("convert, calendar of 1000 records", convert_calendar("calendar_small.pdb"),
            [(dd(inputs + "/calendar_small.pdb"), None)]),
    ]


def check_outputs(program, inputs, out):
    """The timings mean nothing unless the outputs are right."""
    expected = inputs + "/text_crlf.txt"
    for name in ("document.pdb", "compressed.pdb", "ztxt.pdb"):
        run_checked([program, "convert", inputs + "/" + name, "-o", out + "/check.txt"])
        if not same_bytes(out + "/check.txt", expected):
            sys.exit("ormidal convert %s does not give the text back" % name)
    run_checked([program, "pack", expected, out + "/check.pdb"])
    run_checked(["txt2pdbdoc", "-d", out + "/check.pdb", out + "/check.txt"], stdout=subprocess.DEVNULL)
    if not same_bytes(out + "/check.txt", inputs + "/text.txt"):
        sys.exit("ormidal pack does not keep the text")
    for name in ("check.txt", "check.pdb"):
        os.remove(out + "/" + name)
    # A compressed document reads back the same with ours and the peer's decoder.
    run_checked([program, "pack", "--compress", inputs + "/text.txt", out + "/check.pdb"])
    run_checked(["txt2pdbdoc", "-d", out + "/check.pdb", out + "/check.txt"], stdout=subprocess.DEVNULL)
    if not same_bytes(out + "/check.txt", inputs + "/text.txt"):
        sys.exit("ormidal pack --compress does not keep the text (txt2pdbdoc -d)")
    run_checked([program, "convert", out + "/check.pdb", "-o", out + "/check.txt"])
    if not same_bytes(out + "/check.txt", expected):
        sys.exit("ormidal pack --compress does not keep the text (ormidal convert)")
    ours = os.path.getsize(out + "/check.pdb")
    theirs = os.path.getsize(inputs + "/compressed.pdb")
    text_size = os.path.getsize(inputs + "/text.txt")
    for name in ("check.txt", "check.pdb"):
        os.remove(out + "/" + name)
    # Every appointment but the deleted ones becomes an event.
    for name, count in (("calendar.pdb", 65535), ("calendar_small.pdb", 1000)):
        run_checked([program, "convert", inputs + "/" + name, "-o", out + "/check.ics"])
        with open(out + "/check.ics", "rb") as f:
            events = f.read().count(b"\r\nBEGIN:VEVENT\r\n")
        if events != count - count // 50:
            sys.exit("ormidal convert %s gives %d events, not %d" % (name, events, count - count // 50))
        os.remove(out + "/check.ics")
    return ("Compressed database of the %d-byte prose: ormidal %d bytes (%.1f %%), txt2pdbdoc %d bytes "
            "(%.1f %%); smaller: %s." % (text_size, ours, 100.0 * ours / text_size, theirs,
                                         100.0 * theirs / text_size, "yes" if ours < theirs else "**no**"))


def seconds(value):
    return "%.1f ms" % (value * 1000) if value < 1 else "%.3f s" % value


def with_spread(command):
    """The median, and the fastest and slowest run around it."""
    return "%s (%s–%s)" % (seconds(command.median()), seconds(min(command.times)),
                           seconds(max(command.times)))


def time_jobs(jobs, runs):
    commands = [command for job in jobs for command in job.commands()]
    for command in commands:  # once untimed: caches warm, as for every later run
        command.run()
    for _ in range(runs):
        for command in commands:
            command.times.append(command.run())


def timing_table(jobs):
    rows = ["| Work | ormidal | Measured against | Its time | Ratio | Target | Met |",
            "|---|---|---|---|---|---|---|"]
    for job in jobs:
        mine = job.ormidal.median()
        if not job.references:
            met = "yes" if mine < LIST_LIMIT_S else "**no**"
            rows.append("| %s | %s | (process start included) | | | < 50 ms | %s |" %
                        (job.name, with_spread(job.ormidal), met))
        for command, limit in job.references:
            theirs = command.median()
            ratio = mine / theirs
            target = "≤ %.1f ×" % limit if limit is not None else "(shown only)"
            met = "" if limit is None else ("yes" if ratio <= limit else "**no**")
            rows.append("| %s | %s | %s | %s | %.2f | %s | %s |" % (job.name, with_spread(job.ormidal),
                                                               command.label, with_spread(command), ratio,
                                                               target, met))
    return "\n".join(rows)


def memory_table(jobs):
    rows = ["| Work | ormidal peak RSS | Target | Met |", "|---|---|---|---|"]
    for job in jobs:
        peak = job.ormidal.peak_kib()
        met = "yes" if peak < MEMORY_LIMIT_KIB else "**no**"
        rows.append("| %s | %.1f MiB | < 8 MiB | %s |" % (job.name, peak / 1024, met))
    return "\n".join(rows)


def load():
    return "load average %.2f %.2f %.2f on %d cores" % (os.getloadavg() + (os.cpu_count(),))


def main():
    parser = argparse.ArgumentParser(description="Times ormidal against cat, dd, gzip and txt2pdbdoc.")
    parser.add_argument("--build", help="a build of the linux preset (default: build one)")
    parser.add_argument("--size-mb", type=int, default=100, help="text size for the timings")
    parser.add_argument("--memory-mb", type=int, default=200, help="text size for peak memory (0: skip)")
    parser.add_argument("--runs", type=int, default=9)
    parser.add_argument("--work", default=None, help="folder for the temporary files (default: /tmp)")
    parser.add_argument("--keep", action="store_true", help="leave the temporary files")
    parser.add_argument("--only", default="", help="time only the jobs whose name holds this text")
    args = parser.parse_args()
    check_tools()
    program = find_ormidal(args.build)
    work = tempfile.mkdtemp(prefix="ormidal-compare-", dir=args.work)
    try:
        inputs, out = work + "/in", work + "/out"
        os.makedirs(out)
        print("Making %d MB inputs in %s ..." % (args.size_mb, work), file=sys.stderr)
        make_inputs(inputs, args.size_mb)
        sizes = check_outputs(program, inputs, out)
        jobs = [job for job in jobs_for(program, inputs, out) if args.only in job.name]
        before = load()
        print("Timing, %d runs each ..." % args.runs, file=sys.stderr)
        time_jobs(jobs, args.runs)
        after = load()
        print("Timings: %d MB text, median of %d runs; %s before, %s after.\n" %
              (args.size_mb, args.runs, before, after))
        print(timing_table(jobs), flush=True)
        print("\n" + sizes, flush=True)
        if args.memory_mb > 0:
            shutil.rmtree(inputs)
            print("Making %d MB inputs ..." % args.memory_mb, file=sys.stderr)
            make_inputs(inputs, args.memory_mb)
            print("\nPeak memory (/usr/bin/time -v), %d MB text; the listing is of 65535 records.\n" %
                  args.memory_mb)
            print(memory_table([job for job in jobs_for(program, inputs, out) if args.only in job.name]))
    finally:
        if args.keep:
            print("Files kept in " + work, file=sys.stderr)
        else:
            shutil.rmtree(work, ignore_errors=True)


main()
