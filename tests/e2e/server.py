#!/usr/bin/env python3
"""A local stand-in for Jackett, Prowlarr, Sonarr and Radarr, for the end-to-end tests.

    server.py start --dir DIR   start a server in the background, wait until it
                                listens, write DIR/ports.json, DIR/ca.pem
    server.py stop  --dir DIR   stop it (it also stops by itself after
                                --lifetime seconds)
    server.py serve --dir DIR   run in the foreground

It listens on 127.0.0.1 only, on two ephemeral ports: plain HTTP and HTTPS
with a certificate for the name localhost only (not for the address
127.0.0.1, so that host-name verification can be seen at work), signed by a
throw-away CA that openssl makes at start. Both serve the same routes.

The API key picks the behaviour of the service routes, so that a test can get
a failure through the library without any other switch:
    k401 -> 401, k403 -> 403, k404 -> 404, k500 -> 500, each with a body of
    the service's, k401basic -> k401's answer with WWW-Authenticate: Basic
    (a service whose own login is Basic), slow -> 5 s delay,
    hostile -> texts carrying terminal controls (HOSTILE),
    e400problem, e400servarr, e400jackett -> 400 with an ASP.NET problem
    details body, a Servarr validation-failure array, a Jackett error object,
    e500html -> 500 with an HTML page,
    noroot, noprofile -> no root folder, no quality profile,
    tworoots -> a second root folder, /films/,
    dupprofiles... -> a third profile "hd-1080p", a name that differs from
    "HD-1080p" in letter case only,
    rejects -> a second release, one the service rejected,
    norel -> an empty release list, anything else -> the normal answer.
Keys that start with these stand for a reverse proxy in front of the service:
    needbase -> 404 (HTML) unless the path starts with a URL base (/sonarr...),
    redirect-https -> over plain HTTP, 301 to the same path and query on the
        HTTPS port, at https://localhost:PORT, redirect-base -> 302 to /sonarr + the same
        path and query, unless the path has a URL base already.
Sonarr's /api/v3/languageprofile and the grab (POST /api/v3/release of the
listed release's guid and indexerId) answer as the services do.
Prowlarr's routes answer in the shapes of the recorded answers in
tests/fixtures/prowlarr: /api/v1/indexer, /api/v1/indexerstatus, the search
(GET /api/v1/search?query=...&type=...) and its grab (POST /api/v1/search).
Sonarr's and Radarr's /api/v3/queue (in pages) and /api/v3/calendar are made
of the recorded answers in tests/fixtures/arr (see queue_calendar_answer); keys
that start with queuelies -> a queue whose totalRecords says more than it has.
Its keys:
    heldback -> indexer 3 (LimeTorrents) held back after failures,
    allheldback -> every indexer held back, and searches find nothing,
    expired -> a grab of a listed release gets 404 (Prowlarr no longer
        knows it), grabconflict -> 409 (the indexer failed to deliver it).

Test routes (any key or none): /echo (the request as JSON), /status/N,
/slow?ms=N (at most 5000), /gzip (gzip-encoded JSON), /big?n=N (N bytes,
with Content-Length), /bigchunked?n=N (chunked), /bomb (small gzip, 4 MiB
decoded), /redirect?to=L&code=C (status C, default 302, to Location L,
default /echo), /trickle?n=N&ms=T&parts=P (N bytes with
Content-Length, sent in P parts over T ms, T at most 5000), /nul?n=N&at=K
(N bytes, a NUL at offset K), /longheader?n=N (a header line of N bytes).
Keys that start with "slow-" delay the service routes like "slow" does, each
with its own records. Every request is recorded; /__requests?apikey=K returns
those made with that key, so parallel tests keep apart.

A key may come in the X-Api-Key header instead of the query. Keys that start
with these stand for what a reverse proxy or the service asks of a client
(front_door below), on every route:
    needauth -> 401 (WWW-Authenticate: Basic, empty body) without the basic
        credentials BASIC_USER, BASIC_PASSWORD,
    needheader -> 403 without the header X-Proxy-Token: PROXY_TOKEN,
    hdrkey -> 400 when an /api/v1/ or /api/v3/ request carries the key in
        its query (only X-Api-Key may carry it),
    ratelimit-secs-N, ratelimit-date-N, ratelimit-none -> 429 with
        Retry-After: N, an HTTP date N s ahead, or none,
    empty-S-F -> status S with an empty body framed by F: length
        (Content-Length: 0), chunked, or close (no length, the connection
        closes); a 401 comes with WWW-Authenticate: Basic,
    challenge-NAME -> 401 with an empty body and the WWW-Authenticate
        headers CHALLENGES[NAME] (basic or other schemes, realms a
        transport shows or leaves out),
    deep -> every /api/ route answers JSON nested 100000 levels deep.
/api/v1/echo, /api/v2.0/echo and /api/v3/echo echo like /echo. The records
hold the Authorization and X-Api-Key headers and every header as sent.

Answers that break HTTP itself (broken_http below) are written on the
socket by hand: /drip?where=headers|body&ms=T (a byte every T ms, for up to
60 s), /endlessheaders, /endless (a body without a length that does not
end), /gzbomb?mib=N (gzip, N MiB once decoded, streamed), /length?declared=N&
sent=M (a Content-Length that is not the body's), /badchunk?kind=K,
/reset?after=N (a connection reset after N body bytes; N=-1 before the
answer), /hangup (closed without an answer), /nulheader (a NUL inside a header
value). A third port, "tarpit" in ports.json, accepts connections and never
says a word, in HTTP or TLS.
"""
import argparse
import base64
import calendar as calendar_module
import email.utils
import gzip
import json
import os
import signal
import socket
import ssl
import struct
import subprocess
import sys
import threading
import time
import urllib.parse
import urllib.request
import zlib
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

MAX_BODY = 1 << 20
RECORD_LIMIT = 5000

JACKETT_INDEXERS = """<?xml version="1.0" encoding="UTF-8"?>
<indexers>
  <indexer id="1337x" configured="true"><title>1337x</title><type>public</type></indexer>
  <indexer id="rutracker" configured="true"><title>RuTracker.org</title><type>semi-private</type></indexer>
  <indexer id="nyaasi" configured="false"><title>Nyaa.si</title></indexer>
</indexers>
"""

