#!/usr/bin/env python3
"""Writes the help books and offline pages (mui/<code>/help/*.html,
mui/<code>/Website/tapper.html) from the texts in mui/tools/helptext_<code>.py.
The generated pages are committed; run this after changing a text:
    python3 mui/tools/helpbook.py
With --check it writes nothing and fails, naming the pages, when a committed
page differs from what the texts give (the test suite runs it so).
"""
import importlib.util
import pathlib
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
PAGES = ["index", "mainwindow", "loglist", "stattree", "chart", "options", "alerts",
         "cmdline", "console", "icmp", "troubleshooting"]

PAGE = """<!DOCTYPE html>
<html lang="{lang}">
<head>
<meta charset="utf-8">
<title>{title}</title>
</head>
<body>
<p><a href="index.html">{contents}</a>{nav}</p>
<h1>{title}</h1>
{body}
</body>
</html>
"""


def load(code):
    found = importlib.util.spec_from_file_location("helptext_" + code, ROOT / "tools" / f"helptext_{code}.py")
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def write(path, text):
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text(text, encoding="utf-8")


def drifted(path, text):
    """Records path when its content is not text; writes nothing."""
    try:
        same = path.read_text(encoding="utf-8") == text
    except OSError:
        same = False
    if not same:
        DRIFT.append(str(path.relative_to(ROOT.parent)))


DRIFT = []


def main():
    for code in ("en_us", "de_de", "zh_cn"):
        t = load(code)
        for i, name in enumerate(PAGES):
            title, body = t.PAGES[name]
            nav = ""
            if i > 1:
                nav += ' | <a href="%s.html">%s</a>' % (PAGES[i - 1], t.PREVIOUS)
            if 0 < i < len(PAGES) - 1:
                nav += ' | <a href="%s.html">%s</a>' % (PAGES[i + 1], t.NEXT)
            if name == "index":
                body = body + "<ol>\n" + "".join(
                    '<li><a href="%s.html">%s</a></li>\n' % (p, t.PAGES[p][0]) for p in PAGES[1:]) + "</ol>"
            write(ROOT / code / "help" / f"{name}.html",
                  PAGE.format(lang=t.LANG, title=title, contents=t.CONTENTS, nav=nav, body=body.strip()))
        title, body = t.WEBSITE
        write(ROOT / code / "Website" / "tapper.html",
              PAGE.replace('<p><a href="index.html">{contents}</a>{nav}</p>\n', "").format(
                  lang=t.LANG, title=title, body=body.strip()))


if __name__ == "__main__":
    if sys.argv[1:] == ["--check"]:
        write = drifted
    main()
    if DRIFT:
        print("Pages that differ from mui/tools/helptext_*.py (run python3 mui/tools/helpbook.py):")
        print("\n".join(DRIFT))
        sys.exit(1)
