"""Argument and text-mode cases: a file argument becomes its links page."""
import os

from case_table import case, expect_file, favorites_and_desktop, guarded_run
from page_model import expected_favorites, link_item, links_page, text_links
from runners import read

http = lambda a: link_item(b'http://', a)    # noqa: E731
https = lambda a: link_item(b'https://', a)  # noqa: E731

EDGE_LINES = [  # (line, the items it gives)
    (b'see http://h/a?b=1&c=2, or https://k/(y)\r\n', http(b'h/a?b=1&c=2,') + https(b'k/')),
    (b'(see http://h/p)\r\n', http(b'h/p')),
    (b'[http://h/p]\r\n', http(b'h/p]')),
    (b'http://\x93\xfa\x96\x7b\x8c\xea\r\n', http(b'')),
    (b'http://a http://b\r\n', http(b'a') + http(b'b')),
    (b'https://a\r\n', https(b'a')),
    (b'http://a/?u=https://b\r\n', http(b'a/?u=https://b') + https(b'b')),
    (b'https://x then http://y\r\n', http(b'y') + https(b'x')),
    (b'HTTP://upper\r\n', b''),
    (b'\x83\x68ttp://trail-byte-h\r\n', b''),
    (b'\x93\xfa\x96\x7bhttp://nihon.example/\x82\xc5\x82\xb7\r\n', http(b'nihon.example/')),
    (b'http://', http(b'')),
]


def text_file(env, data, *name):
    path = env.write(*(name or ('in', 'links.txt')), data)
    return path, path + b'.html'


@case('text')
def links_page_beside_its_input(env):
    data = b''.join(line for line, _ in EDGE_LINES)
    src, out = text_file(env, data)
    assert env.run(env.prog(src)) == 0
    items = b''.join(i for _, i in EDGE_LINES)
    assert items == text_links(data)
    expect_file(out, links_page(env.prog(src), items))
    assert read(src) == data
    assert not os.path.exists(env.host('bin', 'kobu.html'))


@case('text')
def empty_file(env):
    src, out = text_file(env, b'')
    assert env.run(env.prog(src)) == 0
    expect_file(out, links_page(env.prog(src), b''))


@case('text')
def line_longer_than_one_read(env):
    data = (b'http://' + b'a' * 5200 + b' https://tail/\n' + b'x' * 5110 + b'http://cut-at-5119-bytes\n' +
            b'\r\n'.join(b'http://line%d/' % i for i in range(3)))
    src, out = text_file(env, data)
    assert env.run(env.prog(src)) == 0
    items = text_links(data)
    assert http(b'a' * 5112) in items and http(b'cu') in items and https(b'tail/') in items
    expect_file(out, links_page(env.prog(src), items))


@case('text')
def japanese_text_and_every_byte(env):
    data = (b'\x83\x68ttp://no \x8c\xa9\x82\xe9http://ok/\x82\xcd\n'
            + bytes(range(256)) + b'http://after-all-bytes/\n'
            + b'a\0http://after-nul-is-not-read/\nhttp://next-line/\x1a more\n')
    src, out = text_file(env, data)
    assert env.run(env.prog(src)) == 0
    items = text_links(data)
    assert b'after-nul' not in items and http(b'next-line/') in items
    expect_file(out, links_page(env.prog(src), items))


JAPANESE_LINKS = ('詳細はこちらhttp://example.com/a\r\nリンク：https://example.org/ 「http://quote.example/」\r\n'
                  '（http://docs.example/）と http://b.example/。\r\n')


@case('text')
def japanese_text_as_each_editor_saves_it(env):
    items = (http(b'example.com/a') + http(b'quote.example/') + https(b'example.org/') + http(b'docs.example/') +
             http(b'b.example/'))
    for name, data in (('cp932', JAPANESE_LINKS.encode('cp932')), ('utf8', JAPANESE_LINKS.encode('utf-8')),
                       ('utf8bom', JAPANESE_LINKS.encode('utf-8-sig')), ('utf16le', JAPANESE_LINKS.encode('utf-16')),
                       ('utf16be', b'\xfe\xff' + JAPANESE_LINKS.encode('utf-16-be'))):
        src, out = text_file(env, data, 'in', name + '.txt')
        assert env.run(env.prog(src)) == 0 and text_links(data) == items, name
        expect_file(out, links_page(env.prog(src), items), name)


@case('text')
def folder_argument_is_listed(env):
    _, page = favorites_and_desktop(env)
    folder = env.mkdir('Some Folder')
    env.write('Some Folder', 'x.url', b'URL=http://x/\n')
    assert env.run(env.prog(folder)) == 0
    expect_file(page, expected_favorites(env, folder))