RESULT_ROW = {
    "FirstSeen": "0001-01-01T00:00:00", "Tracker": "1337x", "TrackerId": "1337x",
    "TrackerType": "public", "CategoryDesc": "Movies/HD", "Title": "Night of the Living Dead 1968 1080p BluRay x264",
    "Guid": "https://1337x.to/torrent/1/notld/", "Link": "http://127.0.0.1/dl/1.torrent",
    "Details": "https://1337x.to/torrent/1/notld/", "PublishDate": "2023-10-31T20:15:00Z",
    "Category": [2000, 2040, 100001], "Size": 8589934592, "Files": 3, "Grabs": 120,
    "Seeders": 42, "Peers": 50, "Imdb": 63350, "TMDb": 10331, "TVDBId": 0,
    "DownloadVolumeFactor": 0, "UploadVolumeFactor": 1, "MagnetUri": None, "InfoHash": None,
}

ROOTFOLDER = [{"path": "/data/media/", "accessible": True, "freeSpace": 1 << 40, "id": 1}]
PROFILES = [{"id": 1, "name": "Any"}, {"id": 4, "name": "HD-1080p"}]
SERIES = {"title": "The Twilight Zone", "cleanTitle": "thetwilightzone", "year": 1959,
          "imdbId": "tt0052520", "tvdbId": 73587, "tmdbId": 6357,
          "seasons": [{"seasonNumber": 1, "monitored": True}]}
# A lookup by title finds every series of that name.
TWILIGHT_ZONES = [SERIES] + [
    dict(SERIES, year=year, imdbId=imdb, tvdbId=tvdb, tmdbId=tmdb, cleanTitle="thetwilightzone%d" % year)
    for year, imdb, tvdb, tmdb in ((1985, "tt0088634", 73659, 1918), (2002, "tt0318252", 71979, 4451),
                                   (2019, "tt2583620", 353401, 83135))]
MOVIE = {"title": "Night of the Living Dead", "cleanTitle": "nightofthelivingdead", "year": 1968,
         "imdbId": "tt0063350", "tmdbId": 10331, "id": 31}
NEW_MOVIE = {"title": "The Matrix", "cleanTitle": "thematrix", "year": 1999, "imdbId": "tt0133093", "tmdbId": 603}
EPISODES = [{"id": 901, "seriesId": 12, "seasonNumber": 1, "episodeNumber": 1},
            {"id": 905, "seriesId": 12, "seasonNumber": 1, "episodeNumber": 5}]
RELEASE = {"guid": "rel-1", "title": "The.Twilight.Zone.S01E05.720p.BluRay.x264", "indexer": "1337x",
           "indexerId": 2, "size": 734003200, "seeders": 17, "leechers": 3, "downloadUrl": "http://127.0.0.1/r/1",
           "publishDate": "2024-01-02T03:04:05Z", "seasonNumber": 1, "episodeNumbers": [5],
           "fullSeason": False, "indexerFlags": 1, "categories": [5040],
           "quality": {"quality": {"id": 6, "name": "Bluray-720p", "source": "bluray", "resolution": 720},
                       "revision": {"version": 1, "real": 0}},
           "approved": True, "rejected": False, "rejections": []}
REJECTED_RELEASE = dict(RELEASE, guid="rel-2", title="The.Twilight.Zone.S01E05.480p.DVDRip", indexer="EZTV",
                        indexerId=4, quality={"quality": {"id": 2, "name": "DVD"}}, approved=False, rejected=True,
                        rejections=["Quality is not wanted in profile", "Not an upgrade for existing episode file"])


def variant_answer(key, path):
    """The answers of the keys that change one route; None where the normal one serves."""
    if key == "noroot" and path == "/api/v3/rootfolder":
        return 200, "application/json", "[]"
    if key == "tworoots" and path == "/api/v3/rootfolder":
        return 200, "application/json", json.dumps(ROOTFOLDER + [dict(ROOTFOLDER[0], path="/films/", id=2)])
    if key == "noprofile" and path == "/api/v3/qualityprofile":
        return 200, "application/json", "[]"
    if key.startswith("dupprofiles") and path == "/api/v3/qualityprofile":
        return 200, "application/json", json.dumps(PROFILES + [{"id": 6, "name": "hd-1080p"}])
    if key == "rejects" and path == "/api/v3/release":
        return 200, "application/json", json.dumps([RELEASE, REJECTED_RELEASE])
    if key == "norel" and path == "/api/v3/release":
        return 200, "application/json", "[]"
    return None

# What a malicious or broken service could put in its texts: an escape
# sequence that retitles the terminal, one that clears it, a line break that
# forges a line, the 8-bit CSI (as U+009B), DEL and a tab.
HOSTILE = "evil\x1b]0;PWNED\x07\x1b[2J\r\noverwrite\x9b31m\x7f\tend"


def hostile_answer(path):
    """The answers of the key "hostile"; None where the normal one serves."""
    if path == "/api/v2.0/indexers/all/results/torznab/api":
        return 200, "application/xml", JACKETT_INDEXERS.replace("<title>1337x</title>", "<title>%s</title>" % HOSTILE)
    if path == "/api/v2.0/indexers/all/results":
        return 200, "application/json", json.dumps({
            "Results": [dict(RESULT_ROW, Title=HOSTILE, Tracker=HOSTILE)],
            "Indexers": [{"ID": "1337x", "Name": HOSTILE, "Status": 2, "Results": 1, "Error": None},
                         {"ID": "bad", "Name": "bad", "Status": 1, "Results": 0, "Error": HOSTILE}]})
    if path == "/api/v3/rootfolder":
        return 200, "application/json", json.dumps([dict(ROOTFOLDER[0], path=HOSTILE)])
    if path == "/api/v3/qualityprofile":  # a refusal: its message becomes a warning
        return 400, "application/json", json.dumps({"message": HOSTILE})
    return None


