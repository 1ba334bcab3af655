# Sorts the sets of the corpus by format and counts, per decoder, the sets extracted exactly
# (from the reports of rar_corpus.py: libarchive.txt, unar.txt, own.txt, auto.txt here).
import json, subprocess, sys, re, collections, os
corpus = sys.argv[1]
res = {}
for tag in ('libarchive', 'unar', 'own', 'auto'):
    for line in open(tag + '.txt'):
        m = re.match(r'(\S+)\s+(EXACT|DIFF)\s', line)
        if m and 'want=0 ' not in line: res.setdefault(m.group(1), {})[tag] = m.group(2) == 'EXACT'
table = collections.defaultdict(lambda: [0, 0, 0, 0, 0])
for s, r in res.items():
    p = subprocess.run(['lsar', '-j', '-p', 'password', os.path.join(corpus, s)], capture_output=True)
    try: j = json.loads(p.stdout)
    except Exception: continue
    c = j.get('lsarContents', [])
    fmt = j.get('lsarFormatName', '?')
    v5 = fmt == 'RAR 5'
    files = [e for e in c if not e.get('XADIsDirectory') and not e.get('XADIsLink')]
    if v5:
        comp = any(e.get('RAR5CompressionMethod', 0) for e in files)
    else:
        comp = any(e.get('RARCompressionMethod', 48) != 48 for e in files)
    enc = any(e.get('XADIsEncrypted') for e in files) or j.get('lsarProperties', {}).get('XADIsEncrypted')
    solid = any(e.get('XADIsSolid') for e in files) or any(e.get('RARFlags', 0) & 0x10 for e in files)
    ver = min([e.get('RARCompressionVersion', 29) for e in files] or [29])
    multi = len(j.get('lsarProperties', {}).get('XADVolumes', [])) > 1
    if v5: k = 'RAR5 ' + ('encrypted' if enc else ('compressed' + (' solid' if solid else '') if comp else 'stored'))
    elif ver < 29: k = 'RAR 1.5/2.0 ' + ('compressed' if comp else 'stored')
    else: k = 'RAR 2.9-4.x ' + ('encrypted' if enc else ('compressed' + (' solid' if solid else '') if comp else 'stored'))
    if multi: k += ' (volumes)'
    t = table[k]; t[0] += 1; t[1] += r.get('libarchive', False); t[2] += r.get('unar', False); t[3] += r.get('own', False); t[4] += r.get('auto', False)
for k in sorted(table): print('%-40s sets %2d  libarchive %2d  unar %2d  own %2d  binary/unrar %2d' % ((k,) + tuple(table[k])))
