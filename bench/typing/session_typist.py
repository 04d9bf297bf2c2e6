#!/usr/bin/env python3
"""Keystrokes a translator needs to type published Chinese translations of English text, with the
English sentence selected (so the project's sentence code table is filled), against a stock
sentence-conversion engine that knows nothing of the English. Corpus: messages_corpus.py (or any file of the same line format).
The simulated typist is greedy and exact: for every hanzi run it takes the cheapest of
 - the whole run's full pinyin, when the first candidate is the run (code + 1 key);
 - word by word (jieba words): for each word the cheapest of its full pinyin and its initials
   (e.g. zg for 照顾), each costing the code's length + 1 key to pick + 1 key per further page;
 - a word no code offers: character by character (full pinyin); a character no code offers: 4 keys.
Candidates: project = `qblex candidates` (the window's lookup, sentence selected with S lines);
reference = stock_engine (the pinyin library configured as a stock input method).
SESSION=1 types the corpus in its order as a day's work: after each sentence the program is told
`L<TAB>english<TAB>chinese` (what the window learns when Ctrl+J moves on) and the stock engine
commits and learns each hanzi run (PinyinContext::learn, stock_session.cpp). SESSION=0 (the
default) gives the isolated figures: every sentence in a fresh state, as the shared measure does.
Usage: session_typist.py PROGRAM_FOLDER CORPUS 'QBLEX|candidates|ARGS...' STOCK_SESSION_WRAPPER [GOAL]
Prints keys per character for both and their ratio; exits 1 when the ratio is above GOAL."""
import os, subprocess, sys
progdir, corpus, qbc, anchor = sys.argv[1:5]
goal = float(sys.argv[5]) if len(sys.argv) > 5 else 0.8
# PREDICT=1: after each picked word the program is asked `P<TAB>text typed so far` and a word on
# its prediction list costs one key (the stock engine ships with prediction off: its figure stays)
PREDICT = os.environ.get("PREDICT") == "1"
SESSION = os.environ.get("SESSION") == "1"
import time
rows = []
for l in open(corpus, encoding="utf-8"):
    e, c, rest = l.rstrip("\n").split("\t")
    runs = [[tuple(p.rsplit("/", 1)) for p in r.split(" ") if p] for r in rest.split(" | ")]
    rows.append((e, c, [r for r in runs if r]))
def codes_of(w, k):
    syl = k.split("'")
    out = {"".join(syl)}
    if len(syl) > 1: out.add("".join(s[0] for s in syl))
    return out
# project: one process, sentence by sentence
qb = subprocess.Popen(qbc.split("|"), stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, encoding="utf-8")
asked = [0, 0.0]
def qb_ask(line):
    t = time.perf_counter()
    qb.stdin.write(line + "\n"); qb.stdin.flush(); r = qb.stdout.readline().rstrip("\n")
    if line.startswith("C"): asked[0] += 1; asked[1] += time.perf_counter() - t
    return r
ref_codes = set()
for e, _, runs in rows:
    for r in runs:
        ref_codes.add("".join(k.replace("'", "") for _, k in r))
        for w, k in r:
            ref_codes |= codes_of(w, k); ref_codes |= set(k.split("'"))
ref_codes = sorted(ref_codes)
# the stock engine: one process for the run; in a session its answers change as it learns, so
# they are asked sentence by sentence, else once for every code
st = subprocess.Popen([anchor, "60"], stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, encoding="utf-8")
def st_ask(line):
    st.stdin.write(line + "\n"); st.stdin.flush(); return st.stdout.readline().rstrip("\n")
ref = {} if SESSION else {c: [x for x in st_ask("C\t" + c).split("\t") if x] for c in ref_codes}
def pick(rank): return 1 + rank // 10
def cost_run(r, cands, predict=None, typed=""):
    """Keys for one hanzi run. predict(text typed so far) -> the program's prediction list, or None."""
    full = "".join(k.replace("'", "") for _, k in r)
    text = "".join(w for w, _ in r)
    best = None
    c = cands(full)
    if c and c[0] == text: best = len(full) + 1
    total = 0
    for w, k in r:
        if predict is not None:  # the word offered before its first letter: one key to pick it
            p = predict(typed)
            if w in p:
                total += pick(p.index(w)); typed += w; continue
        wb = None
        for code in codes_of(w, k):
            cc = cands(code)
            if w in cc:
                v = len(code) + pick(cc.index(w)); wb = v if wb is None else min(wb, v)
        if wb is None:
            wb = 0
            for ch, s in zip(w, k.split("'")):
                cc = cands(s); wb += len(s) + (pick(cc.index(ch)) if ch in cc else 3)
        total += wb
        typed += w
    return min(best, total) if best is not None else total
chars = qbk = rfk = 0
for e, c, runs in rows:
    qb_ask("S\t" + e)
    cache = {}
    rcache = {}
    def rcands(code):
        if not SESSION: return ref.get(code, [])
        if code not in rcache:
            rcache[code] = [x for x in st_ask("C\t" + code).split("\t") if x]
        return rcache[code]
    def qcands(code):
        if code not in cache:
            cache[code] = [x for x in qb_ask("C\t" + code).split("\t") if x and "..." not in x]
        return cache[code]
    typed = [""]
    pcache = {}
    def qpredict(t):
        if t not in pcache:
            ans = qb_ask("P\t" + t) if t else ""
            pcache[t] = [x for x in ans.split("\t") if x and "..." not in x and not x.startswith("qblex:")]
        return pcache[t]
    for r in runs:
        chars += sum(len(w) for w, _ in r)
        qbk += cost_run(r, qcands, qpredict if PREDICT else None, typed[0])
        typed[0] += "".join(w for w, _ in r)
        rfk += cost_run(r, rcands)
    if SESSION:
        qb_ask("L\t" + e + "\t" + c)
        for r in runs:
            st_ask("L\t" + "".join(k.replace("'", "") for _, k in r) + "\t" + "".join(w for w, _ in r))
qb.stdin.close(); qb.wait(); st.stdin.close(); st.wait()
a, b = qbk / chars, rfk / chars
print(f"candidate look-ups: {asked[0]}, {1000 * asked[1] / max(1, asked[0]):.2f} ms each through the pipe")
print(f"{'session' if SESSION else 'isolated'}: typing the published translations of {len(rows)} English texts from {os.path.basename(corpus)} ({chars} hanzi): "
      f"project {a:.2f} keys/char, reference engine {b:.2f} keys/char, ratio {a / b:.2f} (goal <= {goal})")
sys.exit(0 if a / b <= goal else 1)
