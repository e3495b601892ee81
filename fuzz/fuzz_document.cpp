// LoadConfiguration on arbitrary bytes. Whatever loads must be writable, and
// what the writer makes of it must load again and write back the same bytes:
// written documents are a fixed point of load-then-write.
#include "fuzz_support.h"
#include "scratch_file.h"

#include "config/document.h"
#include "edit/setup_editor.h"
#include "config/document_writer.h"
#include "base/error.h"

#include <cstdint>
#include <string>

using namespace tarnwick;
using namespace tarnwick::fuzzing;

namespace {

std::string WriteOrDie(const ConfigurationDocument& document, const SetupModel& model, bool encode)
{
    try {
        return document.BuildDocument(model, encode);
    } catch (const Error& e) {
        if (encode)
            return {}; // a value beyond the encoder's limits is refused
        Broken("a loaded model could not be written", e.what());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static ScratchFile input("input.xml");
    static ScratchFile again("again.xml");
    PutFile(input.Path(), {reinterpret_cast<const char*>(data), size});

    ConfigurationDocument first(input.Path());
    SetupModel model;
    try {
        first.LoadConfiguration(model);
    } catch (const Error&) {
        return 0; // refused with a message: fine
    }

    const std::string written = WriteOrDie(first, model, false);
    const std::string encoded = WriteOrDie(first, model, true);
    if (!encoded.empty()) {
        const std::string wrapped = WrapServerInfo(encoded);
        if (wrapped != "$BEGIN\r\n" + encoded + "$END\r\n")
            Broken("ServerInfo.txt is not the document between its marker lines", wrapped);
    }

    PutFile(again.Path(), written);
    ConfigurationDocument second(again.Path());
    SetupModel reloaded;
    try {
        second.LoadConfiguration(reloaded);
    } catch (const Error& e) {
        Broken("a written document does not load", std::string(e.what()) + "\n--- document:\n" + written);
    }
    const std::string rewritten = WriteOrDie(second, reloaded, false);
    // Servers are written under every group of their name, so a model with a
    // repeated group name does not survive a round trip: the format's rule.
    if (edit::RepeatedGroupNames(model).empty() && rewritten != written)
        Broken("load and write again changed the document", written + "\n--- became:\n" + rewritten);
    return 0;
}
