#!/usr/bin/python3
"""Renders the user guide as one HTML page with its pictures inside, so that
it can be mailed or copied on its own: for the release zips and the Debian
package. Debian's python3-markdown does the Markdown.

Usage: render_guide.py docs/Benutzerhandbuch.md OUT.html
"""
import base64, os, re, sys
import markdown

if len(sys.argv) != 3:
    raise SystemExit(__doc__)
source, target = sys.argv[1], sys.argv[2]
folder = os.path.dirname(source)
text = open(source, encoding="utf-8").read()
# Anchors keep their umlauts, as on the repository's web view, so that the
# guide's own links work in both.
from markdown.extensions.toc import TocExtension, slugify_unicode
body = markdown.markdown(text, extensions=["tables", "fenced_code", TocExtension(slugify=slugify_unicode)],
                         output_format="html5")

def inline_picture(match):
    path = os.path.join(folder, match.group(2))
    with open(path, "rb") as picture:
        data = base64.b64encode(picture.read()).decode("ascii")
    return f'{match.group(1)}data:image/png;base64,{data}"'

body = re.sub(r'(<img[^>]*src=")([^"]+\.png)"', inline_picture, body)
title = re.search(r"^# (.+)$", text, re.M).group(1)
page = f"""<!DOCTYPE html>
<html lang="de">
<head>
<meta charset="utf-8">
<title>{title}</title>
<style>
body {{ font-family: Arial, Helvetica, sans-serif; max-width: 50em; margin: 2em auto; padding: 0 1em;
        line-height: 1.45; color: #222; }}
h1, h2, h3 {{ color: #1c3c6e; }}
table {{ border-collapse: collapse; margin: 1em 0; }}
th, td {{ border: 1px solid #bbb; padding: 0.3em 0.6em; text-align: left; vertical-align: top; }}
th {{ background: #eef; }}
code {{ background: #f2f2f2; padding: 0 0.2em; }}
img {{ border: 1px solid #ccc; max-width: 100%; }}
</style>
</head>
<body>
{body}
</body>
</html>
"""
open(target, "w", encoding="utf-8").write(page)
