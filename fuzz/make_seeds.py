#!/usr/bin/env python3
# Writes the synthetic seed inputs of fuzz/corpora/. The parser targets take
# the answer text as it is; the structured targets (validate, configure,
# workflow) read their input with fuzz_bytes (fuzz/fuzz_common.h): one-byte
# values, little-endian 32-bit integers, texts preceded by their length (one
# byte, or two when the text may exceed 255 bytes). Run it after changing
# how a target reads its input, then replay the corpora.
import os, struct
root = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'corpora')
def w(target, name, data):
    d = os.path.join(root, target); os.makedirs(d, exist_ok=True)
    if isinstance(data, str): data = data.encode()
    open(os.path.join(d, name), 'wb').write(data)
def u8(v): return bytes([v & 0xFF])
def i32(v): return struct.pack('<i', v)
def text(s, big=False):
    if isinstance(s, str): s = s.encode()
    return (struct.pack('<H', len(s)) if big else u8(len(s))) + s

# --- Jackett results
w('jackett', 'seed-rows', '{"Results":[{"Title":"A.Film.2001.1080p","Tracker":"t1","TrackerId":"t1","Guid":"g1","Link":"http://x/1","Details":"http://x/d","MagnetUri":"magnet:?xt=1","InfoHash":"abc","CategoryDesc":"Movies/HD","TMDb":603,"TVDBId":"0","Imdb":"tt0000123","Size":1234567,"Seeders":"12","Peers":3,"Files":1,"Category":[2000,"2040",{"id":5030},{},7000],"PublishDate":"2024-03-01T12:30:45.5+01:00","DownloadVolumeFactor":0.5},{"title":"lower","Size":-1,"DownloadVolumeFactor":"1 "},5,"x"],"Indexers":[{"ID":"a","Name":"A","Status":0,"Results":2},{"ID":"b","Name":"B","Status":"1","Error":"timeout"},3]}')
w('jackett', 'seed-mend', b'{"Results":[{"Title":"a\x80z \\ud800\\u0041","Tracker":"\xc0\xaf","b\xff":1},{"Title":"fine"}],"Indexers":[{"ID":"\xfe","Name":"\\udfff"}]}')
w('jackett', 'seed-mend-not-json', b'{"Results":[{"Title":"\xff\x01"}]}')
w('jackett', 'seed-all-failed', '{"Results":[],"Indexers":[{"ID":"a","Status":1},{"ID":"b","Status":1}]}')
w('jackett', 'seed-shapes', '{"results":{"a":1},"Indexers":5}')
w('jackett', 'seed-array', '[{"Results":[]}]')
w('jackett', 'seed-types', '{"Results":[{"Title":{"a":1},"Tracker":[1],"Seeders":1e300,"Peers":-5e20,"Size":18446744073709551615,"Imdb":42,"Category":5000,"PublishDate":20240301,"DownloadVolumeFactor":1001,"TMDb":1.5,"TVDBId":true}]}')
w('jackett', 'seed-utf8', '{"Results":[{"Title":"\\u00e9\\ud83d\\ude00 caf\xc3\xa9 \\"q\\" \\n / \\\\","CategoryDesc":"\\u0000hidden"}],"Indexers":[{"ID":"\\u00e9","Name":"n\\u0000x"}]}'.encode('latin-1'))
# --- release lists
w('releases', 'seed-sonarr', '[{"title":"Show.S01E01","indexer":"t","indexerId":12,"guid":"g","downloadUrl":"http://x","infoUrl":"http://i","magnetUrl":"","infoHash":"h","tmdbId":0,"tvdbId":81189,"imdbId":"tt0903747","size":"123","seeders":5,"leechers":1,"categories":[{"id":5030},5040],"publishDate":"2024-03-01T12:30:45Z","indexerFlags":["G_Halfleech","g_freeleech"],"seasonNumber":1,"episodeNumbers":[1,2],"fullSeason":false}]')
w('releases', 'seed-flags', '[{"indexerFlags":1},{"indexerFlags":2},{"indexerFlags":3},{"indexerFlags":-4},{"indexerFlags":null},{"indexerFlags":[]},{"episodeNumbers":["7"],"fullSeason":true},{"episodeNumbers":5,"fullSeason":"true"},1,"x",null]')
w('releases', 'seed-empty', '[]')
w('releases', 'seed-mend', b'[{"title":"bad \xff\xc3 \\ud800 x","indexer":"\\udc00","guid":"\xed\xa0\x80"},{"title":"ok \\ud83d\\ude00"}]')
w('releases', 'seed-mend-not-json', b'[{"title":"\xff"},]')
w('releases', 'seed-object', '{"title":"x"}')
w('releases', 'seed-number', '5')
# --- Prowlarr searches
w('prowlarr', 'seed-rows', '[{"guid":"g","indexerId":4,"indexer":"YTS","title":"A.Film.2006.720p","size":864624312,"seeders":6,"leechers":5,"files":2,"imdbId":464196,"tmdbId":0,"tvdbId":"81189","publishDate":"2019-02-18T12:46:00Z","categories":[{"id":2040,"name":"Movies/HD","subCategories":[]},{"id":100045,"subCategories":[]}],"indexerFlags":["freeleech"],"protocol":"torrent","downloadUrl":"http://p/4/download?apikey=k&link=x","magnetUrl":"magnet:?xt=1","infoUrl":"http://i","infoHash":"F74E"},{"protocol":"usenet","title":"u","indexerFlags":["HalfLeech"]},{"Seeders":"3","LEECHERS":2,"protocol":1},5]')
w('prowlarr', 'seed-empty', '[]')
w('prowlarr', 'seed-object', '{"message":"x"}')
w('prowlarr', 'seed-mend', b'[{"title":"bad \xff \\ud800","categories":[{"id":1,"name":"\xc3"}]}]')
# --- Torznab
w('torznab', 'seed-list', '<?xml version="1.0"?><indexers><indexer id="a" configured="true"><title>A &amp; B</title><description>d</description></indexer><indexer id=\'b\' tvid="x"><title>&amp;amp;lt; &#39;</title></indexer><indexer id="c" configured="false"><title>C</title></indexer><indexer configured="true"><title>no id</title></indexer></indexers>')
w('torznab', 'seed-error100', '<?xml version="1.0"?><error code="100" description="Invalid API Key"/>')
w('torznab', 'seed-error-long', '<error code="123456789012" description="x"/><indexers/>')
w('torznab', 'seed-error-nocode', '<error description="x">')
w('torznab', 'seed-unterminated', '<indexers><indexer id="a\n configured="true"><title>open')
w('torznab', 'seed-cdata', '<indexers>\n<indexer\tid="x"\r\nconfigured="True"><title>\n<![CDATA[ name ]]>\n</title></indexer></indexers>')
w('torznab', 'seed-bytes', b'<indexers><indexer id="\xff\xfe"><title>\xed\xa0\x80\xc3</title></indexer></indexers>')
# --- validate: b0 (type, flags), b1 (buffer), settings, answers
def settings(host, key, https=None, port=None, ident=None):
    out = b''
    for v in (host, key, https, port, ident):
        if v is None: out += u8(0)
        else: out += u8(3) + text(v)
    return u8(1) + out
