#!/usr/bin/python3
"""Generate the weight tables compiled into the Jet text-key encoder.

Inputs (all kept in the repository so the output can be regenerated and checked):
  third_party/jackcess/data/index_codes_genleg.txt      General Legacy weights, U+0000-U+00FF
  third_party/jackcess/data/index_codes_ext_genleg.txt  General Legacy weights, U+0100-U+FFFF
                                                        without the surrogate block
      Both from Jackcess (github.com/jahlborn/jackcess, Apache-2.0), commit
      7a3433dc34cfb8d68b2530215b1027b4dec4bdde, src/main/resources/com/healthmarketscience/jackcess/.
  third_party/jackcess/data/index_codes_gen.txt         General (1033, version 1) weights, same layout
  third_party/jackcess/data/index_codes_ext_gen.txt     (same commit)
  tools/data/jp1041_kanji_weights.tsv                   Japanese (1041) kanji weights, derived by our
                                                        team's rule from JIS X 0208 order (see the file's
                                                        header and tools/README.md)

Outputs:
  src/jet/text_key_weights_genleg.inc   General Legacy table as runs of code points
  src/jet/text_key_weights_gen.inc      General table as runs of code points
  src/jet/text_key_weights_jp1041.inc   Japanese kanji weights, sorted by code point

Usage: tools/gen_text_key_weights.py [repo-root]   (then rebuild; the .inc files are committed)

General Legacy line format (one line per code point, in code point order):
  <class><inline hex>[,<extra hex>[,<small flag>]]
  class S simple, I international (extra = one diacritic byte per weight), Z kana (extra = voicing,
  small flag "1" = small kana), U ignorable (inline = its code in the word-sort record),
  P modifier (inline = value added to the previous diacritic), X ignored (no fields).
  A hex field of odd length lost its leading zero.
In the General table every primary weight is two bytes. Entries that do not fit that (30 of odd
length: 23 Lao entries listing the single byte 41, 7 of three bytes), expansions longer than four bytes
and accented entries whose diacritic count differs from their weight count are written with class R:
the encoder refuses those characters.
Runs group consecutive code points with the same class, extra bytes and small flag whose inline
bytes are equal (step 0) or, read as one big-endian number, rise by one per code point (step 1).
"""
import hashlib
import os
import sys

ROOT = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..'))
GENLEG = os.path.join(ROOT, 'third_party/jackcess/data/index_codes_genleg.txt')
GENLEG_EXT = os.path.join(ROOT, 'third_party/jackcess/data/index_codes_ext_genleg.txt')
KANJI = os.path.join(ROOT, 'tools/data/jp1041_kanji_weights.tsv')
OUT_GENLEG = os.path.join(ROOT, 'src/jet/text_key_weights_genleg.inc')
GEN = os.path.join(ROOT, 'third_party/jackcess/data/index_codes_gen.txt')
GEN_EXT = os.path.join(ROOT, 'third_party/jackcess/data/index_codes_ext_gen.txt')
OUT_GEN = os.path.join(ROOT, 'src/jet/text_key_weights_gen.inc')
OUT_KANJI = os.path.join(ROOT, 'src/jet/text_key_weights_jp1041.inc')

# Single-byte primary weights; every other byte value leads a two-byte weight. Checked below
# against every entry of the table.
SINGLE_BYTE_WEIGHTS = None


def sha256(path):
    with open(path, 'rb') as f:
        return hashlib.sha256(f.read()).hexdigest()


def hexbytes(s):
    if not s:
        return b''
    if len(s) % 2:
        s = '0' + s
    return bytes.fromhex(s)


def parse_line(line):
    cls = line[0]
    if cls not in 'SIZUPX':
        raise ValueError('unknown class in %r' % line)
    fields = line[1:].split(',') if len(line) > 1 else []
    inline = hexbytes(fields[0]) if fields else b''
    extra = hexbytes(fields[1]) if len(fields) > 1 else b''
    small = len(fields) > 2 and fields[2] == '1'
    if cls == 'X' and fields:
        raise ValueError('ignored class with fields: %r' % line)
    if cls in 'SIZUP' and not inline:
        raise ValueError('class %s without inline bytes: %r' % (cls, line))
    if cls == 'P' and len(inline) != 1:
        raise ValueError('modifier of more than one byte: %r' % line)
    if cls == 'Z' and (len(inline) != 2 or inline[0] != 0x7F or len(extra) > 1):
        raise ValueError('unexpected kana entry: %r' % line)
    if cls == 'I' and not extra:
        raise ValueError('international entry without extra: %r' % line)
    return cls, inline, extra, small


