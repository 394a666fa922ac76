#!/usr/bin/env python3
"""Writes the Windows release: kobu-VERSION-win32.zip holding one folder
kobu-VERSION/ with kobu.exe, readme.txt and kobu.txt.sample in it (so that
"extract here" makes one folder, not three loose files), and SHA256SUMS
beside it.

  make_dist.py --exe build/win32/kobu.exe --version 1.0 --epoch=1796775571 --out build/dist

The two texts live beside this script in UTF-8 with LF line ends, where they
are easy to edit and to review; they go into the archive as Japanese Windows
users read them, Shift_JIS with CR LF line ends.  The archive is the same
bytes on every run: fixed entry order, entry times from --epoch (the sources'
time; none or before 1980 gives 1980-01-01), fixed attributes.
"""
import argparse
import hashlib
import io
import os
import sys
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ZIP_EPOCH = (1980, 1, 1, 0, 0, 0)  # the earliest time a zip entry can hold


def windows_text(text):
    """The text as Shift_JIS bytes with CR LF line ends.  Every character
    must read back the same in Shift_JIS and in code page 932, so that no
    editor shows it differently."""
    if '\r' in text:
        raise ValueError('the text must have LF line ends only')
    data = text.replace('\n', '\r\n').encode('cp932')
    for codec in ('cp932', 'shift_jis'):
        if data.decode(codec) != text.replace('\n', '\r\n'):
            bad = next(ch for ch in text if ch.encode('cp932').decode(codec, 'replace') != ch)
            raise ValueError(f'{bad!r} (U+{ord(bad):04X}) does not read back the same in {codec}')
    return data


def readme_text(version):
    with open(os.path.join(HERE, 'readme.txt.in'), encoding='utf-8') as f:
        text = f.read().replace('@VERSION@', version)
    history = text[text.index('■ 履歴'):]
    if f'\n  {version}  ' not in history:
        raise ValueError(f'readme.txt.in has no history entry for version {version}')
    return text


def sample_text():
    with open(os.path.join(HERE, 'kobu.txt.sample'), encoding='utf-8') as f:
        return f.read()


def zip_time(epoch):
    """The entry time of `epoch` (UTC), in the two-second steps a zip holds."""
    if not epoch:
        return ZIP_EPOCH
    t = time.gmtime(int(epoch))
    return max(ZIP_EPOCH, (t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec // 2 * 2))


def archive(folder, entries, epoch):
    """The zip bytes of the folder `folder` holding the (name, data) entries,
    in the given order."""
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, 'w') as z:
        info = zipfile.ZipInfo(folder + '/', date_time=zip_time(epoch))
        info.create_system = 0
        info.external_attr = 0x10       # the directory attribute
        z.writestr(info, b'')
        for name, data in entries:
            info = zipfile.ZipInfo(f'{folder}/{name}', date_time=zip_time(epoch))
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0      # MS-DOS: what Windows' own zip folders write
            info.external_attr = 0x20   # the archive attribute only
            z.writestr(info, data, compresslevel=9)
    return buffer.getvalue()


def write_atomically(path, data):
    tmp = path + '.tmp'
    with open(tmp, 'wb') as f:
        f.write(data)
    os.replace(tmp, path)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    ap.add_argument('--exe', required=True, help='the built kobu.exe')
    ap.add_argument('--version', required=True)
    ap.add_argument('--epoch', default='', help='seconds since 1970 for the entry times (empty: none)')
    ap.add_argument('--out', required=True, help='folder for the archive and SHA256SUMS')
    args = ap.parse_args()

    with open(args.exe, 'rb') as f:
        exe = f.read()
    try:
        entries = [('kobu.exe', exe),
                   ('readme.txt', windows_text(readme_text(args.version))),
                   ('kobu.txt.sample', windows_text(sample_text()))]
    except ValueError as e:
        print(f'make_dist: {e}', file=sys.stderr)
        return 1
    data = archive(f'kobu-{args.version}', entries, args.epoch)

    os.makedirs(args.out, exist_ok=True)
    name = f'kobu-{args.version}-win32.zip'
    zip_path = os.path.join(args.out, name)
    sums_path = os.path.join(args.out, 'SHA256SUMS')
    write_atomically(zip_path, data)
    write_atomically(sums_path, f'{hashlib.sha256(data).hexdigest()}  {name}\n'.encode())
    print(f'release archive: {zip_path}')
    print(f'checksums:       {sums_path}')
    return 0


if __name__ == '__main__':
    sys.exit(main())
