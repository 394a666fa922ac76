"""kobu.exe on real Windows file systems, under Wine in code page 932: 8.3
aliases, names the code page cannot hold, long Japanese paths, kobu.txt in
UTF-8.  The Windows program only."""
import os
import shutil

import browser
from case_table import case, expect_file, favorites_and_desktop, guarded_run
from page_model import expected_favorites, link_item, links_page
from runners import Raw, Wide, read

WINE = ('wine',)
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def page_tree(page_path):
    """(links, subsections) of a favorites page file, parsed as HTML."""
    b = browser.Builder()
    b.feed(read(page_path).decode('cp932'))
    b.close()
    _, _, links, subsections = browser.favorites_of(b)
    return links, subsections


def unescaped(field):
    out, i = bytearray(), 0
    escapes = {'n': b'\n', 'r': b'\r', 't': b'\t', '\\': b'\\', '0': b'\0'}
    while i < len(field):
        c = field[i]
        if c == '\\' and i + 1 < len(field):
            e = field[i + 1]
            if e == 'x':
                out.append(int(field[i + 2:i + 4], 16))
                i += 4
                continue
            out += escapes.get(e, e.encode())
            i += 2
            continue
        out += c.encode('latin-1')
        i += 1
    return bytes(out)


@case('windows', runners=WINE)
def profile_rules_as_windows_reads_them(env):
    # The table the program's own profile reader is tested against, asked of
    # GetPrivateProfileStringA itself.
    rows = []
    with open(os.path.join(ROOT, 'tests', 'data', 'profile_rules.txt'), encoding='latin-1') as f:
        for line in f:
            line = line.rstrip('\n')
            if line and not line.startswith('#'):
                name, text, value, where = line.split('\t')
                if where == 'both':
                    rows.append((name, unescaped(text), unescaped(value)))
    paths = [env.write('profiles', name + '.txt', text) for name, text, _ in rows]
    got = env.profile_values(paths)
    wrong = [(name, value, g) for (name, _, value), g in zip(rows, got) if g != value]
    assert not wrong, f'the table and Windows differ: {wrong}'


@case('windows', runners=WINE)
def only_long_names_ending_in_url_are_shortcuts(env):
    fav, page = favorites_and_desktop(env)
    for name in ('notes.urlx', 'x.url2', 'x.url~'):
        env.write('fav', name, b'URL=http://alias-match/\r\n')
    env.mkdir('fav', 'folder.urlx')
    env.write('fav', 'real.url', b'URL=http://real/\r\n')
    # Each of them matches "*.url" through its 8.3 alias.
    for name in ('notes.urlx', 'x.url2', 'x.url~', 'folder.urlx'):
        assert env.short_name(env.host('fav', name)).upper().endswith(b'.URL'), name
    assert guarded_run(env, written=[page]) == 0
    expect_file(page, expected_favorites(env, fav))
    assert b'alias-match' not in read(page)


@case('windows', runners=WINE)
def names_the_code_page_cannot_hold(env):
    fav, page = favorites_and_desktop(env)
    files = {  # name: address; each with a look-alike the ANSI name would reach
        'Caf\u00e9.url': b'http://cafe-accent/', 'Cafe.url': b'http://cafe-plain/',
        '\u00fcber.url': b'http://uber-umlaut/', 'uber.url': b'http://uber-plain/',
        '\u00a5100.url': b'http://yen-100/', '\ud55c.url': b'http://hangul/', '\U0001f600.url': b'http://emoji/',
    }
    for name, address in files.items():
        env.write('fav', name, b'URL=' + address + b'\r\n')
    env.write('fav', 'Cr\u00e8me', 'x.url', b'URL=http://creme-accent/\r\n')
    env.write('fav', 'Creme', 'y.url', b'URL=http://creme-plain/\r\n')
    env.write('fav', 'x\u00a5y', 'own.url', b'URL=http://x-yen-y/\r\n')
    env.write('fav', 'x', 'y', 'decoy.url', b'URL=http://decoy/\r\n')
    assert guarded_run(env, written=[page]) == 0
    links, subsections = page_tree(page)
    # Every shortcut once, with its own address, shown by its own name.
    assert sorted(links) == sorted((address.decode(), name[:-4]) for name, address in files.items()), links
    assert sorted(subsections) == sorted([
        ('Cr\u00e8me', [('http://creme-accent/', 'x')], []), ('Creme', [('http://creme-plain/', 'y')], []),
        ('x\u00a5y', [('http://x-yen-y/', 'own')], []), ('x', [], [('y', [('http://decoy/', 'decoy')], [])])]), subsections


