#!/usr/bin/env python3
"""Writes a test site of N pages into a folder: a breadth-first tree in which
page i links to its parent, the home page and up to five children (relative
hrefs), to a few other hosts, and carries 4 to 8 KB of text. Only the last page
links to the Main Site http://www.mysite.com/links.htm, so a scan that finds
the link has visited every page.
  make-site.py N FOLDER
"""
import os
import random
import sys

WORDS = ("link partner site page web trade list text about home news more "
         "garden music travel books code river stone light table").split()


def page_name(i):
    return "index.html" if i == 0 else "p%d.html" % i


def main():
    n = int(sys.argv[1])
    folder = sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    rnd = random.Random(7)
    for i in range(n):
        parent = "/" if i == 0 else ("/" if (i - 1) // 5 == 0 else page_name((i - 1) // 5))
        anchors = ['<a href="%s">up</a>' % parent, '<a href="/">home</a>']
        for c in range(5 * i + 1, min(5 * i + 6, n)):
            anchors.append('<a href="%s">page %d</a>' % (page_name(c), c))
        for k in range(3):
            anchors.append('<a href="http://www.other%d.com/">other %d</a>' % (rnd.randrange(1000), k))
        if i == n - 1:
            anchors.append('<a href="http://www.mysite.com/links.htm">my site</a>')
        size = rnd.randrange(4096, 8192)
        words = []
        length = 0
        while length < size:
            w = rnd.choice(WORDS)
            words.append(w)
            length += len(w) + 1
        body = "<p>" + " ".join(words) + "</p>\n"
        html = ("<html><head><title>Page %d</title></head><body>\n%s\n%s</body></html>\n"
                % (i, "\n".join(anchors), body))
        with open(os.path.join(folder, page_name(i)), "w") as f:
            f.write(html)


if __name__ == "__main__":
    main()
