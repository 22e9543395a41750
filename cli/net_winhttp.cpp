// net.h over kova_winhttp. WinHTTP verifies certificates against the Windows
// certificate store and knows HTTP proxies only.
#include "net.h"

#include "kova_winhttp.h"

namespace net {

struct Transport {
    kova_winhttp *winhttp;
};

Transport *open(const Options &o, std::string &err) {
    // The configuration's Proxy may be a libcurl proxy URL; WinHTTP knows
    // HTTP proxies only, as host:port or http://host:port.
    if (o.has_proxy && o.proxy.find("://") != std::string::npos && o.proxy.rfind("http://", 0) != 0) {
        err = "Proxy \"" + o.proxy + "\": WinHTTP takes an HTTP proxy, as host:port";
        return nullptr;
    }
    kova_winhttp_options w;
    kova_winhttp_options_init(&w);
    w.insecure = o.insecure;
    w.proxy = o.has_proxy ? o.proxy.c_str() : nullptr;  // absent: the system's proxy settings
    w.log = o.log;
    w.log_user = o.log_user;
    w.progress = o.progress;
    w.progress_user = o.progress_user;
    kova_winhttp *t = kova_winhttp_new(&w);
    if (!t) {
        err = "cannot set up the HTTP transport (WinHTTP)";
        return nullptr;
    }
    return new Transport{t};
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
