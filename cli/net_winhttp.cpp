// net.h over kova_winhttp. WinHTTP verifies certificates against the Windows
// certificate store and knows HTTP proxies only.
#include "net.h"

#include "kova_winhttp.h"

#include <vector>

namespace net {

struct Transport {
    kova_winhttp *winhttp = nullptr;
    // The host's log sink, behind relay(): while the transport is being
    // created, the line it writes is why it refused an option, for open()'s
    // error; afterwards the lines are the host's.
    LogFn log = nullptr;
    void *log_user = nullptr;
    bool opening = true;
    std::string refusal;
};

namespace {

void relay(void *user, const char *line) {
    auto *t = static_cast<Transport *>(user);
    if (t->opening) {
        if (t->refusal.empty()) t->refusal = line;
    } else if (t->log) {
        t->log(t->log_user, line);
    }
}

}  // namespace

Transport *open(const Options &o, std::string &err) {
    // The configuration's Proxy may be a libcurl proxy URL; WinHTTP knows
    // HTTP proxies only, as host:port or http://host:port.
    if (o.has_proxy && o.proxy.find("://") != std::string::npos && o.proxy.rfind("http://", 0) != 0) {
        err = "Proxy \"" + o.proxy + "\": WinHTTP takes an HTTP proxy, as host:port";
        return nullptr;
    }
    auto *t = new Transport{nullptr, o.log, o.log_user, true, {}};
    std::vector<const char *> headers;
    for (const auto &h : o.headers) headers.push_back(h.c_str());
    headers.push_back(nullptr);
    kova_winhttp_options w;
    kova_winhttp_options_init(&w);
    w.insecure = o.insecure;
    w.proxy = o.has_proxy ? o.proxy.c_str() : nullptr;  // absent: the system's proxy settings
    w.log = relay;
    w.log_user = t;
    w.progress = o.progress;
    w.progress_user = o.progress_user;
    w.headers = o.headers.empty() ? nullptr : headers.data();
    w.username = o.username.c_str();
    w.password = o.password.c_str();
    w.allow_basic_over_http = o.allow_basic_over_http;
    w.key_in_header = o.key_in_header;
    t->winhttp = kova_winhttp_new(&w);
    t->opening = false;
    if (!t->winhttp) {
        err = t->refusal.empty() ? "cannot set up the HTTP transport (WinHTTP)" : t->refusal;
        delete t;
        return nullptr;
    }
    return t;
}

void close(Transport *t) {
    if (!t) return;
    kova_winhttp_free(t->winhttp);
    delete t;
}

const kova_io *io(const Transport *t) { return t ? kova_winhttp_io(t->winhttp) : nullptr; }

void cancel(Transport *t) {
    if (t) kova_winhttp_cancel(t->winhttp);
}

void resume(Transport *t) {
    if (t) kova_winhttp_resume(t->winhttp);
}

const char *name() { return "WinHTTP"; }
const char *version() { return kova_winhttp_version(); }

int32_t redact(const char *text, char *out, int32_t size) { return kova_winhttp_redact(text, out, size); }

const char *ca_file_ignored() {
    return "the Windows certificate store verifies the certificate instead; import the CA there "
           "(certutil -user -addstore Root FILE) or, on a trusted network, set \"Insecure\": true";
}

}  // namespace net