def links_page_headed(heading, items):
    """A links page whose heading is `heading` as the page holds it, references and all."""
    return links_page(b'HEADING', items).replace(b'HEADING', heading, 1)


@case('windows', runners=WINE)
def an_argument_the_code_page_cannot_hold(env):
    _, page = favorites_and_desktop(env)
    src = env.write('in', 'Caf\u00e9.txt', b'http://accent/\r\n')
    env.write('in', 'Cafe.txt', b'http://look-alike/\r\n')
    assert guarded_run(env, env.wide_path(src), written=[src + b'.html']) == 0
    # The links page of that very file, beside it under its own name.
    heading = env.prog(env.host('in')) + b'\\Caf&#233;.txt'
    expect_file(src + b'.html', links_page_headed(heading, link_item(b'http://', b'accent/')))
    # A name that reaches nothing names nothing: the Favorites folder, never a look-alike's page.
    assert guarded_run(env, env.wide_path(env.host('in', 'Caf\u00e8.txt')), written=[page]) == 0


@case('windows', runners=WINE)
def arguments_longer_than_a_path(env):
    # A Japanese path of 262 bytes (131 characters of it Japanese), dropped
    # on the program: reached through its short form, its page beside it
    # under its long name, headed with the long path.
    _, page = favorites_and_desktop(env)
    room = 262 - len(env.prog(env.host('in'))) - 2 * 60 - 6  # the file name's Japanese, in bytes
    src = env.write('in', HYOU * 60, HYOU * (room // 2) + 'x' * (room % 2) + '.txt', b'http://long/\r\n')
    assert len(env.prog(src)) == 262
    assert guarded_run(env, env.wide_path(src), written=[src + b'.html']) == 0
    expect_file(src + b'.html', links_page(env.prog(src), link_item(b'http://', b'long/')))
    # A folder so deep: its tree, never the Favorites.
    folder = env.write('deep', HYOU * 66, HYOU * 66, 's.url', b'URL=http://deep/\r\n')
    assert guarded_run(env, env.wide_path(os.path.dirname(folder)), written=[page]) == 0
    assert b'http://deep/' in read(page)


@case('windows', runners=WINE)
def several_dropped_files(env):
    # Explorer's drop of two files, one named beyond the code page: each its
    # page beside it, and no favorites page.
    _, page = favorites_and_desktop(env)
    plain = env.write('in', 'a b.txt', b'http://plain/\r\n')
    accent = env.write('in', 'Caf\u00e9.txt', b'http://accent/\r\n')
    env.write('in', 'Cafe.txt', b'http://look-alike/\r\n')
    tail = Wide('"' + env.wide_path(plain) + '" "' + env.wide_path(accent) + '"')
    assert guarded_run(env, tail, written=[plain + b'.html', accent + b'.html']) == 0
    expect_file(plain + b'.html', links_page(env.prog(plain), link_item(b'http://', b'plain/')))
    heading = env.prog(env.host('in')) + b'\\Caf&#233;.txt'
    expect_file(accent + b'.html', links_page_headed(heading, link_item(b'http://', b'accent/')))
    assert not os.path.exists(page)


@case('windows', runners=WINE)
def shell_folders_the_code_page_cannot_hold(env):
    fav, _ = favorites_and_desktop(env)
    desk = env.mkdir('Jos\u00e9')
    env.mkdir('Jose')  # the look-alike
    env.write('Ren\u00e9e', 'Fav', 'r.url', b'URL=http://renee/\r\n')
    env.set_folder('Desktop', env.wide_path(desk))
    env.set_folder('Favorites', env.wide_path(env.host('Ren\u00e9e', 'Fav')))
    assert guarded_run(env, written=[os.path.join(desk, b'kobu.html')]) == 0
    links, _ = page_tree(os.path.join(desk, b'kobu.html'))
    assert links == [('http://renee/', 'r')]
    assert os.listdir(env.host('Jose')) == []
    # A value that names nothing the ANSI calls can reach: exit 1, nothing written.
    env.set_folder('Desktop', env.wide_path(env.host('Andr\u00e9')))
    assert guarded_run(env) == 1


HYOU = '\u8868'  # 表: Shift_JIS 95 5C


@case('windows', runners=WINE)
def long_japanese_paths(env):
    fav, page = favorites_and_desktop(env)
    # A program at 70 + 70 Japanese characters deep: 153 characters, 293 bytes.
    exe = env.host(HYOU * 70, HYOU * 70, 'kobu.exe')
    os.makedirs(os.path.dirname(exe))
    shutil.copy(env.program, exe)
    env.program = exe
    assert len(env.prog(exe)) > 259
    # A tree with two 80-character Japanese folder names.
    env.write('fav', HYOU * 80, HYOU * 80, 'in.url', b'URL=http://deep/\r\n')
    assert guarded_run(env, written=[page]) == 0
    expect_file(page, expected_favorites(env, fav))
    assert b'http://deep/' in read(page)
    # kobu.txt beside the program is found through its short path too.
    other = env.host('other.html')
    with open(os.path.join(os.path.dirname(exe), b'kobu.txt'), 'wb') as f:
        f.write(b'[kobu]\r\nhtml=' + env.prog(other) + b'\r\n')
    assert guarded_run(env, written=[other]) == 0
    expect_file(other, expected_favorites(env, fav))


@case('windows', runners=WINE)
def kobu_txt_in_utf8_and_utf16(env):
    fav, page = favorites_and_desktop(env)
    env.write('fav', 'x.url', b'URL=http://x/\r\n')
    target = env.host('\u51fa\u529b', '\u30da\u30fc\u30b8.html')  # 出力\ページ.html
    os.makedirs(os.path.dirname(target))
    value = env.wide_path(target)
    for kind, text in (
            ('UTF-8', ('[kobu]\r\nhtml=' + value + '\r\n').encode('utf-8')),
            ('UTF-8 with a BOM', ('\ufeff[kobu]\r\nhtml=' + value + '\r\n').encode('utf-8')),
            ('UTF-16', ('\ufeff[kobu]\r\nhtml=' + value + '\r\n').encode('utf-16-le')),
            ('Shift_JIS', ('[kobu]\r\nhtml=' + value + '\r\n').encode('cp932'))):
        env.config(text)
        assert guarded_run(env, written=[target]) == 0, kind
        expect_file(target, expected_favorites(env, fav), kind)
        os.remove(target)
    # Shift_JIS that is well-formed UTF-8 by chance (half-width katakana, then
    # a kanji): read as Windows reads it, its folder being the one that exists.
    mail = env.host('\uff92\uff70\uff99\u5199\u771f', 'kobu.html')  # ﾒｰﾙ写真
    os.makedirs(os.path.dirname(mail))
    env.config(('[kobu]\r\nhtml=' + env.wide_path(mail) + '\r\n').encode('cp932'))
    assert guarded_run(env, written=[mail]) == 0
    expect_file(mail, expected_favorites(env, fav))
    # A UTF-8 value the code page cannot hold: the page goes there all the same, through its Unicode form.
    cafe = env.host('Caf\u00e9', '\U0001f600.html')
    os.makedirs(os.path.dirname(cafe))
    env.config(('[kobu]\r\nhtml=' + env.wide_path(cafe) + '\r\n').encode('utf-8'))
    assert guarded_run(env, written=[cafe]) == 0
    expect_file(cafe, expected_favorites(env, fav))
