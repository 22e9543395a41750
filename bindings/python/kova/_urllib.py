"""A ``Transport`` on the standard library's urllib, for a service reached
directly or behind a reverse proxy: extra headers, basic authentication,
the API key in a header, and a rate limit's reason told to the library."""
from __future__ import annotations

import base64
import math
import re
import ssl
import time
import urllib.error
import urllib.parse
import urllib.request
from datetime import timezone
from email.utils import parsedate_to_datetime
from typing import Any, List, Mapping, Optional, Tuple

from . import _native
from ._transport import TIMEOUTS, Answer

__all__ = ["UrllibTransport"]

_APIKEY = re.compile(r"(apikey=)[^&\s]*", re.IGNORECASE)
# The rules below are the C transports' (kova_curl, kova_winhttp), with
# their words, so that the same options behave the same whichever transport
# a host installs.
# A character of an HTTP token (a header name).
_TOKEN_CHAR = re.compile(r"[!#$%&'*+.^_`|~0-9A-Za-z-]\Z")
# Headers a transport or its HTTP stack writes itself, or that the library
# sets: given again, one would reach the service as two values, or as
# whichever the stack keeps.
_OWN_HEADERS = ("host", "content-length", "transfer-encoding", "connection", "expect", "te", "upgrade",
                "accept", "accept-encoding", "content-type", "user-agent")
# A header block is a few lines, not a document.
_MAX_HEADER_LINES = 64
_MAX_HEADER_LINE = 8192
# The API paths whose service reads the key from X-Api-Key: Sonarr's and
# Radarr's v3, Prowlarr's v1, told by the first "/api/v" of the path (a URL
# base stands before it). Jackett's v2.0 reads it from the query only.
_KEY_IN_HEADER_VERSIONS = ("1/", "3/")
_BAD_KEY = ("the API key holds a character a header cannot carry (a control character, a space or a "
            "byte beyond ASCII); nothing was sent")


class _NoRedirect(urllib.request.HTTPRedirectHandler):
    # The API key travels in the query string, a password or a proxy's
    # header with every request: never hand them to whatever a Location
    # header names. The 3xx comes back as an answer instead.
    def redirect_request(self, *args: Any, **kwargs: Any) -> None:
        return None


def _value_fault(value: str) -> Optional[str]:
    """What makes a header value one that cannot be sent as given, in words;
    None when nothing does."""
    for c in value:
        if c in "\r\n":
            return "a line break (CR or LF)"
        if (ord(c) < 0x20 and c != "\t") or ord(c) == 0x7f:
            return "a control character"
        if ord(c) >= 0x80:
            return "a byte beyond ASCII, which HTTP stacks send differently"
    return None


def _checked_headers(headers: Mapping[str, str]) -> List[Tuple[str, str]]:
    """The extra headers, trimmed of spaces and tabs around their values;
    refused whole when one is not a header as given, or one the transport
    writes itself, or is given twice (http.client would keep one).
    Messages name the header, never its value."""
    out: List[Tuple[str, str]] = []
    seen = set()
    for i, (name, value) in enumerate(headers.items()):
        if not isinstance(name, str) or not isinstance(value, str):
            raise TypeError("kova: extra header names and values must be str")
        if i == _MAX_HEADER_LINES:
            raise ValueError(f"kova: headers: more than {_MAX_HEADER_LINES} lines")
        if len(f"{name}: {value}".encode("utf-8", "surrogatepass")) > _MAX_HEADER_LINE:
            raise ValueError(f"kova: headers[{i}]: longer than {_MAX_HEADER_LINE} bytes")
        if not name:
            raise ValueError(f"kova: headers[{i}]: the name is empty")
        for c in name:
            if c in "\r\n":
                raise ValueError(f"kova: headers[{i}]: the name holds a line break (CR or LF)")
            if not _TOKEN_CHAR.match(c):
                raise ValueError(f"kova: headers[{i}]: the name holds a character other than letters, "
                                 f"digits and !#$%&'*+-.^_`|~")
        shown = f"kova: headers[{i}] ({name}: <redacted>)"
        fault = _value_fault(value)
        if fault:
            raise ValueError(f"{shown}: the value holds {fault}")
        key = name.lower()
        if key in _OWN_HEADERS:
            instead = " (set user_agent instead)" if key == "user-agent" else ""
            raise ValueError(f"{shown}: a header the transport writes itself{instead}")
        if key in seen:
            raise ValueError(f"{shown}: given twice (names ignore letter case)")
        seen.add(key)
        out.append((name, value.strip(" \t")))
    return out


