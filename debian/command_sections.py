#!/usr/bin/python3
"""Writes a help2man include file with a section "BEFEHLE IM EINZELNEN":
each command's own help ("zavctl help BEFEHL": its options and examples),
so that the man page says everything the tool says, taken from the tool.

    debian/command_sections.py ZAVCTL OUTPUT
"""
import subprocess
import sys


def roff(text):
    """Plain text as roff lines that print as they are."""
    lines = []
    for line in text.rstrip("\n").split("\n"):
        line = line.replace("\\", "\\e").replace("-", "\\-")
        # A line that begins with a dot or an apostrophe would be a request.
        if line.startswith((".", "'")):
            line = "\\&" + line
        lines.append(line)
    return "\n".join(lines)


def main(zavctl, output):
    overview = subprocess.run([zavctl, "--help"], capture_output=True, text=True, check=True).stdout
    listed = overview[overview.index("Befehle:"):overview.index("Optionen:")]
    commands = []
    for line in listed.splitlines()[1:]:
        word = line[2:].split(" ", 1)[0]
        if line[2:3].isalpha() and word not in commands and word != "help":
            commands.append(word)
    if not commands:
        sys.exit("command_sections.py: zavctl --help lists no command")
    sections = ["[BEFEHLE IM EINZELNEN]"]
    for command in commands:
        help_text = subprocess.run([zavctl, "help", command], capture_output=True, text=True, check=True).stdout
        # The options every command takes stand once, under OPTIONEN.
        help_text = help_text.split("\nOptionen aller Befehle:")[0]
        # The help is laid out for 80 columns: printed as it is, from the
        # second column, it fits an 80-column terminal.
        sections += [f'.SS "{command}"', ".nf", ".in 2", roff(help_text), ".in", ".fi"]
    with open(output, "w", encoding="utf-8") as out:
        out.write("\n".join(sections) + "\n")


if __name__ == "__main__":
    main(*sys.argv[1:])
