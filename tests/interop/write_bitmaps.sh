#!/usr/bin/env bash
# Writes Palm bitmaps with netpbm's pnmtopalm in every variant it makes
# (versions, depths, compressions, colour tables, transparency, densities
# and families) and Image Viewer pictures with imgvtopgm's pgmtoimgv and
# pbmtoimgv, into DIR. Each bitmap NAME.rN.palm holds the member, counted
# from 1, that palmtopnm -rendition N gives: the one a reader showing the
# richest member must show.
#
#   write_bitmaps.sh DIR
set -euo pipefail
dir=$1
cd "$dir"
map=/usr/share/netpbm/palmcolor8.map

# Inputs with runs and changes from row to row, so that every compression
# has work to do: 37 x 11 pixels (rows not a whole number of words).
/usr/bin/python3 - <<'PY'
w, h = 37, 11
with open("colour.ppm", "w") as f:
    f.write("P3\n%d %d\n255\n" % (w, h))
    for y in range(h):
        f.write(" ".join("255 255 255" if x > 33 else "0 0 0" if x == 0 else
                         "%d %d %d" % ((x * 7 + y * 40) % 256, (y * 23) % 256, 255 if x < 9 else (x * y * 5) % 256)
                         for x in range(w)) + "\n")
with open("grey.pgm", "w") as f:
    f.write("P2\n%d %d\n255\n" % (w, h))
    for y in range(h):
        f.write(" ".join(str(0x11 * ((x // 3 + y) % 16)) for x in range(w)) + "\n")
with open("mono.pbm", "w") as f:
    f.write("P1\n%d %d\n" % (w, h))
    for y in range(h):
        f.write(" ".join("1" if (x + y) % 5 == 0 or x > 30 else "0" for x in range(w)) + "\n")
with open("few.ppm", "w") as f:  # six colours, for a colour table of 4 bits
    colours = ["255 0 0", "0 255 0", "0 0 255", "255 255 255", "0 0 0", "255 255 0"]
    f.write("P3\n%d %d\n255\n" % (w, h))
    for y in range(h):
        f.write(" ".join(colours[(x // 4 + y) % 6] for x in range(w)) + "\n")
PY
pnmremap -quiet -nofloyd -mapfile="$map" colour.ppm >palette.ppm

palm() {  # palm NAME INPUT OPTIONS...
  local name=$1 input=$2
  shift 2
  pnmtopalm "$@" "$input" >"$name.r1.palm" 2>/dev/null
}

palm v0-mono mono.pbm
for depth in 1 2 4; do
  palm "v1-grey$depth" grey.pgm -depth $depth
done
palm v1-8bit palette.ppm -depth 8
palm v1-16bit colour.ppm -depth 16
palm v1-colourtable4 few.ppm -colormap
palm v1-colourtable8 palette.ppm -colormap
for method in scanline rle packbits; do
  palm "v2-mono-$method" mono.pbm -${method}_compression
  for depth in 2 4; do palm "v2-grey$depth-$method" grey.pgm -depth $depth -${method}_compression; done
  palm "v2-8bit-$method" palette.ppm -depth 8 -${method}_compression
  palm "v2-colourtable4-$method" few.ppm -colormap -${method}_compression
  palm "v2-colourtable8-transparent-$method" few.ppm -colormap -depth 8 -transparent=red -${method}_compression
done
palm v2-8bit-transparent palette.ppm -depth 8 -transparent='#ffffff'
palm v2-16bit-transparent colour.ppm -depth 16 -transparent='#000000'
for density in 108 144 216 288; do
  palm "v3-grey4-d$density" grey.pgm -depth 4 -density $density
  palm "v3-16bit-d$density" colour.ppm -depth 16 -density $density
done
for method in scanline rle packbits; do
  palm "v3-8bit-d144-$method" palette.ppm -depth 8 -density 144 -${method}_compression
  palm "v3-colourtable4-d216-$method" few.ppm -colormap -density 216 -${method}_compression
done
palm v3-8bit-d144-transparent palette.ppm -depth 8 -density 144 -transparent='#ffffff'

# Families: compressed low-density members (pnmtopalm counts their offsets
# right), the dummy header, then the high-density members; the richest is
# the last.
pnmtopalm -depth 1 -scanline_compression -offset grey.pgm >m1 2>/dev/null
pnmtopalm -depth 2 -rle_compression -offset grey.pgm >m2 2>/dev/null
pnmtopalm -depth 4 -packbits_compression -offset -withdummy grey.pgm >m3 2>/dev/null
pnmtopalm -depth 4 -density 144 -scanline_compression -offset grey.pgm >m4 2>/dev/null
pnmtopalm -depth 8 -density 144 palette.ppm >m5 2>/dev/null
cat m1 m2 m3 m4 m5 >family-low-dummy-high.r5.palm
cat m1 m2 >family-two-low.r2.palm
# Density outranks depth: 4 bits at 144 over 8 bits at 72.
pnmtopalm -depth 8 -rle_compression -offset -withdummy palette.ppm >m6 2>/dev/null
pnmtopalm -depth 4 -density 144 grey.pgm >m7 2>/dev/null
cat m6 m7 >family-density-first.r2.palm
rm -f m1 m2 m3 m4 m5 m6 m7

# Image Viewer pictures: mono, 4 and 16 greys, plain and compressed.
/usr/bin/python3 - <<'PY'
w, h = 160, 161
with open("viewer4.pgm", "w") as f:
    f.write("P2\n%d %d\n255\n" % (w, h))
    for y in range(h):
        f.write(" ".join(str(0x55 * ((x // 9 + y // 7) % 4)) for x in range(w)) + "\n")
with open("viewer16.pgm", "w") as f:
    f.write("P2\n%d %d\n255\n" % (w, h))
    for y in range(h):
        f.write(" ".join(str(0x11 * ((x // 5 + y // 3) % 16)) for x in range(w)) + "\n")
PY
pgmtoimgv -u viewer4.pgm imgv-grey4-plain.pdb
pgmtoimgv -c viewer4.pgm imgv-grey4-rle.pdb
pgmtoimgv -4 -u viewer16.pgm imgv-grey16-plain.pdb
pgmtoimgv -4 -c viewer16.pgm imgv-grey16-rle.pdb
pbmtoimgv -u mono.pbm imgv-mono-plain.pdb
pbmtoimgv -c mono.pbm imgv-mono-rle.pdb
