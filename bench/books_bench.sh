#!/bin/bash
# Books: the .html and .txt conversions of a >= 10 MB PalmDOC book made by
# calibre, against `mobitool -7 -d` (libmobi-tools), calibre's own
# `ebook-convert book.mobi book.txt` and `dd bs=256K`; time and peak memory
# (GNU time's maximum resident size) of each; then the same for the book
# made as KF8 (.azw3).
#   bench/books_bench.sh ORMIDAL [WORK_FOLDER]
set -euo pipefail
ormidal=$1
work=${2:-$(mktemp -d "${TMPDIR:-/tmp}/ormidal-books-bench.XXXXXX")}
for tool in ebook-convert mobitool /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
done
cd "$work"
if [ ! -f big.mobi ]; then
  python3 - <<'PY'
import random
random.seed(1)
words = "tide clock keeper winding weight harbour heron storm water bread moon gęślą jaźń café naïve".split()
out, size, i = ['<html><head><meta charset="utf-8"><title>Big</title></head><body>'], 0, 0
while size < 10_600_000:
    p = '<p>' + ' '.join(random.choice(words) for _ in range(60)) + '.</p>\n'
    out.append(p); size += len(p.encode()); i += 1
    if i % 500 == 0:
        out.append('<h2 id="c%d">Chapter %d</h2>\n' % (i, i // 500))
out.append('</body></html>')
open('big.html', 'w').write(''.join(out))
PY
  ebook-convert big.html big.mobi >/dev/null
  ebook-convert big.html big.azw3 >/dev/null
fi
mkdir -p raw
# Peak memory of one run each.
/usr/bin/time -f "dd bs=256K: %M KiB" dd if=big.mobi of=/dev/null bs=256K 2>&1 | tail -1
/usr/bin/time -f "mobitool -7 -d: %M KiB" mobitool -7 -d -o raw big.mobi >/dev/null
/usr/bin/time -f "ormidal .html: %M KiB" "$ormidal" convert big.mobi -o big.html
/usr/bin/time -f "ormidal .txt: %M KiB" "$ormidal" convert big.mobi -o big.txt
# Times: medians of interleaved runs, with the fastest and slowest.
python3 - "$ormidal" "${ORMIDAL_BENCH_RUNS:-11}" <<'PY'
import statistics, subprocess, sys, time
ormidal, runs = sys.argv[1], int(sys.argv[2])
jobs = {
    "dd bs=256K": ["dd", "if=big.mobi", "of=/dev/null", "bs=256K"],
    "mobitool -7 -d": ["mobitool", "-7", "-d", "-o", "raw", "big.mobi"],
    "ormidal .html": [ormidal, "convert", "big.mobi", "-o", "big.html"],
    "ormidal .txt": [ormidal, "convert", "big.mobi", "-o", "big.txt"],
}
times = {name: [] for name in jobs}
for _ in range(runs):
    for name, command in jobs.items():
        start = time.perf_counter()
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times[name].append(time.perf_counter() - start)
median = {name: statistics.median(t) for name, t in times.items()}
for name, t in times.items():
    print(f"{name}: median {median[name] * 1000:.1f} ms ({min(t) * 1000:.1f} to {max(t) * 1000:.1f})")
print(f".html / mobitool: {median['ormidal .html'] / median['mobitool -7 -d']:.2f} (target <= 0.5)")
PY
if [ "${ORMIDAL_BENCH_CALIBRE:-1}" = 1 ]; then
  /usr/bin/time -f "ebook-convert .txt: %e s, %M KiB" ebook-convert big.mobi calibre.txt >/dev/null
fi
ls -l raw/*.rawml big.html big.txt
# The same book as KF8: its parts rebuilt, against mobitool -s, which
# rebuilds them too (and mobitool -d, which only decodes).
[ -f big.azw3 ] || ebook-convert big.mobi big.azw3 >/dev/null
mkdir -p kf8-raw kf8-parts
/usr/bin/time -f "KF8 mobitool -d: %e s, %M KiB" mobitool -d -o kf8-raw big.azw3 >/dev/null
/usr/bin/time -f "KF8 mobitool -s: %e s, %M KiB" mobitool -s -o kf8-parts big.azw3 >/dev/null
/usr/bin/time -f "KF8 ormidal .html: %e s, %M KiB" "$ormidal" convert big.azw3 -o big-kf8.html
/usr/bin/time -f "KF8 ormidal .txt: %e s, %M KiB" "$ormidal" convert big.azw3 -o big-kf8.txt
