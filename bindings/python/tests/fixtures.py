"""Answers shaped like the services' own, and the fake transport's URLs."""
from __future__ import annotations

import dataclasses
import os
import sys
from pathlib import Path
from typing import Dict

# The package under test: the checkout's copy, whatever is installed.
PACKAGE_DIR = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(PACKAGE_DIR))

import kova  # noqa: E402

KEYS: Dict[str, str] = {"jackett": "jk0123456789abcdef", "sonarr": "sk0123456789abcdef",
                        "radarr": "rk0123456789abcdef", "prowlarr": "pk0123456789abcdef"}
HOSTS = {"jackett": "jackett.lan", "sonarr": "sonarr.lan", "radarr": "radarr.lan",
         "prowlarr": "prowlarr.lan"}


def url(service: str, path: str, query: str = "") -> str:
    """The exact URL the library requests: base, path, the key, the query."""
    u = f"{kova.base_url(service)}{path}?apikey={KEYS[service]}"
    return u + "&" + query if query else u


def start() -> None:
    """A clean library: every service configured, the fake transport selected, no routes."""
    kova.reset()
    kova.fake_reset()
    kova.use_fake()
    for s in KEYS:
        # A library that predates a service cannot configure it.
        if kova.native().has(f"kova_{s}_configure"):
            kova.configure(s, HOSTS[s], api_key=KEYS[s])


def recorded(name: str) -> str:
    """A service's answer as recorded (tests/fixtures of the checkout; their
    provenance is in SOURCES.md there)."""
    return (PACKAGE_DIR.parents[1] / "tests" / "fixtures" / name).read_text(encoding="utf-8")


# Prowlarr's own answers: five enabled public indexers, the status of one
# held back until a time gone by, and a search of three releases (a YTS film,
# two season packs of The Pirate Bay, an IMDb id of their own).
PROWLARR_INDEXERS = recorded("prowlarr/indexer-list-5-public-fieldsstripped.json")
PROWLARR_STATUS = recorded("prowlarr/indexerstatus-one-disabled.json")
PROWLARR_SEARCH = recorded("prowlarr/search-severance-2.5.2.json")


TORZNAB = ('<?xml version="1.0" encoding="UTF-8"?><indexers>'
           '<indexer id="1337x" configured="true"><title>1337x</title></indexer>'
           '<indexer id="rutracker" configured="true"><title>RuTracker.org</title></indexer>'
           '</indexers>')

JACKETT_PARTIAL = """{"Results":[
 {"Tracker":"1337x","TrackerId":"1337x","CategoryDesc":"Movies/HD",
  "Title":"Night of the Living Dead 1968 1080p BluRay x264","Guid":"https://1337x.to/t/1/",
  "Link":"http://jackett.lan:9117/dl/1","Details":"https://1337x.to/t/1/",
  "PublishDate":"2023-10-28T19:42:00","Category":[2000,2040],"Size":8589934592,"Files":3,
  "Imdb":63350,"Seeders":212,"Peers":231,"InfoHash":"9f3c6e1d2b8a4f0e7c5d3b1a9e8f7d6c5b4a3e2d",
  "MagnetUri":"magnet:?xt=urn:btih:9f3c","DownloadVolumeFactor":1.0},
 {"Tracker":"RuTracker.org","TrackerId":"rutracker","Title":"Ночь живых мертвецов (1968) 2160p — Remux",
  "Guid":"https://rutracker.org/t/2","Size":61203283968,"Imdb":63350,"Seeders":38,"Peers":41,
  "DownloadVolumeFactor":0}],
"Indexers":[
 {"ID":"1337x","Name":"1337x","Status":2,"Results":1,"Error":null},
 {"ID":"eztv","Name":"EZTV","Status":1,"Results":0,"Error":"timed out"},
 {"ID":"rutracker","Name":"RuTracker.org","Status":2,"Results":1,"Error":null}]}"""

ROOTFOLDER = '[{"path":"/data/tv/","accessible":true,"id":1}]'
PROFILES = '[{"name":"Any","id":1},{"name":"HD-1080p","id":4}]'

