// Feeds arbitrary bytes to the property-list reader. Whatever it accepts must
// survive the writer: writing, reading back and writing again gives the same
// text, so no accepted input leads to a file the reader then refuses.
#include "kit/PropertyList.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <variant>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const auto parsed = kit::plist::parse(input);
    if (const auto* error = std::get_if<kit::PlistError>(&parsed)) {
        if (error->message.empty() || error->line < 1 || error->column < 1)
            std::abort();
        return 0;
    }
    const std::string written = kit::plist::serialize(std::get<kit::PlistValue>(parsed));
    const auto reread = kit::plist::parse(written);
    if (const auto* error = std::get_if<kit::PlistError>(&reread)) {
        std::fprintf(stderr, "written text refused: %s at %d:%d\n%s\n", error->message.c_str(), error->line,
                     error->column, written.c_str());
        std::abort();
    }
    if (kit::plist::serialize(std::get<kit::PlistValue>(reread)) != written) {
        std::fprintf(stderr, "round trip changed the text:\n%s\n", written.c_str());
        std::abort();
    }
    return 0;
}
