"""Favorites page cases: the program started with no argument or a folder."""
import os
import pwd
import re
import shutil

from case_table import case, expect_file, favorites_and_desktop
from page_model import expected_favorites, favorites_page, section, shortcut_item
from runners import Raw, read


@case('favorites')
def news_and_tools(env):
    fav, page = favorites_and_desktop(env)
    env.write('fav', 'News.url', b'[InternetShortcut]\r\nURL=http://news.example/\r\n')
    env.write('fav', 'Tools', 'Search.url', b'[InternetShortcut]\r\nURL=https://search.example/?q=kobu\r\n')
    assert env.run() == 0
    body = (b'<ul>\n' + shortcut_item(b'http://news.example/', b'News') + b'</ul>\n' +
            section(b'Tools') + b'<ul>\n' + shortcut_item(b'https://search.example/?q=kobu', b'Search') +
            b'</ul>\n</div>\n</div>\n')
    expect_file(page, favorites_page(env.prog(fav), body))
    assert env.opened(wait=False) == []
    assert env.output == b'', env.output  # a run that writes its page says nothing


@case('favorites')
def nested_tree(env):
    fav, page = favorites_and_desktop(env)
    for i in range(3):
        env.write('fav', f'top{i}.url', f'URL=http://top/{i}\r\n'.encode())
    env.write('fav', 'News.URL', b'URL=http://upper-case-extension/\r\n')
    env.write('fav', '.hidden.url', b'URL=http://hidden/\n')
    env.write('fav', 'notes.txt', b'URL=http://not-a-shortcut/\n')
    env.write('fav', 'del\x7f \x80', 'c\x7f.url', b'URL=http://controls/\n')  # the same bytes from both programs
    env.write('fav', 'A', 'B', 'C', 'deep.url', b'URL=http://deep/\n')
    env.write('fav', 'A', 'a.url', b'URL=http://a/\n')
    env.mkdir('fav', 'Empty')
    env.mkdir('fav', 'NoShortcuts', 'Inner')
    env.write('fav', 'NoShortcuts', 'Inner', 'readme.txt', b'x')
    # A folder matching the shortcut pattern: an empty list, then its section.
    env.write('fav', 'Folder.url', 'in.url', b'URL=http://inside-folder-url/\n')
    assert env.run() == 0
    expect_file(page, expected_favorites(env, fav))
    text = read(page)
    assert b'<li><a href="http://upper-case-extension/">News</a></li>' in text
    assert b'not-a-shortcut' not in text


NAMES = ['beta', '10', 'a-b', 'zeta', '9', '_x', 'B2', 'Gamma', 'Alpha']


@case('favorites', runners=('native',))
def entries_in_name_order_however_made(env):
    # A tree made in two orders gives one page, in the order NTFS keeps names.
    _, page = favorites_and_desktop(env)
    pages = []
    for tree, names in (('one', NAMES), ('two', NAMES[::-1])):
        for n in names:
            env.write(tree, n + '.url', b'URL=http://' + n.encode() + b'/\n')
            env.mkdir(tree, 'in ' + n)
        assert env.run(env.prog(env.host(tree))) == 0
        pages.append(read(page).replace(env.prog(env.host(tree)), b'TREE'))
    ordered = [n.encode() for n in ('10', '9', 'a-b', 'Alpha', 'B2', 'beta', 'Gamma', 'zeta', '_x')]
    assert pages[0] == pages[1]
    assert re.findall(rb'">([^<]*)</a>', pages[0]) == ordered
    assert re.findall(rb'"dir">in ([^<]*)</span>', pages[0]) == ordered


