#!/usr/bin/python3
"""Print the text keys stored in a Jet 4 or ACE database's indexes, with the values they key.

For every ascending index whose last column is Text and whose other columns are Long
(e.g. MSysObjects' ParentIdName), walks the B-tree from its root page, reads each leaf entry,
follows its row pointer to the row and prints one TSV line:
    file, TDEF page, index columns, text column LCID (hex, with ".1" for sort version 1), value
    (UTF-16 code units, hex),
    text key without its 7F flag (hex)
NULL values are skipped. Used to make tests/data/jet/keys/sample_keys.tsv from the sample
databases:  tools/extract_index_keys.py path/to/*.mdb
It only reads; it trusts the file (no bounds checks beyond Python's own).
"""
import struct
import sys

PAGE = 4096


def u16(b, o):
    return struct.unpack_from('<H', b, o)[0]


def u32(b, o):
    return struct.unpack_from('<I', b, o)[0]


class Db:
    def __init__(self, path):
        data = open(path, 'rb').read()
        self.pages = [data[i:i + PAGE] for i in range(0, len(data), PAGE)]

    def tdef(self, pg):
        buf = self.pages[pg]
        nxt = u32(buf, 4)
        seen = {pg}
        while nxt:  # continuation pages carry the definition from their offset 8
            if nxt in seen:
                raise ValueError('TDEF chain loops')
            seen.add(nxt)
            buf += self.pages[nxt][8:]
            nxt = u32(self.pages[nxt], 4)
        ncol, nreal = u16(buf, 0x2D), u32(buf, 0x33)
        o = 0x3F + 12 * nreal
        cols = []
        for _ in range(ncol):
            d = buf[o:o + 25]
            o += 25
            cols.append(dict(type=d[0], num=u16(d, 5), varidx=u16(d, 7), lcid=u16(d, 0x0B), sortver=d[0x0E]))
        for c in cols:
            n = u16(buf, o)
            c['name'] = buf[o + 2:o + 2 + n].decode('utf-16le')
            o += 2 + n
        reals = []
        for _ in range(nreal):
            d = buf[o:o + 52]
            o += 52
            keycols = []
            for k in range(10):
                cn, order = struct.unpack_from('<HB', d, 4 + 3 * k)
                if cn != 0xFFFF:
                    keycols.append((cn, order))
            reals.append(dict(cols=keycols, root=u32(d, 0x26)))
        return cols, reals

    def leaf_entries(self, pg, out, seen):
        if pg in seen:
            raise ValueError('index tree loops')
        seen.add(pg)
        p = self.pages[pg]
        prefix = u16(p, 0x18)
        bitmap = p[0x1B:0x1E0]
        start, first, entries = 0, None, []
        for k in range(3616):
            if bitmap[k >> 3] >> (k & 7) & 1:
                stored = p[0x1E0 + start:0x1E0 + k]
                full = stored if first is None else first[:prefix] + stored
                if first is None:
                    first = full
                entries.append(full)
                start = k
        if p[0] == 4:
            out.extend(entries)
            return
        for e in entries:  # node entry: key, row pointer, child page (big-endian)
            self.leaf_entries(int.from_bytes(e[-4:], 'big'), out, seen)
        if u32(p, 0x14):
            self.leaf_entries(u32(p, 0x14), out, seen)

    def row(self, pg, r):
        p = self.pages[pg]
        w = u16(p, 0x0E + 2 * r)
        off = w & 0x1FFF
        end = PAGE if r == 0 else (u16(p, 0x0E + 2 * (r - 1)) & 0x1FFF)
        if w & 0x4000:  # lookup row: pointer to the real row
            ptr = u32(p, off)
            return self.row(ptr >> 8, ptr & 0xFF)
        return p[off:end]


def text_value(row, col):
    nmask = (u16(row, 0) + 7) // 8
    mask = row[len(row) - nmask:]
    if not (mask[col['num'] >> 3] >> (col['num'] & 7) & 1):
        return None
    e = len(row) - nmask
    nvar = u16(row, e - 2)
    offs = [u16(row, e - 2 - 2 * (k + 1)) for k in range(nvar)] + [u16(row, e - 2 - 2 * (nvar + 1))]
    j = col['varidx']
    v = row[offs[j]:offs[j + 1]]
    if v[:2] == b'\xff\xfe':  # compressed Unicode
        s, i, one = '', 2, True
        while i < len(v):
            if v[i] == 0:
                one = not one
                i += 1
            elif one:
                s += chr(v[i])
                i += 1
            else:
                s += v[i:i + 2].decode('utf-16le')
                i += 2
        return s
    return v.decode('utf-16le')


def sort_order(col):
    # '0409' (version 0, as in every Jet 4 file) or '0409.1' (General, 1033 version 1)
    s = '%04x' % col['lcid']
    return s + '.%d' % col['sortver'] if col['sortver'] else s


def dump(path):
    db = Db(path)
    owners = sorted({u32(p, 4) for p in db.pages if p[0] == 4})
    name = path.replace('\\', '/').split('/')[-1]
    for t in owners:
        if t >= len(db.pages) or db.pages[t][0] != 2:
            continue
        cols, reals = db.tdef(t)
        bynum = {c['num']: c for c in cols}
        for rx in reals:
            kc = [bynum[cn] for cn, _ in rx['cols']]
            if not kc or kc[-1]['type'] != 10 or any(c['type'] != 4 for c in kc[:-1]):
                continue
            if any(order != 1 for _, order in rx['cols']):
                continue
            out = []
            db.leaf_entries(rx['root'], out, set())
            for e in out:
                key, ptr = e[:-4], int.from_bytes(e[-4:], 'big')
                value = text_value(db.row(ptr >> 8, ptr & 0xFF), kc[-1])
                if value is None:
                    continue
                text_key = key[5 * (len(kc) - 1):]  # each Long column: 7F + 4 bytes
                if text_key[0] != 0x7F:
                    raise ValueError('unexpected flag %02x' % text_key[0])
                print('\t'.join([name, str(t), '+'.join(c['name'] for c in kc), sort_order(kc[-1]),
                                 value.encode('utf-16-be').hex(), text_key[1:].hex()]))


if __name__ == '__main__':
    for f in sys.argv[1:]:
        dump(f)
