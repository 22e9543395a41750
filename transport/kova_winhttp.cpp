// kova_winhttp: a kova_io transport table backed by WinHTTP.
//
// A transport owns one synchronous WinHTTP session (WinHTTP sessions are
// thread-safe); every request opens its own connection and request handles
// and closes them before it returns, so the table can be called from several
// threads at once and keeps nothing between calls.
//
// kova_winhttp_cancel closes the request handle of every request that waits
// inside WinHTTP: a synchronous WinHTTP call returns when another thread
// closes its handle, and that is the only way to stop one early. The
// requesting thread then never touches that handle again, and does not close
// it a second time.
#include "kova_winhttp.h"

#include "common.h"
#include "options.h"
#include "redact.h"

#include <windows.h>
#include <wincrypt.h>
#include <winhttp.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY
#define WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY 4
#endif

using kt::body_buf;
using kt::key_forms;

static_assert(KOVA_WINHTTP_DEFAULT_MAX_RESPONSE == kt::k_default_max_response);
static_assert(KOVA_WINHTTP_DEFAULT_CONNECT_TIMEOUT_MS == kt::k_default_connect_ms);

struct kova_winhttp {
    kova_io io;  // first member; io.user points back at this object
    HINTERNET session;
    kt::settings opt;
    bool decodes;  // WinHTTP decodes gzip/deflate answers for this session
    kt::cancel_gate gate;
};

namespace {

// UTF-8 to a malloc'd UTF-16 text; NULL when `s` is not UTF-8 or memory runs
// out (GetLastError tells which).
wchar_t *widen(const char *s) {
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s, -1, nullptr, 0);
    if (n <= 0) return nullptr;
    auto *w = static_cast<wchar_t *>(malloc(static_cast<size_t>(n) * sizeof(wchar_t)));
    if (!w) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s, -1, w, n);
    return w;
}

wchar_t *wide_copy(const wchar_t *s, size_t n) {
    auto *w = static_cast<wchar_t *>(malloc((n + 1) * sizeof(wchar_t)));
    if (!w) return nullptr;
    if (n) memcpy(w, s, n * sizeof(wchar_t));
    w[n] = L'\0';
    return w;
}

bool is_timeout(DWORD err) {
    return err == ERROR_WINHTTP_TIMEOUT || err == WSAETIMEDOUT || err == ERROR_TIMEOUT;
}

// A WinHTTP (or Winsock, which Wine lets through) failure in words.
const char *words(DWORD err) {
    switch (err) {
    case ERROR_WINHTTP_TIMEOUT:
    case WSAETIMEDOUT:
    case ERROR_TIMEOUT: return "time-out";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return "name not resolved";
    case ERROR_WINHTTP_CANNOT_CONNECT:
    case WSAECONNREFUSED: return "connection refused (or the host is unreachable)";
    case WSAEHOSTUNREACH:
    case WSAENETUNREACH: return "host unreachable";
    case ERROR_WINHTTP_CONNECTION_ERROR:
    case WSAECONNRESET:
    case WSAECONNABORTED: return "connection reset or closed by the server";
    case ERROR_WINHTTP_SECURE_FAILURE: return "certificate or TLS failure";
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR: return "TLS handshake failed";
    case ERROR_WINHTTP_SECURE_INVALID_CA: return "certificate invalid: unknown certificate authority";
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID: return "certificate invalid: the name does not match the host";
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID: return "certificate invalid: expired or not yet valid";
    case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE: return "certificate invalid: not meant for a server";
    case ERROR_WINHTTP_SECURE_INVALID_CERT: return "certificate invalid";
    case ERROR_WINHTTP_SECURE_CERT_REVOKED: return "certificate revoked";
    case ERROR_WINHTTP_SECURE_CERT_REV_FAILED: return "certificate revocation could not be checked";
    case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED: return "the server asks for a client certificate";
    case ERROR_WINHTTP_SECURE_FAILURE_PROXY: return "TLS failure at the proxy";
    case ERROR_WINHTTP_INVALID_URL: return "malformed URL";
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME: return "unsupported URL scheme";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE: return "invalid HTTP answer";
    case ERROR_WINHTTP_HEADER_COUNT_EXCEEDED: return "too many response headers";
    case ERROR_WINHTTP_HEADER_SIZE_OVERFLOW: return "response header too long";
    case ERROR_WINHTTP_CHUNKED_ENCODING_HEADER_SIZE_OVERFLOW: return "malformed chunked answer";
    case ERROR_WINHTTP_RESPONSE_DRAIN_OVERFLOW: return "answer too large to drain";
    case ERROR_WINHTTP_LOGIN_FAILURE: return "login failed";
    case ERROR_WINHTTP_RESEND_REQUEST: return "the request would have to be sent again";
    case ERROR_WINHTTP_AUTO_PROXY_SERVICE_ERROR:
    case ERROR_WINHTTP_AUTODETECTION_FAILED:
    case ERROR_WINHTTP_BAD_AUTO_PROXY_SCRIPT:
    case ERROR_WINHTTP_UNABLE_TO_DOWNLOAD_SCRIPT: return "proxy configuration failed";
    case ERROR_WINHTTP_HTTP_PROTOCOL_MISMATCH: return "HTTP protocol mismatch";
    case ERROR_WINHTTP_OPERATION_CANCELLED: return "cancelled";
    case ERROR_WINHTTP_SHUTDOWN: return "WinHTTP is shutting down";
    case ERROR_WINHTTP_OUT_OF_HANDLES: return "out of handles";
    case ERROR_WINHTTP_INTERNAL_ERROR: return "WinHTTP internal error";
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return "out of memory";
    default: return "WinHTTP failure";
    }
}