@case('text')
def an_argument_that_names_nothing(env):
    # kobu.exe lists the Favorites folder, for an argument of any length;
    # the native program fails, as any command does, and writes nothing.
    fav, page = favorites_and_desktop(env)
    env.write('fav', 'f.url', b'URL=http://fav/\n')
    deep = env.prog(env.mkdir('a' * 120, 'b' * 120, 'c' * 20)) + env.sep + b'nofile.txt'
    for tail in (env.prog(env.host('missing.txt')), b'"' + env.prog(env.mkdir('dir')), deep):
        if env.system == 'wine':
            assert env.run(tail) == 0, len(tail)
            expect_file(page, expected_favorites(env, fav))
            os.remove(page)
        else:
            assert guarded_run(env, tail) == 1 and env.output == b'kobu: ' + tail + b': No such file or directory\n'


@case('text')
def wildcard_last_component(env):
    src, out = text_file(env, b'http://wild/\n', 'wild', 'only.txt')
    env.write('wild', 'other.dat', b'')
    assert env.run(env.prog(env.host('wild')) + env.sep + b'*.txt') == 0
    expect_file(out, links_page(env.prog(src), http(b'wild/')))


@case('text')
def quoted_argument_with_a_space(env):
    src, out = text_file(env, b'http://quoted/\n', 'a b', 'my links.txt')
    assert env.run(b'"' + env.prog(src) + b'"') == 0
    expect_file(out, links_page(env.prog(src), http(b'quoted/')))


@case('text')
def bare_name_in_the_current_folder(env):
    src, out = text_file(env, b'http://bare/\n', 'cwd', 'notes.txt')
    assert env.run(b'notes.txt', cwd=env.host('cwd')) == 0
    expect_file(out, links_page(b'notes.txt', http(b'bare/')))


def file_seen_as(env, length):
    """A file with one address whose path, as the program sees it, is exactly `length` bytes."""
    path = env.path_seen_as(length, 'n.txt')
    with open(path, 'wb') as f:
        f.write(b'http://long/\n')
    return path


@case('text')
def links_page_name_at_the_path_limit(env):
    ok = file_seen_as(env, 254)
    assert env.run(env.prog(ok)) == 0
    expect_file(ok + b'.html', links_page(env.prog(ok), http(b'long/')))
    for n in (255, 259):
        src = file_seen_as(env, n)
        before = read(src)
        if env.system == 'wine':  # a page path the ANSI calls cannot take goes through the Unicode ones
            assert env.run(env.prog(src)) == 0
            expect_file(src + b'.html', links_page(env.prog(src), http(b'long/')))
            continue
        assert env.run(env.prog(src)) == 1
        assert not os.path.exists(src + b'.html') and read(src) == before
        name = os.path.basename(src)
        assert [f for f in os.listdir(os.path.dirname(src)) if f.startswith(name)] == [name]


@case('text')
def output_that_cannot_be_created(env):
    src, out = text_file(env, b'http://x/\n')
    os.mkdir(out)
    assert env.run(env.prog(src)) == 1
    assert os.path.isdir(out)
    assert env.system == 'wine' or env.output == b'kobu: ' + out + b': is a folder\n', env.output


@case('text', runners=('native',))
def several_files_each_get_their_page(env):
    # kobu notes/*.txt: each file its page, and no favorites page.
    _, page = favorites_and_desktop(env)
    a, a_page = text_file(env, b'http://a/\n', 'in', 'a.txt')
    b, b_page = text_file(env, b'http://b/\n', 'in', 'b b.txt')
    assert guarded_run(env, [a, b], written=[a_page, b_page]) == 0
    expect_file(a_page, links_page(a, http(b'a/')))
    expect_file(b_page, links_page(b, http(b'b/')))
    assert not os.path.exists(page) and env.output == b''


@case('text', runners=('native',))
def input_that_is_not_a_regular_file(env):
    fifo = env.host('in.fifo')
    os.mkfifo(fifo)
    os.symlink(b'/dev/zero', env.host('zero.txt'))
    for src in (fifo, env.host('zero.txt')):
        assert env.run(env.prog(src)) == 1
        assert not os.path.exists(src + b'.html')


@case('text', runners=('wine',))
def short_name_argument_gives_long_names(env):
    src, out = text_file(env, b'http://short/\n', 'Program Folder', 'Long Notes File.txt')
    short = env.short_path(src)
    assert b'~' in short, short
    assert env.run(short) == 0
    expect_file(out, links_page(env.prog(src), http(b'short/')))


@case('text', runners=('wine',))
def japanese_file_name(env):
    src, out = text_file(env, b'\x83\x8a\x83\x93\x83\x4e http://jp/\n', '\u30ea\u30f3\u30af\u96c6.txt')
    assert env.run(env.prog(src)) == 0
    expect_file(out, links_page(env.prog(src), http(b'jp/')))


@case('text', runners=('wine',))
def path_with_spaces_unquoted(env):
    src, out = text_file(env, b'http://spaces/\n', 'with  spaces', 'a b.txt')
    assert env.run(env.prog(src)) == 0
    expect_file(out, links_page(env.prog(src), http(b'spaces/')))
