// The text conversions through code page 936 and UTF-8 of Windows itself.
//
// One rule for GBK on every system: code page 936 also maps the user-defined
// areas of GBK (2,149 two-byte sequences such as AA A1 or F8 A1) to private-use
// characters, which the GBK of the POSIX build refuses. They are refused here
// too, in both directions, so that a file that loads on one system loads, and
// saves byte for byte the same, on the other.
#include "base/error.h"
#include "base/text.h"

#include <windows.h>

#include <climits>

namespace tarnwick {
namespace {

constexpr UINT kGbkCodePage = 936;

bool IsPrivateUse(wchar_t c) { return c >= 0xE000 && c <= 0xF8FF; }

bool HoldsPrivateUse(std::wstring_view text)
{
    for (wchar_t c : text)
        if (IsPrivateUse(c))
            return true;
    return false;
}

int Length(std::size_t size)
{
    if (size > static_cast<std::size_t>(INT_MAX))
        throw Error("Text conversion failed: the text is longer than 2 GiB");
    return static_cast<int>(size);
}

// Most texts are a name or an address: converted on the stack they cost one
// call and no allocation, which matters when a downloaded list holds 100,000
// of them.
constexpr int kShortText = 512;

// The wide form of `bytes` for `use`, or false when the bytes are not valid in
// the code page (the strict flag makes Windows refuse rather than substitute).
template <class Use>
bool WithWide(UINT codePage, std::string_view bytes, Use use)
{
    if (bytes.empty()) {
        use(std::wstring_view());
        return true;
    }
    const int length = Length(bytes.size());
    wchar_t onStack[kShortText];
    int size = length <= kShortText
                   ? ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, onStack, kShortText)
                   : 0;
    std::wstring onHeap;
    const wchar_t* wide = onStack;
    if (size <= 0) {
        size = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
        if (size <= 0)
            return false;
        onHeap.resize(static_cast<std::size_t>(size));
        ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, onHeap.data(), size);
        wide = onHeap.data();
    }
    const std::wstring_view text(wide, static_cast<std::size_t>(size));
    if (codePage == kGbkCodePage && HoldsPrivateUse(text))
        return false;
    use(text);
    return true;
}

std::optional<std::wstring> ToWide(UINT codePage, std::string_view bytes)
{
    std::optional<std::wstring> out;
    WithWide(codePage, bytes, [&](std::wstring_view wide) { out.emplace(wide); });
    return out;
}

// Absent when a character has no form in the code page. Without best fit,
// Windows would write a look-alike ("a" for "a with ring") and say nothing.
std::optional<std::string> FromWide(UINT codePage, std::wstring_view wide, const char* substitute = nullptr)
{
    if (wide.empty())
        return std::string();
    const bool gbk = codePage == kGbkCodePage;
    if (gbk && substitute == nullptr && HoldsPrivateUse(wide))
        return std::nullopt;
    const DWORD flags = gbk ? WC_NO_BEST_FIT_CHARS : (substitute ? 0 : WC_ERR_INVALID_CHARS);
    BOOL usedDefault = FALSE;
    BOOL* reportDefault = gbk ? &usedDefault : nullptr;
    // One UTF-16 unit is at most three bytes in either code page, so a short
    // text always fits here and a failure means a character without a form.
    char onStack[3 * kShortText];
    if (wide.size() <= kShortText) {
        const int size = ::WideCharToMultiByte(codePage, flags, wide.data(), Length(wide.size()), onStack,
                                               sizeof onStack, gbk ? substitute : nullptr, reportDefault);
        if (size <= 0 || (usedDefault && substitute == nullptr))
            return std::nullopt;
        return std::string(onStack, static_cast<std::size_t>(size));
    }
    const int size = ::WideCharToMultiByte(codePage, flags, wide.data(), Length(wide.size()), nullptr, 0,
                                           gbk ? substitute : nullptr, reportDefault);
    if (size <= 0 || (usedDefault && substitute == nullptr))
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(codePage, flags, wide.data(), Length(wide.size()), bytes.data(), size,
                          gbk ? substitute : nullptr, nullptr);
    return bytes;
}

std::wstring_view AsWide(std::u16string_view utf16)
{
    return {reinterpret_cast<const wchar_t*>(utf16.data()), utf16.size()};
}

[[noreturn]] void Refuse(const char* to, const char* from)
{
    throw Error(std::string("The text holds a character that ") + to +
                " cannot represent, or a byte sequence that is not valid " + from);
}

} // namespace

std::optional<std::string> TryGbkToUtf8(std::string_view gbk)
{
    std::optional<std::string> out;
    WithWide(kGbkCodePage, gbk, [&](std::wstring_view wide) { out = FromWide(CP_UTF8, wide); });
    return out;
}

std::optional<std::string> TryUtf8ToGbk(std::string_view utf8)
{
    std::optional<std::string> out;
    WithWide(CP_UTF8, utf8, [&](std::wstring_view wide) { out = FromWide(kGbkCodePage, wide); });
    return out;
}

// Every GBK character has a UTF-8 form, so valid GBK needs no second conversion.
bool IsGbkText(std::string_view gbk)
{
    return WithWide(kGbkCodePage, gbk, [](std::wstring_view) {});
}

std::optional<std::string> TryUtf16ToGbk(std::u16string_view utf16)
{
    return FromWide(kGbkCodePage, AsWide(utf16));
}

std::string GbkToUtf8(std::string_view gbk)
{
    auto out = TryGbkToUtf8(gbk);
    if (!out)
        Refuse("UTF-8", "GBK");
    return std::move(*out);
}

std::string Utf8ToGbk(std::string_view utf8)
{
    auto out = TryUtf8ToGbk(utf8);
    if (!out)
        Refuse("GBK", "UTF-8");
    return std::move(*out);
}

std::u16string GbkToUtf16(std::string_view gbk)
{
    const auto wide = ToWide(kGbkCodePage, gbk);
    if (!wide)
        Refuse("UTF-16LE", "GBK");
    return std::u16string(reinterpret_cast<const char16_t*>(wide->data()), wide->size());
}

std::string Utf16ToGbk(std::u16string_view utf16)
{
    auto out = TryUtf16ToGbk(utf16);
    if (!out)
        Refuse("GBK", "UTF-16LE");
    return std::move(*out);
}

std::string PathText(const std::filesystem::path& path)
{
    // Only for messages: each character that GBK cannot hold becomes one '?'.
    std::wstring wide;
    const std::wstring& name = path.native();
    for (std::size_t i = 0; i < name.size(); ++i) {
        const bool pair = name[i] >= 0xD800 && name[i] <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 &&
                          name[i + 1] <= 0xDFFF;
        wide += (pair || IsPrivateUse(name[i])) ? L'?' : name[i];
        i += pair ? 1 : 0;
    }
    return FromWide(kGbkCodePage, wide, "?").value_or(std::string());
}

} // namespace tarnwick
