// net.h over libkova_curl.
#include "net.h"

#include "kova_curl.h"

namespace net {

struct Transport {
    kova_curl *curl;
};

Transport *open(const Options &o, std::string &err) {
    kova_curl_options c;
    kova_curl_options_init(&c);
    c.insecure = o.insecure;
    c.ca_file = o.ca_file.empty() ? nullptr : o.ca_file.c_str();
    c.proxy = o.has_proxy ? o.proxy.c_str() : nullptr;  // absent: http_proxy, https_proxy, no_proxy
    c.log = o.log;
    c.log_user = o.log_user;
    c.progress = o.progress;
    c.progress_user = o.progress_user;
    kova_curl *t = kova_curl_new(&c);
    if (!t) {
        err = "cannot set up the HTTP transport (libcurl)";
        return nullptr;
    }
    return new Transport{t};
}

void close(Transport *t) {
    if (!t) return;
    kova_curl_free(t->curl);
    delete t;
}

const kova_io *io(const Transport *t) { return t ? kova_curl_io(t->curl) : nullptr; }

void cancel(Transport *t) {
    if (t) kova_curl_cancel(t->curl);
}

void resume(Transport *t) {
    if (t) kova_curl_resume(t->curl);
}

const char *name() { return "libcurl"; }
const char *version() { return kova_curl_version(); }

int32_t redact(const char *text, char *out, int32_t size) { return kova_curl_redact(text, out, size); }

const char *ca_file_ignored() { return nullptr; }

}  // namespace net
