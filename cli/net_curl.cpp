// net.h over libkova_curl.
#include "net.h"

#include "kova_curl.h"

#include <vector>

namespace net {

struct Transport {
    kova_curl *curl = nullptr;
    LogRelay relay;
};

Transport *open(const Options &o, std::string &err) {
    auto *t = new Transport;
    kova_curl_options c;
    kova_curl_options_init(&c);
    std::vector<const char *> headers;
    set_shared(c, o, &t->relay, headers);
    c.ca_file = o.ca_file.empty() ? nullptr : o.ca_file.c_str();
    t->curl = kova_curl_new(&c);
    t->relay.opening = false;
    if (!t->curl) {
        err = t->relay.refusal.empty() ? "cannot set up the HTTP transport (libcurl)" : t->relay.refusal;
        delete t;
        return nullptr;
    }
    return t;
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
