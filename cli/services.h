// The services the kova command-line host talks to, in one table: all that
// differs from one service to the next, apart from the commands that are a
// service's own (search, lookup, releases...). Whatever is done for each
// service is a range-for over k_services, and whatever is kept for each is an
// array of k_service_count elements indexed by the service's kind. A new
// service is one more row (its kind is its index in the table) plus its
// commands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

#include "kova.h"

namespace cli {

struct ServiceInfo {
    int kind;                // KOVA_JACKETT ...: the library's kind, and the row's index
    const char *name;        // "Jackett": messages and tables
    const char *lower;       // "jackett": the SERVICE arguments and JSON keys
    const char *section;     // "Jackett": its object in the configuration file
    const char *env_url;     // "KOVA_JACKETT_URL": its address, over the file's
    const char *env_key;     // "KOVA_JACKETT_API_KEY": its API key, over the file's
    const char *env_user;    // "KOVA_JACKETT_USERNAME": its basic credentials, over the file's
    const char *env_password;  // "KOVA_JACKETT_PASSWORD"
    const char *runtime;     // "JACKETT": its settings handler (kova_rtchk_handler)
    int32_t default_port;    // where it listens unless its settings say otherwise
    bool library;            // a library (root folders, quality profiles), else indexers
    const char *key_place;   // where it shows its API key, for the hints
    const char *base_place;  // where it shows the path it answers under (URL base)
    // The library's functions for it.
    int32_t (*configure)(const char *host, int32_t port, int32_t https, const char *api_key);
    int32_t (*test)();
};

inline constexpr ServiceInfo k_services[] = {
    {KOVA_JACKETT, "Jackett", "jackett", "Jackett", "KOVA_JACKETT_URL", "KOVA_JACKETT_API_KEY", "KOVA_JACKETT_USERNAME",
     "KOVA_JACKETT_PASSWORD", "JACKETT", 9117,
     false, "Jackett shows its API Key at the top of its dashboard",
     "Jackett shows it as \"Base path override\" in its dashboard's Jackett Configuration", kova_jackett_configure,
     kova_jackett_test},
    {KOVA_SONARR, "Sonarr", "sonarr", "Sonarr", "KOVA_SONARR_URL", "KOVA_SONARR_API_KEY", "KOVA_SONARR_USERNAME",
     "KOVA_SONARR_PASSWORD", "SONARR", 8989, true,
     "Sonarr shows it in Settings > General > Security > API Key",
     "Sonarr shows it in Settings > General > Host > URL Base", kova_sonarr_configure, kova_sonarr_test},
    {KOVA_RADARR, "Radarr", "radarr", "Radarr", "KOVA_RADARR_URL", "KOVA_RADARR_API_KEY", "KOVA_RADARR_USERNAME",
     "KOVA_RADARR_PASSWORD", "RADARR", 7878, true,
     "Radarr shows it in Settings > General > Security > API Key",
     "Radarr shows it in Settings > General > Host > URL Base", kova_radarr_configure, kova_radarr_test},
    {KOVA_PROWLARR, "Prowlarr", "prowlarr", "Prowlarr", "KOVA_PROWLARR_URL", "KOVA_PROWLARR_API_KEY", "KOVA_PROWLARR_USERNAME",
     "KOVA_PROWLARR_PASSWORD", "PROWLARR", 9696,
     false, "Prowlarr shows it in Settings > General > Security > API Key",
     "Prowlarr shows it in Settings > General > Host > URL Base", kova_prowlarr_configure, kova_prowlarr_test},
};

inline constexpr size_t k_service_count = std::size(k_services);

constexpr bool kinds_are_indexes() {
    for (size_t i = 0; i < k_service_count; ++i)
        if (k_services[i].kind != static_cast<int>(i)) return false;
    return true;
}
static_assert(kinds_are_indexes(), "a service's kind is its index in k_services");

// The row of a kind (0 <= kind < k_service_count).
inline const ServiceInfo &service(int kind) { return k_services[static_cast<size_t>(kind)]; }

}  // namespace cli
