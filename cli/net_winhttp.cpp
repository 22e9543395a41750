// net.h over kova_winhttp. WinHTTP verifies certificates against the Windows
// certificate store and knows HTTP proxies only.
#include "net.h"

#include "kova_winhttp.h"

#include <vector>

namespace net {

struct Transport {
    kova_winhttp *winhttp = nullptr;
    LogRelay relay;
};

Transport *open(const Options &o, std::string &err) {
    // The configuration's Proxy may be a libcurl proxy URL; WinHTTP knows
    // HTTP proxies only, as host:port or http://host:port.
    if (o.has_proxy && o.proxy.find("://") != std::string::npos && o.proxy.rfind("http://", 0) != 0) {
        err = "Proxy \"" + o.proxy + "\": WinHTTP takes an HTTP proxy, as host:port";
        return nullptr;
    }
    auto *t = new Transport;
    kova_winhttp_options w;
    kova_winhttp_options_init(&w);
    std::vector<const char *> headers;
    set_shared(w, o, &t->relay, headers);
    t->winhttp = kova_winhttp_new(&w);
    t->relay.opening = false;
    if (!t->winhttp) {
        err = t->relay.refusal.empty() ? "cannot set up the HTTP transport (WinHTTP)" : t->relay.refusal;
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
