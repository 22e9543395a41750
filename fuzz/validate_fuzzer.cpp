// Settings validation through the handler records, with a host transport
// that answers the connection test from the fuzzer's bytes. The answer must
// be whole valid JSON or "", its code one of the documented ones, every
// transport text released once, and the process-wide context untouched.
#include "fuzz/fuzz_common.h"

namespace validate_fuzzer {

struct script {
    fuzz_bytes *in;
};

fuzz_answer answer(void *ctx, const std::string &url, bool) {
    fuzz_bytes &in = *static_cast<script *>(ctx)->in;
    fuzz_answer a;
    uint8_t c = in.u8();
    a.ret = (c & 7) == 7 ? 1 : 0;
    a.status = fuzz_status(in.u8());
    a.has_error = (c & 0x40) != 0;
    switch ((c >> 3) & 3) {
    case 0:
        a.has_body = false;
        break;
    case 1:
        a.body = in.text(2048);
        break;
    default: {
        std::string t = (c >> 3 & 3) == 3 ? in.text() : std::string("Any");
        if (url.find("/rootfolder") != std::string::npos)
            a.body = "[{\"path\":" + json_quoted((c & 0x80) ? t : "/tv/") + "}]";
        else if (url.find("/qualityprofile") != std::string::npos)
            a.body = "[{\"id\":4,\"name\":" + json_quoted(t) + "},{\"id\":\"6\",\"name\":\"HD\"}]";
        else
            a.body = "<indexers><indexer id=\"a\" configured=\"true\"><title>" + t +
                     "</title></indexer></indexers>";
    }
    }
    return a;
}

std::string settings_text(fuzz_bytes &in) {
    uint8_t mode = in.u8();
    if (mode % 4 == 0) {
        std::string raw = in.text(1024);
        return c_text(reinterpret_cast<const uint8_t *>(raw.data()), raw.size());
    }
    static const char *const k_keys[] = {"Host", "APIKey", "UseHttps", "Port", "ID"};
    std::string s = "{";
    for (const char *key : k_keys) {
        uint8_t how = in.u8();
        if (how % 5 == 0) continue; // absent
        if (s.size() > 1) s += ",";
        s += std::string("\"") + key + "\":";
        switch (how % 5) {
        case 1: s += "true"; break;
        case 2: s += "8080"; break;
        default: s += json_quoted(in.text()); break;
        }
    }
    return s + "}"; // json_quoted() escaped every control byte: no NUL inside
}

int one_input(const uint8_t *data, size_t size) {
    fuzz_bytes in(data, size);
    kova_reset();
    // Some state in the process-wide context that the validation must leave alone.
    kova_use_fake();
    FUZZ_CHECK(kova_sonarr_configure("keep", 0, 0, "k") == KOVA_OK);
    FUZZ_CHECK(kova_parse_jackett("{\"Results\":[{\"Title\":\"kept\"}]}") == KOVA_OK);

    static const char *const k_types[] = {"JACKETT", "SONARR", "RADARR"};
    uint8_t b0 = in.u8();
    const char *type = k_types[b0 % 3];
    const kova_handler *h = kova_rtchk_handler(type);
    FUZZ_CHECK(h && h->validate && h->value == 32 && strcmp(h->name, type) == 0);
    static const int32_t k_sizes[] = {0, 1, 2, 16, 40, 64, 81, 128, 256, 4096};
    uint8_t b1 = in.u8();
    int32_t buf_size = (b1 & 0x80) ? b1 & 0x7F : k_sizes[b1 % 10];
    bool null_buf = (b0 & 0x40) != 0 && buf_size == 0;
    std::vector<char> buf(static_cast<size_t>(buf_size) + 1, 'x');
    std::string settings = settings_text(in);
    bool null_settings = (b0 & 0x20) != 0 && settings.size() < 2;

    script sc{&in};
    fuzz_io io;
    io.answer = answer;
    io.ctx = &sc;
    io.install((b0 & 0x08) == 0);
    const kova_io *table = (b0 & 0x10) ? nullptr : &io.io;

    int32_t rc = h->validate(table, null_settings ? nullptr : settings.c_str(), null_buf ? nullptr : buf.data(),
                             buf_size);
    FUZZ_CHECK(in_codes(rc, {0, -1, -2, -3, -4, -5, -8, -9}));
    io.check_released();
    FUZZ_CHECK(io.urls.size() <= 2 && io.posts.empty());
    if (buf_size < 1) {
        FUZZ_CHECK(rc == -9 && buf[0] == 'x');
    } else {
        size_t len = strnlen(buf.data(), static_cast<size_t>(buf_size));
        FUZZ_CHECK(len < static_cast<size_t>(buf_size));
        if (rc == -9) FUZZ_CHECK(len == 0);
        if (len > 0) {
            yyjson_doc *doc = yyjson_read(buf.data(), len, 0);
            FUZZ_CHECK(doc != nullptr);
            yyjson_val *root = yyjson_doc_get_root(doc);
            FUZZ_CHECK(yyjson_is_obj(root));
            if (rc == 0) {
                FUZZ_CHECK(strcmp(yyjson_get_str(yyjson_obj_get(root, "RuntimeType")), type) == 0);
                const char *url = yyjson_get_str(yyjson_obj_get(root, "URL"));
                FUZZ_CHECK(url && strncmp(url, "http", 4) == 0);
                for (const std::string &u : io.urls) FUZZ_CHECK(u.compare(0, strlen(url), url) == 0);
            } else {
                FUZZ_CHECK(yyjson_obj_size(root) == 1 && yyjson_is_str(yyjson_obj_get(root, "error")));
                // Nothing runs out of memory here: any such answer misreports
                // another failure.
                FUZZ_CHECK(strcmp(yyjson_get_str(yyjson_obj_get(root, "error")), "out of memory") != 0);
            }
            yyjson_doc_free(doc);
        }
    }
    // The process-wide context saw nothing of it.
    FUZZ_CHECK(kova_last_rc() == KOVA_OK && *kova_last_error() == '\0');
    FUZZ_CHECK(kova_result_count() == 1 && strcmp(kova_result_title(0), "kept") == 0);
    FUZZ_CHECK(strcmp(kova_base_url(KOVA_SONARR), "http://keep:8989") == 0);
    FUZZ_CHECK(*kova_base_url(KOVA_JACKETT) == '\0' && *kova_base_url(KOVA_RADARR) == '\0');
    FUZZ_CHECK(kova_test_log_count() == 0 && kova_quality_profile_count() == 0);
    kova_reset();
    return 0;
}

} // namespace validate_fuzzer

KOVA_FUZZ_TARGET(validate_fuzzer)
