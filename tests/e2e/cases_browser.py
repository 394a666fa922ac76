"""Pages in a real browser: headless Chromium loads what the program wrote,
and the document it builds must hold exactly the links, sections and texts
the files on disk give, however hostile those files are.  A handful of pages,
each checked for many things."""
import os
import shutil

import browser
from case_table import case, favorites_and_desktop
from page_model import read_shortcut, text_addresses

FAVORITES_TITLE = '\u304a\u6c17\u306b\u5165\u308a'  # お気に入り
LINKS_TITLE = '\u30ea\u30f3\u30af\u96c6'            # リンク集
LINKS_HEADING_TAIL = ' \u304b\u3089\u62bd\u51fa\u3055\u308c\u305fURL'  # " から抽出されたURL"
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
# Every script the hostile inputs carry would change the title to this.
PWNED = 'PWNED'


def shown(b):
    """Bytes of a page as the browser shows them: Shift_JIS text."""
    return b.decode('cp932')


def expected_section(env, host_dir):
    """(links, subsections) that a folder must show: links as (href, text), subsections as (name, links, subsections)."""
    entries = env.list_dir(host_dir)
    links = [(shown(read_shortcut(p)), env.shown_name(p)[:-4])
             for name, p, is_dir in entries if name.lower().endswith(b'.url') and not is_dir]
    subsections = [(env.shown_name(p),) + expected_section(env, p)
                   for name, p, is_dir in entries if is_dir and name not in (b'.', b'..')]
    return links, subsections


def count_links(section):
    links, subsections = section
    return len(links) + sum(count_links(s[1:]) for s in subsections)


def check_favorites_page(env, page, host_root):
    title, heading, links, subsections = browser.favorites_of(browser.dom_of(page))
    assert title == FAVORITES_TITLE, f'the title is {title!r}: a script ran'
    assert heading == env.shown_path(host_root)
    expected = expected_section(env, host_root)
    assert (links, subsections) == expected, f'got {(links, subsections)!r}\nexpected {expected!r}'
    return count_links(expected)


def check_links_page(env, src):
    title, heading, items = browser.links_page_of(browser.dom_of(src + b'.html'))
    assert title == LINKS_TITLE, f'the title is {title!r}: a script ran'
    assert heading == env.shown_path(src) + LINKS_HEADING_TAIL
    with open(src, 'rb') as f:
        expected = [shown(scheme + address) for scheme, address in text_addresses(f.read())]
    assert items == [(e, e) for e in expected], f'got {items!r}\nexpected {expected!r}'
    return items


@case('browser')
def demo_pages(env):
    _, page = favorites_and_desktop(env)
    fav = env.host('fav')
    shutil.rmtree(fav)
    shutil.copytree(os.path.join(ROOT, 'examples', 'Favorites').encode(), fav)
    env.environment['LC_ALL'] = 'C.UTF-8'  # its names are UTF-8, as make demo runs it
    assert env.run() == 0
    assert check_favorites_page(env, page, fav) == 16
    src = env.write('links.txt', open(os.path.join(ROOT, 'examples', 'links.txt'), 'rb').read())
    assert env.run(env.prog(src)) == 0
    items = check_links_page(env, src)
    assert ('https://duckduckgo.com/?q=kobu&ia=web', 'https://duckduckgo.com/?q=kobu&ia=web') in items


# Names whose second byte is 0x5C (表 ソ 十 能), half-width katakana (ｶﾀｶﾅ) and a
# name mixing both.
JAPANESE_NAMES = ['\u8868', '\u30bd\u30d5\u30c8', '\u5341\u80fd', '\uff76\uff80\uff76\uff85', '\u4e00\u89a7\u8868 \uff8a\uff9d\uff76\uff78']


@case('browser')
def japanese_tree(env):
    fav, page = favorites_and_desktop(env)
    for i, name in enumerate(JAPANESE_NAMES):
        env.write('fav', name, name + '.url', b'URL=http://jp.example/%d\r\n' % i)
        env.write('fav', name, '\u5185\u5074', 'x.url', b'URL=http://jp.example/inner/%d\r\n' % i)  # 内側
    env.write('fav', '\u8868.url', b'URL=http://jp.example/top\r\n')
    assert env.run() == 0
    assert check_favorites_page(env, page, fav) == 2 * len(JAPANESE_NAMES) + 1


