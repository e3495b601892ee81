#include "publish/folder_destination.h"

#include "base/file_io.h"
#include "base/text.h"
#include "base/translatable.h"
#include "edit/outcome.h"
#include "publish/site_address.h"

#include <span>
#include <vector>

namespace tarnwick::publish {
namespace {

TransferFailure FailureOf(ErrorKind kind)
{
    return kind == ErrorKind::NotFound ? TransferFailure::NotFound : TransferFailure::Refused;
}

[[noreturn]] void Raise(const Error& error)
{
    throw TransferError(error.Text(), FailureOf(error.Kind()));
}

class FolderDestination final : public Destination {
public:
    explicit FolderDestination(std::filesystem::path root) : root_(std::move(root)) {}

    void Open() override
    {
        std::error_code error;
        if (!std::filesystem::is_directory(root_, error))
            throw TransferError(Message(QT_TRANSLATE_NOOP("Tarnwick", "发布的目标文件夹“%1”不存在")).Arg(edit::FullPathText(root_)),
                                TransferFailure::NotFound);
    }

    std::optional<std::string> Read(const std::string& path, std::size_t limit) override
    {
        try {
            return ReadFile(At(path), SizeLimit{limit, QT_TRANSLATE_NOOP("Tarnwick", "文件过大")});
        } catch (const Error& error) {
            if (error.Kind() == ErrorKind::NotFound)
                return std::nullopt;
            Raise(error);
        }
    }

    void Write(const std::filesystem::path& local, const std::string& path, const TransferProgress& progress) override
    {
        try {
            const std::filesystem::path target = MakeFolders(path);
            InputFile input(local, local);
            input.ExpectSequentialReading();
            const std::uint64_t size = input.RegularFileSize();
            GrowingFile output(target);
            output.Truncate(0);
            std::vector<std::byte> buffer(1 << 20);
            for (std::uint64_t sent = 0; sent < size;) {
                const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size - sent));
                input.ReadExactly(std::span(buffer.data(), piece));
                output.Append(std::string_view(reinterpret_cast<const char*>(buffer.data()), piece));
                sent += piece;
                if (progress && !progress(sent))
                    throw TransferError(Message(QT_TRANSLATE_NOOP("Tarnwick", "已取消")), TransferFailure::Cancelled);
            }
            output.Flush();
        } catch (const TransferError&) {
            throw;
        } catch (const Error& error) {
            Raise(error);
        }
    }

    void WriteBytes(std::string_view bytes, const std::string& path) override
    {
        try {
            GrowingFile output(MakeFolders(path));
            output.Truncate(0);
            output.Append(bytes);
            output.Flush();
        } catch (const Error& error) {
            Raise(error);
        }
    }

    ReplaceWay Replace(const std::string& from, const std::string& to) override
    {
        try {
            MoveFileOver(At(from), At(to));
        } catch (const Error& error) {
            Raise(error);
        }
        return ReplaceWay::Atomic;
    }

    void Remove(const std::string& path) override { RemoveQuietly(At(path)); }

private:
    std::filesystem::path At(const std::string& path) const { return PathBelow(root_, path); }

    std::filesystem::path MakeFolders(const std::string& path) const
    {
        const std::filesystem::path target = At(path);
        std::error_code error;
        std::filesystem::create_directories(target.parent_path(), error);
        if (error)
            throw TransferError(Message(QT_TRANSLATE_NOOP("Tarnwick", "无法创建文件夹“%1”"))
                                    .Arg(edit::FullPathText(target.parent_path())),
                                TransferFailure::Refused);
        return target;
    }

    std::filesystem::path root_;
};

} // namespace

std::unique_ptr<Destination> MakeFolderDestination(std::filesystem::path root)
{
    return std::make_unique<FolderDestination>(std::move(root));
}

} // namespace tarnwick::publish
