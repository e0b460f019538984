// Which proxy, if any, a fetch goes through, from the user's settings
// (platform/ProxySettings.h): plain http pages are asked of the proxy by
// their whole address, https pages go through a CONNECT tunnel.
//
// Natively: http_proxy for http pages, https_proxy (or HTTPS_PROXY) for
// https pages, each "host:port", "http://host:port/" or "http://[v6]:port"
// (port 80 when none is given); no_proxy (or NO_PROXY) is a list separated
// by commas or blanks of "*", host names (which match their subdomains too;
// a leading "." or "*." is the same), IP addresses, address blocks
// ("10.0.0.0/8", "fd00::/8") and any of them with ":port".
//
// On Windows: ProxyServer, for every protocol ("host:port") or per protocol
// ("http=host:port;https=host:port"), and ProxyOverride, patterns separated
// by ";" with "*" wildcards, matched against the host and "host:port";
// "<local>" stands for names without a dot.
//
// Both: the loopback (localhost, 127.0.0.0/8, ::1) is never sent to a
// proxy, which could not reach it ("<-loopback>" in ProxyOverride lifts
// that on Windows). Proxies reached over TLS, SOCKS proxies and proxy
// credentials are not supported: such a setting is a failure that says so.
#pragma once

#include <string>

#include "net/HttpMessage.h"
#include "platform/ProxySettings.h"

namespace net {

// The proxy for `target`, in `proxy` (an http target: host and port).
// False for a direct connection; false with `failure` set when the
// setting that applies cannot be used.
bool ChooseProxy(const http::Target& target, const platform::ProxySettings& settings, http::Target& proxy,
                 std::string& failure);

}  // namespace net
