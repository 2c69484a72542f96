#!/usr/bin/env python3
"""Builds the HTML help from the Markdown files of docs/.

    build-help.py OUTPUT_DIR PAGE.md...

The first page becomes OUTPUT_DIR/index.html (the page the Help command opens), every other
page NAME.md becomes NAME.html. Links between pages are written as "NAME.md#anchor" in the
sources, so that they also work when the Markdown is read on its own; they are rewritten to
the HTML names here.
"""

import html
import os
import re
import sys

import markdown
from markdown.extensions.toc import slugify_unicode

STYLE = """
body { font-family: sans-serif; max-width: 60em; margin: 1em auto; padding: 0 1em; line-height: 1.5; color: #222; }
code, pre { font-family: monospace; background: #f3f3f3; }
pre { padding: 0.5em; overflow-x: auto; }
table { border-collapse: collapse; margin: 0.5em 0; }
th, td { border: 1px solid #ccc; padding: 0.2em 0.5em; text-align: left; vertical-align: top; }
nav.pages { border-bottom: 1px solid #ccc; padding-bottom: 0.5em; }
nav.pages a { margin-right: 1em; }
.toc { background: #f8f8f8; border: 1px solid #ddd; padding: 0.5em 1em; }
"""


def html_name(source, first):
    return "index.html" if source == first else os.path.splitext(os.path.basename(source))[0] + ".html"


def main(argv):
    if len(argv) < 3:
        sys.stderr.write("usage: build-help.py OUTPUT_DIR PAGE.md...\n")
        return 2
    out_dir, pages = argv[1], argv[2:]
    os.makedirs(out_dir, exist_ok=True)
    names = {os.path.basename(p): html_name(p, pages[0]) for p in pages}

    def relink(match):
        target, anchor = match.group(2), match.group(3) or ""
        return match.group(1) + names.get(target, target) + anchor + '"'

    titles = []
    bodies = []
    for page in pages:
        with open(page, encoding="utf-8") as f:
            text = f.read()
        md = markdown.Markdown(extensions=["tables", "fenced_code", "toc", "attr_list", "def_list", "sane_lists"],
                               extension_configs={"toc": {"slugify": slugify_unicode, "toc_depth": "2-3"}})
        body = md.convert(text)
        body = re.sub(r'(href=")([^"#/:]+\.md)(#[^"]*)?"', relink, body)
        heading = re.search(r"^# (.+)$", text, re.M)
        titles.append(heading.group(1).strip() if heading else os.path.basename(page))
        bodies.append(body)

    for page, title, body in zip(pages, titles, bodies):
        nav = " ".join('<a href="%s">%s</a>' % (html_name(p, pages[0]), html.escape(t))
                       for p, t in zip(pages, titles))
        document = ('<!DOCTYPE html>\n<html lang="ja">\n<head>\n<meta charset="utf-8">\n'
                    '<title>%s</title>\n<style>%s</style>\n</head>\n<body>\n<nav class="pages">%s</nav>\n%s\n'
                    '</body>\n</html>\n') % (html.escape(title), STYLE, nav, body)
        with open(os.path.join(out_dir, html_name(page, pages[0])), "w", encoding="utf-8") as f:
            f.write(document)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