// Certificate problems as WINHTTP_CALLBACK_STATUS_FLAG_* bits, in words.
void cert_words(DWORD flags, char *out, size_t size) {
    static const struct { DWORD bit; const char *text; } names[] = {
        {WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CA, "unknown certificate authority"},
        {WINHTTP_CALLBACK_STATUS_FLAG_CERT_CN_INVALID, "the name does not match the host"},
        {WINHTTP_CALLBACK_STATUS_FLAG_CERT_DATE_INVALID, "expired or not yet valid"},
        {WINHTTP_CALLBACK_STATUS_FLAG_CERT_WRONG_USAGE, "not meant for a server"},
        {WINHTTP_CALLBACK_STATUS_FLAG_CERT_REVOKED, "revoked"},
        {WINHTTP_CALLBACK_STATUS_FLAG_CERT_REV_FAILED, "revocation could not be checked"},
        {WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CERT, "malformed"},
    };
    size_t used = static_cast<size_t>(snprintf(out, size, "certificate invalid"));
    const char *sep = ": ";
    for (const auto &n : names) {
        if (!(flags & n.bit) || used >= size) continue;
        used += static_cast<size_t>(snprintf(out + used, size - used, "%s%s", sep, n.text));
        sep = ", ";
    }
}

// What the secure-failure notification reports for one request.
struct secure_report {
    DWORD flags = 0;
};

void CALLBACK on_status(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD length) {
    if (status != WINHTTP_CALLBACK_STATUS_SECURE_FAILURE || !context || !info || length < sizeof(DWORD))
        return;
    reinterpret_cast<secure_report *>(context)->flags |= *static_cast<DWORD *>(info);
}

// The handles of one request, closed in order whatever path leaves.
struct handles {
    HINTERNET connect = nullptr;
    HINTERNET request = nullptr;
    handles() = default;
    handles(const handles &) = delete;
    handles &operator=(const handles &) = delete;
    ~handles() {
        if (request) WinHttpCloseHandle(request);
        if (connect) WinHttpCloseHandle(connect);
    }
};

void set_dword(HINTERNET h, DWORD option, DWORD value) {
    WinHttpSetOption(h, option, &value, sizeof value);
}

// Redirects would carry the API key to whatever they name: switch them off
// with the newer policy option or the older feature switch.
bool no_redirects(HINTERNET request) {
    DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    if (WinHttpSetOption(request, WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never)) return true;
    DWORD off = WINHTTP_DISABLE_REDIRECTS;
    return WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &off, sizeof off) != FALSE;
}

const DWORD kIgnoreCertErrors = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                                SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE;

// Some WinHTTP versions (Wine's among them) report a refused certificate as a
// bare secure-channel error, with no secure-failure notification. To still
// tell the user what is wrong, a second connection fetches the certificate
// with verification off and checks it against the certificate store here.
// It sends only "HEAD /" (no key, no body), never reads the answer and is
// kept out of the session's connection pool, so nothing unverified is
// reused. Returns WINHTTP_CALLBACK_STATUS_FLAG_* bits; 0: nothing found.
DWORD probe_certificate(HINTERNET session, const wchar_t *host, INTERNET_PORT port, DWORD timeout) {
    handles h;
    h.connect = WinHttpConnect(session, host, port, 0);
    if (!h.connect) return 0;
    h.request = WinHttpOpenRequest(h.connect, L"HEAD", L"/", nullptr, WINHTTP_NO_REFERER,
                                   WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE);
    if (!h.request || !no_redirects(h.request)) return 0;
    set_dword(h.request, WINHTTP_OPTION_SECURITY_FLAGS, kIgnoreCertErrors);
    set_dword(h.request, WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_KEEP_ALIVE);
    WinHttpSetTimeouts(h.request, static_cast<int>(timeout), static_cast<int>(timeout),
                       static_cast<int>(timeout), static_cast<int>(timeout));
    if (!WinHttpSendRequest(h.request, L"Connection: close\r\n", static_cast<DWORD>(-1), WINHTTP_NO_REQUEST_DATA,
                            0, 0, 0))
        return 0;
    PCCERT_CONTEXT cert = nullptr;
    DWORD size = sizeof cert;
    if (!WinHttpQueryOption(h.request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &cert, &size) || !cert) return 0;

    DWORD flags = 0;
    CERT_CHAIN_PARA para = {};
    para.cbSize = sizeof para;
    char server_auth[] = szOID_PKIX_KP_SERVER_AUTH;
    LPSTR usages[] = {server_auth};
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    if (CertGetCertificateChain(nullptr, cert, nullptr, cert->hCertStore, &para, 0, nullptr, &chain)) {
        DWORD st = chain->TrustStatus.dwErrorStatus;
        if (st & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN | CERT_TRUST_IS_NOT_SIGNATURE_VALID))
            flags |= WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CA;
        if (st & CERT_TRUST_IS_NOT_TIME_VALID) flags |= WINHTTP_CALLBACK_STATUS_FLAG_CERT_DATE_INVALID;
        if (st & CERT_TRUST_IS_NOT_VALID_FOR_USAGE) flags |= WINHTTP_CALLBACK_STATUS_FLAG_CERT_WRONG_USAGE;
        if (st & CERT_TRUST_IS_REVOKED) flags |= WINHTTP_CALLBACK_STATUS_FLAG_CERT_REVOKED;
        // The name on its own: the SSL policy with every other check waived.
        SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl = {};
        ssl.cbSize = sizeof ssl;
        ssl.dwAuthType = AUTHTYPE_SERVER;
        ssl.fdwChecks = kIgnoreCertErrors & ~SECURITY_FLAG_IGNORE_CERT_CN_INVALID;
        ssl.pwszServerName = const_cast<wchar_t *>(host);
        CERT_CHAIN_POLICY_PARA policy = {};
        policy.cbSize = sizeof policy;
        policy.pvExtraPolicyPara = &ssl;
        CERT_CHAIN_POLICY_STATUS status = {};
        status.cbSize = sizeof status;
        if (CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status) &&
            status.dwError == static_cast<DWORD>(CERT_E_CN_NO_MATCH))
            flags |= WINHTTP_CALLBACK_STATUS_FLAG_CERT_CN_INVALID;
        CertFreeCertificateChain(chain);
    }
    CertFreeCertificateContext(cert);
    return flags;
}