ok_root = u8(0x10) + u8(0)                       # template body, status 200
w('validate', 'seed-sonarr-ok', u8(1) + u8(9) + settings('192.0.2.10', 'key+/', 'TRUE', '80a') + u8(0x10) + u8(0) + u8(0x10) + u8(0))
w('validate', 'seed-radarr-401', u8(2) + u8(8) + settings('::1', 'k', None, '7000', 'my-id') + u8(0x08) + u8(7) + text('{}', False))
w('validate', 'seed-jackett-ok', u8(0) + u8(9) + settings('jackett.local', 'k', 'true', '') + u8(0x18) + u8(0) + text('Name &amp; more'))
w('validate', 'seed-jackett-transport', u8(0) + u8(6) + settings('j', 'k') + u8(0x47) + u8(14))
w('validate', 'seed-raw-settings', u8(1) + u8(7) + u8(0) + text('{"Host":"h","APIKey":"k","Port":8080,"UseHttps":true}') + u8(0x10) + u8(0) + u8(0x10) + u8(0))
w('validate', 'seed-bad-settings', u8(2) + u8(9) + u8(0) + text('[]'))
w('validate', 'seed-small-buffer', u8(1) + u8(0x80 | 40) + settings('h', 'k') + u8(0x10) + u8(0) + u8(0x10) + u8(0))
w('validate', 'seed-no-transport', u8(1 | 0x10) + u8(9) + settings('h', 'k'))
# --- configure: b, pm, host text(300) (2-byte length), key text(100)
def conf(kind, portbyte, host, key, flags=0, port32=None):
    out = u8(kind | flags) + u8(portbyte)
    if port32 is not None: out += i32(port32)
    return out + text(host, True) + text(key)
