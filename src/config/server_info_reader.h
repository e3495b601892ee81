#pragma once

#include "base/translatable.h"
#include "config/field_encoder.h"
#include "config/model.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

// The most bytes a server information file may hold. A file of 100,000 servers
// with ordinary names is about 22 MB; this leaves ten times that, while a
// stream that never ends costs no more than this much memory.
inline constexpr std::uint64_t kMaxServerInfoBytes = 256u * 1024 * 1024;
// How refusals state it: a phrase marked for the translation files.
inline constexpr const char* kServerInfoSizeRule =
    QT_TRANSLATE_NOOP("Tarnwick", "服务器信息文件最多可有 268,435,456 字节（256 MiB）");

// Enough of the start of a file to tell whether its first line is "$BEGIN".
inline constexpr std::size_t kServerInfoHeadBytes = 128;

// Raises what ReadServerInfo raises for a file that starts with `head` when
// the start alone tells that it is no server information file: it is empty,
// starts with a byte-order mark, or its first line is not "$BEGIN". `head` is
// the whole file or at least its first kServerInfoHeadBytes bytes, so that a
// stream can be refused before the rest of it is read.
void CheckServerInfoStart(std::string_view head, std::string_view shownName);

// The configuration that a ServerInfo.txt was written from. Everything that
// can be checked is: the "$BEGIN" and "$END" lines, the declaration, the
// document, and each encoded value (its characters, its packing, the length
// byte, the compressed data, its checksum and its length). Raises Error naming
// the file (`shownName`), the line and what is wrong there, or saying that the
// file was not written with this key material; never gives a value that did
// not decode. Bytes of the file that a message quotes are escaped ("\x1B").
// The servers of a repeated group name, written once under each group of that
// name, are read once, as they stood in the model.
SetupModel ReadServerInfo(std::string_view bytes, std::string_view shownName, const KeyMaterial& key = BuiltInKey());

// The model as a ServerInfo.txt written from it carries it: what ReadServerInfo
// gives for that file, got without encoding and decoding the values (servers
// in the order of their groups, connection entries as the document joins them,
// empty web addresses empty). Raises Error for a value no document can hold.
SetupModel AsWritten(const SetupModel& model);

} // namespace tarnwick
