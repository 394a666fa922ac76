"""Hostile inputs: each gets its exit code and page, and every file other
than the page written is byte-identical afterwards."""
import os

from case_table import case, expect_file, favorites_and_desktop, guarded_run
from page_model import expected_favorites, favorites_page, link_item, links_page, text_links
from runners import Raw, read

http = lambda a: link_item(b'http://', a)  # noqa: E731
IS_ROOT = os.geteuid() == 0


@case('hostile')
def every_byte_value(env):
    data = bytes(range(256)) * 4 + b'http://\x00x\x1ahttp://after-ctrl-z/ \x1a\r\n' + bytes(range(255, -1, -1))
    src = env.write('all.bin', data)
    assert guarded_run(env, env.prog(src), written=[src + b'.html']) == 0
    expect_file(src + b'.html', links_page(env.prog(src), text_links(data)))


@case('hostile', runners=('native',))
def gigabyte_without_a_line_feed(env):
    # Pieces of exactly one read each: the items are known without a model.
    piece_count = (1 << 30) // 5119 + 1
    src = env.host('huge.txt')
    with open(src, 'wb') as f:
        for i in range(piece_count):
            head = b'\x93\xfa\x96\x7b http://kobu.example/%d ' % i
            f.write(head + b'x' * (5119 - len(head)))
    assert os.path.getsize(src) >= 1 << 30
    assert env.run(env.prog(src)) == 0
    assert env.runner.sanitized or env.peak_kb < 8 * 1024, f'peak memory {env.peak_kb} KB'
    page = read(src + b'.html')
    assert page.count(b'<li>') == piece_count
    assert page.endswith(b'</ul>\r\n<hr>\r\n</body>\r\n</html>')
    assert http(b'kobu.example/%d' % (piece_count - 1)).replace(b'\n', b'\r\n') in page


@case('hostile')
def hundred_thousand_addresses_on_one_line(env):
    data = b' '.join(b'http://h%d.example/p' % i for i in range(100000)) + b'\r\n'
    src = env.write('many.txt', data)
    assert guarded_run(env, env.prog(src), written=[src + b'.html']) == 0
    expect_file(src + b'.html', links_page(env.prog(src), text_links(data)))


@case('hostile')
def argument_of_258_to_261_bytes(env):
    _, page = favorites_and_desktop(env)
    for n in (258, 259, 260, 261):
        src = env.path_seen_as(n, 'n.txt')
        with open(src, 'wb') as f:
            f.write(b'http://x/\n')
        # A file there is never taken for the Favorites.  Natively, whose page
        # name (or it) does not fit a path: refused.  kobu.exe reaches it
        # through its short form and writes the page through the Unicode calls.
        wine = env.system == 'wine'
        assert guarded_run(env, env.prog(src), written=[src + b'.html'] if wine else []) == (0 if wine else 1), n
        assert os.path.exists(src + b'.html') == wine and not os.path.exists(page)


@case('hostile')
def output_path_of_258_to_261_bytes(env):
    fav, page = favorites_and_desktop(env)
    for n in (258, 259, 260, 261):
        out = env.path_seen_as(n, 'o.html')
        env.config(b'[kobu]\nhtml=' + env.prog(out) + b'\n')
        rc = guarded_run(env, written=[out])
        assert rc == (0 if n < 260 else 1), (n, rc)
        if n < 260:
            expect_file(out, expected_favorites(env, fav))
        else:
            assert not os.path.exists(out)


@case('hostile')
def configuration_path_of_258_to_261_bytes(env):
    fav, page = favorites_and_desktop(env)
    # On Windows the program's own path is as long as its kobu.txt path, and
    # from 260 bytes Windows cannot start it at all.
    for n in (258, 259, 260, 261) if env.system == 'native' else (258, 259):
        exe = env.path_seen_as(n, 'kobu.txt')[:-len(b'kobu.txt')] + os.path.basename(env.program)
        os.link(env.program, exe)
        env.program = exe
        rc = guarded_run(env, written=[page])
        assert rc == (0 if n < 260 else 1), (n, rc)
        assert os.path.exists(page) == (n < 260)
        if n < 260:
            os.remove(page)


@case('hostile')
def folders_and_entries_at_the_path_limit(env):
    fav, page = favorites_and_desktop(env)
    base = len(env.prog(fav)) + 1
    for n in (258, 259, 260, 261):
        # A subfolder of that length, and a shortcut whose joined path is that long.
        env.mkdir('fav', 'd' + 'f' * (n - base - 1))
        env.write('fav', 'u' * (n - base - 4) + '.url', b'URL=http://limit/%d\n' % n)
    assert guarded_run(env, written=[page]) == 0
    expect_file(page, expected_favorites(env, fav))
    text = read(page)
    assert b'http://limit/258' in text and b'http://limit/259' in text
    # Windows reaches the longer ones through their 8.3 names; POSIX has none.
    assert (b'limit/260' in text and b'limit/261' in text) == (env.system == 'wine')


