#pragma once

#include "publish/destination.h"

#include <curl/curl.h>

#include <memory>
#include <string>

namespace tarnwick::publish {

// One libcurl handle, kept across requests so that its connections are
// reused, with the options every request of ours shares.
class CurlHandle {
public:
    CurlHandle();
    ~CurlHandle();
    CurlHandle(const CurlHandle&) = delete;
    CurlHandle& operator=(const CurlHandle&) = delete;

    CURL* get() const { return handle_; }
    // Starts a request: the options of the last are dropped (connections
    // stay), timeouts set, certificate authorities added.
    void Reset(const TrustSettings& trust);
    const char* ErrorText() const { return error_; }

private:
    CURL* handle_;
    char error_[CURL_ERROR_SIZE] = {};
};

// A failed request as a TransferError: what was asked (the path), and why in
// libcurl's or the server's words.
TransferError CurlFailure(CURLcode code, long status, const CurlHandle& handle, const std::string& what);

// A list of texts for libcurl (headers, FTP commands).
struct CurlListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlList = std::unique_ptr<curl_slist, CurlListDeleter>;
CurlList MakeCurlList(std::initializer_list<std::string> items);

} // namespace tarnwick::publish