// How a request ended, when it did not end with an answer.
struct failure {
    DWORD err = 0;              // WinHTTP or system error code
    const char *step = nullptr; // what the transport was doing
    DWORD cert_flags = 0;       // certificate problems, when known
    bool timed_out = false;     // the deadline passed between steps
    bool bad_url = false;
    bool oom = false;
    bool cancelled = false;     // kova_winhttp_cancel stopped it
    bool header_nul = false;    // a response header held a NUL byte
    bool cut_short = false;     // the body ended before its announced length
    int64_t announced = -1;     // that length
    size_t received = 0;        // the bytes that came
    bool failed() const { return err || timed_out || bad_url || oom || cancelled || header_nul || cut_short; }
};

// The outcome of a failed request in words, e.g. "time-out after 400 ms
// (WinHTTP error 12002 while waiting for the answer)".
void describe(const failure &f, int32_t total, char *out, size_t size) {
    if (f.cancelled) {
        snprintf(out, size, "cancelled");
    } else if (f.oom) {
        snprintf(out, size, "out of memory");
    } else if (f.bad_url) {
        snprintf(out, size, "malformed URL or unsupported scheme");
    } else if (f.header_nul) {
        snprintf(out, size, "response header holds a NUL byte");
    } else if (f.cut_short) {
        kt::cut_short_words(f.received, f.announced, out, size);
    } else if (f.timed_out || is_timeout(f.err)) {
        if (f.err)
            snprintf(out, size, "time-out after %ld ms (WinHTTP error %lu while %s)", static_cast<long>(total),
                     static_cast<unsigned long>(f.err), f.step);
        else
            snprintf(out, size, "time-out after %ld ms (while %s)", static_cast<long>(total), f.step);
    } else if (f.cert_flags) {
        char certs[200];
        cert_words(f.cert_flags, certs, sizeof certs);
        snprintf(out, size, "%s (WinHTTP error %lu while %s)", certs, static_cast<unsigned long>(f.err), f.step);
    } else {
        snprintf(out, size, "%s (WinHTTP error %lu while %s)", words(f.err), static_cast<unsigned long>(f.err),
                 f.step);
    }
}

// Whole milliseconds left before `deadline`, at least 1 while any is left.
DWORD left_ms(long long deadline) {
    long long left = deadline - kt::now_ms();
    return left > 0 ? static_cast<DWORD>(left) : 0;
}

// Applies what is left of the total to the waiting steps of a request.
bool arm_timeouts(HINTERNET request, long long deadline, failure &f, const char *step) {
    DWORD left = left_ms(deadline);
    if (!left) {
        f.timed_out = true;
        f.step = step;
        return false;
    }
    set_dword(request, WINHTTP_OPTION_SEND_TIMEOUT, left);
    set_dword(request, WINHTTP_OPTION_RECEIVE_TIMEOUT, left);
    set_dword(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, left);
    return true;
}

// A header of the answer as text into `out`; false when absent.
bool query_header(HINTERNET request, DWORD which, wchar_t *out, DWORD chars) {
    DWORD size = chars * sizeof(wchar_t);
    return WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, out, &size,
                               WINHTTP_NO_HEADER_INDEX) != FALSE;
}

