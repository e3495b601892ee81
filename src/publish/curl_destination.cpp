#include "publish/curl_destination.h"

#include "base/file_io.h"
#include "base/translatable.h"
#include "edit/outcome.h"
#include "publish/curl_handle.h"
#include "publish/shown_text.h"

#include <cstring>
#include <functional>
#include <span>

namespace tarnwick::publish {
namespace {

// The bytes a request sends, from a file or from memory.
class UploadSource {
public:
    UploadSource(const std::filesystem::path* local, std::string_view bytes) : bytes_(bytes)
    {
        if (local) {
            file_.emplace(*local, *local);
            file_->ExpectSequentialReading();
            size_ = file_->RegularFileSize();
        } else {
            size_ = bytes.size();
        }
    }

    std::uint64_t Size() const { return size_; }

    static size_t Read(char* buffer, size_t size, size_t count, void* self)
    {
        return static_cast<UploadSource*>(self)->Fill(buffer, size * count);
    }

private:
    size_t Fill(char* buffer, size_t room)
    {
        const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(room, size_ - offset_));
        try {
            if (file_)
                file_->ReadExactly(std::span(reinterpret_cast<std::byte*>(buffer), piece));
            else
                std::memcpy(buffer, bytes_.data() + offset_, piece);
        } catch (const Error&) {
            return CURL_READFUNC_ABORT;
        }
        offset_ += piece;
        return piece;
    }

    std::optional<InputFile> file_;
    std::string_view bytes_;
    std::uint64_t size_ = 0;
    std::uint64_t offset_ = 0;
};

struct Download {
    std::string bytes;
    std::size_t limit;
    bool tooLarge = false;

    static size_t Write(char* data, size_t size, size_t count, void* self)
    {
        Download& download = *static_cast<Download*>(self);
        if (download.bytes.size() + size * count > download.limit) {
            download.tooLarge = true;
            return 0;
        }
        download.bytes.append(data, size * count);
        return size * count;
    }
};

int OnProgress(void* callback, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded)
{
    const TransferProgress& progress = *static_cast<const TransferProgress*>(callback);
    return progress && !progress(static_cast<std::uint64_t>(uploaded)) ? 1 : 0;
}

class CurlDestination final : public Destination {
public:
    CurlDestination(const DestinationAddress& address, const Credentials& credentials, const TrustSettings& trust)
        : address_(address), credentials_(credentials), trust_(trust)
    {
    }

    void Open() override
    {
        Start(Url(""));
        curl_easy_setopt(curl_.get(), CURLOPT_NOBODY, 1L);
        const auto [code, status] = Perform();
        // An HTTP server may answer anything for a folder; only a refused login and no connection count.
        if (code != CURLE_OK && !(Http() && code == CURLE_HTTP_RETURNED_ERROR && status != 401))
            throw Failure(code, status, RootText());
        if (Http() && status == 401)
            throw Failure(CURLE_HTTP_RETURNED_ERROR, status, RootText());
    }

    std::optional<std::string> Read(const std::string& path, std::size_t limit) override
    {
        Start(Url(path));
        Download download{{}, limit};
        curl_easy_setopt(curl_.get(), CURLOPT_WRITEFUNCTION, &Download::Write);
        curl_easy_setopt(curl_.get(), CURLOPT_WRITEDATA, &download);
        const auto [code, status] = Perform();
        if (code == CURLE_REMOTE_FILE_NOT_FOUND || (code == CURLE_HTTP_RETURNED_ERROR && (status == 404 || status == 410)))
            return std::nullopt;
        if (download.tooLarge)
            return std::nullopt;
        if (code != CURLE_OK)
            throw Failure(code, status, path);
        return std::move(download.bytes);
    }

    void Write(const std::filesystem::path& local, const std::string& path, const TransferProgress& progress) override
    {
        try {
            Upload([&] { return UploadSource(&local, {}); }, path, progress);
        } catch (const TransferError&) {
            throw;
        } catch (const Error& error) {
            throw TransferError(error.Text(), TransferFailure::Refused);
        }
    }

    void WriteBytes(std::string_view bytes, const std::string& path) override
    {
        Upload([&] { return UploadSource(nullptr, bytes); }, path, {});
    }

    ReplaceWay Replace(const std::string& from, const std::string& to) override
    {
        if (Http()) {
            Start(Url(from));
            curl_easy_setopt(curl_.get(), CURLOPT_CUSTOMREQUEST, "MOVE");
            curl_easy_setopt(curl_.get(), CURLOPT_NOBODY, 0L);
            CurlList headers = MakeCurlList({"Destination: " + Url(to), "Overwrite: T"});
            curl_easy_setopt(curl_.get(), CURLOPT_HTTPHEADER, headers.get());
            const auto [code, status] = Perform();
            if (code != CURLE_OK)
                throw Failure(code, status, to);
            return ReplaceWay::Atomic;
        }
        // RNFR/RNTO replaces the target on most servers; one that refuses to
        // rename over a file has the old one deleted first.
        const auto [code, status] = Quote({"RNFR " + FtpPath(from), "RNTO " + FtpPath(to)});
        if (code == CURLE_OK)
            return ReplaceWay::Atomic;
        if (code != CURLE_QUOTE_ERROR)
            throw Failure(code, status, to);
        const auto [again, againStatus] = Quote({"DELE " + FtpPath(to), "RNFR " + FtpPath(from), "RNTO " + FtpPath(to)});
        if (again != CURLE_OK)
            throw Failure(again, againStatus, to);
        return ReplaceWay::DeleteThenRename;
    }