def load_table(base_path, ext_path):
    with open(base_path, encoding='ascii') as f:
        base = f.read().split('\n')
    with open(ext_path, encoding='ascii') as f:
        ext = f.read().split('\n')
    if base[-1] == '':
        base.pop()
    if ext[-1] == '':
        ext.pop()
    if len(base) != 256:
        raise ValueError('%s: %d lines, expected 256' % (base_path, len(base)))
    if len(ext) != 0x10000 - 0x100 - 0x800:
        raise ValueError('%s: %d lines, expected 63232' % (ext_path, len(ext)))
    table = {}
    for cp in range(256):
        table[cp] = parse_line(base[cp])
    i = 0
    for cp in range(0x100, 0x10000):
        if 0xD800 <= cp <= 0xDFFF:
            continue
        table[cp] = parse_line(ext[i])
        i += 1
    return table


def split_weights(inline, single):
    """Split inline bytes into weights; None if they do not parse."""
    out = []
    i = 0
    while i < len(inline):
        if inline[i] in single:
            out.append(inline[i:i + 1])
            i += 1
        elif i + 1 < len(inline):
            out.append(inline[i:i + 2])
            i += 2
        else:
            return None
    return out


def entry_problem(cls, inline, extra, single):
    if len(inline) > 4 or len(extra) > 2:
        return 'entry too long'
    if cls not in 'SIZ':
        return None
    w = split_weights(inline, single)
    if w is None:
        return 'inline bytes %s do not split into weights' % inline.hex()
    if cls == 'I' and len(extra) != len(w):
        return '%d weights but %d diacritic bytes' % (len(w), len(extra))
    if cls == 'I' and min(extra) < 2:
        return 'diacritic byte below 02'
    return None


def check_table(table, general=False):
    """Checks every entry. The General table has only two-byte weights; its entries that do not fit
    the key rules (odd lengths, long expansions, diacritic counts) become class R."""
    if general:
        single = set()
        for cp, (cls, inline, extra, small) in list(table.items()):
            if entry_problem(cls, inline, extra, single):
                table[cp] = ('R', b'', b'', False)
        return single
    single = {e[1][0] for e in table.values() if e[0] in 'SIZ' and len(e[1]) == 1}
    for cp, (cls, inline, extra, small) in table.items():
        problem = entry_problem(cls, inline, extra, single)
        if problem:
            raise ValueError('U+%04X: %s' % (cp, problem))
    return single


def runs_of(table):
    runs = []
    cur = None  # [first, last, cls, step, inline, extra, small]
    for cp in sorted(table):
        cls, inline, extra, small = table[cp]
        if cur is not None and cp == cur[1] + 1 and cur[2] == cls and cur[5] == extra and cur[6] == small \
                and len(cur[4]) == len(inline):
            n = cp - cur[0]
            if cur[3] in (None, 0) and inline == cur[4]:
                cur[1] = cp
                cur[3] = 0
                continue
            if cur[3] in (None, 1) and len(inline) >= 2 and \
                    int.from_bytes(inline, 'big') == int.from_bytes(cur[4], 'big') + n:
                cur[1] = cp
                cur[3] = 1
                continue
        if cur is not None:
            runs.append(cur)
        cur = [cp, cp, cls, None, inline, extra, small]
    runs.append(cur)
    return runs


