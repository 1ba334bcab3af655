# Runs binary/unrar p over every set of the RAR corpus and compares each file's size and CRC32
# with expected.tsv (QUORVAN_UNRAR_DECODER=libarchive|unar makes it use one decoder for all).
import subprocess, sys, os, zlib, collections, time
root = sys.argv[1]; unrar = sys.argv[2]
rows = collections.OrderedDict()
for line in open(os.path.join(root, 'expected.tsv'), encoding='utf-8'):
    if line.startswith('#'): continue
    s, rc, name, size, crc = line.rstrip('\n').split('\t')
    rows.setdefault(s, []).append((int(rc), name, size, crc))
ok = bad = 0
for s, files in rows.items():
    t = time.time()
    p = subprocess.run([unrar, 'p', '-inul', '-ppassword', os.path.join(root, s)], capture_output=True, timeout=600)
    out = p.stdout; at = 0; verdict = []
    want = [(n, int(z), c) for (_, n, z, c) in files if c != '-']
    for n, z, c in want:
        piece = out[at:at+z]; at += z
        verdict.append(len(piece) == z and '%08x' % zlib.crc32(piece) == c)
    exact = all(verdict) and at == len(out) and p.returncode == 0
    urc = files[0][0]
    tag = 'EXACT' if exact else 'DIFF'
    if urc != 0: tag = 'unar-failed:' + ('rc0' if p.returncode == 0 else 'rc%d' % p.returncode)
    elif exact: ok += 1
    else: bad += 1
    print('%-70s %-16s rc=%d out=%d want=%d %.1fs %s' % (s, tag, p.returncode, len(out), sum(z for _, z, _ in want), time.time()-t, p.stderr.decode(errors='replace').strip()[:150].replace('\n', ' | ')))
print('exact', ok, 'differ', bad)