// The body length the answer announces when it is the length of what will
// be read (no content coding), else -1. Past INT64_MAX: INT64_MAX, which no
// cap allows.
int64_t announced_length(HINTERNET request) {
    wchar_t text[64];
    if (!query_header(request, WINHTTP_QUERY_CONTENT_LENGTH, text, 64) || !text[0]) return -1;
    wchar_t coding[64];
    if (query_header(request, WINHTTP_QUERY_CONTENT_ENCODING, coding, 64) && _wcsicmp(coding, L"identity") != 0)
        return -1;
    unsigned long long n = 0;
    for (const wchar_t *p = text; *p; ++p) {
        if (*p < L'0' || *p > L'9') return -1;
        if (n > (0x7fffffffffffffffULL - 9) / 10) return 0x7fffffffffffffffLL;
        n = n * 10 + static_cast<unsigned>(*p - L'0');
    }
    return static_cast<int64_t>(n);
}

// A redirect's Location, absolute and in UTF-8; NULL when there is none or
// memory runs out.
char *redirect_target(HINTERNET request, const char *url) {
    DWORD size = 0;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                        WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0 || size > 65536) return nullptr;
    auto *w = static_cast<wchar_t *>(malloc(size + sizeof(wchar_t)));
    if (!w) return nullptr;
    char *target = nullptr;
    if (WinHttpQueryHeaders(request, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX, w, &size,
                            WINHTTP_NO_HEADER_INDEX)) {
        const size_t n = size / sizeof(wchar_t);
        w[n] = L'\0';
        // The bytes the server sent: WinHTTP widened each through a code
        // page (Wine's through the ANSI one), and anything it could not
        // have is kept as UTF-8. Printable, they then read as libcurl's do.
        auto *text = static_cast<char *>(malloc(n * 3 + 1));
        if (text) {
            size_t len = 0;
            for (size_t i = 0; i < n; ++i) {
                const wchar_t c = w[i];
                char b[4];
                BOOL lossy = FALSE;
                if (c < 0x80) {
                    text[len++] = static_cast<char>(c);
                } else if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &c, 1, b, 1, nullptr, &lossy) == 1 &&
                           !lossy) {
                    text[len++] = b[0];
                } else if (c <= 0xff) {
                    text[len++] = static_cast<char>(c);
                } else {
                    int m = WideCharToMultiByte(CP_UTF8, 0, &c, 1, b, sizeof b, nullptr, nullptr);
                    for (int j = 0; j < m; ++j) text[len++] = b[j];
                }
            }
            text[len] = '\0';
            char *absolute = kt::absolute_location(url, text);
            if (absolute) target = kt::printable_url(absolute, strlen(absolute));
            free(absolute);
        }
        free(text);
    }
    free(w);
    return target;
}

// What a refusal's headers say that its body does not: a 429's
// Retry-After, as sent, and a 401's request for basic credentials, in words.
struct refusal_notes {
    char retry_after[128] = "";
    char basic[kt::k_basic_words_size] = "";
};

// The first WWW-Authenticate header of the answer that asks for basic
// credentials, in words (kt::basic_challenge_words) into `out`;
// `out` untouched when none does. A character beyond ASCII, however WinHTTP
// widened it, becomes one byte beyond ASCII: such a realm is never shown,
// by any transport.
void basic_challenge(HINTERNET request, char *out, size_t size) {
    for (DWORD index = 0;;) {
        DWORD bytes = 0, at = index;
        WinHttpQueryHeaders(request, WINHTTP_QUERY_WWW_AUTHENTICATE, WINHTTP_HEADER_NAME_BY_INDEX,
                            WINHTTP_NO_OUTPUT_BUFFER, &bytes, &at);
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes == 0 || bytes > 65536) return;
        auto *w = static_cast<wchar_t *>(malloc(bytes + sizeof(wchar_t)));
        if (!w) return;
        at = index;
        bool said = false;
        if (WinHttpQueryHeaders(request, WINHTTP_QUERY_WWW_AUTHENTICATE, WINHTTP_HEADER_NAME_BY_INDEX, w, &bytes,
                                &at)) {
            const size_t n = bytes / sizeof(wchar_t);
            if (char *text = static_cast<char *>(malloc(n + 1))) {
                for (size_t i = 0; i < n; ++i) text[i] = w[i] < 0x80 ? static_cast<char>(w[i]) : '\x80';
                text[n] = '\0';
                said = kt::basic_challenge_words(text, out, size);
                free(text);
            }
        }
        free(w);
        // The next header of that name, if any; an index that did not move
        // ends the walk.
        if (said || at == index) return;
        index = at;
    }
}

// The answer's header block against the cap every transport keeps, and for
// a NUL byte, which would hide the rest of its line from whoever reads it
// (where WinHTTP keeps one: Wine's ends the header there); false with `f`
// filled.
bool check_headers(HINTERNET request, failure &f) {
    DWORD size = 0;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER,
                        &size, WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return true;  // nothing to check
    const size_t chars = size / sizeof(wchar_t);
    if (chars > kt::k_max_header_bytes) {
        f.err = ERROR_WINHTTP_HEADER_SIZE_OVERFLOW;
        f.step = "reading the headers";
        return false;
    }
    auto *w = static_cast<wchar_t *>(malloc(size + sizeof(wchar_t)));
    if (!w) {
        f.oom = true;
        return false;
    }
    bool nul = false;
    if (WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, w, &size,
                            WINHTTP_NO_HEADER_INDEX)) {
        const size_t n = size / sizeof(wchar_t);
        nul = wmemchr(w, L'\0', n) != nullptr;
    }
    free(w);
    f.header_nul = nul;
    return !nul;
}