# Sonarr v3's language profiles; the grab of a release the search listed;
# refusals in the shapes the services send them, picked by the API key.
LANGUAGE_PROFILES = [{"id": 1, "name": "English", "upgradeAllowed": False}, {"id": 2, "name": "Any"}]
REFUSALS = {
    "e400problem": (400, "application/problem+json", json.dumps({
        "type": "https://tools.ietf.org/html/rfc7231#section-6.5.1", "title": "One or more validation errors occurred.",
        "status": 400, "traceId": "00-1-2-00", "errors": {"Path": ["The Path field is required."]}})),
    "e400servarr": (400, "application/json", json.dumps([
        {"propertyName": "RootFolderPath", "errorMessage": "Folder '/nope' does not exist",
         "attemptedValue": "/nope", "severity": "error"},
        {"propertyName": "LanguageProfileId", "errorMessage": "Language profile does not exist",
         "attemptedValue": 0, "severity": "error"}])),
    "e400jackett": (400, "application/json", json.dumps({"error": "Indexer is not configured: apikey=e400jackett"})),
    "e500html": (500, "text/html", "<!DOCTYPE html><html><head><title>500 Internal Server Error</title></head>"
                                   "<body><h1>Internal Server Error</h1></body></html>"),
}


def extension_answer(method, path, body):
    """The routes of the language profiles and of the release grab; None for any other."""
    if path == "/api/v3/languageprofile" and method == "GET":
        return 200, "application/json", json.dumps(LANGUAGE_PROFILES)
    if path == "/api/v3/release" and method == "POST":
        try:
            obj = json.loads(body)
        except ValueError:
            return 400, "application/json", '{"message":"body is not JSON"}'
        if obj.get("guid") != RELEASE["guid"] or obj.get("indexerId") != RELEASE["indexerId"]:
            return 404, "application/json", json.dumps(
                {"message": "Couldn't find requested release in cache, try searching again"})
        return 200, "application/json", json.dumps(dict(RELEASE, approved=True))
    return None


# Prowlarr: its recorded answers, loaded as they are. Its indexer status
# names a time to come, so the recorded entry is moved to the days around
# the run; its search rows are the recorded ones, and copies of the first
# (a film) retitled for the films and series the tests search.
FIXTURES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "fixtures", "prowlarr")


def fixture(name):
    with open(os.path.join(FIXTURES, name)) as f:
        return json.load(f)


PROWLARR_INDEXERS = fixture("indexer-list-5-public-fieldsstripped.json")
PROWLARR_HELD = fixture("indexerstatus-one-disabled.json")[0]  # the recorded entry; the other one is hand-made
PROWLARR_SEVERANCE = fixture("search-severance-2.5.2.json")
PROWLARR_FILM = dict(PROWLARR_SEVERANCE[0], title="Night of the Living Dead (1968) 1080p BluRay x264 -YTS",
                     sortTitle="night of the living dead 1968 1080p bluray x264 yts", imdbId=63350,
                     fileName="Night of the Living Dead (1968) 1080p BluRay x264 -YTS.torrent",
                     guid="https://yts.gg/torrent/download/0063350", infoHash="0063350", size=1503238553,
                     seeders=41, leechers=3)
PROWLARR_EPISODE = dict(PROWLARR_SEVERANCE[1], title="The Twilight Zone S01E05 Walking Distance 1080p",
                        sortTitle="the twilight zone s01e05 walking distance 1080p", imdbId=52520,
                        fileName="The Twilight Zone S01E05 Walking Distance 1080p.torrent",
                        guid="magnet:?xt=urn:btih:0052520", infoHash="0052520", size=734003200, files=1)
PROWLARR_ROWS = {  # what each query finds
    "{ImdbId:tt0063350}": [PROWLARR_FILM],
    "Night of the Living Dead": [PROWLARR_FILM, PROWLARR_SEVERANCE[0]],  # a row of another film, dropped
    "Severance": PROWLARR_SEVERANCE,
    "nothing": [],
}


def prowlarr_status(held_ids):
    """Indexer status entries that hold `held_ids` back from yesterday until tomorrow."""
    def iso(t):
        return time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(t))
    now = time.time()
    return [dict(PROWLARR_HELD, indexerId=i, initialFailure=iso(now - 86400), mostRecentFailure=iso(now - 600),
                 disabledTill=iso(now + 86400)) for i in held_ids]


def prowlarr_rows(query, kind):
    """The rows of a search: the IMDb token of the series (with its season
    and episode tokens) finds its episode under tvsearch; an IMDb token
    finds nothing under another type."""
    if query.startswith("{ImdbId:tt0052520}"):
        return [PROWLARR_EPISODE] if kind == "tvsearch" else []
    if query.startswith("{ImdbId:") and kind != "movie":
        return []
    return PROWLARR_ROWS.get(query, [] if query.startswith("{") else PROWLARR_SEVERANCE)


def prowlarr_answer(key, method, path, query, body):
    """Prowlarr's routes; None for any other."""
    q = urllib.parse.parse_qs(query)
    ids = [x["id"] for x in PROWLARR_INDEXERS]
    held = ids if key == "allheldback" else [3] if key == "heldback" else []
    if path == "/api/v1/indexer" and method == "GET":
        return 200, "application/json", json.dumps(PROWLARR_INDEXERS)
    if path == "/api/v1/indexerstatus" and method == "GET":
        return 200, "application/json", json.dumps(prowlarr_status(held))
    if path == "/api/v1/search" and method == "GET":
        rows = [] if key == "allheldback" else prowlarr_rows(q.get("query", [""])[0], q.get("type", ["search"])[0])
        return 200, "application/json", json.dumps(rows)
    if path == "/api/v1/search" and method == "POST":
        try:
            obj = json.loads(body)
        except ValueError:
            return 400, "application/json", '{"message":"body is not JSON"}'
        listed = [r for rows in PROWLARR_ROWS.values() for r in rows] + [PROWLARR_EPISODE]
        found = [r for r in listed if r["guid"] == obj.get("guid") and r["indexerId"] == obj.get("indexerId")]
        if key == "expired" or not found:
            return 404, "application/json", json.dumps(
                {"message": "Couldn't find requested release in cache, try searching again"})
        if key == "grabconflict":
            return 409, "application/json", json.dumps({"message": "Getting release from indexer failed"})
        return 200, "application/json", json.dumps(found[0])
    return None


