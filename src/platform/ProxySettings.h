// The user's proxy settings as the system keeps them, read afresh on every
// call and handed over unparsed (net/Proxy reads them). Plain data; any
// thread may call it.
#pragma once

#include <string>

namespace platform {

struct ProxySettings {
    // Which form the texts take: the environment's (http_proxy, ...) or the
    // Windows Internet settings' (ProxyServer, ProxyOverride).
    bool windowsForm = false;
    // Environment: http_proxy (only this spelling: the upper-case one can
    // be set by a web server's request in CGI programs). Windows: the
    // ProxyServer text, for every protocol ("host:port") or per protocol
    // ("http=host:port;https=host:port"). Empty: no proxy.
    std::string http;
    // Environment: https_proxy, else HTTPS_PROXY. Windows: unused.
    std::string https;
    // Environment: no_proxy, else NO_PROXY. Windows: ProxyOverride.
    std::string bypass;
};

// Natively the environment. On Windows the Internet settings of the user
// (HKEY_CURRENT_USER), or those of the machine where the policy
// ProxySettingsPerUser is 0; nothing unless ProxyEnable is set.
ProxySettings SystemProxySettings();

}  // namespace platform