@case('hostile')
def tree_as_deep_as_a_path_allows(env):
    fav, page = favorites_and_desktop(env)
    parts = []
    while len(env.prog(env.host('fav', *parts))) < 250:
        parts.append('d')
        env.write('fav', *parts, 's.url', b'URL=http://depth/%d\n' % len(parts))
    assert guarded_run(env, written=[page]) == 0
    expect_file(page, expected_favorites(env, fav))


@case('hostile', runners=('native',))
def unreadable_folder_and_shortcut(env):
    fav, page = favorites_and_desktop(env)
    env.write('fav', 'ok.url', b'URL=http://ok/\n')
    os.symlink(b'missing-target', env.host('fav', 'dangling.url'))
    os.symlink(b'loop', env.host('fav', 'loop'))
    if not IS_ROOT:
        env.write('fav', 'secret.url', b'URL=http://secret/\n')
        os.chmod(env.host('fav', 'secret.url'), 0)
        env.write('fav', 'Locked', 'x.url', b'URL=http://locked/\n')
        os.chmod(env.host('fav', 'Locked'), 0)
    assert guarded_run(env, written=[page]) == 0
    text = read(page)
    assert text.count(b'<div') == text.count(b'</div>')
    assert b'<li><a href="">dangling</a></li>' in text and b'http://ok/' in text
    assert b'secret' not in text or b'<li><a href="">secret</a></li>' in text


@case('hostile', runners=('native',))
def output_that_is_a_folder_read_only_or_full(env):
    favorites_and_desktop(env)
    folder = env.mkdir('out.html')
    for target in (folder, b'/proc/version', b'/dev/full'):
        env.config(b'[kobu]\nhtml=' + target + b'\n')
        assert guarded_run(env) == 1, target
    src = env.write('t.txt', b'http://x/\n')
    os.symlink(b'/dev/full', src + b'.html')
    assert guarded_run(env, env.prog(src)) == 1


@case('hostile')
def hostile_configuration_files(env):
    fav, page = favorites_and_desktop(env)
    other = env.host('other.html')
    for kind, (text, target) in enumerate((
            (bytes(range(256)) * 64, page),                                         # binary
            # larger than 64 KiB: absent, even with the key on its first lines
            (b'[kobu]\r\nhtml=' + env.prog(other) + b'\r\n' + b'; padding\r\n' * 400000, page),
            (b'html=' + env.prog(other) + b'\n[kobus]\nhtml=' + env.prog(other) + b'\n', page),  # no section
            (b'[kobu\nhtml=' + env.prog(other) + b'\n', page),                      # not a section header
    )):
        env.config(text)
        for p in (page, other):
            if os.path.exists(p):
                os.remove(p)
        try:
            assert guarded_run(env, written=[target]) == 0
            expect_file(target, expected_favorites(env, fav))
        except AssertionError as e:
            raise AssertionError(f'configuration {kind}: {e}') from None


@case('hostile', runners=('native',))
def hostile_user_dirs_file(env):
    fav, page = favorites_and_desktop(env)
    home_fav = env.mkdir('home', 'favorites')
    env.write('home', 'favorites', 'h.url', b'URL=http://home-favorites/\n')
    cases = [
        bytes(range(256)) * 100,
        b'XDG_FAVORITES_DIR="' + b'/x' * 200 + b'"\n',
        b'XDG_FAVORITES_DIR="/unterminated\n',
        b'XDG_FAVORITES_DIR=$HOME/unquoted\n',
        b'XDG_FAVORITES_DIR="relative/path"\n',
        b'XDG_FAVORITES_DIR="\0/nul"\n',
        b'# ' + b'x' * 20000 + b'\nXDG_FAVORITES_DIRX="/nope"\n',
    ]
    for text in cases:
        env.user_dirs_text = text
        assert guarded_run(env, written=[env.host('home', 'kobu.html')]) == 0
        # No usable value: Favorites falls back to $HOME/favorites, the page goes to $HOME.
        expect_file(env.host('home', 'kobu.html'), expected_favorites(env, home_fav))


@case('hostile', runners=('wine',))
def registry_values_of_300_bytes(env):
    _, page = favorites_and_desktop(env)
    env.set_folder('Favorites', Raw(b'Z:\\' + b'f' * 297))
    env.set_folder('Desktop', Raw(b'Z:\\' + b'd' * 297))
    _, seen = env.windows_favorites()
    assert guarded_run(env, written=[env.host('bin', 'kobu.html')]) == 0
    expect_file(env.host('bin', 'kobu.html'), favorites_page(seen, b'</div>\n'))