w('configure', 'seed-v4', conf(0, 3, '127.0.0.1', 'key with space/+'))
w('configure', 'seed-v6', conf(2, 0xE0, '::1', 'k', 8, 7000) + conf(1, 0xE0, 'a' * 253, 'k', 0, 65535) + conf(1, 0xE0, 'a' * 254, 'k', 0, 1))
w('configure', 'seed-refused', conf(1, 3, 'http://h', 'k') + conf(1, 3, '[::1]', 'k') + conf(1, 3, 'h', '') + conf(0, 0xE0, 'h', 'k', 0, 65536) + conf(2, 3, '192.0.2.10:8080', 'k'))
w('configure', 'seed-odd-bytes', conf(1, 3, "!$&'()*+,;=^`{|}~\xc3\xa9".encode('latin-1').decode('latin-1'), '\x01\xff'))
# --- workflow
tmpl = u8(0x80)
def lookup_single(title='Title', clean='title'):
    return tmpl + u8(0x80) + text(title) + text(clean)
radarr_add = (u8(2) + u8(0) + u8(41) + u8(0) + u8(0) + text('')
    + lookup_single()
    + tmpl + u8(1)
    + tmpl + u8(0)
    + tmpl + u8(0) + u8(1) + i32(6) + text('HD')
    + tmpl + u8(0) + i32(31)
    + tmpl + u8(1) + text('Film.2001') + u8(1) + i32(1000) + u8(1) + i32(2) + u8(3) + u8(2) + text('2024-03-01') + u8(3))
w('workflow', 'seed-radarr-add', radarr_add)
w('workflow', 'seed-radarr-in-library', u8(2) + u8(0) + u8(41) + u8(0) + u8(0) + text('') + lookup_single() + tmpl + u8(0) + u8(1) + i32(31) + tmpl + u8(0))
sonarr_add = (u8(1) + u8(1) + u8(80) + u8(1) + u8(2) + text('HD')
    + tmpl + u8(0x80 | 0) + text('Show') + text('show')
    + tmpl + u8(1)
    + tmpl + u8(0)
    + tmpl + u8(0) + u8(1) + i32(6) + text('HD')
    + tmpl + u8(1) + u8(1) + i32(17)
    + tmpl + u8(0)
    + tmpl + u8(2) + text('Show.S01E02') + u8(0) + u8(0) + u8(6) + u8(4) + u8(0)
    + text('x') + u8(1) + i32(0) + u8(0) + u8(0) + u8(5) + u8(0))
w('workflow', 'seed-sonarr-add', sonarr_add)
w('workflow', 'seed-sonarr-root-slash', u8(1) + u8(1) + u8(80) + u8(1) + u8(0) + text('') + tmpl + u8(0x80) + text('Show') + text('show') + tmpl + u8(1) + tmpl + u8(1) + tmpl + u8(0) + u8(1) + i32(6) + text('HD'))
w('workflow', 'seed-jackett-stages', u8(0) + u8(0) + u8(0) + u8(0) + u8(0) + text('') + text('A Title') + text('a query')
    + tmpl + u8(0) + u8(0)
    + tmpl + u8(2) + text('r1') + u8(0) + u8(1) + i32(5) + text('r2') + u8(1) + u8(2) + text('tt0000999') + u8(0) + u8(0)
    + tmpl + u8(1) + text('q1') + u8(0) + u8(0) + u8(0))
