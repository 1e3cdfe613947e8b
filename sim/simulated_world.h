#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "core/app/endpoints.h"
#include "sim/affiliate_platform.h"
#include "sim/catalog.h"
#include "sim/http_server.h"
#include "sim/picture_host.h"
#include "sim/shopping_guide_sites.h"

// The outside world on one loopback port: every service under a host name of
// its own ("pub.alimama.localhost", ...), which curl resolves to loopback.
namespace tovakin::sim {

struct WorldSettings {
    std::uint16_t port = 0;                // 0: any free port
    std::chrono::milliseconds latency{0};  // added to every answer of the platform's API
    double failureRate = 0.0;              // share of API requests answered with a server error
    std::size_t catalogSize = 400;
    int serverThreads = 4;
};

class SimulatedWorld {
public:
    explicit SimulatedWorld(WorldSettings settings = {});
    ~SimulatedWorld();

    // Starts serving; false when the port cannot be had.
    bool start();
    void stop();
    std::uint16_t port() const { return m_server.port(); }

    // The hosts a configuration must name to use this world (with the port).
    app::Endpoints endpoints() const;
    const Catalog& catalog() const { return m_catalog; }
    const AffiliatePlatform& platform() const { return *m_platform; }
    HttpServer& server() { return m_server; }
    // The four shopping-guide sites (after start), to read their pages or make them fail.
    ShoppingGuideSites& guideSites() { return *m_guideSites; }
    const PictureHost& pictures() const { return m_pictures; }

    // The logged-in session as a Netscape cookie file.
    std::string sessionCookies() const;
    // The text of a configuration file pointing the system at this world,
    // its session taken from `cookieFile` (which writeSessionCookies fills).
    std::string configurationText(const std::filesystem::path& cookieFile) const;
    bool writeSessionCookies(const std::filesystem::path& cookieFile) const;

private:
    HttpResponse answer(const SimAnswer& answer) const;
    bool failsNow();

    WorldSettings m_settings;
    Catalog m_catalog;
    HttpServer m_server;
    std::unique_ptr<AffiliatePlatform> m_platform;
    PictureHost m_pictures;
    std::unique_ptr<ShoppingGuideSites> m_guideSites;
    std::mutex m_randomMutex;
    std::uint64_t m_randomState;
};

}  // namespace tovakin::sim
