#!/usr/bin/python3
"""The visible text of HTML pages, read by Python's own html.parser: an independent reader for
the coverage test. Usage: html_visible.py LISTFILE (one path a line); prints a JSON object
{path: text}, where text is every run of character data outside <script>, <style> and
<template>, runs split by a line break wherever a tag that is not inline stands between them."""
import html.parser
import json
import re
import sys

INLINE = set("""a abbr acronym audio b bdi bdo big blink br button canvas cite code data del dfn em
embed font i iframe img input ins kbd label map area mark math meter nobr noscript object output
param progress q rb rp rt rtc ruby s samp script small source span strike strong style sub sup svg
template textarea time track tt u var video wbr""".split())
HIDDEN = {"script", "style", "template"}


class Visible(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.out = []
        self.hidden = 0

    def handle_starttag(self, tag, attrs):
        if tag in HIDDEN:
            self.hidden += 1
        if tag not in INLINE:
            self.out.append("\n")

    def handle_startendtag(self, tag, attrs):
        if tag not in INLINE:
            self.out.append("\n")

    def handle_endtag(self, tag):
        if tag in HIDDEN and self.hidden:
            self.hidden -= 1
        if tag not in INLINE:
            self.out.append("\n")

    def handle_data(self, data):
        if not self.hidden:
            self.out.append(data)


def decode(raw):
    head = raw[:1024].decode("ascii", "replace").lower()
    m = re.search(r"<meta[^>]*charset[\s=\"']*([a-z0-9_.:-]+)", head)
    names = ([m.group(1)] if m else []) + ["utf-8", "cp1252"]
    for name in names:
        if name in ("iso-8859-1", "latin1", "us-ascii"):
            name = "cp1252"
        try:
            return raw.decode(name)
        except (LookupError, UnicodeDecodeError):
            continue
    return raw.decode("utf-8", "replace")


def main():
    result = {}
    for path in open(sys.argv[1], encoding="utf-8").read().splitlines():
        raw = open(path, "rb").read()
        if raw.startswith(b"\xef\xbb\xbf"):
            raw = raw[3:]
        parser = Visible()
        parser.feed(decode(raw))
        parser.close()
        result[path] = "".join(parser.out)
    json.dump(result, sys.stdout, ensure_ascii=False)


main()