@case('favorites', runners=('native',))
def a_folder_too_large_to_sort_is_listed_whole(env):
    # Names of more than the megabyte a run keeps listings in: listed as the
    # file system gives them, every one once, the sorted subfolder beside it.
    fav, page = favorites_and_desktop(env)
    names = [b'%04d' % i + b'x' * 196 for i in range(5300)]
    for n in names:
        env.write('fav', n + b'.url', b'URL=http://' + n[:4] + b'/\n')
    for n in NAMES:
        env.write('fav', 'Sub', n + '.url', b'URL=http://sub/\n')
    assert env.run() == 0
    text = read(page)
    assert sorted(re.findall(rb'">(\d{4}x+)</a>', text)) == names
    assert re.findall(rb'http://sub/">([^<]*)</a>', text) == sorted((n.encode() for n in NAMES), key=bytes.upper)


@case('favorites')
def empty_folder(env):
    fav, page = favorites_and_desktop(env)
    assert env.run() == 0
    expect_file(page, favorites_page(env.prog(fav), b'</div>\n'))


@case('favorites')
def folder_matching_the_shortcut_pattern(env):
    fav, page = favorites_and_desktop(env)
    env.mkdir('fav', 'Only.url')
    assert env.run() == 0
    body = b'<ul>\n</ul>\n' + section(b'Only.url') + b'</div>\n</div>\n'
    expect_file(page, favorites_page(env.prog(fav), body))


SHORTCUT_LINES = [  # (file content, the address listed)
    (b'[InternetShortcut]\r\nURL=http://a.example/\r\n', b'http://a.example/'),
    (b'[DEFAULT]\r\nBASEURL=http://base/\r\n[InternetShortcut]\r\nURL=http://real/\r\n', b'http://real/'),
    (b'url=http://lower/\r\n', b''),
    (b'URL=http://first/\nURL=http://second/\n', b'http://first/'),
    (b'IconFile=C:\\x.ico\r\nURL=http://icon/\r\nIconIndex=1\r\n', b'http://icon/'),
    (b' URL=http://indented/\n', b''),
    (b'URL=http://no-final-line-feed', b'http://no-final-line-feed'),
    (b'URL=http://lone-cr/\r', b'http://lone-cr/\r'),
    (b'URL=a\0b\n', b'a'),
    (b'x\x1a\r\nURL=http://after-ctrl-z/\r\n', b'http://after-ctrl-z/'),
    (b'URL=http://a/?x=<b>&c\n', b'http://a/?x=<b>&c'),
    (b'URL=' + b'x' * 6000 + b'\n', b'x' * 5115),
    (b'', b''),
    ('\ufeff[InternetShortcut]\r\nURL=http://u16/日本\r\n'.encode('utf-16-be'), b'http://u16/%E6%97%A5%E6%9C%AC'),
    (b'URL=http://ko/??\r\n[InternetShortcut.W]\r\nURL=http://ko/+1VytbQ-\r\n', b'http://ko/%ED%95%9C%EA%B5%AD'),
]


@case('favorites')
def shortcut_lines(env):
    fav, page = favorites_and_desktop(env)
    for i, (content, _) in enumerate(SHORTCUT_LINES):
        env.write('fav', f's{i:02}.url', content)
    assert env.run() == 0
    want = {f's{i:02}'.encode(): address for i, (_, address) in enumerate(SHORTCUT_LINES)}
    items = b''.join(shortcut_item(want[name[:-4]], name[:-4])
                     for name, _, _ in env.list_dir(fav) if name.endswith(b'.url'))
    expect_file(page, favorites_page(env.prog(fav), b'<ul>\n' + items + b'</ul>\n</div>\n'))


@case('favorites')
def trailing_separator_on_favorites_value(env):
    fav, page = favorites_and_desktop(env)
    env.write('fav', 'x.url', b'URL=http://x/\n')
    env.write('fav', 'Sub', 'y.url', b'URL=http://y/\n')
    env.set_folder('Favorites', Raw(env.prog(fav) + env.sep))
    assert env.run() == 0
    expect_file(page, expected_favorites(env, fav, env.prog(fav) + env.sep))