w('workflow', 'seed-tests', u8(5 | 8) + u8(0) + u8(0) + u8(0) + u8(0) + text('') + tmpl + u8(0) + tmpl + u8(0) + u8(1) + i32(5) + text('x'))
w('workflow', 'seed-raw-answers', u8(7 | 8) + u8(0) + u8(0) + u8(0) + u8(0) + text('') + u8(0) + text('[{"imdbId":"tt0000123","tvdbId":5}]', True))
w('workflow', 'seed-http-errors', u8(2) + u8(0) + u8(41) + u8(0) + u8(0) + text('') + u8(0x30 | 0x40) + u8(13) + text('NotFoundException'))
w('workflow', 'seed-disarmed', u8(0x81) + u8(0) + u8(1) + u8(0) + u8(0) + text(''))
# --- sequence: op bytes, each followed by its arguments
fake_set = lambda idx, body: u8(6) + u8(idx) + u8(0) + text(body, True)
w('sequence', 'seed-radarr-chain', fake_set(13, '[{"imdbId":"tt0000123","tmdbId":1,"title":"M"}]')
    + fake_set(15, '[{"tmdbId":1,"id":1}]') + fake_set(17, '[{"title":"r","size":5},{"title":"s"}]')
    + u8(5) + u8(0) + u8(16) + u8(0) + u8(7) + u8(0) + u8(0)
    + u8(17) + u8(0) + u8(5) + u8(23) + u8(0) + u8(17) + u8(2) + u8(7))
w('sequence', 'seed-parse-reset', u8(8) + text('{"Results":[{"Title":"a","Seeders":3}],"Indexers":[{"ID":"x","Status":1}]}', True)
    + u8(17) + u8(0) + u8(0) + u8(8 | 0x20) + text('[{"title":"b","fullSeason":true}]', True) + u8(0) + u8(17) + u8(0) + u8(4)
    + u8(8 | 0x40) + text('<indexers><indexer id="a"><title>A</title></indexer></indexers>', True) + u8(18) + u8(4))
w('sequence', 'seed-host-sonarr', u8(2) + u8(11 | 0x20) + u8(0) + text('[{"path":"/tv"}]', True) + u8(0)
    + text('[{"id":4,"name":"HD"}]', True) + u8(18) + u8(4) + u8(21 | 0x20) + text('{"Host":"s","APIKey":"k"}')
    + u8(0) + text('[]', True) + u8(0) + text('[]', True) + u8(19) + u8(3) + i32(-5) + u8(20) + u8(6) + text(' tt0012 '))
w('sequence', 'seed-add-order', u8(15 | 0x80) + u8(0) + u8(3) + u8(0) + u8(5) + u8(0) + u8(15 | 0x80) + u8(0) + u8(3) + u8(0)
    + fake_set(6, '[{"tvdbId":1,"cleanTitle":"x","imdbId":"tt0000123"}]') + fake_set(7, '{"id":9}') + u8(15 | 0x80) + u8(0) + u8(3) + u8(0)
    + u8(23) + u8(0) + u8(4 | 0x20) + u8(4) + u8(7) + u8(13 | 0x80) + u8(0))
# --- download queues and calendars: the first byte picks the call (1: Sonarr,
# 2: calendar, 8: one item); each answer is 7 and a raw text, or a page the
# target builds from the bytes that follow.
fixtures = os.path.join(os.path.dirname(root), '..', 'tests', 'fixtures', 'arr')
recorded = lambda name: open(os.path.join(fixtures, name), 'rb').read()
w('queue', 'seed-sonarr-v4-recorded', u8(1) + u8(7) + text(recorded('sonarr-v4-queue-stalled-qbittorrent-2026.json'), True))
w('queue', 'seed-radarr-recorded', u8(8) + u8(311 % 4) + u8(7) + text(recorded('radarr-queue-goodfellas-deluge-2022.json'), True))
w('queue', 'seed-radarr-calendar-recorded', u8(2) + u8(7) + text(recorded('radarr-calendar-raydonovan-notimetodie-2022.json'), True))
w('queue', 'seed-sonarr-pages', u8(1) + (u8(0) + u8(3) + bytes(range(1, 120))) * 3)
w('queue', 'seed-sonarr-calendar', u8(3 | 8) + u8(0) + u8(4) + bytes(range(7, 200)))
w('queue', 'seed-bare-list', u8(0) + u8(0x80) + u8(2) + bytes(range(40, 140)))