# ---------------------------------------------------------------------------
# Sonarr's and Radarr's download queues and calendars
# ---------------------------------------------------------------------------
# Both services answer on the same port here: a request says which one it is
# for by the parameters only that service takes (Sonarr's queue asks with
# includeEpisode, Radarr's with includeUnknownMovieItems; Sonarr's calendar
# with includeSeries).
#
# The queues are the recorded pages of tests/fixtures/arr with a few records
# made from them: Sonarr's three stalled downloads (an error message each),
# an episode of SERIES downloading, and a download Sonarr has not matched to
# a series, whose status is one a host has no word for; Radarr's recorded
# film downloading, the server's MOVIE being imported, and a download Radarr
# has not matched. The unmatched ones come only when the request asks for
# unknown items. Pages hold at most QUEUE_PAGE records, whatever pageSize
# asks (a service with a cap), so that every queue takes several pages. A
# recorded time to completion is moved to the run's time, the recorded time
# left from now. Keys that start with "queuelies" get the recorded page's
# totalRecords (90), more than there are: past the last record the pages are
# empty.
#
# Sonarr's calendar has no recording: a few episodes in the shape of Sonarr's
# API documentation (with their series when includeSeries=true), airing in
# December 2021, as Radarr's recorded calendar does. Both keep their dates
# and answer what falls between the start and end asked (Radarr: a film with
# any release in the span), unmonitored items only with unmonitored=true.
ARR_FIXTURES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "fixtures", "arr")
QUEUE_PAGE = 2


def arr_fixture(name):
    with open(os.path.join(ARR_FIXTURES, name)) as f:
        return json.load(f)


SONARR_QUEUE_PAGE = arr_fixture("sonarr-v4-queue-stalled-qbittorrent-2026.json")
RADARR_QUEUE_PAGE = arr_fixture("radarr-queue-goodfellas-deluge-2022.json")
RADARR_CALENDAR = arr_fixture("radarr-calendar-raydonovan-notimetodie-2022.json")

# The episodes of the recorded downloads, as their titles number them.
SONARR_QUEUE_EPISODES = {1082: 20, 1083: 21, 1071: 9}
_stalled = SONARR_QUEUE_PAGE["records"][0]
SONARR_QUEUE = SONARR_QUEUE_PAGE["records"] + [
    dict({k: v for k, v in _stalled.items() if k != "errorMessage"}, seriesId=12, episodeId=905,
         title=RELEASE["title"], size=RELEASE["size"], sizeleft=RELEASE["size"] // 4, status="downloading",
         timeleft="00:40:00", downloadId="905905905", id=2001),
    dict({k: v for k, v in _stalled.items() if k not in ("seriesId", "episodeId", "seasonNumber", "sizeleft")},
         title="Unmatched.Show.S02E03.1080p.WEB.h264-GRP", status="downloadClientUnavailable",
         errorMessage="Download client qBittorrent is unavailable", downloadId="303303303", id=2002),
]
_goodfellas = RADARR_QUEUE_PAGE["records"][0]
RADARR_QUEUE = [
    _goodfellas,
    dict({k: v for k, v in _goodfellas.items() if k not in ("timeleft", "estimatedCompletionTime")},
         movieId=MOVIE["id"], title=RESULT_ROW["Title"], size=RESULT_ROW["Size"], sizeleft=0, status="completed",
         trackedDownloadState="importPending", downloadId="31313131", id=1340002664),
    dict({k: v for k, v in _goodfellas.items() if k not in ("movieId", "timeleft", "estimatedCompletionTime")},
         title="Unmatched.Film.2019.1080p.BluRay.x264-GRP", sizeleft=0, status="completed",
         trackedDownloadStatus="warning", trackedDownloadState="importBlocked",
         statusMessages=[{"title": "Unmatched.Film.2019.1080p.BluRay.x264-GRP",
                          "messages": ["Unknown Movie", "No files found are eligible for import"]}],
         downloadId="201920192019", id=1340002665),
]

SONARR_CALENDAR_SERIES = {21: {"title": "Hawkeye", "imdbId": "tt10160804"},
                          22: {"title": "The Expanse", "imdbId": "tt3230854"}}
SONARR_CALENDAR = [
    {"seriesId": 21, "seasonNumber": 1, "episodeNumber": 5, "title": "Ronin", "airDate": "2021-12-15",
     "airDateUtc": "2021-12-15T08:00:00Z", "hasFile": True, "monitored": True, "id": 2105},
    {"seriesId": 21, "seasonNumber": 1, "episodeNumber": 6, "title": "So This Is Christmas?", "airDate": "2021-12-22",
     "airDateUtc": "2021-12-22T08:00:00Z", "hasFile": False, "monitored": False, "id": 2106},
    {"seriesId": 22, "seasonNumber": 6, "episodeNumber": 2, "title": "Azure Dragon", "airDate": "2021-12-16",
     "airDateUtc": "2021-12-17T02:00:00Z", "hasFile": False, "monitored": True, "id": 2202},
    {"seriesId": 22, "seasonNumber": 6, "episodeNumber": 3, "title": "Force Projection", "airDate": "2021-12-23",
     "airDateUtc": "2021-12-24T02:00:00Z", "hasFile": False, "monitored": True, "id": 2203},
]


def iso_time(t):
    return time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(t))


def parse_iso(text):
    """Seconds since 1970 of "2021-12-14T00:00:00Z"; None for anything else."""
    try:
        return calendar_module.timegm(time.strptime(text, "%Y-%m-%dT%H:%M:%SZ"))
    except ValueError:
        return None


def queue_record(record, episodes):
    """A queue record as the service sends it now: its time to completion
    moved to the run's time, its episode when it was asked for."""
    r = dict(record)
    if "timeleft" in r:
        h, m, s = (int(x) for x in r["timeleft"].split(":"))
        r["estimatedCompletionTime"] = iso_time(time.time() + h * 3600 + m * 60 + s)
    number = SONARR_QUEUE_EPISODES.get(r.get("episodeId"), 5 if r.get("episodeId") == 905 else None)
    if episodes and number is not None:
        r["episode"] = {"id": r["episodeId"], "seriesId": r["seriesId"], "seasonNumber": r["seasonNumber"],
                        "episodeNumber": number}
    return r