def _basic(username: Optional[str], password: Optional[str]) -> Optional[str]:
    """The Authorization value of basic authentication, None without a
    username; "" counts as none, and a username alone goes with an empty
    password. Never quotes either part in a message."""
    if not all(v is None or isinstance(v, str) for v in (username, password)):
        raise TypeError("kova: username and password must be str")
    if any(v and any(ord(c) < 0x20 or ord(c) == 0x7f for c in v) for v in (username, password)):
        raise ValueError("kova: a user name or password holds a control character")
    if not username:
        if password:
            raise ValueError("kova: a password without a username")
        return None
    if ":" in username:
        raise ValueError("kova: the username holds a colon, which basic authentication cannot carry")
    return "Basic " + base64.b64encode(f"{username}:{password or ''}".encode("utf-8")).decode("ascii")


def _key_to_header(url: str) -> Tuple[str, Optional[str]]:
    """For a Sonarr, Radarr or Prowlarr API path: the URL without its
    ``apikey`` parameters, and the first one's value percent-decoded (None
    when there is none, or it is empty). Other URLs as they are."""
    parts = urllib.parse.urlsplit(url)
    api = parts.path.find("/api/v")
    if api < 0 or parts.path[api + 6:api + 8] not in _KEY_IN_HEADER_VERSIONS or "?" not in url:
        return url, None
    kept, key = [], None
    for param in parts.query.split("&") if parts.query else ():
        if param[:7].lower() != "apikey=":
            kept.append(param)
        elif key is None:
            key = urllib.parse.unquote_to_bytes(param[7:])
    if key is not None and any(b <= 0x20 or b >= 0x7f for b in key):
        raise ValueError(f"kova: {_BAD_KEY}")
    url = urllib.parse.urlunsplit(parts._replace(query="&".join(kept)))
    return url, key.decode("ascii") if key else None


def _retry_after(value: Optional[str]) -> Optional[int]:
    """Retry-After in whole seconds from now (rounded up), from its seconds
    or its HTTP date; None when absent or unreadable."""
    value = (value or "").strip()
    if value.isascii() and value.isdecimal():
        return int(value)
    try:
        when = parsedate_to_datetime(value)
    except (TypeError, ValueError, IndexError):
        return None
    if when is None:
        return None
    if when.tzinfo is None:  # "-0000": an HTTP date is GMT all the same
        when = when.replace(tzinfo=timezone.utc)
    return max(0, math.ceil(when.timestamp() - time.time()))


_OWS = " \t"
# A realm shown in words: 1 to 64 printable ASCII characters, no quote or
# backslash (the C transports show no other, whatever their HTTP stack made
# of other bytes).
_PLAIN_REALM = re.compile(r'[ !#-\[\]-~]{1,64}\Z')


def _quoted(text: str, i: int) -> Tuple[str, int]:
    """The quoted string opening at ``text[i]``, unescaped, and the index past it."""
    out, i = [], i + 1
    while i < len(text) and text[i] != '"':
        if text[i] == "\\" and i + 1 < len(text):
            i += 1
        out.append(text[i])
        i += 1
    return "".join(out), min(i + 1, len(text))


