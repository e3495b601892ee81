// ReadServerInfo and the value decoder on arbitrary bytes: what launchers
// download from whoever controls the list address. Reading either gives a
// model or raises Error; a model that was read is what the launcher shows and
// prints, and written again it reads back to a model that writes the same
// document: a written file is a fixed point of read-then-write. The bytes as one encoded
// value either decode, to a value that encodes and decodes back, or name
// their defect.
#include "fuzz_support.h"

#include "base/error.h"
#include "config/document.h"
#include "edit/setup_editor.h"
#include "config/document_writer.h"
#include "config/field_decoder.h"
#include "config/field_encoder.h"
#include "config/server_info_reader.h"
#include "player_launcher/core/list_source.h"

#include <cstdint>
#include <string>

using namespace tarnwick;
using namespace tarnwick::fuzzing;

namespace {

void CheckFile(std::string_view bytes)
{
    SetupModel model;
    try {
        model = ReadServerInfo(bytes, "ServerInfo.txt");
    } catch (const Error&) {
        // Refused with a message; the launcher must refuse it the same way.
        if (player::ReadServerList(bytes).list)
            Broken("the launcher read a file that the reader refuses");
        return;
    }
    const player::ListResult shown = player::ReadServerList(bytes);
    if (!shown.list)
        Broken("the launcher refused a file that the reader reads", shown.failure.detail);
    try {
        (void)player::ListJson(*shown.list);
    } catch (const Error& e) {
        Broken("a list that was read cannot be printed", e.what());
    }

    const ConfigurationDocument document("none");
    std::string written;
    try {
        written = WrapServerInfo(document.BuildDocument(model, true));
    } catch (const Error&) {
        return; // a value that the encoder's limits refuse
    }
    SetupModel again;
    try {
        again = ReadServerInfo(written, "again");
    } catch (const Error& e) {
        Broken("a model that was read does not read again once written", e.what());
    }
    const std::string plain = document.BuildDocument(model, false);
    // Servers are written under every group of their name, so a model with a
    // repeated group name does not survive a round trip: the format's rule.
    if (edit::RepeatedGroupNames(model).empty() && document.BuildDocument(again, false) != plain)
        Broken("a file written from what was read reads back to another document", plain);
}

void CheckValue(std::string_view text)
{
    // One decoder and one encoder for the run, as the reader and the writer
    // keep one each: their reused streams must carry nothing between values.
    static FieldDecoder decoder;
    static FieldEncoder encoder;
    std::string value;
    if (decoder.DecodeValue(text, value) != ValueDefect::None)
        return;
    if (value.size() > FieldEncoder::kMaxValueBytes)
        Broken("a decoded value is over the limit");
    std::string encoded;
    try {
        encoded = encoder.EncodeValue(value);
    } catch (const Error&) {
        return; // compresses worse than the text it came from: over the text limit
    }
    std::string back;
    if (decoder.DecodeValue(encoded, back) != ValueDefect::None || back != value)
        Broken("a decoded value does not encode and decode back", std::string(text));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CheckFile(bytes);
    CheckValue(bytes);
    return 0;
}
