#include "net/PageFetch.h"

#include <limits>
#include <new>

#include "net/HttpFetch.h"

namespace net {

PageLines CountPageLines(const std::string& streamUrl) { return CountPageLines(streamUrl, DefaultFetchLimits()); }

PageLines CountPageLines(const std::string& streamUrl, const FetchLimits& limits) {
    PageLines result;
    try {
        size_t split = streamUrl.find("::");
        HttpFetch fetch(limits);
        if (split == std::string::npos) {
            result.failure = "the address is not an http or https address";
        } else if (fetch.Open(streamUrl.substr(0, split), streamUrl.substr(split + 2))) {
            ReadAhead body;
            int64_t lines = body.CountLines(fetch);
            if (body.SourceFailed()) result.failure = fetch.Failure();
            else if (lines > std::numeric_limits<int32_t>::max()) result.failure = "the page has too many lines to count";
            else result.lines = static_cast<int32_t>(lines);
        } else {
            result.failure = fetch.Failure();
        }
    } catch (const std::bad_alloc&) {
        result.failure = "there was not enough memory to fetch the page";
    }
    result.ok = result.failure.empty();
    if (!result.ok) result.lines = 0;
    return result;
}

}  // namespace net