    void Remove(const std::string& path) override
    {
        if (Http()) {
            Start(Url(path));
            curl_easy_setopt(curl_.get(), CURLOPT_CUSTOMREQUEST, "DELETE");
            const auto [code, status] = Perform();
            if (code != CURLE_OK && !(code == CURLE_HTTP_RETURNED_ERROR && status == 404))
                throw Failure(code, status, path);
            return;
        }
        // "*": a file already gone is no failure.
        const auto [code, status] = Quote({"*DELE " + FtpPath(path)});
        if (code != CURLE_OK)
            throw Failure(code, status, path);
    }

private:
    bool Http() const { return address_.kind == DestinationKind::WebDav; }

    std::string Url(const std::string& path) const
    {
        WebAddress root = address_.address;
        root.user.clear();
        return AddressBelow(root, path);
    }

    // FTP commands take paths from the login folder, where the address's
    // path starts.
    std::string FtpPath(const std::string& path) const { return address_.address.path.substr(1) + path; }

    std::string RootText() const { return ServerName(address_.address) + address_.address.path; }

    void Start(const std::string& url)
    {
        curl_.Reset(trust_);
        CURL* curl = curl_.get();
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
        if (!credentials_.user.empty())
            curl_easy_setopt(curl, CURLOPT_USERNAME, credentials_.user.c_str());
        if (credentials_.password)
            curl_easy_setopt(curl, CURLOPT_PASSWORD, credentials_.password->c_str());
        if (Http()) {
            // Sent with the first request: asking which scheme the server
            // wants would send every upload twice.
            curl_easy_setopt(curl, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
            // Never a cached copy: what is asked about is the server's file now.
            headers_ = MakeCurlList({"Cache-Control: no-cache"});
            curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers_.get());
        } else {
            curl_easy_setopt(curl, CURLOPT_FTP_CREATE_MISSING_DIRS, static_cast<long>(CURLFTP_CREATE_DIR_RETRY));
            if (address_.tls && address_.address.scheme == "ftp")
                curl_easy_setopt(curl, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
        }
    }

    std::pair<CURLcode, long> Perform()
    {
        const CURLcode code = curl_easy_perform(curl_.get());
        long status = 0;
        curl_easy_getinfo(curl_.get(), CURLINFO_RESPONSE_CODE, &status);
        return {code, status};
    }

    std::pair<CURLcode, long> Quote(std::initializer_list<std::string> commands)
    {
        Start(Url(""));
        CurlList list = MakeCurlList(commands);
        curl_easy_setopt(curl_.get(), CURLOPT_QUOTE, list.get());
        curl_easy_setopt(curl_.get(), CURLOPT_NOBODY, 1L);
        return Perform();
    }

    void Upload(const std::function<UploadSource()>& open, const std::string& path, const TransferProgress& progress)
    {
        for (int attempt = 0;; ++attempt) {
            UploadSource source = open();
            Start(Url(path));
            CURL* curl = curl_.get();
            curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
            curl_easy_setopt(curl, CURLOPT_UPLOAD_BUFFERSIZE, 512L * 1024);
            curl_easy_setopt(curl, CURLOPT_READFUNCTION, &UploadSource::Read);
            curl_easy_setopt(curl, CURLOPT_READDATA, &source);
            curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(source.Size()));
            curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
            curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &OnProgress);
            curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &progress);
            const auto [code, status] = Perform();
            if (code == CURLE_OK)
                return;
            // A WebDAV server makes no folders for a PUT: 409 asks for them.
            if (Http() && attempt == 0 && code == CURLE_HTTP_RETURNED_ERROR && status == 409 &&
                path.find('/') != std::string::npos) {
                MakeCollections(path);
                continue;
            }
            throw Failure(code, status, path);
        }
    }

    void MakeCollections(const std::string& path)
    {
        for (std::size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1)) {
            Start(Url(path.substr(0, slash + 1)));
            curl_easy_setopt(curl_.get(), CURLOPT_CUSTOMREQUEST, "MKCOL");
            const auto [code, status] = Perform();
            // 405: the collection is there already.
            if (code != CURLE_OK && !(code == CURLE_HTTP_RETURNED_ERROR && status == 405))
                throw Failure(code, status, path.substr(0, slash + 1));
        }
    }

    TransferError Failure(CURLcode code, long status, const std::string& what) const
    {
        return CurlFailure(code, status, curl_, what);
    }

    DestinationAddress address_;
    Credentials credentials_;
    TrustSettings trust_;
    CurlHandle curl_;
    CurlList headers_;
};

} // namespace

std::unique_ptr<Destination> MakeCurlDestination(const DestinationAddress& address, const Credentials& credentials,
                                                 const TrustSettings& trust)
{
    return std::make_unique<CurlDestination>(address, credentials, trust);
}

} // namespace tarnwick::publish