// One request as kova_winhttp_cancel sees it: the request handle to close
// while the request waits inside WinHTTP.
struct cancellable {
    kt::inflight f;  // first member: `wake` gets its address
    HINTERNET request = nullptr;
    bool closed = false;  // closed by a cancel; read by the owner after leave()
};

void close_request(kt::inflight *f) {
    auto *c = reinterpret_cast<cancellable *>(f);
    if (c->request && !c->closed) {
        c->closed = true;
        WinHttpCloseHandle(c->request);
    }
}

// Sends one request and reads its answer into `body`. Fills `f` when no
// usable answer came.
void exchange(kova_winhttp *t, const wchar_t *method, const char *url, const kt::key_move &moved,
              const char *req_body, const char *content_type, int32_t total, body_buf &body,
              kt::progress_meter &meter, DWORD &status, char *&location, refusal_notes &notes,
              failure &f) {
    long long deadline = kt::now_ms() + total;
    int32_t connect = t->opt.connect_ms(total);

    wchar_t *wurl = widen(url);
    if (!wurl) {
        if (GetLastError() == ERROR_NO_UNICODE_TRANSLATION) f.bad_url = true;
        else f.oom = true;
        return;
    }
    URL_COMPONENTS uc = {};
    uc.dwStructSize = sizeof uc;
    uc.dwHostNameLength = static_cast<DWORD>(-1);
    uc.dwUrlPathLength = static_cast<DWORD>(-1);
    uc.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(wurl, 0, 0, &uc) || (uc.nScheme != INTERNET_SCHEME_HTTP && uc.nScheme != INTERNET_SCHEME_HTTPS) ||
        !uc.dwHostNameLength) {
        free(wurl);
        f.bad_url = true;
        return;
    }
    bool secure = uc.nScheme == INTERNET_SCHEME_HTTPS;
    // The path and query go out exactly as kova encoded them; a fragment is
    // never sent.
    size_t object_len = uc.dwUrlPathLength + uc.dwExtraInfoLength;
    const wchar_t *object_start = uc.dwUrlPathLength ? uc.lpszUrlPath : uc.lpszExtraInfo;
    wchar_t *host = wide_copy(uc.lpszHostName, uc.dwHostNameLength);
    wchar_t *object = object_len ? wide_copy(object_start, object_len) : wide_copy(L"/", 1);
    free(wurl);
    if (object) {
        if (wchar_t *hash = wcschr(object, L'#')) *hash = L'\0';
    }
    // The headers: what kova can read, the type of a POST body, then the
    // host's, the credentials and the key (ASCII, checked before).
    kt::sbuf block;
    block.puts("Accept: application/json, application/xml;q=0.9, */*;q=0.8\r\n");
    if (req_body && content_type && content_type[0]) {
        block.puts("Content-Type: ");
        block.puts(content_type);
        block.puts("\r\n");
    }
    t->opt.each_header(moved, [&](const char *name, const char *value) {
        block.puts(name);
        block.puts(": ");
        block.puts(value);
        block.puts("\r\n");
    });
    wchar_t *headers = block.oom ? nullptr : widen(block.data);
    if (block.data) memset(block.data, 0, block.len);
    if (!host || !object || !headers) {
        free(host);
        free(object);
        free(headers);
        if (!host || !object || block.oom || GetLastError() != ERROR_NO_UNICODE_TRANSLATION) f.oom = true;
        else f.bad_url = true;  // a content type that is not UTF-8
        return;
    }

    handles h;
    secure_report report;
    size_t body_len = req_body ? strlen(req_body) : 0;
    cancellable c;
    c.f.wake = close_request;
    if (!t->gate.enter(c.f)) {
        free(host);
        free(object);
        wmemset(headers, 0, wcslen(headers));
        free(headers);
        f.cancelled = true;
        return;
    }
    // A wait inside WinHTTP that a cancel may cut short by closing the
    // request handle; false when the request is cancelled (then it is over).
    auto wait = [&](auto call) {
        if (!t->gate.begin(c.f)) {
            f.cancelled = true;
            return false;
        }
        bool ok = call();
        DWORD err = ok ? 0 : GetLastError();
        t->gate.end(c.f);
        if (t->gate.cancelled(c.f)) {
            f.cancelled = true;
            return false;
        }
        if (!ok) SetLastError(err);
        return true;
    };
    bool sent = false, received = false, read = false;
    DWORD got = 0;
    [&] {
        h.connect = WinHttpConnect(t->session, host, uc.nPort, 0);
        if (!h.connect) {
            f.err = GetLastError();
            f.step = "opening the connection";
            return;
        }
        h.request = WinHttpOpenRequest(h.connect, method, object, nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                       (secure ? WINHTTP_FLAG_SECURE : 0) | WINHTTP_FLAG_ESCAPE_DISABLE |
                                           WINHTTP_FLAG_ESCAPE_DISABLE_QUERY);
        if (!h.request) {
            f.err = GetLastError();
            f.step = "opening the request";
            return;
        }
        c.request = h.request;
        if (!no_redirects(h.request)) {
            f.err = GetLastError();
            f.step = "switching redirects off";
            return;
        }
        if (t->opt.insecure && secure) {
            set_dword(h.request, WINHTTP_OPTION_SECURITY_FLAGS, kIgnoreCertErrors);
            // An unverified connection must never serve a verified request.
            // Some WinHTTP versions (Wine's) pool connections for the whole
            // process by host and port alone, so it is not kept at all.
            set_dword(h.request, WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_KEEP_ALIVE);
        }
        // The secure-failure notification says which certificate check failed.
        DWORD_PTR context = reinterpret_cast<DWORD_PTR>(&report);
        WinHttpSetOption(h.request, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context);
        WinHttpSetStatusCallback(h.request, on_status, WINHTTP_CALLBACK_FLAG_SECURE_FAILURE, 0);
        WinHttpSetTimeouts(h.request, connect, connect, total, total);
        // The header cap every transport keeps (checked again below, for a
        // WinHTTP that does not honour the option).
        set_dword(h.request, WINHTTP_OPTION_MAX_RESPONSE_HEADER_SIZE,
                  static_cast<DWORD>(kt::k_max_header_bytes));
        if (!arm_timeouts(h.request, deadline, f, "sending the request")) return;
        if (body_len > 0xffffffffu) {
            f.err = ERROR_NOT_ENOUGH_MEMORY;
            f.step = "sending the request";
            return;
        }
        HINTERNET req = c.request;  // the owner's copy: a cancel never writes it
        if (!wait([&] {
                return sent = WinHttpSendRequest(req, headers, static_cast<DWORD>(-1),
                                                 body_len ? const_cast<char *>(req_body) : WINHTTP_NO_REQUEST_DATA,
                                                 static_cast<DWORD>(body_len), static_cast<DWORD>(body_len),
                                                 0) != FALSE;
            }))
            return;
        if (!sent) {
            f.err = GetLastError();
            f.step = "sending the request";
            f.cert_flags = report.flags & ~WINHTTP_CALLBACK_STATUS_FLAG_SECURITY_CHANNEL_ERROR;
            if (secure && !t->opt.insecure && !f.cert_flags && !is_timeout(f.err) && !t->gate.cancelled(c.f) &&
                (f.err == ERROR_WINHTTP_SECURE_CHANNEL_ERROR || f.err == ERROR_WINHTTP_SECURE_FAILURE)) {
                DWORD left = left_ms(deadline);
                if (left) f.cert_flags = probe_certificate(t->session, host, uc.nPort, left);
            }
            return;
        }
        if (!arm_timeouts(h.request, deadline, f, "waiting for the answer")) return;
        if (!wait([&] { return received = WinHttpReceiveResponse(req, nullptr) != FALSE; })) return;
        if (!received) {
            f.err = GetLastError();
            f.step = "waiting for the answer";
            return;
        }
        DWORD size = sizeof status;
        if (!WinHttpQueryHeaders(h.request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                 WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
            f.err = GetLastError();
            f.step = "reading the status";
            return;
        }
        if (!check_headers(h.request, f)) return;
        // Not followed, but named in the log: where the service sends its
        // clients is what a user needs to fix the address.
        if (status >= 300 && status <= 399) location = redirect_target(h.request, url);
        if (status == 429) {
            wchar_t wait[128];
            if (query_header(h.request, WINHTTP_QUERY_RETRY_AFTER, wait, 128))
                WideCharToMultiByte(CP_UTF8, 0, wait, -1, notes.retry_after, sizeof notes.retry_after, nullptr,
                                    nullptr);
        }
        if (status == 401) basic_challenge(h.request, notes.basic, sizeof notes.basic);
        // Room for the whole announced body at once; more than the cap is
        // refused before any of it is read. (No body follows a 204 or a 304,
        // whatever length they name.)
        int64_t expected = status == 204 || status == 304 ? -1 : announced_length(h.request);
        if (expected >= 0) {
            if (static_cast<uint64_t>(expected) > body.limit) {
                body.too_big = true;
                return;
            }
            if (!body.reserve(static_cast<size_t>(expected))) return;
        }
        char chunk[16384];
        // The end of the body: complete, or short of its announced length
        // (a server that closed the connection early; some WinHTTP versions
        // report that as the end).
        auto end_of_body = [&] {
            if (expected >= 0 && body.len < static_cast<uint64_t>(expected)) {
                f.cut_short = true;
                f.announced = expected;
                f.received = body.len;
                return;
            }
            meter.finish(static_cast<int64_t>(body.len), expected);
        };
        for (;;) {
            // The announced length is all of this answer: whatever a server
            // sends past it is not, and is not read.
            if (expected >= 0 && body.len == static_cast<uint64_t>(expected)) return end_of_body();
            DWORD left = left_ms(deadline);
            if (!left) {
                f.timed_out = true;
                f.step = "reading the answer";
                return;
            }
            set_dword(h.request, WINHTTP_OPTION_RECEIVE_TIMEOUT, left);
            // What has come, then no more than that: a read of a whole chunk
            // waits for the chunk to fill, and a server that drips its answer
            // would hold it far past the deadline, which is checked only
            // between reads.
            DWORD avail = 0;
            bool asked = false;
            if (!wait([&] { return asked = WinHttpQueryDataAvailable(req, &avail) != FALSE; })) return;
            if (!asked) {
                f.err = GetLastError();
                // Wine's WinHTTP fails the question this way for an empty
                // chunked body on a new connection; a read of one byte finds
                // the end as well.
                if (f.err != ERROR_INSUFFICIENT_BUFFER) {
                    f.step = "reading the answer";
                    return;
                }
                f.err = 0;
                avail = 1;
            }
            if (avail == 0) return end_of_body();
            DWORD want = avail < sizeof chunk ? avail : static_cast<DWORD>(sizeof chunk);
            if (expected >= 0 && want > static_cast<uint64_t>(expected) - body.len)
                want = static_cast<DWORD>(static_cast<uint64_t>(expected) - body.len);
            got = 0;
            if (!wait([&] { return read = WinHttpReadData(req, chunk, want, &got) != FALSE; })) return;
            if (!read) {
                f.err = GetLastError();
                f.step = "reading the answer";
                return;
            }
            if (got == 0) return end_of_body();
            if (!body.append(chunk, got)) return;
            meter.update(static_cast<int64_t>(body.len), expected);
        }
    }();
    t->gate.leave(c.f);
    // A cancel closed the request handle: it is not closed again.
    if (c.closed) h.request = nullptr;
    free(host);
    free(object);
    wmemset(headers, 0, wcslen(headers));  // they may hold a secret
    free(headers);
    // A failure that came after the deadline is the time-out's doing.
    if (f.err && !is_timeout(f.err) && !f.cert_flags && !left_ms(deadline)) f.timed_out = true;
}

