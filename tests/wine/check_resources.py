#!/usr/bin/env python3
"""Checks the application manifest and the version resource of kobu.exe,
field by field.  Prints one "ok" or "FAILED" line per check (the format of
check_binary.sh) and exits with 1 when any failed.

  check_resources.py kobu.exe VERSION
"""
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET

ASM_V1 = 'urn:schemas-microsoft-com:asm.v1'
ASM_V3 = 'urn:schemas-microsoft-com:asm.v3'
COMPATIBILITY = 'urn:schemas-microsoft-com:compatibility.v1'
SUPPORTED_OS = {  # Windows Vista, 7, 8, 8.1 and 10/11
    '{e2011457-1546-43c5-a5fe-008deee3d3f0}', '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}',
    '{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}', '{1f676c76-80e1-4239-95bb-83d0f6d0da78}',
    '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}'}
# Everything the manifest may hold: anything more (longPathAware, an active
# code page, DPI settings, a common-controls dependency) needs a newer loader
# or changes how the ANSI program behaves.
ALLOWED = {(ASM_V1, 'assembly'), (ASM_V3, 'trustInfo'), (ASM_V3, 'security'), (ASM_V3, 'requestedPrivileges'),
           (ASM_V3, 'requestedExecutionLevel'), (COMPATIBILITY, 'compatibility'),
           (COMPATIBILITY, 'application'), (COMPATIBILITY, 'supportedOS')}
COPYRIGHT = 'Copyright (c) 2026 the kobu developers'
BLOCKS = {'041103a4': (0x0411, 932), '040904b0': (0x0409, 1200)}

results = []


def check(what, ok):
    results.append(bool(ok))
    print(('ok     ' if ok else 'FAILED ') + what)


def resource(exe, type_id, name):
    return subprocess.run(['wrestool', '-x', '--raw', f'--type={type_id}', f'--name={name}', exe],
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout


def split_name(tag):
    namespace, _, local = tag[1:].partition('}')
    return namespace, local


def check_manifest(exe):
    raw = resource(exe, 24, 1)
    check('manifest: resource 1 of type 24 (RT_MANIFEST)', raw)
    try:
        root = ET.fromstring(raw)
    except ET.ParseError as e:
        check(f'manifest: well-formed XML ({e})', False)
        return
    check('manifest: an asm.v1 assembly of manifestVersion 1.0',
          split_name(root.tag) == (ASM_V1, 'assembly') and root.get('manifestVersion') == '1.0')
    unknown = sorted({split_name(e.tag) for e in root.iter()} - ALLOWED)
    check('manifest: only the execution level and the supported systems' + (f' (also {unknown})' if unknown else ''),
          not unknown)
    level = root.findall(f'{{{ASM_V3}}}trustInfo/{{{ASM_V3}}}security/{{{ASM_V3}}}requestedPrivileges/'
                         f'{{{ASM_V3}}}requestedExecutionLevel')
    check('manifest: requestedExecutionLevel asInvoker, uiAccess false',
          len(level) == 1 and level[0].get('level') == 'asInvoker' and level[0].get('uiAccess') == 'false')
    # Windows XP SP2's manifest parser breaks on an element that declares the
    # same namespace twice; trustInfo declares exactly one.
    start = raw[raw.find(b'<trustInfo'):]
    check('manifest: trustInfo declares one namespace', start[:start.find(b'>')].count(b'xmlns') == 1)
    ids = [e.get('Id') for e in root.iter(f'{{{COMPATIBILITY}}}supportedOS')]
    check('manifest: supportedOS Vista, 7, 8, 8.1, 10/11', len(ids) == len(SUPPORTED_OS) and set(ids) == SUPPORTED_OS)


def align4(n):
    return (n + 3) & ~3


def parse_block(data, offset):
    """One VS_VERSIONINFO-style block: (key, value bytes, is text, children)."""
    length, value_length, is_text = struct.unpack_from('<HHH', data, offset)
    end = offset + length
    pos = offset + 6
    key_end = pos
    while data[key_end:key_end + 2] != b'\0\0':
        key_end += 2
    key = data[pos:key_end].decode('utf-16-le')
    pos = align4(key_end + 2)
    size = value_length * 2 if is_text else value_length
    value = data[pos:pos + size]
    pos = align4(pos + size)
    children = []
    while pos < end:
        child, child_length = parse_block(data, pos)
        children.append(child)
        pos = align4(pos + child_length)
    return (key, value, is_text, children), length


def text_of(value):
    return value.decode('utf-16-le').rstrip('\0')


def check_version(exe, version):
    raw = resource(exe, 16, 1)
    check('version: resource 1 of type 16 (RT_VERSION)', raw)
    if not raw:
        return
    (key, fixed, _, children), _ = parse_block(raw, 0)
    fields = [int(p) for p in version.split('.')]
    fields += [0] * (4 - len(fields))
    packed = (fields[0] << 16 | fields[1], fields[2] << 16 | fields[3])
    sig, _, file_ms, file_ls, product_ms, product_ls, _, _, file_os, file_type = struct.unpack_from('<10I', fixed)
    check('version: VS_VERSION_INFO with its fixed part', key == 'VS_VERSION_INFO' and sig == 0xFEEF04BD)
    check(f'version: fixed file and product version {".".join(map(str, fields))}',
          (file_ms, file_ls) == packed and (product_ms, product_ls) == packed)
    check('version: a Windows NT application (VOS_NT_WINDOWS32, VFT_APP)', file_os == 0x40004 and file_type == 1)

    by_key = {c[0]: c for c in children}
    strings = {b[0]: {s[0]: text_of(s[1]) for s in b[3]} for b in by_key.get('StringFileInfo', (0, 0, 0, []))[3]}
    translation = by_key.get('VarFileInfo', (0, 0, 0, []))[3]
    pairs = []
    if translation and translation[0][0] == 'Translation':
        value = translation[0][1]
        pairs = [struct.unpack_from('<HH', value, i) for i in range(0, len(value), 4)]
    check('version: Translation Japanese (0x0411, 932) first, then English (0x0409, 1200)',
          pairs == [BLOCKS['041103a4'], BLOCKS['040904b0']])
    for block, (language, codepage) in BLOCKS.items():
        table = strings.get(block)
        check(f'version: string block {block} (language 0x{language:04x}, code page {codepage})', table)
        if not table:
            continue
        for name, expected in (('ProductName', 'kobu'), ('OriginalFilename', 'kobu.exe'), ('FileVersion', version),
                               ('ProductVersion', version)):
            check(f'version {block}: {name} "{expected}"', table.get(name) == expected)
        legal = table.get('LegalCopyright', '')
        check(f'version {block}: LegalCopyright names the copyright and the MIT licence',
              legal.startswith(COPYRIGHT) and 'MIT' in legal)
        description = table.get('FileDescription', '')
        if language == 0x0411:
            japanese = any(ord(ch) > 0x7f for ch in description)
            try:
                in_cp932 = description.encode('cp932').decode('cp932') == description
            except UnicodeError:
                in_cp932 = False
            check(f'version {block}: FileDescription in Japanese, in code page 932', japanese and in_cp932)
        else:
            check(f'version {block}: FileDescription in English', description and description.isascii())


def main():
    exe, version = sys.argv[1], sys.argv[2]
    check_manifest(exe)
    check_version(exe, version)
    return 0 if all(results) else 1


if __name__ == '__main__':
    sys.exit(main())