def _realm(text: str, i: int) -> str:
    """The realm among a challenge's parameters from ``text[i]`` on; "" for
    none. They end at a token without '=': the next challenge's scheme."""
    while i < len(text):
        while i < len(text) and text[i] in _OWS + ",":
            i += 1
        start = i
        while i < len(text) and text[i] not in _OWS + ",=":
            i += 1
        name = text[start:i]
        while i < len(text) and text[i] in _OWS:
            i += 1
        if i >= len(text) or text[i] != "=" or not name:
            return ""
        i += 1
        while i < len(text) and text[i] in _OWS:
            i += 1
        if i < len(text) and text[i] == '"':
            value, i = _quoted(text, i)
        else:
            start = i
            while i < len(text) and text[i] not in _OWS + ",":
                i += 1
            value = text[start:i]
        if name.lower() == "realm":
            return value
    return ""


def _basic_challenge(value: str) -> Optional[str]:
    """In words, a WWW-Authenticate value's request for basic credentials
    (in any place among its challenges; quoted texts skipped whole), as the
    C transports word it; None when it asks for none."""
    i, at_start = 0, True
    while i < len(value):
        c = value[i]
        if c == '"':
            _, i = _quoted(value, i)
            at_start = False
        elif c == ",":
            at_start, i = True, i + 1
        elif c in _OWS:
            i += 1
        elif at_start and value[i:i + 5].lower() == "basic" and (i + 5 == len(value) or value[i + 5] in _OWS + ","):
            realm = _realm(value, i + 5)
            words = "the server asks for basic authentication"
            return f'{words} (realm "{realm}")' if _PLAIN_REALM.match(realm) else words
        else:
            at_start, i = False, i + 1
    return None


def _reason(code: int, headers: Any) -> Optional[str]:
    """What the transport knows of a refusal that its body does not say: a
    rate limit's wait, or a request for basic credentials, which a reverse
    proxy makes and a service refusing its key does not."""
    if headers is None or code not in (401, 429):
        return None
    if code == 401:
        for value in headers.get_all("WWW-Authenticate") or ():
            words = _basic_challenge(value)
            if words:
                return words
        return None
    seconds = _retry_after(headers.get("Retry-After"))
    return "rate limited" if seconds is None else f"rate limited, retry after {seconds} s"