int32_t perform(kova_winhttp *t, const char *method, const wchar_t *wmethod, const char *url_in,
                const char *req_body, const char *content_type, char **body_out, int32_t *status,
                char **error) {
    const kt::settings &opt = t->opt;
    key_forms keys;
    kt::key_move moved;
    char *url = opt.begin("kova_winhttp", method, url_in, keys, moved, body_out, status, error);
    if (!url) return 1;
    int32_t total = opt.total_ms();

    body_buf body;
    body.limit = static_cast<size_t>(opt.max_response_bytes);
    DWORD code = 0;
    failure f;
    char *location = nullptr;
    long long started = kt::now_ms();
    kt::progress_meter meter;
    meter.fn = opt.progress;
    meter.user = opt.progress_user;
    refusal_notes notes;
    exchange(t, wmethod, url, moved, req_body, content_type, total, body, meter, code, location, notes, f);
    long long took = kt::now_ms() - started;
    free(url);

    // What went wrong in WinHTTP; settings::end says a cancel and what the
    // body buffer met first.
    char what[400];
    if (f.failed()) describe(f, total, what, sizeof what);
    const int32_t result = opt.end("kova_winhttp",
                                   {.method = method,
                                    .url = url_in,
                                    .status = static_cast<long>(code),
                                    .ms = took,
                                    .cancelled = f.cancelled,
                                    .failure = f.failed() ? what : nullptr,
                                    .location = location,
                                    .retry_after = notes.retry_after,
                                    .basic = notes.basic},
                                   keys, body, status, body_out, error);
    free(location);
    return result;
}

