// Feeds arbitrary bytes through the property-list readers, equality, the game
// name helper and the writer; whatever reads must write and read back equal.

#include "catalogue/gamelist.h"
#include "catalogue/plistreader.h"
#include "catalogue/plistwriter.h"

#include <cstdlib>

using namespace kd::plist;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::size_t elements = 0;
    const ArrayReadResult streamed = readArray(bytes, [&](Value&&) { ++elements; });
    const ReadResult r = read(bytes);
    if (r.value.has_value() != (streamed.status != ArrayStatus::Error))
        std::abort();
    if (!r.value)
        return 0;
    const Value& v = *r.value;
    if (const Array* a = v.array(); a && a->size() != elements)
        std::abort();
    (void)kd::gameName(v);
    const Value copy = v;
    if (!(copy == v))
        std::abort();
    std::string out;
    if (writeXml(v, out)) {
        const ReadResult back = read(out);
        if (!back.value || !(*back.value == v))
            std::abort();
    }
    return 0;
}