SERIES_LOOKUP = """[
 {"title":"The Twilight Zone (1985)","cleanTitle":"thetwilightzone1985","year":1985,"tvdbId":73977,
  "imdbId":"tt0088634"},
 {"title":"The Twilight Zone","cleanTitle":"thetwilightzone","year":1959,"tvdbId":73587,
  "imdbId":"tt0052520","seasons":[{"seasonNumber":1,"monitored":true}]}]"""

# The library query (GET) and the add (POST) share one URL and the fake
# routes by URL alone: an answer without TVDB id 73587 reads as "absent" and
# its first element as the added series.
SERIES_FIND_AND_ADD = ('[{"title":"The Twilight Zone","year":1959,"imdbId":"tt0052520",'
                       '"path":"/data/tv/thetwilightzone","id":12}]')

EPISODES = ('[{"seriesId":12,"seasonNumber":1,"episodeNumber":5,"title":"Walking Distance",'
            '"id":8805}]')

EPISODE_RELEASES = """[
 {"guid":"https://1337x.to/t/5012345/","size":1503238553,"indexerId":2,"indexer":"1337x",
  "title":"The.Twilight.Zone.1959.S01E05.1080p.BluRay.x264","fullSeason":false,"seasonNumber":1,
  "episodeNumbers":[5],"publishDate":"2024-11-20T14:03:11Z","seeders":34,"leechers":3,
  "protocol":"torrent"}]"""

MOVIE_LOOKUP = ('{"title":"Night of the Living Dead","cleanTitle":"nightofthelivingdead","year":1968,'
                '"imdbId":"tt0063350","tmdbId":10331,"id":31}')
MOVIE_LIBRARY = '[{"title":"Night of the Living Dead","year":1968,"imdbId":"tt0063350","tmdbId":10331,"id":31}]'
MOVIE_RELEASES = """[
 {"guid":"https://1337x.to/t/5518224/","size":9126805504,"indexerId":2,"indexer":"1337x",
  "title":"Night of the Living Dead 1968 REMASTERED 1080p BluRay x264","publishDate":"2023-10-28T19:42:00Z",
  "seeders":212,"leechers":19,"protocol":"torrent"}]"""


def program_all() -> None:
    """Routes for every family: tests, searches, lookups, finds, adds, releases."""
    for service in ("sonarr", "radarr"):
        kova.fake_set(url(service, "/api/v3/rootfolder"), 200, ROOTFOLDER)
        kova.fake_set(url(service, "/api/v3/qualityprofile"), 200, PROFILES)
    routes = [
        (url("jackett", "/api/v2.0/indexers/all/results/torznab/api", "t=indexers&configured=true"), TORZNAB),
        (url("jackett", "/api/v2.0/indexers/all/results", "Query=tt0063350"), JACKETT_PARTIAL),
        (url("sonarr", "/api/v3/series/lookup", "term=tt0052520"), SERIES_LOOKUP),
        (url("sonarr", "/api/v3/series", "tvdbId=73587"), SERIES_FIND_AND_ADD),
        (url("sonarr", "/api/v3/episode", "seriesId=12&seasonNumber=1"), EPISODES),
        (url("sonarr", "/api/v3/release", "episodeId=8805"), EPISODE_RELEASES),
        (url("radarr", "/api/v3/movie/lookup/imdb", "imdbId=tt0063350"), MOVIE_LOOKUP),
        (url("radarr", "/api/v3/movie", "tmdbId=10331"), MOVIE_LIBRARY),
        (url("radarr", "/api/v3/release", "movieId=31"), MOVIE_RELEASES),
        (url("prowlarr", "/api/v1/indexer"), PROWLARR_INDEXERS),
        (url("prowlarr", "/api/v1/indexerstatus"), PROWLARR_STATUS),
    ]
    for u, body in routes:
        kova.fake_set(u, 200, body)


def release_fields(details: bool) -> list:
    """Release's declared row fields, or its release details, in order."""
    return [f for f in dataclasses.fields(kova.Release)
            if "kind" in f.metadata and f.metadata.get("detail", False) == details]


def header_path() -> Path:
    """kova.h: KOVA_HEADER, else the checkout's."""
    return Path(os.environ.get("KOVA_HEADER") or PACKAGE_DIR.parents[1] / "include" / "kova.h")
