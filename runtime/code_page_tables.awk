# One code page of code_page_tables.inc, from the platform's table of that code page (a Wine
# "c_NNN.nls" file) read as 16-bit words, one per line:
#   od -An -v -tu2 -w2 /usr/share/wine/nls/c_932.nls | awk -f runtime/code_page_tables.awk
# (runtime/code_page_tables.sh writes the whole file). The file holds a header (code page,
# largest character size, default byte, default character, lead-byte ranges), the character of
# every byte, the character of every lead-and-trail pair of each lead byte, and the bytes of
# every code unit, best fit included.
#
# Written out:
#   kLeadsN  the lead bytes (double-byte code pages only);
#   kTextN   the character of every byte, then of every pair of each lead byte in order, as
#            runs: a word H below 0x8000 is followed by H characters; 0x8000 | length with a
#            start character is a run of that character, 0xC000 | length with a start
#            character a run counting up from it;
#   kBytesN  the bytes of a code unit wherever they are not what reading kTextN backwards gives
#            (the first byte or pair, in that order, that reads as the unit; the default byte
#            where none does): (unit << 16) | bytes, by unit.
# A descriptor line for kCodePages goes to the file named by -v descriptors=FILE.
{ w[n++] = $1 + 0 }

function flush_literals(    k) {
  if (nlit == 0) return
  emit(nlit)
  for (k = 0; k < nlit; ++k) emit(lit[k])
  nlit = 0
}
function emit(v) {
  out = out (nout % 12 == 0 ? "\n   " : "") " " sprintf("0x%04X", v) ","
  ++nout
}

END {
  header = w[0]; cp = w[1]; width = w[2]; default_byte = w[3]; default_char = w[4]
  p = header
  bytes_at = p + w[p] + 1
  ++p
  for (b = 0; b < 256; ++b) text[b] = w[p + b]
  p += 256
  p += 1 + w[p]                      # the glyph table, unused
  nleads = 0
  if (w[p]) {                        # lead-byte ranges
    for (b = 0; b < 256; ++b) {
      if (!w[p + 1 + b]) continue
      lead[nleads++] = b
      is_lead[b] = 1
      for (t = 0; t < 256; ++t) text[256 * nleads + t] = w[p + 1 + w[p + 1 + b] + t]
    }
  }
  total = 256 * (nleads + 1)

  # The characters, as runs.
  out = ""; nout = 0; nlit = 0
  for (i = 0; i < total; ) {
    step = text[i + 1] - text[i]
    if (i + 2 < total && (step == 0 || step == 1) && text[i + 2] - text[i + 1] == step) {
      for (j = i + 2; j + 1 < total && text[j + 1] - text[j] == step && j + 1 - i < 16383; ++j) {}
      flush_literals()
      emit((step ? 49152 : 32768) + j + 1 - i)
      emit(text[i])
      i = j + 1
    } else {
      lit[nlit++] = text[i++]
      if (nlit == 32767) flush_literals()
    }
  }
  flush_literals()
  printf "// Code page %d\n", cp
  if (nleads) {
    printf "inline constexpr uint8_t kLeads%d[] = {", cp
    for (k = 0; k < nleads; ++k) printf "%s0x%02X", (k ? ", " : ""), lead[k]
    printf "};\n"
  }
  printf "inline constexpr uint16_t kText%d[] = {%s\n};\n", cp, out

  # The bytes: the table read backwards, and where the platform's table differs from it.
  for (b = 0; b < 256; ++b)
    if (!is_lead[b] && !(text[b] in first)) first[text[b]] = b
  for (k = 0; k < nleads; ++k)
    for (t = 0; t < 256; ++t) {
      u = text[256 * (k + 1) + t]
      if (!(u in first)) first[u] = lead[k] * 256 + t
    }
  out = ""; nout = 0
  for (u = 0; u < 65536; ++u) {
    if (width == 2) code = w[bytes_at + u]
    else code = u % 2 ? int(w[bytes_at + int(u / 2)] / 256) : w[bytes_at + int(u / 2)] % 256
    expected = (u in first) ? first[u] : default_byte
    if (code == expected) continue
    out = out (nout % 6 == 0 ? "\n   " : "") " " sprintf("0x%04X%04X", u, code) ","
    ++nout
  }
  printf "inline constexpr uint32_t kBytes%d[] = {%s\n};\n\n", cp, out
  printf "    {%d, 0x%02X, 0x%04X, %s, %s, kText%d, std::size(kText%d), kBytes%d, std::size(kBytes%d)},\n", \
    cp, default_byte, default_char, nleads ? "kLeads" cp : "nullptr", nleads ? "std::size(kLeads" cp ")" : "0", \
    cp, cp, cp, cp >> descriptors
}