int32_t io_get(void *user, const char *url, char **body, int32_t *status, char **error) {
    return perform(static_cast<kova_winhttp *>(user), "GET", L"GET", url, nullptr, nullptr, body, status,
                   error);
}

int32_t io_post(void *user, const char *url, const char *body, const char *content_type, char **body_out,
                int32_t *status, char **error) {
    return perform(static_cast<kova_winhttp *>(user), "POST", L"POST", url, body ? body : "", content_type,
                   body_out, status, error);
}

// The proxy option as WinHTTP takes it: "host:port" from "host:port" or
// "http://host:port[/]"; NULL for any other scheme or an empty host.
wchar_t *proxy_name(const char *proxy) {
    const char *p = proxy;
    if (_strnicmp(p, "http://", 7) == 0) p += 7;
    if (strstr(p, "://")) return nullptr;
    size_t n = strlen(p);
    while (n > 0 && p[n - 1] == '/') --n;
    if (n == 0 || p[0] == ':' || memchr(p, '/', n) || memchr(p, ' ', n)) return nullptr;
    char *cut = static_cast<char *>(malloc(n + 1));
    if (!cut) return nullptr;
    memcpy(cut, p, n);
    cut[n] = '\0';
    wchar_t *w = widen(cut);
    free(cut);
    return w;
}

