#!/usr/bin/env bash
# Builds the typing benchmark's corpus: published Chinese translations of English program
# messages with the English beside them, from the gettext catalogues of Debian packages
# (coreutils, dpkg, apt, bash, ... : installed on every Debian system; gettext is in the
# set-up). Output: UTF-8 lines English<TAB>Chinese, at most 300, spread evenly over all pairs
# whose Chinese is mostly hanzi. Usage: scripts/make-corpus.sh OUT
set -euo pipefail
OUT=${1:?usage: make-corpus.sh OUT}
LOCALE_DIR=${QB_LOCALE_DIR:-/usr/share/locale/zh_CN/LC_MESSAGES}
CATALOGUES=(coreutils dpkg apt bash grep findutils diffutils sed tar gettext-tools libc make)
command -v msgunfmt >/dev/null || { echo "make-corpus: msgunfmt (gettext) is missing" >&2; exit 1; }
tmp=$(mktemp)
trap 'rm -f "$tmp"' EXIT
used=()
for c in "${CATALOGUES[@]}"; do
  mo=$LOCALE_DIR/$c.mo
  [ -f "$mo" ] || continue
  used+=("$c")
  msgunfmt --no-wrap "$mo" >>"$tmp" 2>/dev/null
done
[ ${#used[@]} -gt 0 ] || { echo "make-corpus: no catalogue in $LOCALE_DIR" >&2; exit 1; }
# Entries with one msgid and one msgstr (no context, no plural); escapes resolved, line breaks
# and tabs become spaces. Kept: English with a letter, Chinese of at least 6 hanzi that make up
# 70% or more of its non-space characters.
perl -CSD -e '
  my (@pairs, $id, $str, $state, $skip);
  sub unq { my $s = shift; $s =~ s/^"//; $s =~ s/"$//;
            $s =~ s/\\n|\\t/ /g; $s =~ s/\\"/"/g; $s =~ s/\\\\/\\/g; return $s; }
  sub flush {
    if (defined $id && defined $str && !$skip && $id ne "") {
      my $han = () = $str =~ /[\x{4e00}-\x{9fff}]/g;
      (my $dense = $str) =~ s/\s//g;
      $id =~ s/\s+/ /g; $id =~ s/^ | $//g; $str =~ s/\s+/ /g; $str =~ s/^ | $//g;
      push @pairs, "$id\t$str" if $id =~ /[A-Za-z]/ && $han >= 6 && $han >= 0.7 * length($dense)
                                   && length($id) <= 200;
    }
    undef $id; undef $str; $skip = 0; $state = "";
  }
  while (my $l = <>) {
    chomp $l;
    if ($l =~ /^msgctxt / || $l =~ /^msgid_plural / || $l =~ /^msgstr\[/) { $skip = 1; $state = ""; next; }
    if ($l =~ /^msgid (".*")$/) { flush(); $id = unq($1); $state = "id"; next; }
    if ($l =~ /^msgstr (".*")$/) { $str = unq($1); $state = "str"; next; }
    if ($l =~ /^(".*")$/) { if ($state eq "id") { $id .= unq($1) } elsif ($state eq "str") { $str .= unq($1) } next; }
    if ($l =~ /^\s*$/) { flush(); }
  }
  flush();
  my %seen; @pairs = grep { !$seen{$_}++ } @pairs;
  my $n = @pairs; my $want = $n < 300 ? $n : 300;
  for (my $i = 0; $i < $want; ++$i) { print $pairs[int($i * $n / $want)], "\n"; }
' "$tmp" >"$OUT"
echo "make-corpus: $(wc -l <"$OUT") pairs from ${used[*]}" >&2
