"""Reading and checking freedesktop desktop entries, for the tests of start at login and of
the installed application menu entry."""

import subprocess


def read_entry(path):
    """The keys of the [Desktop Entry] group as a dictionary of their raw values."""
    values = {}
    group = None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("["):
                group = line
            elif group == "[Desktop Entry]" and "=" in line and not line.startswith("#"):
                key, _, value = line.partition("=")
                values[key] = value
    return values


def exec_quoted(path):
    """path as one quoted argument of an Exec key: '"', '`', '$' and '\\' behind a backslash,
    '%' doubled, then the backslashes of the string value doubled."""
    quoted = "".join("\\" + c if c in '"`$\\' else "%%" if c == "%" else c for c in path)
    return '"' + quoted.replace("\\", "\\\\") + '"'


def validate(path):
    """desktop-file-validate's findings ("" when it accepts the entry without a word)."""
    result = subprocess.run(["desktop-file-validate", path], capture_output=True, text=True)
    findings = result.stdout + result.stderr
    if result.returncode != 0 and not findings:
        findings = "desktop-file-validate failed with code %d" % result.returncode
    return findings