// A session with the proxy option applied; NULL when WinHTTP refuses.
HINTERNET open_session(const wchar_t *agent, const char *proxy) {
    if (!proxy) {
        // The system's settings. Automatic proxy exists from Windows 8.1 on;
        // before that, WinHTTP's own configuration is the system's.
        HINTERNET s = WinHttpOpen(agent, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                  WINHTTP_NO_PROXY_BYPASS, 0);
        if (s) return s;
        return WinHttpOpen(agent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    }
    if (!proxy[0])
        return WinHttpOpen(agent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    wchar_t *name = proxy_name(proxy);
    if (!name) return nullptr;
    HINTERNET s = WinHttpOpen(agent, WINHTTP_ACCESS_TYPE_NAMED_PROXY, name, WINHTTP_NO_PROXY_BYPASS, 0);
    free(name);
    return s;
}

// Reads a function of ntdll without linking against it.
template <class Fn>
Fn ntdll_fn(const char *name) {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    FARPROC p = ntdll ? GetProcAddress(ntdll, name) : nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void *>(p));
}

}  // namespace

extern "C" {

KOVA_WINHTTP_API void kova_winhttp_options_init(kova_winhttp_options *o) { kt::init_options(o); }

KOVA_WINHTTP_API kova_winhttp *kova_winhttp_new(const kova_winhttp_options *o) {
    auto *t = kt::new_transport<kova_winhttp>(io_get, io_post);
    if (!t) return nullptr;
    // The session takes the agent, which must be UTF-8, and the proxy, which
    // must be an HTTP one: either refused, there is no session.
    kt::refusal why;
    wchar_t *agent = nullptr;
    if (kt::read_options(o, t->opt, why)) {
        agent = widen(t->opt.user_agent);
        if (!agent) why.say(GetLastError() == ERROR_NO_UNICODE_TRANSLATION ? "user_agent is not UTF-8" : "out of memory");
    }
    if (agent) {
        t->session = open_session(agent, t->opt.proxy);
        if (!t->session) {
            wchar_t *name = t->opt.proxy && t->opt.proxy[0] ? proxy_name(t->opt.proxy) : nullptr;
            why.say(t->opt.proxy && t->opt.proxy[0] && !name
                        ? "proxy is not an HTTP proxy (\"host:port\" or \"http://host:port\")"
                        : "WinHTTP refused to open a session");
            free(name);
        }
    }
    free(agent);
    if (!t->session) {
        kt::report_refusal(o, "kova_winhttp_new", why);
        kova_winhttp_free(t);
        return nullptr;
    }
    if (t->opt.compressed) {
        DWORD all = WINHTTP_DECOMPRESSION_FLAG_ALL;
        t->decodes = WinHttpSetOption(t->session, WINHTTP_OPTION_DECOMPRESSION, &all, sizeof all) != FALSE;
    }
    return t;
}

KOVA_WINHTTP_API void kova_winhttp_free(kova_winhttp *t) {
    if (!t) return;
    if (t->session) WinHttpCloseHandle(t->session);
    t->~kova_winhttp();
    free(t);
}

KOVA_WINHTTP_API void kova_winhttp_cancel(kova_winhttp *t) {
    if (t) t->gate.cancel();
}

KOVA_WINHTTP_API void kova_winhttp_resume(kova_winhttp *t) {
    if (t) t->gate.resume();
}

KOVA_WINHTTP_API const kova_io *kova_winhttp_io(const kova_winhttp *t) { return t ? &t->io : nullptr; }

KOVA_WINHTTP_API int32_t kova_winhttp_redact(const char *text, char *out, int32_t size) {
    return kt::redact_copy(text, out, size);
}

KOVA_WINHTTP_API const char *kova_winhttp_version(void) {
    // Built once (thread-safely) and kept: callers get static text.
    static char text[96];
    static const bool built = [] {
        using rtl_get_version_fn = LONG(WINAPI *)(OSVERSIONINFOW *);
        using wine_version_fn = const char *(CDECL *)(void);
        size_t n = static_cast<size_t>(snprintf(text, sizeof text, "WinHTTP"));
        OSVERSIONINFOW v = {};
        v.dwOSVersionInfoSize = sizeof v;
        auto get_version = ntdll_fn<rtl_get_version_fn>("RtlGetVersion");
        if (get_version && get_version(&v) == 0)
            n += static_cast<size_t>(snprintf(text + n, sizeof text - n, " (Windows %lu.%lu.%lu",
                                              static_cast<unsigned long>(v.dwMajorVersion),
                                              static_cast<unsigned long>(v.dwMinorVersion),
                                              static_cast<unsigned long>(v.dwBuildNumber)));
        else
            n += static_cast<size_t>(snprintf(text + n, sizeof text - n, " (Windows"));
        auto wine_version = ntdll_fn<wine_version_fn>("wine_get_version");
        if (wine_version && n < sizeof text)
            n += static_cast<size_t>(snprintf(text + n, sizeof text - n, "; Wine %s", wine_version()));
        if (n < sizeof text) snprintf(text + n, sizeof text - n, ")");
        return true;
    }();
    (void)built;
    return text;
}

}  // extern "C"
