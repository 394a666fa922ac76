#!/usr/bin/env python3
"""Checks that a release can be trusted: builds the win32 preset and its
archive (target dist) in two folders of different paths and compares the
bytes, builds once more under a fixed SOURCE_DATE_EPOCH, and reads the
archive: its entries, their times, and the Japanese texts.

  check_release.py --source SRC --work DIR --version VERSION
"""
import argparse
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import time
import zipfile

FIXED_EPOCH = 1234567891  # 2009-02-13 23:31:31 UTC: an odd second, which a zip cannot hold
ENTRIES = ['', 'kobu.exe', 'readme.txt', 'kobu.txt.sample']  # below the one folder kobu-VERSION/
COPYRIGHT = 'Copyright (c) 2026 the kobu developers'

results = []


def check(what, ok):
    results.append(bool(ok))
    print(('ok     ' if ok else 'FAILED ') + what, flush=True)
    return ok


def build(source, folder, epoch=None):
    """Configures and builds the win32 preset's archive in `folder`: (exe bytes, dist folder)."""
    env = dict(os.environ)
    env.pop('SOURCE_DATE_EPOCH', None)
    if epoch is not None:
        env['SOURCE_DATE_EPOCH'] = str(epoch)
    dist = os.path.join(folder, 'dist')
    for command in (['cmake', '--preset', 'win32', '-B', folder, f'-DKOBU_DIST_DIR={dist}'],
                    ['cmake', '--build', folder, '--target', 'dist', '--parallel', '2']):
        r = subprocess.run(command, cwd=source, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if r.returncode != 0:
            sys.stdout.write(r.stdout.decode(errors='replace'))
            raise SystemExit(f'FAILED {" ".join(command)}')
    with open(os.path.join(folder, 'kobu.exe'), 'rb') as f:
        return f.read(), dist


def sources_time(source):
    if 'SOURCE_DATE_EPOCH' in os.environ:
        return int(os.environ['SOURCE_DATE_EPOCH'])
    r = subprocess.run(['git', 'log', '-1', '--format=%ct'], cwd=source, stdout=subprocess.PIPE,
                       stderr=subprocess.DEVNULL)
    return int(r.stdout) if r.returncode == 0 and r.stdout.strip().isdigit() else 0


def pe_fields(exe):
    """(offset of TimeDateStamp, its value, offset of CheckSum, its value)."""
    pe = struct.unpack_from('<I', exe, 0x3c)[0]
    assert exe[pe:pe + 4] == b'PE\0\0'
    stamp_at, checksum_at = pe + 8, pe + 24 + 64
    return stamp_at, struct.unpack_from('<I', exe, stamp_at)[0], checksum_at, struct.unpack_from('<I', exe, checksum_at)[0]


def pe_checksum(exe):
    """The PE image checksum: 16-bit one's-complement-style sum with the
    CheckSum field taken as zero, plus the file length."""
    _, _, checksum_at, _ = pe_fields(exe)
    data = exe[:checksum_at] + b'\0\0\0\0' + exe[checksum_at + 4:]
    if len(data) % 2:
        data += b'\0'
    total = 0
    for (word,) in struct.iter_unpack('<H', data):
        total += word
        total = (total & 0xffff) + (total >> 16)
    return (total & 0xffff) + len(exe)


def zip_time(epoch):
    """What a zip entry of `epoch` must read back as: UTC, two-second steps, 1980 at the earliest."""
    if not epoch:
        return (1980, 1, 1, 0, 0, 0)
    t = time.gmtime(epoch)
    return max((1980, 1, 1, 0, 0, 0), (t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec // 2 * 2))


def check_text(name, data, must_hold):
    check(f'{name}: Shift_JIS (and code page 932 alike)', reads_as_shift_jis(data))
    check(f'{name}: CR LF line ends only, ending in one',
          data.count(b'\r\n') == data.count(b'\n') == data.count(b'\r') > 0 and data.endswith(b'\r\n'))
    text = data.decode('cp932', 'replace')
    missing = [m for m in must_hold if m not in text]
    check(f'{name}: holds {", ".join(repr(m) for m in must_hold)}' + (f' (missing {missing})' if missing else ''),
          not missing)
    check(f'{name}: no @PLACEHOLDER@ left', not re.search(r'@[A-Z_]+@', text))


def reads_as_shift_jis(data):
    try:
        return data.decode('shift_jis') == data.decode('cp932')
    except UnicodeDecodeError:
        return False


def check_archive(dist, version, exe, epoch, label):
    name = f'kobu-{version}-win32.zip'
    path = os.path.join(dist, name)
    with open(path, 'rb') as f:
        data = f.read()
    with open(os.path.join(dist, 'SHA256SUMS'), 'rb') as f:
        sums = f.read()
    check(f'{label}: SHA256SUMS names the archive with its hash',
          sums == f'{hashlib.sha256(data).hexdigest()}  {name}\n'.encode())
    with zipfile.ZipFile(path) as z:
        infos = z.infolist()
        folder = f'kobu-{version}/'
        check(f'{label}: entries {ENTRIES} in this order, all in {folder}',
              [i.filename for i in infos] == [folder + e for e in ENTRIES])
        check(f'{label}: every entry dated {zip_time(epoch)}', all(i.date_time == zip_time(epoch) for i in infos))
        check(f'{label}: the archive reads back whole', z.testzip() is None)
        check(f'{label}: kobu.exe is the built program', z.read(folder + 'kobu.exe') == exe)
        return data, {n[len(folder):]: z.read(n) for n in z.namelist()}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--source', required=True)
    ap.add_argument('--work', required=True)
    ap.add_argument('--version', required=True)
    args = ap.parse_args()
    source, work, version = os.path.abspath(args.source), os.path.abspath(args.work), args.version
    shutil.rmtree(work, ignore_errors=True)
    first_dir = os.path.join(work, 'a')
    second_dir = os.path.join(work, 'a second folder, deeper', 'b')
    fixed_dir = os.path.join(work, 'fixed-time')

    first, first_dist = build(source, first_dir)
    second, second_dist = build(source, second_dir)
    fixed, fixed_dist = build(source, fixed_dir, FIXED_EPOCH)
    epoch = sources_time(source)

    check(f'kobu.exe byte-identical from two folders (sha256 {hashlib.sha256(first).hexdigest()[:16]}…, '
          f'{len(first)} bytes)', first == second)
    leaks = [p for p in (source, work, first_dir, second_dir, '/work/', '/tmp/', '/usr/', '/home/')
             if p.encode() in first or p.encode('utf-16-le') in first]
    check('kobu.exe holds no host path' + (f' (found {leaks})' if leaks else ''), not leaks)
    _, stamp, _, checksum = pe_fields(first)
    check(f'kobu.exe TimeDateStamp is the sources\' time ({epoch})', stamp == epoch)
    _, fixed_stamp, _, fixed_checksum = pe_fields(fixed)
    check(f'kobu.exe TimeDateStamp follows SOURCE_DATE_EPOCH ({FIXED_EPOCH})', fixed_stamp == FIXED_EPOCH)
    check('kobu.exe CheckSum is the image checksum', checksum == pe_checksum(first)
          and fixed_checksum == pe_checksum(fixed))
    stamp_at, _, checksum_at, _ = pe_fields(first)
    differ = [i for i, (a, b) in enumerate(zip(first, fixed)) if a != b]
    check('another time changes only TimeDateStamp and CheckSum', len(first) == len(fixed) and all(
        stamp_at <= i < stamp_at + 4 or checksum_at <= i < checksum_at + 4 for i in differ))

    first_zip, entries = check_archive(first_dist, version, first, epoch, 'archive')
    second_zip, _ = check_archive(second_dist, version, second, epoch, 'second archive')
    check_archive(fixed_dist, version, fixed, FIXED_EPOCH, 'archive of SOURCE_DATE_EPOCH')
    check('archive byte-identical from two folders', first_zip == second_zip)
    with open(os.path.join(first_dist, 'SHA256SUMS'), 'rb') as a, open(os.path.join(second_dist, 'SHA256SUMS'),
                                                                          'rb') as b:
        check('SHA256SUMS byte-identical from two folders', a.read() == b.read())

    check_text('readme.txt', entries['readme.txt'],
               [f'kobu {version}', '■ 使い方', 'Ctrl', 'kobu.txt', '[kobu]', 'html=', '■ 終了コード',
                '■ おかしな入力', 'MIT', COPYRIGHT, '■ 履歴', f'\r\n  {version}  '])
    check_text('kobu.txt.sample', entries['kobu.txt.sample'], ['[kobu]', 'html='])

    failed = results.count(False)
    print(f'release: {len(results) - failed} passed, {failed} failed')
    if not failed:
        shutil.rmtree(work, ignore_errors=True)
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