def write_table(table, single, prefix, base_path, ext_path, out_path):
    runs = runs_of(table)
    lines = [
        '// Generated by tools/gen_text_key_weights.py -- do not edit.',
        '// Derived from Jackcess %s (sha256 %s)' % (os.path.basename(base_path), sha256(base_path)),
        '// and %s (sha256 %s),' % (os.path.basename(ext_path), sha256(ext_path)),
        '// Copyright Health Market Science / James Ahlborn, Apache License 2.0 (third_party/jackcess).',
        '// Modified form: consecutive code points merged into runs; the surrogate block is absent.',
        '// {first, last, class, step, inline length, inline bytes, extra length, extra bytes, small}',
        '',
        'static const GenLegRun k%sRuns[] = {' % prefix,
    ]
    if single:  # the General table has none
        lines[-1:-1] = ['static const uint8_t k%sSingleByteWeights[] = {%s};' % (
            prefix, ', '.join('0x%02X' % b for b in sorted(single))), '']
    for first, last, cls, step, inline, extra, small in runs:
        ib = list(inline) + [0] * (4 - len(inline))
        eb = list(extra) + [0] * (2 - len(extra))
        lines.append('    {0x%04X, 0x%04X, \'%s\', %d, %d, {0x%02X, 0x%02X, 0x%02X, 0x%02X}, %d, {0x%02X, 0x%02X}, %d},' % (
            first, last, cls, step or 0, len(inline), ib[0], ib[1], ib[2], ib[3], len(extra), eb[0], eb[1],
            1 if small else 0))
    lines.append('};')
    with open(out_path, 'w', encoding='utf-8', newline='\n') as f:
        f.write('\n'.join(lines) + '\n')
    return len(runs)


def write_kanji():
    rows = []
    with open(KANJI, encoding='utf-8') as f:
        header = None
        for line in f:
            if line.startswith('#'):
                continue
            cols = line.rstrip('\n').split('\t')
            if header is None:
                header = cols
                continue
            rows.append(dict(zip(header, cols)))
    out = []
    seen = set()
    for r in rows:
        seq = int(r['seq'])
        cp = int(r['codepoint'][2:], 16)
        if cp in seen:
            raise ValueError('duplicate code point %s' % r['codepoint'])
        seen.add(cp)
        if chr(cp) != r['char']:
            raise ValueError('char/code point mismatch at seq %d' % seq)
        # The weight must follow the rule: L = 6 + seq; NT = (0x80 + L div 254) << 8 | (L mod 254 + 2);
        # Jet writes NT + 0x0100.
        L = 6 + seq
        nt = ((0x80 + L // 254) << 8) | (L % 254 + 2)
        if int(r['nt_weight'], 16) != nt or int(r['jet_weight'], 16) != nt + 0x100:
            raise ValueError('weight does not follow the rule at seq %d' % seq)
        kind = {'JIS-L1': 'kJisKanji', 'JIS-L2': 'kJisKanji', 'equivalent': 'kEquivalent'}[r['kind']]
        if r['status'] == 'uncertain':
            kind = 'kUncertain'
        elif r['status'] not in ('measured', 'predicted'):
            raise ValueError('unknown status %r' % r['status'])
        out.append((cp, nt + 0x100, kind, r['kind'], r['status']))
    out.sort()
    lines = [
        '// Generated by tools/gen_text_key_weights.py -- do not edit.',
        '// From tools/data/jp1041_kanji_weights.tsv (sha256 %s):' % sha256(KANJI),
        '// Jet 4 Japanese (1041, version 0) primary weights of the JIS X 0208 kanji and their interleaved',
        '// equivalents, sorted by code point. {code point, Jet weight, kind}',
        '',
        'static const KanjiWeight kJp1041Kanji[] = {',
    ]
    for cp, w, kind, _, _ in out:
        lines.append('    {0x%04X, 0x%04X, %s},' % (cp, w, kind))
    lines.append('};')
    with open(OUT_KANJI, 'w', encoding='utf-8', newline='\n') as f:
        f.write('\n'.join(lines) + '\n')
    return len(out)


def main():
    table = load_table(GENLEG, GENLEG_EXT)
    single = check_table(table)
    n_runs = write_table(table, single, 'GenLeg', GENLEG, GENLEG_EXT, OUT_GENLEG)
    gen = load_table(GEN, GEN_EXT)
    gen_single = check_table(gen, general=True)
    n_gen_runs = write_table(gen, gen_single, 'Gen', GEN, GEN_EXT, OUT_GEN)
    n_kanji = write_kanji()
    print('General Legacy: %d code points in %d runs; General: %d runs, %d refused; Japanese kanji: %d' % (
        len(table), n_runs, n_gen_runs, sum(1 for e in gen.values() if e[0] == 'R'), n_kanji))


if __name__ == '__main__':
    main()