# Shortcut contents that would add markup if written as they are.
HOSTILE_ADDRESSES = [
    b'x"><script>document.title="PWNED"</script>',
    b'http://a.example/" onmouseover="document.title=\'PWNED\'" x="',
    b'"><!--',
    b'"><textarea>',
    b'"><title>PWNED</title>',
    b'http://a.example/?q="two words"&x=1',
    b'http://a.example/?a=1&copy=2&notify=yes&para=3',
    b'javascript:document.title="PWNED"',
]
# Names Windows allows that hold '&'.
HOSTILE_NAMES = ['Sales&region', 'Tips &para tricks', 'A&amp;B', 'x&lt;y']


@case('browser')
def hostile_shortcuts_and_names(env):
    fav, page = favorites_and_desktop(env)
    for i, address in enumerate(HOSTILE_ADDRESSES):
        env.write('fav', f'hostile {i}.url', b'[InternetShortcut]\r\nURL=' + address + b'\r\n')
    for name in HOSTILE_NAMES:
        env.write('fav', name + '.url', b'URL=http://names.example/\r\n')
        env.write('fav', 'My&section', name, 'in.url', b'URL=http://a.example/?b=1&c=2\r\n')
    if env.system == 'native':  # POSIX names may hold what Windows names may not
        env.write('fav', '<img src=x onerror=document.title="PWNED">.url', b'URL=http://img.example/\r\n')
        env.write('fav', '"><script>document.title="PWNED"</script><!--', 'z.url', b'URL=http://z.example/\r\n')
    env.write('fav', 'After', 'last.url', b'URL=http://after.example/\r\n')
    assert env.run() == 0
    total = len(HOSTILE_ADDRESSES) + 2 * len(HOSTILE_NAMES) + 1 + (2 if env.system == 'native' else 0)
    assert check_favorites_page(env, page, fav) == total


@case('browser')
def hostile_links_page(env):
    name = '<script>document.title="PWNED"</script><!--.txt' if env.system == 'native' else 'Tips &para; a&b.txt'
    lines = [
        b'http://a.example/?x=1&copy=2 and http://b.example/?y&notify=yes',
        b'"><script>document.title="PWNED"</script> http://c.example/<script>',
        b'https://d.example/"onmouseover="x" http://e.example/<!--',
        b'\x95\x5c http://f.example/\x83\x5c&amp;',
    ]
    src = env.write(name, b'\r\n'.join(lines) + b'\r\n')
    assert env.run(env.prog(src)) == 0
    assert len(check_links_page(env, src)) == 6


# Names as today's machines keep them: Japanese, accented, Korean, an emoji,
# the yen sign (a backslash byte at best fit) and the wave dash (a look-alike).
UNICODE_NAMES = ['\u65e5\u672c\u8a9e', 'Caf\u00e9', 'Cafe', '\ud55c\uad6d\uc5b4', '\U0001f600', '\u00a5100',
                 '\u6ce2\u301c\u7dda']


@case('browser')
def every_name_as_it_is(env):
    # Each name shown exactly, each with its own address, under a Japanese
    # root (お気に入り); the native program under a UTF-8 locale.
    fav, page = favorites_and_desktop(env)
    fav = env.mkdir('\u304a\u6c17\u306b\u5165\u308a'.encode('utf-8'))
    env.set_folder('Favorites', fav)
    env.environment['LC_ALL'] = 'C.UTF-8'
    for i, name in enumerate(UNICODE_NAMES):
        env.write(fav, (name + '.url').encode('utf-8'), b'URL=http://name.example/%d\r\n' % i)
        env.write(fav, (name + ' \u7d44').encode('utf-8'), b'in.url', b'URL=http://folder.example/%d\r\n' % i)
    assert env.run() == 0
    assert check_favorites_page(env, page, fav) == 2 * len(UNICODE_NAMES)