class UrllibTransport:
    """An HTTP(S) ``Transport`` on the standard library's ``urllib.request``.

    Redirects are not followed; any status comes back as an answer; the
    time-out is ``timeout`` seconds, or ``kova.timeout_ms()`` at each request
    when None, and a request that runs out of it raises ``TimeoutError``;
    answers above ``max_response_bytes`` fail the request. Pass an
    ``ssl.SSLContext`` for a private CA (``ssl.create_default_context(cafile=...)``).
    Error texts have every ``apikey=`` value replaced by ``***``.

    Behind a reverse proxy, keyword-only:

    These follow the rules of the C transports (``kova_curl``,
    ``kova_winhttp``) and give their reasons:

    - ``headers``: a mapping of extra headers sent with every request, each
      value trimmed of spaces and tabs around it. Refused with
      ``ValueError`` here: an empty name or one that is not an HTTP token
      (CR and LF among what it may not hold), a value holding a line break,
      a control character other than a tab or a character beyond ASCII,
      more than 64 headers or a "Name: value" line over 8192 bytes, a name
      given twice (letter case aside), and a header the transport or its
      HTTP stack writes itself (Host, Content-Length, Transfer-Encoding,
      Connection, Expect, TE, Upgrade, Accept, Accept-Encoding,
      Content-Type, User-Agent; Authorization with ``username``, X-Api-Key
      with ``key_in_header``). No message shows a value.
    - ``username`` and ``password``: HTTP basic authentication, sent with
      every request; "" is none, a username alone goes with an empty
      password, a password alone, a colon in the username or a control
      character in either is refused. Over plain ``http://`` each request
      is refused (a transport failure) because the password would travel in
      clear text, unless ``allow_basic_over_http=True``.
    - ``key_in_header``: for Sonarr's, Radarr's and Prowlarr's API paths
      (the first ``/api/v`` of the path is ``/api/v3/`` or ``/api/v1/``,
      after any URL base) the ``apikey`` parameter leaves the URL and
      travels as the ``X-Api-Key`` header; Jackett's (``/api/v2.0/``)
      keeps it. A key holding a space, a control character or a byte beyond
      ASCII fails the request (a transport failure): nothing is sent.

    A 429 answer comes back as the answer it is, with the reason "rate
    limited, retry after N s" (from ``Retry-After``, seconds or an HTTP
    date; "rate limited" without one), which the error's
    ``transport_error`` shows. Nothing is retried. A 401 whose
    ``WWW-Authenticate`` asks for basic credentials has the reason "the
    server asks for basic authentication (realm "R")" (the realm only when
    it is 1 to 64 printable ASCII characters without a quote or backslash):
    most often a reverse proxy's, where a wrong API key's 401 asks nothing.
    """

    def __init__(self, context: Optional[ssl.SSLContext] = None, timeout: Optional[float] = None,
                 user_agent: Optional[str] = None, max_response_bytes: int = 256 << 20, *,
                 headers: Optional[Mapping[str, str]] = None, username: Optional[str] = None,
                 password: Optional[str] = None, allow_basic_over_http: bool = False,
                 key_in_header: bool = False):
        self.timeout = timeout
        self.user_agent = user_agent or f"kova-python/{_native.load().kova_version()}"
        self.max_response_bytes = max_response_bytes
        self.key_in_header = key_in_header
        self.allow_basic_over_http = allow_basic_over_http
        self._headers = _checked_headers(headers or {})
        self._authorization = _basic(username, password)
        # One value per header: the options that set one take it whole.
        names = {name.lower() for name, _ in self._headers}
        if self._authorization and "authorization" in names:
            raise ValueError("kova: headers: Authorization: <redacted> is set by the username and password "
                             "options")
        if key_in_header and "x-api-key" in names:
            raise ValueError("kova: headers: X-Api-Key: <redacted> is set by key_in_header")
        self._opener = urllib.request.build_opener(_NoRedirect(),
                                                   urllib.request.HTTPSHandler(context=context))

    def get(self, url: str) -> Answer:
        return self._send(url, "GET", None, "")

    def post(self, url: str, body: str, content_type: str) -> Answer:
        return self._send(url, "POST", body.encode("utf-8"), content_type if body else "")

    def _request(self, url: str, method: str, data: Optional[bytes],
                 content_type: str) -> urllib.request.Request:
        key = None
        if self.key_in_header:
            url, key = _key_to_header(url)
        if self._authorization and not self.allow_basic_over_http and \
                urllib.parse.urlsplit(url).scheme.lower() != "https":
            raise PermissionError("basic authentication over plain http:// refused: the password "
                                  "would travel in clear text (use https://, or "
                                  "allow_basic_over_http=True)")
        req = urllib.request.Request(url, data=data, method=method)
        for name, value in self._headers:
            req.add_header(name, value)
        if key:
            req.add_header("X-Api-Key", key)
        if self._authorization:
            req.add_header("Authorization", self._authorization)
        if content_type:
            req.add_header("Content-Type", content_type)
        req.add_header("User-Agent", self.user_agent)
        return req

    def _send(self, url: str, method: str, data: Optional[bytes], content_type: str) -> Answer:
        req = self._request(url, method, data, content_type)
        timeout = self.timeout if self.timeout is not None else _native.load().kova_timeout_ms() / 1000.0
        try:
            try:
                resp = self._opener.open(req, timeout=timeout)
            except urllib.error.HTTPError as answer:
                resp = answer  # a completed exchange with a non-2xx status
            with resp:
                data = resp.read(self.max_response_bytes + 1)
                code = int(resp.status if resp.status is not None else resp.code)
                reason = _reason(code, resp.headers)
        except Exception as exc:
            text = _APIKEY.sub(r"\1***", str(exc))
            # urllib wraps a time-out while connecting in URLError(reason=...)
            if isinstance(exc, TIMEOUTS) or isinstance(getattr(exc, "reason", None), TIMEOUTS):
                raise TimeoutError(text) from None
            raise OSError(text) from None
        if len(data) > self.max_response_bytes:
            raise OSError(f"answer larger than {self.max_response_bytes} bytes")
        return code, data, reason
