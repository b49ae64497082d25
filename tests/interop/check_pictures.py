#!/usr/bin/python3
"""Compares the PNGs the converter wrote with what the peer tools read from
the same files, pixel by pixel (python3-pil reads both): NAME.rN.png with
`palmtopnm -rendition N NAME.rN.palm`; imgv-X-METHOD.png with `imgvtopnm`
of the same picture stored plain (imgv-X-plain.pdb: imgvtopnm 2.1 misreads
its own compressed grey pictures, matching neither their input nor their
plain twin) and with netpbm's `pdbimgtopam` of the file itself (but for
16 greys compressed, version 9, which pdbimgtopam 11.1 misreads the same way).
Transparency: where palmtopnm names a transparent colour, exactly the
pixels of that colour are clear in the PNG; elsewhere every pixel is opaque.
Prints one line per difference and "N pictures, M differences"."""
import io
import os
import re
import subprocess
import sys

from PIL import Image

folder = sys.argv[1]
differences = 0
pictures = 0


def report(name, text):
    global differences
    differences += 1
    print("%s: %s" % (name, text))


def peer_image(command):
    out = subprocess.run(command, check=True, capture_output=True).stdout
    return Image.open(io.BytesIO(out))


def compare(name, ours, theirs):
    if ours.size != theirs.size:
        report(name, "size %s, the peer reads %s" % (ours.size, theirs.size))
        return False
    a = list(ours.convert("RGB").getdata())
    b = list(theirs.convert("RGB").getdata())
    bad = [i for i in range(len(a)) if a[i] != b[i]]
    if bad:
        i = bad[0]
        report(name, "%d pixels differ, first at %d: %s, the peer reads %s" % (len(bad), i, a[i], b[i]))
        return False
    return True


def check_transparency(name, ours, palm):
    said = subprocess.run(["palmtopnm", "-transparent", palm], capture_output=True, text=True).stdout
    match = re.match(r"#([0-9a-f]{6})", said.strip())
    rgba = list(ours.convert("RGBA").getdata())
    if not match:
        if any(p[3] != 255 for p in rgba):
            report(name, "clear pixels in a picture without transparency")
        return
    colour = tuple(int(match.group(1)[i:i + 2], 16) for i in (0, 2, 4))
    wrong = [p for p in rgba if (p[3] == 0) != (p[:3] == colour) or p[3] not in (0, 255)]
    if wrong:
        report(name, "%d pixels of wrong transparency (clear colour %s)" % (len(wrong), colour))
    if not any(p[3] == 0 for p in rgba):
        report(name, "no clear pixel, though %s is transparent" % (colour,))


for entry in sorted(os.listdir(folder)):
    path = os.path.join(folder, entry)
    match = re.match(r"(.*)\.r(\d+)\.palm$", entry)
    if match:
        png = path[:-len(".palm")] + ".png"
        if not os.path.exists(png):
            report(entry, "no PNG written")
            continue
        pictures += 1
        ours = Image.open(png)
        if compare(entry, ours, peer_image(["palmtopnm", "-rendition", match.group(2), path])):
            check_transparency(entry, ours, path)
    elif entry.startswith("imgv-") and entry.endswith(".pdb"):
        png = path[:-len(".pdb")] + ".png"
        if not os.path.exists(png):
            report(entry, "no PNG written")
            continue
        pictures += 1
        plain = re.sub(r"-[a-z]+\.pdb$", "-plain.pdb", path)
        ours = Image.open(png)
        if compare(entry + " (imgvtopnm)", ours, peer_image(["imgvtopnm", plain])) and \
                entry != "imgv-grey16-rle.pdb":
            compare(entry + " (pdbimgtopam)", ours, peer_image(["sh", "-c", "pdbimgtopam \"$0\" | pamtopnm", path]))

print("%d pictures, %d differences" % (pictures, differences))
sys.exit(1 if differences or pictures == 0 else 0)