@case('favorites', runners=('native',))
def ctrl_held_opens_the_page(env):
    _, page = favorites_and_desktop(env)
    assert env.run(ctrl=False) == 0
    assert os.path.exists(page) and env.opened(wait=False) == []
    assert env.run(ctrl=True) == 0
    assert env.opened() == [env.prog(page)]


@case('favorites')
def configuration_names_the_output(env):
    fav, page = favorites_and_desktop(env)
    env.write('fav', 'x.url', b'URL=http://x/\n')
    target = os.path.join(env.mkdir('elsewhere'), b'mine.html')
    env.config(b'; kobu settings\r\n[other]\r\nhtml=wrong.html\r\n[Kobu]\r\n Html = "' + env.prog(target) + b'"\r\n')
    assert env.run() == 0
    expect_file(target, expected_favorites(env, fav))
    assert not os.path.exists(page)


@case('favorites')
def configuration_relative_and_absent(env):
    fav, page = favorites_and_desktop(env)
    env.config(b'[kobu]\nhtml=relative.html\n')
    assert env.run() == 0
    expect_file(env.host('cwd', 'relative.html'), expected_favorites(env, fav))
    assert not os.path.exists(page)
    env.config(b'[kobu]\nother=1\n')
    assert env.run() == 0
    expect_file(page, expected_favorites(env, fav))


@case('favorites')
def configuration_path_too_long_writes_nothing(env):
    _, page = favorites_and_desktop(env)
    long_value = env.prog(env.host('cwd')) + env.sep + b'p' * 300
    env.config(b'[kobu]\nhtml=' + long_value + b'\n')
    assert env.run() == 1
    assert not os.path.exists(page)
    assert os.listdir(env.host('cwd')) == []


@case('favorites')
def missing_output_folder(env):
    favorites_and_desktop(env)
    env.set_folder('Desktop', env.host('no-such-folder'))
    assert env.run() == 1
    assert not os.path.exists(env.host('no-such-folder'))
    if env.system == 'native':  # one line that says why
        assert env.output == b'kobu: ' + env.host('no-such-folder', 'kobu.html') + b': No such file or directory\n'


@case('favorites')
def no_desktop_value(env):
    # Windows: beside the program.  Linux: ~/Desktop, else ~, never beside an
    # installed program; and kobu.txt, none being beside the program, from
    # $XDG_CONFIG_HOME/kobu.
    fav, _ = favorites_and_desktop(env)
    env.set_folder('Desktop', None)
    for place in [('bin',)] if env.system == 'wine' else [('home',), ('home', 'Desktop')]:
        folder = env.mkdir(*place)
        assert env.run() == 0
        expect_file(os.path.join(folder, b'kobu.html'), expected_favorites(env, fav))
    if env.system == 'native':
        target = env.host('elsewhere.html')
        env.write('config', 'kobu', 'kobu.txt', b'[kobu]\nhtml=' + target + b'\n')
        assert env.run() == 0
        expect_file(target, expected_favorites(env, fav))


@case('favorites', runners=('native',))
def no_home_variable(env):
    # Started without HOME (cron, a service unit): the home is the password
    # database's, as shells take it; its favorites folder stands in.
    _, page = favorites_and_desktop(env)
    env.set_folder('Favorites', None)
    env.environment['HOME'] = None
    assert env.run() == 0
    expect_file(page, expected_favorites(env, os.path.join(pwd.getpwuid(os.getuid()).pw_dir.encode(), b'favorites')))


@case('favorites')
def no_favorites_value_lists_the_windows_folder(env):
    _, page = favorites_and_desktop(env)
    env.set_folder('Favorites', None)
    host, seen = env.windows_favorites()
    os.makedirs(os.path.join(host, b'Sub'), exist_ok=True)
    with open(os.path.join(host, b'w.url'), 'wb') as f:
        f.write(b'URL=http://windows-favorites/\r\n')
    try:
        assert env.run() == 0
        expect_file(page, expected_favorites(env, host, seen))
    finally:
        shutil.rmtree(host)


