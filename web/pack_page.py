#!/usr/bin/env python3
"""Makes the page one self-contained file: the template with its style, the
module (its WebAssembly already inside, as base64) and the page's scripts
written into it, so that it works from file:// and from any web server and
loads nothing."""
import argparse
import os


def script_text(path):
    text = open(path, encoding="utf-8").read()
    # A script's text must not end its <script> element early.
    return text.replace("</script", "<\\/script").replace("<!--", "<\\!--")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--template", required=True)
    parser.add_argument("--style", required=True)
    parser.add_argument("--core", required=True, help="the module, zavcore.js")
    parser.add_argument("--version", required=True)
    parser.add_argument("--output", required=True)
    parser.add_argument("scripts", nargs="+", help="the page's scripts, in order")
    args = parser.parse_args()

    scripts = [script_text(path) for path in args.scripts]
    page = open(args.template, encoding="utf-8").read()
    for placeholder, text in (("@STYLE@", open(args.style, encoding="utf-8").read()),
                              ("@CORE@", script_text(args.core)),
                              ("@SCRIPTS@", "\n".join(scripts))):
        if page.count(placeholder) != 1:
            raise SystemExit(f"pack_page: {placeholder} must stand once in {args.template}")
        page = page.replace(placeholder, text)
    page = page.replace("@VERSION@", args.version)
    # Whole or not at all: the finished page replaces the old one at once.
    temporary = args.output + ".new"
    with open(temporary, "w", encoding="utf-8", newline="\n") as out:
        out.write(page)
    os.replace(temporary, args.output)


if __name__ == "__main__":
    main()