def queue_answer(key, q):
    """A page of a queue: Sonarr's or Radarr's, as the parameters say."""
    def one(name, default=""):
        return q.get(name, [default])[0]

    sonarr = "includeEpisode" in q or "includeUnknownSeriesItems" in q
    unknown = one("includeUnknownSeriesItems" if sonarr else "includeUnknownMovieItems") == "true"
    records = [r for r in (SONARR_QUEUE if sonarr else RADARR_QUEUE)
               if unknown or r.get("seriesId" if sonarr else "movieId")]
    try:
        page, size = max(int(one("page", "1")), 1), min(max(int(one("pageSize", "10")), 1), QUEUE_PAGE)
    except ValueError:
        return 400, "application/json", '{"message":"page and pageSize are numbers"}'
    total = SONARR_QUEUE_PAGE["totalRecords"] if key.startswith("queuelies") else len(records)
    chosen = [queue_record(r, sonarr and one("includeEpisode") == "true")
              for r in records[(page - 1) * size:page * size]]
    return 200, "application/json", json.dumps({"page": page, "pageSize": size, "sortKey": "timeleft",
                                                "sortDirection": "ascending", "totalRecords": total,
                                                "records": chosen})


def calendar_answer(q):
    """The calendar between start and end: Sonarr's or Radarr's, as the parameters say."""
    def one(name):
        return q.get(name, [""])[0]

    start, end = parse_iso(one("start")), parse_iso(one("end"))
    if start is None or end is None:
        return 400, "application/json", '{"message":"start and end are dates"}'
    unmonitored = one("unmonitored") == "true"

    def inside(text):
        t = parse_iso(text) if text else None
        return t is not None and start <= t <= end

    if "includeSeries" in q:
        found = [dict(e, series=SONARR_CALENDAR_SERIES[e["seriesId"]]) if one("includeSeries") == "true" else e
                 for e in SONARR_CALENDAR if inside(e["airDateUtc"]) and (unmonitored or e["monitored"])]
    else:
        found = [m for m in RADARR_CALENDAR if (unmonitored or m["monitored"]) and
                 any(inside(m.get(k)) for k in ("inCinemas", "digitalRelease", "physicalRelease"))]
    return 200, "application/json", json.dumps(found)


def queue_calendar_answer(key, method, path, query):
    """The queue and calendar routes; None for any other."""
    if method != "GET":
        return None
    q = urllib.parse.parse_qs(query)
    if path == "/api/v3/queue":
        return queue_answer(key, q)
    if path == "/api/v3/calendar":
        return calendar_answer(q)
    return None


