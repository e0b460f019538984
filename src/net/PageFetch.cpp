#include "net/PageFetch.h"

#include <cctype>
#include <limits>
#include <new>

#include "net/HttpFetch.h"

namespace net {

PageLines CountPageLines(const std::string& streamUrl) { return CountPageLines(streamUrl, DefaultFetchLimits()); }

namespace {

// The body's lines, remembered with the validators that came with them.
void CountBody(HttpFetch& fetch, PageLines& result) {
    if (fetch.NotModified()) {
        result.lines = fetch.Recalled().lines;
        return;
    }
    ReadAhead body;
    int64_t lines = body.CountLines(fetch);
    if (body.SourceFailed()) result.failure = fetch.Failure();
    else if (lines > std::numeric_limits<int32_t>::max()) result.failure = "the page has too many lines to count";
    else result.lines = static_cast<int32_t>(lines);
    if (result.failure.empty())
        RememberPage(fetch.PageKey(), {fetch.FinalHead().etag, fetch.FinalHead().lastModified, result.lines});
}

}  // namespace

PageLines CountPageLines(const std::string& streamUrl, const FetchLimits& limits) {
    PageLines result;
    try {
        size_t split = streamUrl.find("::");
        HttpFetch fetch(limits);
        fetch.AskConditionally();
        if (split == std::string::npos) {
            result.failure = "the address is not an http or https address";
        } else if (fetch.Open(streamUrl.substr(0, split), streamUrl.substr(split + 2))) {
            CountBody(fetch, result);
        } else {
            result.failure = fetch.Failure();
            result.waitSeconds = static_cast<int32_t>(fetch.RetryAfter());
        }
    } catch (const std::bad_alloc&) {
        result.failure = "there was not enough memory to fetch the page";
    }
    result.ok = result.failure.empty();
    if (!result.ok) result.lines = 0;
    return result;
}

std::string PageHost(const std::string& streamUrl) {
    size_t split = streamUrl.find("::");
    http::Target target;
    std::string failure;
    if (split == std::string::npos || !http::ParseTarget(streamUrl.substr(0, split), streamUrl.substr(split + 2), target, failure))
        return "";
    for (char& c : target.host) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return target.host;
}

}  // namespace net
