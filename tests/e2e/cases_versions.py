"""kobu.exe under the Windows XP, 7 and 10 settings of Wine: with its
manifest it must start on each, write the same page bytes and refuse a
write the same way."""
import os

from case_table import case, expect_equal, favorites_and_desktop, guarded_run
from page_model import expected_favorites, links_page, text_links
from runners import read

TEXT = (b'see http://a.example/?q=1&r=2 and https://b.example/(x)\r\n'
        b'\x93\xfa\x96\x7b\x8c\xeahttp://nihon.example/\x82\xc5\x82\xb7\r\n'
        b'\x95\x5c http://after-hyou/\r\n')


@case('versions', runners=('wine',))
def same_pages_on_windows_xp_7_and_10(env):
    fav, page = favorites_and_desktop(env)
    env.write('fav', 'News.url', b'[InternetShortcut]\r\nURL=http://news.example/\r\n')
    env.write('fav', '表示', 'ソフト.url', b'URL=https://soft.example/\r\n')
    src = env.write('in', 'リンク.txt', TEXT)
    out = src + b'.html'
    refused = env.prog(os.path.join(env.host('no such folder'), b'kobu.html'))
    config = env.host('bin', 'kobu.txt')

    original = env.windows_version()
    assert original, 'the prefix reports a Windows version winecfg cannot name'
    pages = {}
    systems = env.windows_versions()
    try:
        for system in systems:
            env.set_windows_version(system)
            assert env.windows_version() == system, (system, env.windows_version())
            assert guarded_run(env, written=[page]) == 0, system
            assert guarded_run(env, env.prog(src), written=[out]) == 0, system
            pages[system] = (read(page), read(out))
            os.remove(page)
            os.remove(out)
            env.config(b'[kobu]\r\nhtml=' + refused + b'\r\n')
            assert guarded_run(env) == 1, system
            os.remove(config)
    finally:
        env.set_windows_version(original)
    assert env.windows_version() == original

    expected = (expected_favorites(env, fav), links_page(env.prog(src), text_links(TEXT)))
    for system in systems:
        expect_equal(pages[system][0], expected[0], f'favorites page under {system}')
        expect_equal(pages[system][1], expected[1], f'links page under {system}')
