#!/usr/bin/env python3
"""Generates the whole-program benchmark inputs with a fixed seed.

  gen_inputs.py text FILE MEGABYTES     dense Shift_JIS text: Japanese and ASCII prose,
                                        an address in most lines, some very long lines
  gen_inputs.py prose FILE MEGABYTES ENCODING
                                        sparse Japanese prose (cp932 or utf-8): paragraphs
                                        of sentences, an address every 2 KB or so
  gen_inputs.py tree DIR FOLDERS SHORTCUTS
  gen_inputs.py deep DIR                A tree as deep as a 259-byte path allows, wide at each level
"""
import os
import random
import sys

JAPANESE = ('日本語の文章にはアドレスが混じることがあります。', '詳しくは次のページを見てください：',
            '表示される一覧表は自動で作られます。', 'ソフトウェアの説明書', '東京都千代田区の天気予報',
            '今日は晴れ、明日は雨でしょう。', 'リンク集を作るためのツールです。', '（参考）', '「引用」')
ASCII = ('The quick brown fox jumps over the lazy dog.', 'See the manual for details,', 'which was',
         'http is a protocol; https is its secure form.', 'Links: ', 'hosts and paths', 'etc.')
HOSTS = ('www.example.co.jp', 'news.example.com', 'a.b.c.example.org:8080', 'localhost', 'ja.wikipedia.org')
PATHS = ('/', '/index.html', '/wiki/Shift_JIS', '/search?q=kobu&lang=ja', '/a/b/c/d.cgi?x=1#top', '/~user/')


def address(rng):
    return rng.choice(('http://', 'https://')) + rng.choice(HOSTS) + rng.choice(PATHS)


def line(rng):
    kind = rng.random()
    words = []
    n = rng.randint(3, 20) if kind > 0.02 else rng.randint(500, 2000)  # now and then a very long line
    for _ in range(n):
        r = rng.random()
        if r < 0.45:
            words.append(rng.choice(JAPANESE))
        elif r < 0.93:
            words.append(rng.choice(ASCII))
        else:
            words.append(address(rng))
    return (' '.join(words) + '\r\n').encode('cp932')


def write_from_pool(path, megabytes, rng, pool):
    """MEGABYTES of lines drawn at random from POOL."""
    target = megabytes << 20
    written = 0
    with open(path, 'wb') as f:
        while written < target:
            chunk = b''.join(rng.choice(pool) for _ in range(2000))
            f.write(chunk)
            written += len(chunk)


def text(path, megabytes):
    rng = random.Random(20261208)
    write_from_pool(path, megabytes, rng, [line(rng) for _ in range(4000)])


# Japanese prose as people write it: sentences made of phrases, with now and
# then a number, a product name or a time of day; the full-width colon and
# brackets of Japanese text, not ASCII ones.
SUBJECTS = ('私たちは', '今回の調査では', 'この地域の住民は', '多くの利用者が', '新しい制度について', '昨年の会議で',
            '東京都内の会社は', '研究者の間では', '図書館の資料によれば', '担当者によると', 'Windows の利用者は')
MIDDLES = ('長い時間をかけて', '少しずつ', 'これまでにない方法で', '慎重に', '何度も繰り返し', '二〇二四年から',
           '約%d人が', '%d月%d日に', '午後%d時ごろ', '予定どおり', '地元の人々と一緒に', 'ソフトウェアを使って')
ENDINGS = ('話し合いを続けています。', '結果を発表しました。', '新しい計画を立てました。', '問題点を指摘しました。',
           'その理由を説明しています。', '準備を進めているということです。', '変化が見られました。',
           '記録を残しました。', '意見を交換しました。', '詳しい内容は次のとおりです：')


def sentence(rng):
    middle = rng.choice(MIDDLES)
    if '%d' in middle:
        middle = middle % tuple(rng.randint(1, 28) for _ in range(middle.count('%d')))
    return rng.choice(SUBJECTS) + middle + rng.choice(ENDINGS)


def paragraph(rng):
    parts = []
    for _ in range(rng.randint(1, 12)):
        parts.append(sentence(rng))
        if rng.random() < 0.028:  # about one address every 2 KB of Shift_JIS
            parts.append('（' + address(rng) + '）' if rng.random() < 0.5 else '詳しくは ' + address(rng) + ' ')
    return '\u3000' + ''.join(parts) + '\r\n'


def prose(path, megabytes, encoding):
    rng = random.Random(20261208)
    write_from_pool(path, megabytes, rng, [paragraph(rng).encode(encoding) for _ in range(4000)])


def tree(root, folders, shortcuts):
    rng = random.Random(20261208)
    dirs = [root]
    shallow = [root]  # folders at most five levels down, so every path fits
    os.makedirs(root, exist_ok=True)
    for i in range(folders):
        parent = rng.choice(shallow)
        d = os.path.join(parent, 'Folder %05d' % i)
        os.makedirs(d, exist_ok=True)
        dirs.append(d)
        if d.count(os.sep) - root.count(os.sep) < 5:
            shallow.append(d)
    for i in range(shortcuts):
        d = rng.choice(dirs)
        with open(os.path.join(d, 'Site %06d.url' % i), 'wb') as f:
            f.write(b'[DEFAULT]\r\nBASEURL=%s\r\n[InternetShortcut]\r\nURL=%s\r\nIconIndex=0\r\n'
                    % ((address(rng).encode(),) * 2))


def deep(root):
    """Chains of one-letter folders down to where a path would not fit, three
    side folders at every level, each with a few shortcuts."""
    rng = random.Random(20261208)
    level = root
    while len(level) + 2 < 250:
        for side in 'xyz':
            d = os.path.join(level, side)
            os.makedirs(d, exist_ok=True)
            for i in range(3):
                with open(os.path.join(d, 's%d.url' % i), 'wb') as f:
                    f.write(b'URL=%s\r\n' % address(rng).encode())
        level = os.path.join(level, 'd')
        os.makedirs(level, exist_ok=True)


if __name__ == '__main__':
    if sys.argv[1] == 'text':
        text(sys.argv[2], int(sys.argv[3]))
    elif sys.argv[1] == 'prose':
        prose(sys.argv[2], int(sys.argv[3]), sys.argv[4])
    elif sys.argv[1] == 'deep':
        deep(sys.argv[2])
    else:
        tree(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]))
