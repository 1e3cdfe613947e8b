#include "sim/simulated_world.h"

#include <fstream>
#include <random>

namespace tovakin::sim {

namespace {

// Simulated host names, each under ".localhost" so that they reach loopback.
constexpr std::pair<const char*, const char*> kHosts[] = {
    {"affiliate-web-host", "www.alimama.localhost"},
    {"affiliate-api-host", "pub.alimama.localhost"},
    {"mall-item-host", "detail.tmall.localhost"},
    {"affiliate-click-host", "s.click.taobao.localhost"},
    {"redirect-link-host", "redirect.simba.taobao.localhost"},
    {"item-info-host", "www.tkzhushou.localhost"},
    {"usite-host", "uz.taobao.localhost"},
    {"zhe800-host", "zhe800.uz.taobao.localhost"},
    {"maidehao-host", "maidehao.uz.taobao.localhost"},
    {"zizai-host", "zizaigouwu.uz.taobao.localhost"},
    {"uzhan-center-host", "www.uzhanzhongxin.localhost"},
    {"item-page-host", "item.taobao.localhost"},
    {"picture-host", "img01.taobaocdn.localhost"},
};

std::string randomSession() {
    std::random_device device;
    static constexpr char digits[] = "0123456789abcdef";
    std::string session;
    for (int i = 0; i < 32; ++i) {
        session += digits[device() % 16];
    }
    return session;
}

}  // namespace

SimulatedWorld::SimulatedWorld(WorldSettings settings)
    : m_settings(settings), m_catalog(settings.catalogSize), m_randomState(std::random_device{}()) {}

SimulatedWorld::~SimulatedWorld() {
    stop();
}

app::Endpoints SimulatedWorld::endpoints() const {
    app::Endpoints hosts;
    for (const auto& [name, host] : kHosts) {
        hosts.setHost(name, std::string(host) + ":" + std::to_string(port()));
    }
    return hosts;
}

bool SimulatedWorld::start() {
    m_server.setRecording(false);  // a long-running world must not keep every request
    if (!m_server.start(m_settings.port, m_settings.serverThreads)) {
        return false;
    }
    m_platform = std::make_unique<AffiliatePlatform>(m_catalog, endpoints(), randomSession());
    m_pictures.install(m_server, "img01.taobaocdn.localhost");
    m_guideSites = std::make_unique<ShoppingGuideSites>(
        m_catalog, GuideHosts{"zhe800.uz.taobao.localhost", "maidehao.uz.taobao.localhost",
                              "zizaigouwu.uz.taobao.localhost", "www.uzhanzhongxin.localhost",
                              endpoints().host("item-page-host"), endpoints().host("picture-host")});
    m_guideSites->install(m_server);
    const std::string webHost = "www.alimama.localhost";
    const std::string apiHost = "pub.alimama.localhost";
    m_server.route(webHost, "/member/login.htm", [this](const HttpRequest& request) {
        return answer(m_platform->loginPage(request.method));
    });
    for (const char* path :
         {"/urltrans/urltrans.json", "/pubauc/searchAuctionList.json", "/common/code/getAuctionCode.json"}) {
        m_server.route(apiHost, path, [this](const HttpRequest& request) {
            if (failsNow()) {
                return HttpResponse{
                    502, {{"Content-Type", "text/html"}}, "<html><body>502 Bad Gateway</body></html>"};
            }
            return answer(m_platform->api(request.path, request.query, request.header("Cookie")));
        });
        if (m_settings.latency.count() > 0) {
            m_server.setBehaviour(apiHost, path, RouteBehaviour::delayed(m_settings.latency));
        }
    }
    return true;
}

void SimulatedWorld::stop() {
    m_server.stop();
}

bool SimulatedWorld::failsNow() {
    if (m_settings.failureRate <= 0.0) {
        return false;
    }
    std::lock_guard lock(m_randomMutex);
    // xorshift: cheap and good enough to spread failures
    m_randomState ^= m_randomState << 13;
    m_randomState ^= m_randomState >> 7;
    m_randomState ^= m_randomState << 17;
    return static_cast<double>(m_randomState % 1'000'000) / 1'000'000.0 < m_settings.failureRate;
}

HttpResponse SimulatedWorld::answer(const SimAnswer& simAnswer) const {
    HttpResponse response;
    response.status = simAnswer.status;
    response.headers = simAnswer.headers;
    response.body = simAnswer.body;
    return response;
}

std::string SimulatedWorld::sessionCookies() const {
    return "# Netscape HTTP Cookie File\n"
           ".alimama.localhost\tTRUE\t/\tFALSE\t0\t" +
           std::string(AffiliatePlatform::kSessionCookie) + "\t" + m_platform->session() + "\n";
}

bool SimulatedWorld::writeSessionCookies(const std::filesystem::path& cookieFile) const {
    std::ofstream out(cookieFile, std::ios::binary | std::ios::trunc);
    out << sessionCookies();
    return static_cast<bool>(out);
}

std::string SimulatedWorld::configurationText(const std::filesystem::path& cookieFile) const {
    std::string text =
        "; Tovakin configuration for the simulated world on port " + std::to_string(port()) + "\r\n";
    text += "[hosts]\r\n";
    const app::Endpoints hosts = endpoints();
    for (const auto& [name, host] : kHosts) {
        text += std::string(name) + "=" + hosts.host(name) + "\r\n";
    }
    text += "[session]\r\ncookies=" + cookieFile.string() + "\r\n";
    return text;
}

}  // namespace tovakin::sim
