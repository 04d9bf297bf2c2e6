#!/usr/bin/python3
"""Units of real files, side by side with the translate-toolkit's extractors and pandoc.

  scripts/peer_parity.py build/bin/qblex [WORKDIR]

Reads the HTML and Markdown pages under /usr/share/doc, catalogues made from the system's .mo
files (msgunfmt), and .odt/.docx files that pandoc makes of the Markdown pages. For each file:
the program's units (qblex doc-units), the peer's (html2po, the catalogue's own messages as the
toolkit's PO reader sees them, odf2xliff; for Markdown and .docx pandoc's text blocks), and up
to two texts found by one side only. Needs Debian's translate-toolkit and pandoc (run with
Debian's /usr/bin/python3, which has the toolkit's module).
"""
import glob
import html
import json
import os
import re
import subprocess
import sys

from translate.storage import factory

QBLEX = sys.argv[1] if len(sys.argv) > 1 else "build/bin/qblex"
WORK = sys.argv[2] if len(sys.argv) > 2 else "/tmp/qb-parity"
os.makedirs(WORK, exist_ok=True)


def norm(s):
    # Code is a placeholder in the program's units ("calls {1} a few times"): left out on both
    # sides, as is the spacing that markup leaves around punctuation.
    s = re.sub(r"<(code|kbd|samp)\b[^>]*>.*?</\1>", " ", s, flags=re.S)
    s = html.unescape(re.sub(r"<[^>]+>", " ", s))
    s = " ".join(s.replace("\u00a0", " ").split())
    return re.sub(r"\s+([,.;:!?)\]])", r"\1", re.sub(r"([(\[])\s+", r"\1", s))


def ours(path):
    r = subprocess.run([QBLEX, "doc-units", path], capture_output=True, text=True)
    if r.returncode != 0:
        return None, r.stderr.strip().splitlines()[-1:]
    units = [l for l in r.stdout.split("\n") if l.strip()]
    return [norm(re.sub(r"\{/?\d+\}", " ", u)) for u in units], []


def store_units(path):
    st = factory.getobject(path)
    return [norm(u.source) for u in st.units
            if not u.isheader() and not u.isobsolete() and u.source and u.source.strip()]


def peer_html(path):
    out = os.path.join(WORK, "peer.po")
    subprocess.run(["html2po", "--duplicates=msgctxt", "-i", path, "-o", out],
                   capture_output=True, check=True)
    return store_units(out)


def peer_odt(path):
    out = os.path.join(WORK, "peer.xlf")
    subprocess.run(["odf2xliff", path, out], capture_output=True, check=True)
    return store_units(out)


def pandoc_blocks(path, fmt):
    r = subprocess.run(["pandoc", "-f", fmt, "-t", "json", path], capture_output=True, text=True,
                       check=True)
    out = []

    def text(inl):
        parts = []
        for i in inl:
            t = i.get("t")
            if t == "Str":
                parts.append(i["c"])
            elif t in ("Space", "SoftBreak", "LineBreak"):
                parts.append(" ")
            elif t in ("Emph", "Strong", "Strikeout", "Underline", "SmallCaps", "Superscript",
                       "Subscript"):
                parts.append(text(i["c"]))
            elif t in ("Link", "Span", "Quoted", "Cite"):
                parts.append(text(i["c"][1] if t != "Quoted" else i["c"][1]))
            elif t == "Code":
                parts.append(" ")
        return "".join(parts)

    def walk(x):
        if isinstance(x, dict):
            t = x.get("t")
            if t in ("Para", "Plain"):
                s = norm(text(x["c"]))
                if re.search(r"\w", s):
                    out.append(s)
                return
            if t == "Header":
                out.append(norm(text(x["c"][2])))
                return
            if t in ("CodeBlock", "RawBlock"):
                return
            for v in x.values():
                walk(v)
        elif isinstance(x, list):
            for v in x:
                walk(v)

    walk(json.loads(r.stdout)["blocks"])
    return out


def row(kind, path, peer_name, peer):
    mine, err = ours(path)
    if mine is None:
        print(f"| {kind} | {path} | refused: {err} | {len(peer)} ({peer_name}) | | |")
        return
    a, b = set(mine), set(peer)
    only_ours = [s for s in mine if s not in b][:2]
    only_peer = [s for s in peer if s not in a][:2]
    print(f"| {kind} | {path} | {len(mine)} | {len(peer)} ({peer_name}) | {len(mine) - len(peer):+d} "
          f"| ours only: {[s[:60] for s in only_ours]} peer only: {[s[:60] for s in only_peer]} |")


def main():
    print("| kind | file | our units | peer units | difference | texts on one side only |")
    print("|---|---|---|---|---|---|")
    pages = sorted(p for p in glob.glob("/usr/share/doc/**/*.html", recursive=True)
                   if os.path.getsize(p) < (1 << 20))
    for p in pages[:: max(1, len(pages) // 30)]:
        try:
            row("html", p, "html2po", peer_html(p))
        except subprocess.CalledProcessError:
            print(f"| html | {p} | | html2po failed | | |")
    mds = sorted(glob.glob("/usr/share/doc/**/*.md", recursive=True))
    for p in mds[:: max(1, len(mds) // 15)]:
        row("md", p, "pandoc", pandoc_blocks(p, "gfm"))
        for ext in ("odt", "docx"):
            made = os.path.join(WORK, os.path.basename(p) + "." + ext)
            if subprocess.run(["pandoc", "-f", "gfm", "-o", made, p], capture_output=True).returncode:
                continue
            if ext == "odt":
                row("odt", made, "odf2xliff", peer_odt(made))
            else:
                row("docx", made, "pandoc", pandoc_blocks(made, "docx"))
    mos = sorted(glob.glob("/usr/share/locale/*/LC_MESSAGES/*.mo"))
    seen = set()
    for mo in mos:
        domain = os.path.basename(mo)
        if domain in seen or len(seen) >= 12:
            continue
        seen.add(domain)
        po = os.path.join(WORK, domain[:-3] + ".po")
        subprocess.run(["msgunfmt", "-o", po, mo], check=True)
        row("po", po, "toolkit PO reader", store_units(po))


main()
