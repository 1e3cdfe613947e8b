#pragma once

#include <map>
#include <string>
#include <string_view>

// Host names of the outside services. They are configuration: built-in
// defaults that a deployment (or the simulated world) may replace.
namespace tovakin::app {

class Endpoints {
public:
    // The built-in defaults.
    Endpoints();

    std::string host(std::string_view name) const;
    void setHost(std::string_view name, std::string host);

    // Replaces every "${name}" in `text` with that host; unknown names stay.
    std::string expand(std::string_view text) const;

private:
    std::map<std::string, std::string, std::less<>> m_hosts;
};

}  // namespace tovakin::app