@case('favorites')
def empty_favorites_value_lists_nothing(env):
    _, page = favorites_and_desktop(env)
    env.set_folder('Favorites', Raw(b''))
    assert env.run() == 0
    expect_file(page, favorites_page(b'', b'</div>\n'))


@case('favorites')
def oversized_shell_folder_value_counts_as_absent(env):
    _, page = favorites_and_desktop(env)
    env.set_folder('Favorites', Raw(env.prog(env.host('x')) + env.sep + b'y' * 300))
    host, seen = env.windows_favorites()
    assert env.run() == 0
    expect_file(page, favorites_page(seen, b'</div>\n'))
    assert not os.path.exists(host)


JAPANESE = '\u4e00\u89a7\u8868'  # 一覧表: Shift_JIS 88 EA 97 97 95 5C


@case('favorites')
def japanese_folder_ending_in_trail_byte_5c(env):
    _, page = favorites_and_desktop(env)
    folder = env.mkdir(JAPANESE)
    env.write(JAPANESE, 'own.url', b'URL=http://own/\n')
    env.write(JAPANESE, '\u30ea\u30f3\u30af.url', b'URL=http://japanese-title/\n')
    env.write(JAPANESE, 'Sub', 'inner.url', b'URL=http://inner/\n')
    seen = env.prog(folder)
    assert seen.endswith(b'\x88\xea\x97\x97\x95\x5c')
    # As the Favorites value with a trailing separator ...
    env.set_folder('Favorites', Raw(seen + env.sep))
    assert env.run() == 0
    expect_file(page, expected_favorites(env, folder, seen + env.sep))
    assert b'\x83\x8a\x83\x93\x83\x4e</a>' in read(page)
    # ... and as the argument; with a trailing separator the argument does
    # not resolve on Windows, and Favorites is listed instead (natively it
    # names that folder, as it does for any command).
    fav = env.mkdir('fav')
    env.set_folder('Favorites', fav)
    assert env.run(seen) == 0
    expect_file(page, expected_favorites(env, folder))
    assert env.run(seen + env.sep) == 0
    expect_file(page, expected_favorites(env, fav if env.system == 'wine' else folder))


@case('favorites')
def link_cycles_stay_bounded(env):
    fav, page = favorites_and_desktop(env)
    env.write('fav', 'Sub', 's.url', b'URL=http://s/\n')
    os.symlink(fav, env.host('fav', 'self'))
    os.symlink(fav, env.host('fav', 'Sub', 'up1'))
    os.symlink(b'..', env.host('fav', 'Sub', 'up2'))
    assert env.run() == 0
    expect_file(page, expected_favorites(env, fav))
    assert len(read(page)) < 4096


@case('favorites', runners=('native',))
def shortcut_that_is_not_a_regular_file(env):
    fav, page = favorites_and_desktop(env)
    os.mkfifo(env.host('fav', 'pipe.url'))
    os.symlink(b'/dev/zero', env.host('fav', 'zero.url'))
    assert env.run() == 0
    expect_file(page, expected_favorites(env, fav))
    assert read(page).count(b'<li><a href="">') == 2


@case('favorites', runners=('native',))
def page_that_cannot_be_written_completely(env):
    favorites_and_desktop(env)
    env.config(b'[kobu]\nhtml=/dev/full\n')
    assert env.run() == 1


@case('favorites', runners=('wine',))
def empty_desktop_value_writes_to_the_drive_root(env):
    fav, page = favorites_and_desktop(env)
    env.set_folder('Desktop', Raw(b''))
    drive_c = os.path.join(env.windows_directory(), b'..')
    root_page = os.path.join(drive_c, b'kobu.html')
    try:
        # Started in C:\users, the page goes to C:\kobu.html.
        assert env.run(cwd=os.path.join(drive_c, b'users')) == 0
        expect_file(root_page, expected_favorites(env, fav))
        assert not os.path.exists(page)
    finally:
        if os.path.exists(root_page):
            os.remove(root_page)
