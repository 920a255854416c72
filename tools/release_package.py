#!/usr/bin/python3
"""Writes the Windows release: tavrick-<version>-windows-x64.zip and SHA256SUMS beside it.

The zip holds the two programs, the user guide rendered from Markdown to one HTML page, and the
short read-me with the version filled in, as a Windows user opens it (UTF-8 with a byte order
mark, CR LF line ends: Notepad before Windows 10 guesses the code page otherwise). The same
inputs give the same bytes: the entries in a fixed order, each with the time given, fixed
permissions, no extra fields, no comment. Older release zips in the output folder are removed,
so that SHA256SUMS describes the folder.

Usage (the build runs it):
  tools/release_package.py --version 0.1.0 --epoch 1796882421 --guide docs/huong-dan.md
      --readme docs/doc-truoc.txt --exe tavrick.exe --exe tavrick-agent.exe --out dist
"""
import argparse
import hashlib
import html
import os
import pathlib
import re
import sys
import time
import zipfile

import markdown

# The first instant a zip entry can hold (1980-01-01 00:00:00 UTC).
FIRST_ZIP_TIME = 315532800

PAGE = """<!DOCTYPE html>
<html lang="vi">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{title}</title>
<style>
body {{ font-family: "Segoe UI", Arial, sans-serif; line-height: 1.5; max-width: 56em;
       margin: 2em auto; padding: 0 1em; color: #222; }}
code, pre {{ font-family: Consolas, "Courier New", monospace; background: #f3f3f3; }}
code {{ padding: 0 .2em; }}
pre {{ padding: .6em; overflow-x: auto; }}
pre code {{ padding: 0; }}
table {{ border-collapse: collapse; margin: 1em 0; }}
th, td {{ border: 1px solid #ccc; padding: .3em .6em; text-align: left; vertical-align: top; }}
th {{ background: #f3f3f3; }}
.version {{ color: #666; }}
</style>
</head>
<body>
{body}
<p class="version">tavrick {version}</p>
</body>
</html>
"""


def literal_table_pipes(source: str) -> str:
    """Table rows as GitHub reads them: a backslash before a pipe inside a code span of a row
    stands for the pipe alone (Python-Markdown would keep the backslash there, and splits no cell
    at a pipe inside a code span anyway)."""

    def code_span(match: re.Match) -> str:
        return match.group(0).replace("\\|", "|")

    lines = []
    for line in source.split("\n"):
        if line.startswith("|"):
            line = re.sub(r"`[^`]*`", code_span, line)
        lines.append(line)
    return "\n".join(lines)


def guide_page(source: str, version: str) -> bytes:
    """The guide as one HTML page, titled by its first heading."""
    first = re.match(r"# (.+)\n", source)
    if first is None:
        sys.exit("the guide must begin with a level-1 heading")
    body = markdown.markdown(
        literal_table_pipes(source), extensions=["tables", "fenced_code"], output_format="html"
    )
    page = PAGE.format(title=html.escape(first.group(1)), body=body, version=html.escape(version))
    return page.encode("utf-8")


def readme_text(template: str, version: str) -> bytes:
    """The read-me for Notepad: the version filled in, CR LF line ends, a byte order mark."""
    text = template.replace("@VERSION@", version)
    return b"\xef\xbb\xbf" + text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-8")


def write_zip(path: pathlib.Path, entries: list[tuple[str, bytes, int]], epoch: int) -> None:
    """Writes the entries (name, data, permission bits) in the given order, all with one time."""
    when = time.gmtime(max(epoch, FIRST_ZIP_TIME))[:6]
    partial = path.with_name(path.name + ".partial")
    with zipfile.ZipFile(partial, "w") as archive:
        for name, data, mode in entries:
            info = zipfile.ZipInfo(name, date_time=when)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 3  # the permission bits below are Unix ones
            info.external_attr = (0o100000 | mode) << 16
            archive.writestr(info, data, compresslevel=9)
    os.replace(partial, path)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--version", required=True)
    parser.add_argument("--epoch", required=True, type=int, help="time of every zip entry")
    parser.add_argument("--guide", required=True, type=pathlib.Path, help="the guide (Markdown)")
    parser.add_argument("--readme", required=True, type=pathlib.Path, help="the read-me template")
    parser.add_argument("--exe", required=True, action="append", type=pathlib.Path)
    parser.add_argument("--out", required=True, type=pathlib.Path)
    args = parser.parse_args()

    entries = [
        ("doc-truoc.txt", readme_text(args.readme.read_text("utf-8"), args.version), 0o644),
        ("huong-dan.html", guide_page(args.guide.read_text("utf-8"), args.version), 0o644),
    ]
    entries += sorted((exe.name, exe.read_bytes(), 0o755) for exe in args.exe)

    args.out.mkdir(parents=True, exist_ok=True)
    name = f"tavrick-{args.version}-windows-x64.zip"
    for old in args.out.glob("tavrick-*-windows-x64.zip"):
        if old.name != name:
            old.unlink()
    zip_path = args.out / name
    write_zip(zip_path, entries, args.epoch)
    digest = hashlib.sha256(zip_path.read_bytes()).hexdigest()
    (args.out / "SHA256SUMS").write_text(f"{digest}  {name}\n", "utf-8")


if __name__ == "__main__":
    main()
