#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// What an operator may type into the editors' fields, for the window and the
// command line alike. Texts are GBK.
namespace tarnwick::edit {

// The window's single-line fields and its input box hold this many characters.
inline constexpr std::size_t kMaxFieldChars = 255;

// Characters, not bytes: a Chinese character is one.
std::size_t CharacterCount(std::string_view gbk);
bool FitsField(std::string_view gbk);

// Leading and trailing bytes of value 32 or below removed.
std::string TrimmedText(std::string_view gbk);

// ASCII letters in lower case, as the digest and date fields turn what is
// typed; the trail bytes of Chinese characters are left alone.
std::string LowerCased(std::string_view gbk);

// The version field's range, 1 to 65535, written as the field writes it
// (no sign, no leading zero).
inline constexpr int kMinVersion = 1;
inline constexpr int kMaxVersion = 65535;
bool IsVersionNumber(std::string_view text);

// An update entry's stored choice word ("否", "直接", "版本", ...) as a
// source text marked for translation (UTF-8), for front ends to show in their
// language; none for any other text. Files and JSON keep the stored words.
const char* ChoiceWordSource(std::string_view gbk);

// The game client's command that a launcher starts, when the operator gives
// one: trimmed; none when nothing is left, which both front ends refuse (a
// launcher without a client is made by giving none). Whether it fits the
// launcher is the image's to say.
std::optional<std::string> ClientCommandText(std::string_view given);

} // namespace tarnwick::edit