def transport_misbehaviour(handler, path, params):
    """The answers that test a transport's own limits and its cancellation;
    False for any other path."""
    def num(name, default):
        return int(params.get(name, [str(default)])[0])

    if path == "/trickle":
        n, parts = min(num("n", 1000), 16 << 20), max(num("parts", 10), 1)
        pause = min(num("ms", 1000), 5000) / 1000.0 / parts
        handler.send_response(200)
        handler.send_header("Content-Type", "text/plain")
        handler.send_header("Content-Length", str(n))
        handler.end_headers()
        try:
            for i in range(parts):
                handler.wfile.write(b"t" * (n * (i + 1) // parts - n * i // parts))
                handler.wfile.flush()
                time.sleep(pause)
        except OSError:
            pass  # the client stopped reading: a cancel
        return True
    if path == "/nul":
        n = min(num("n", 100), 1 << 20)
        at = min(num("at", 10), n - 1)
        handler.send(200, "text/plain", b"a" * at + b"\0" + b"a" * (n - at - 1))
        return True
    if path == "/longheader":
        handler.send(200, "text/plain", "short body", [("X-Long", "h" * min(num("n", 1000), 1 << 20))])
        return True
    return False


# ---------------------------------------------------------------------------
# What a reverse proxy or the service asks of a client, picked by the key:
# basic credentials, a header of its own, the key in a header, rate limits,
# and refusals without a body.
# ---------------------------------------------------------------------------
BASIC_USER = "kova"
BASIC_PASSWORD = "s3cret:pa55 w\u00f6rd"  # a colon and a letter beyond ASCII
PROXY_TOKEN = "t0ken-for-the-proxy"
API_PREFIXES = ("/api/v1/", "/api/v3/")
DEEP = 100000


def header_record(headers):
    """The members a record gains from the request's headers."""
    return {"authorization": headers.get("Authorization", ""), "x_api_key": headers.get("X-Api-Key", ""),
            "headers": [[k, v] for k, v in headers.items()]}


def basic_credentials():
    return "Basic " + base64.b64encode(("%s:%s" % (BASIC_USER, BASIC_PASSWORD)).encode()).decode()


def send_empty(handler, status, framing, headers=()):
    """Status `status` with an empty body: Content-Length 0, one last chunk,
    or no length and the connection closed."""
    handler.send_response(status)
    for k, v in headers:
        handler.send_header(k, v)
    if framing == "chunked":
        handler.send_header("Transfer-Encoding", "chunked")
    elif framing == "close":
        handler.send_header("Connection", "close")
        handler.close_connection = True
    else:
        handler.send_header("Content-Length", "0")
    handler.end_headers()
    if framing == "chunked":
        handler.wfile.write(b"0\r\n\r\n")


# What a 401 may ask for in its WWW-Authenticate headers (one list item per
# header), by the name after "challenge-".
CHALLENGES = {
    "bare": ["Basic"],
    "second": ['Negotiate, Basic realm="media lan", charset="UTF-8"'],
    "twoheaders": ["Negotiate", 'basic Realm=proxy'],
    "inquotes": ['Digest realm="a, Basic b", nonce="1"'],
    "escaped": ['Basic realm="say \\"hi\\""'],
    "beyondascii": ['Basic realm="M\u00e9dia"'],
    "long": ['Basic realm="%s"' % ("r" * 65)],
    "bearer": ['Bearer realm="api"'],
}


def front_door(handler, path, query_has_key, key):
    """Answers for the keys of FRONT_DOOR; False when the request passes."""
    if key.startswith("needauth") and handler.headers.get("Authorization", "") != basic_credentials():
        send_empty(handler, 401, "length", [("WWW-Authenticate", 'Basic realm="kova"')])
        return True
    if key.startswith("needheader") and handler.headers.get("X-Proxy-Token", "") != PROXY_TOKEN:
        handler.send(403, "application/json", '{"message":"missing X-Proxy-Token"}')
        return True
    if key.startswith("hdrkey") and query_has_key and path.startswith(API_PREFIXES):
        handler.send(400, "application/json", '{"message":"the key came in the query"}')
        return True
    if key.startswith("ratelimit-"):
        form, _, n = key[len("ratelimit-"):].partition("-")
        headers = []
        if form == "secs":
            headers.append(("Retry-After", n))
        elif form == "date":
            headers.append(("Retry-After", email.utils.formatdate(time.time() + int(n), usegmt=True)))
        handler.send(429, "application/json", '{"message":"Too Many Requests"}', headers)
        return True
    if key == "deep" and path.startswith("/api/"):
        handler.send(200, "application/json", "[" * DEEP + "1" + "]" * DEEP)
        return True
    if key.startswith("challenge-"):
        send_empty(handler, 401, "length", [("WWW-Authenticate", v) for v in CHALLENGES[key[len("challenge-"):]]])
        return True
    if key.startswith("empty-"):
        _, status, framing = key.split("-", 2)
        status = int(status)
        headers = [("WWW-Authenticate", 'Basic realm="kova"')] if status == 401 else []
        send_empty(handler, status, framing, headers)
        return True
    return False


# ---------------------------------------------------------------------------
# Answers that break HTTP itself, written on the socket by hand. A transport
# must end each within its time-out and its body cap, with a clear message.
# ---------------------------------------------------------------------------
def gzip_bomb(mib):
    """A gzip stream of `mib` MiB of "b", about a thousandth of that on the
    wire. Each MiB is deflated on its own (a full flush resets the window),
    so one compressed block serves them all."""
    block = b"b" * (1 << 20)
    c = zlib.compressobj(9, zlib.DEFLATED, 31)
    yield c.compress(block) + c.flush(zlib.Z_FULL_FLUSH)  # the gzip header and the first MiB
    again = c.compress(block) + c.flush(zlib.Z_FULL_FLUSH)
    crc = zlib.crc32(block)
    for _ in range(mib - 1):
        yield again
        crc = zlib.crc32(block, crc)
    # An empty last block, then the trailer: CRC-32 and length mod 2^32.
    yield b"\x03\x00" + struct.pack("<II", crc & 0xffffffff, (mib << 20) & 0xffffffff)


def reset(handler):
    """Ends the connection with a reset rather than a close."""
    handler.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    handler.close_connection = True
    handler.connection.close()


def broken_http(handler, path, params):
    """The answers of BROKEN_HTTP; False for any other path."""
    def num(name, default):
        return int(params.get(name, [str(default)])[0])

    def one(name, default):
        return params.get(name, [default])[0]

    w = handler.wfile
    deadline = time.time() + 60
    try:
        if path == "/drip":
            pause = max(num("ms", 100), 10) / 1000.0
            if one("where", "body") == "headers":
                w.write(b"HTTP/1.1 200 OK\r\nX-Drip: ")
            else:
                w.write(b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 1000\r\n\r\n")
            while time.time() < deadline:
                w.write(b"d")
                w.flush()
                time.sleep(pause)
        elif path == "/endlessheaders":
            w.write(b"HTTP/1.1 200 OK\r\n")
            line = b"X-Pad-%d: " + b"p" * 90 + b"\r\n"
            for i in range(1 << 20):  # 100 MiB at most
                w.write(line % i)
        elif path == "/endless":
            w.write(b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n")
            chunk = b"e" * 65536
            for _ in range(1 << 14):  # 1 GiB at most
                w.write(chunk)
        elif path == "/gzbomb":
            w.write(b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Encoding: gzip\r\n"
                    b"Connection: close\r\n\r\n")
            for part in gzip_bomb(min(max(num("mib", 1024), 1), 4096)):
                w.write(part)
        elif path == "/length":
            # Each of these answers says it closes the connection: a client
            # that pooled it would take the rest for the next answer.
            w.write(b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n"
                    b"Content-Length: %d\r\n\r\n%s" % (num("declared", 100), b"l" * num("sent", 50)))
            w.flush()
            time.sleep(0.1)
        elif path == "/badchunk":
            kind = one("kind", "hex")
            w.write(b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n"
                    b"Transfer-Encoding: chunked\r\n\r\n")
            w.write(b"a\r\n0123456789\r\n")
            w.write({"hex": b"zz\r\nnot a size\r\n0\r\n\r\n",          # a size that is not hex
                     "long": b"4\r\n0123456789\r\n0\r\n\r\n",          # more data than the size says
                     "huge": b"ffffffffffffffffff\r\nx\r\n0\r\n\r\n",  # a size past 64 bits
                     "noend": b"5\r\nabcde\r\n",                     # the last chunk never comes
                     }[kind])
            w.flush()
            time.sleep(0.1)
        elif path == "/reset":
            after = num("after", 1000)
            if after >= 0:
                w.write(b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 1000000\r\n\r\n")
                w.write(b"r" * after)
                w.flush()
                time.sleep(0.1)
            reset(handler)
            return True
        elif path == "/hangup":
            pass
        elif path == "/nulheader":
            w.write(b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nX-Nul: a\0b\r\nConnection: close\r\n"
                    b"Content-Length: 2\r\n\r\nok")
            w.flush()
            time.sleep(0.1)
        else:
            return False
    except OSError:
        pass  # the client gave up, as it should
    handler.close_connection = True
    return True


def tarpit(listener):
    """Accepts connections and says nothing: each is read and held until its
    client gives up (or a minute passes)."""
    def hold(conn):
        conn.settimeout(60)
        try:
            while conn.recv(65536):
                pass
        except OSError:
            pass
        conn.close()

    while True:
        try:
            conn, _ = listener.accept()
        except OSError:
            return
        threading.Thread(target=hold, args=(conn,), daemon=True).start()


class State:
    lock = threading.Lock()
    records = []


def service_answer(method, path, query, body):
    """The normal answers of the three services; None when the path is unknown."""
    q = urllib.parse.parse_qs(query)

    def one(name):
        return q.get(name, [""])[0]

    if path == "/api/v2.0/indexers/all/results/torznab/api":
        return 200, "application/xml", JACKETT_INDEXERS
    if path == "/api/v2.0/indexers/all/results":
        term = one("Query")
        rows = [] if term.startswith("tt") else [dict(RESULT_ROW)]
        if term == "nothing":
            rows = []
        if term == "many":
            rows = [dict(RESULT_ROW, Title="Row %d" % i, Guid="g%d" % i) for i in range(1, 4)]
        return 200, "application/json", json.dumps({
            "Results": rows,
            "Indexers": [{"ID": "1337x", "Name": "1337x", "Status": 2, "Results": len(rows), "Error": None}]})
    if path == "/api/v3/rootfolder":
        return 200, "application/json", json.dumps(ROOTFOLDER)
    if path == "/api/v3/qualityprofile":
        return 200, "application/json", json.dumps(PROFILES)
    if path == "/api/v3/series/lookup":
        if one("term") == "The Twilight Zone":
            return 200, "application/json", json.dumps(TWILIGHT_ZONES)
        return 200, "application/json", json.dumps([SERIES] if one("term") in ("tt0052520", "tvdb:73587") else [])
    if path == "/api/v3/series" and method == "GET":
        return 200, "application/json", "[]"
    if path == "/api/v3/series" and method == "POST":
        try:
            obj = json.loads(body)
        except ValueError:
            return 400, "application/json", '{"message":"body is not JSON"}'
        obj["id"] = 12
        return 201, "application/json", json.dumps(obj)
    if path == "/api/v3/episode":
        return 200, "application/json", json.dumps(EPISODES)
    if path == "/api/v3/release":
        if one("movieId") not in ("", "31", "44"):  # no such film in the library
            return 404, "application/json", '{"message":"NotFound"}'
        return 200, "application/json", json.dumps([RELEASE])
    if path == "/api/v3/movie/lookup/imdb":
        found = {"tt0063350": MOVIE, "tt0133093": NEW_MOVIE}.get(one("imdbId"))
        if not found:
            return 404, "application/json", '{"message":"NotFound"}'
        return 200, "application/json", json.dumps(found)
    if path == "/api/v3/movie/lookup/tmdb":
        found = {"10331": MOVIE, "603": NEW_MOVIE}.get(one("tmdbId"))
        if not found:
            return 404, "application/json", '{"message":"NotFound"}'
        return 200, "application/json", json.dumps(found)
    if path == "/api/v3/movie" and method == "POST":
        obj = json.loads(body)
        obj["id"] = 44
        return 201, "application/json", json.dumps(obj)
    if path == "/api/v3/movie" and method == "GET":
        return 200, "application/json", json.dumps([{"id": 31, "tmdbId": 10331, "title": "Night of the Living Dead"}])
    return None


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "kova-e2e/1"

    def log_message(self, fmt, *args):  # quiet: the tests read the records
        pass

    def send(self, status, ctype, body, headers=()):
        data = body if isinstance(body, bytes) else body.encode()
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(data)))
        for k, v in headers:
            self.send_header(k, v)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(data)

    def do_GET(self):
        self.handle_any()

    def do_POST(self):
        self.handle_any()

    def handle_any(self):
        url = urllib.parse.urlsplit(self.path)
        path, query = url.path, url.query
        n = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(min(n, MAX_BODY)).decode("utf-8", "replace") if n else ""
        params = urllib.parse.parse_qs(query, keep_blank_values=True)
        key = params.get("apikey", [""])[0] or self.headers.get("X-Api-Key", "")
        rec = {"method": self.command, "path": path, "query": query, "apikey": key,
               "content_type": self.headers.get("Content-Type", ""), "body": body,
               "user_agent": self.headers.get("User-Agent", ""),
               "accept_encoding": self.headers.get("Accept-Encoding", ""),
               "tls": isinstance(self.connection, ssl.SSLSocket)}
        rec.update(header_record(self.headers))
        if not path.startswith("/__"):
            with State.lock:
                if len(State.records) < RECORD_LIMIT:
                    State.records.append(rec)

        if path == "/__requests":
            with State.lock:
                got = [r for r in State.records if r["apikey"] == key]
            return self.send(200, "application/json", json.dumps(got))
        if path == "/__shutdown":
            self.send(200, "text/plain", "bye")
            threading.Thread(target=self.server.stop_all, daemon=True).start()
            return None

        # A URL base in front of a path ("/sonarr/api/v3/...") is accepted
        # and stays visible in the records.
        based = False
        for prefix in ("/jackett", "/prowlarr", "/sonarr", "/radarr"):
            if path.startswith(prefix + "/"):
                path = path[len(prefix):]
                based = True
        # What sits in front of a service that the address misses: a reverse
        # proxy that serves it only under its URL base, or one that sends
        # plain HTTP to HTTPS, or to the URL base.
        if key.startswith("needbase") and not based:
            return self.send(404, "text/html", "<html><body><h1>404 Not Found</h1></body></html>")
        if key.startswith("redirect-https") and path.startswith("/api/") and not rec["tls"]:
            target = "https://localhost:%d%s" % (Server.group[1].server_address[1], self.path)
            return self.send(301, "text/html", "moved", [("Location", target)])
        if key.startswith("redirect-base") and path.startswith("/api/") and not based:
            return self.send(302, "text/html", "moved", [("Location", "/sonarr" + self.path)])

        if front_door(self, path, "apikey" in params, key):
            return None
        if transport_misbehaviour(self, path, params) or broken_http(self, path, params):
            return None
        if path in ("/echo", "/api/v1/echo", "/api/v2.0/echo", "/api/v3/echo"):
            return self.send(200, "application/json", json.dumps(rec))
        if path.startswith("/status/"):
            code = int(path.split("/")[2])
            return self.send(code, "application/json", json.dumps({"status": code}))
        if path == "/slow":
            time.sleep(min(int(params.get("ms", ["1000"])[0]), 5000) / 1000.0)
            return self.send(200, "application/json", '{"slow":true}')
        if path == "/gzip":
            plain = json.dumps({"gzip": True, "pad": "x" * 4000}).encode()
            if "gzip" in rec["accept_encoding"]:
                return self.send(200, "application/json", gzip.compress(plain), [("Content-Encoding", "gzip")])
            return self.send(200, "application/json", plain)
        if path == "/big":
            return self.send(200, "text/plain", b"a" * min(int(params.get("n", ["1000"])[0]), 16 << 20))
        if path == "/bigchunked":
            return self.send_chunked(min(int(params.get("n", ["1000"])[0]), 16 << 20))
        if path == "/bomb":
            return self.send(200, "text/plain", gzip.compress(b"b" * (4 << 20)), [("Content-Encoding", "gzip")])
        if path == "/redirect":
            return self.send(int(params.get("code", ["302"])[0]), "text/plain", "moved",
                             [("Location", params.get("to", ["/echo"])[0])])

        if key in REFUSALS:
            return self.send(*REFUSALS[key])
        if key in ("k401", "k401basic", "k403", "k404", "k500"):
            code = int(key[1:4])
            challenge = [("WWW-Authenticate", 'Basic realm="kova"')] if key == "k401basic" else []
            return self.send(code, "application/json", json.dumps({"message": "status %d" % code}), challenge)
        if key == "hostile" and hostile_answer(path):
            return self.send(*hostile_answer(path))
        if variant_answer(key, path):
            return self.send(*variant_answer(key, path))
        if key == "slow" or key.startswith("slow-"):
            time.sleep(5)
        if self.command == "POST" and rec["content_type"] != "application/json":
            return self.send(415, "application/json", '{"message":"want application/json"}')
        answer = (prowlarr_answer(key, self.command, path, query, body) or extension_answer(self.command, path, body)
                  or queue_calendar_answer(key, self.command, path, query)
                  or service_answer(self.command, path, query, body))
        if answer is None:
            return self.send(404, "application/json", '{"message":"no such route"}')
        return self.send(*answer)

    def send_chunked(self, n):
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Transfer-Encoding", "chunked")
        self.end_headers()
        chunk = b"c" * 65536
        while n > 0:
            part = chunk[:min(n, len(chunk))]
            try:
                self.wfile.write(b"%x\r\n%s\r\n" % (len(part), part))
            except OSError:
                return  # the client gave up, as it should past its cap
            n -= len(part)
        self.wfile.write(b"0\r\n\r\n")


class Server(ThreadingHTTPServer):
    daemon_threads = True
    group = []

    def handle_error(self, request, client_address):
        # Refused TLS handshakes and clients that hang up are part of the
        # tests; one line in the log is enough.
        print("request from %s:%d failed: %s" % (*client_address, sys.exc_info()[1]), file=sys.stderr)

    def stop_all(self):
        for s in Server.group:
            s.shutdown()


def make_certs(d):
    def run(*args):
        subprocess.run(["openssl", *args], check=True, cwd=d,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
    ec = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
    run("req", "-x509", *ec, "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
        "-subj", "/CN=kova throw-away test CA",
        "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    run("req", *ec, "-keyout", "srv.key", "-out", "srv.csr", "-subj", "/CN=localhost")
    with open(os.path.join(d, "srv.ext"), "w") as f:
        f.write("subjectAltName=DNS:localhost\nbasicConstraints=CA:FALSE\n"
                "keyUsage=digitalSignature\nextendedKeyUsage=serverAuth\n")
    run("x509", "-req", "-in", "srv.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
        "-out", "srv.pem", "-days", "2", "-extfile", "srv.ext")


def serve(d, lifetime):
    make_certs(d)
    plain = Server(("127.0.0.1", 0), Handler)
    secure = Server(("127.0.0.1", 0), Handler)
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    ctx.load_cert_chain(os.path.join(d, "srv.pem"), os.path.join(d, "srv.key"))
    secure.socket = ctx.wrap_socket(secure.socket, server_side=True, do_handshake_on_connect=False)
    Server.group = [plain, secure]
    pit = socket.socket()
    pit.bind(("127.0.0.1", 0))
    pit.listen(16)
    threading.Thread(target=tarpit, args=(pit,), daemon=True).start()
    threads = [threading.Thread(target=s.serve_forever, kwargs={"poll_interval": 0.2}, daemon=True)
               for s in Server.group]
    for t in threads:
        t.start()
    # The server never outlives a forgotten test run.
    timer = threading.Timer(lifetime, plain.stop_all)
    timer.daemon = True
    timer.start()
    signal.signal(signal.SIGTERM, lambda *_: threading.Thread(target=plain.stop_all).start())
    ports = {"http": plain.server_address[1], "https": secure.server_address[1], "pid": os.getpid(),
             "tarpit": pit.getsockname()[1]}
    tmp = os.path.join(d, "ports.json.tmp")
    with open(tmp, "w") as f:
        json.dump(ports, f)
    os.replace(tmp, os.path.join(d, "ports.json"))
    for t in threads:
        t.join()
    timer.cancel()
    for s in Server.group:
        s.server_close()


def start(d, lifetime):
    os.makedirs(d, exist_ok=True)
    ports = os.path.join(d, "ports.json")
    if os.path.exists(ports):
        stop(d)
    with open(os.path.join(d, "server.log"), "w") as log:
        subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", "--dir", d,
                          "--lifetime", str(lifetime)],
                         stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
    for _ in range(300):
        if os.path.exists(ports):
            with open(ports) as f:
                print("e2e server listening:", f.read())
            return 0
        time.sleep(0.1)
    print("e2e server did not start; see", os.path.join(d, "server.log"), file=sys.stderr)
    return 1


def stop(d):
    ports = os.path.join(d, "ports.json")
    try:
        with open(ports) as f:
            info = json.load(f)
    except (OSError, ValueError):
        return 0
    try:
        urllib.request.urlopen("http://127.0.0.1:%d/__shutdown" % info["http"], timeout=5).read()
    except OSError:
        pass
    for _ in range(50):
        try:
            os.kill(info["pid"], 0)
        except OSError:
            break
        time.sleep(0.1)
    else:
        try:
            os.kill(info["pid"], signal.SIGTERM)
        except OSError:
            pass
    os.remove(ports)
    return 0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("action", choices=["start", "stop", "serve"])
    ap.add_argument("--dir", required=True)
    ap.add_argument("--lifetime", type=float, default=600)
    a = ap.parse_args()
    d = os.path.abspath(a.dir)
    if a.action == "start":
        return start(d, a.lifetime)
    if a.action == "stop":
        return stop(d)
    serve(d, a.lifetime)
    return 0


if __name__ == "__main__":
    sys.exit(main())
