// A registry export or settings file: the parser, the tree built from it, the writer and the
// import into a store.
//
// Whatever parses must come back unchanged through the writer (what the settings file is
// written as reads back as the same tree), and importing it into an empty store must give the
// tree the settings file would load. What does not parse must change nothing.

#include "fuzz_support.h"
#include "platform/memory_settings_store.h"
#include "platform/reg_format.h"

#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    RegDocument doc;
    try {
        doc = parseRegFile(bytes);
    } catch (const RegParseError& e) {
        FUZZ_CHECK(e.line() >= 1 && e.line() <= size + 1);
        return 0;
    }

    MemorySettingsStore imported;
    imported.writeString("Before", "Kept", "yes");
    const std::string untouched = writeRegFile(imported.root());
    std::unique_ptr<MemorySettingsStore::Key> tree;
    try {
        tree = buildTree(doc);
    } catch (const RegParseError&) {
        // A key outside the program's tree, or nested too deep: the import refuses it whole.
        try {
            const RegImportResult r = importRegDocument(doc, imported);
            FUZZ_CHECK(!r.refusedKeys.empty());
        } catch (const RegParseError&) {
        }
        FUZZ_CHECK(writeRegFile(imported.root()) == untouched);
        return 0;
    }

    const std::string text = writeRegFile(*tree);
    const std::string again = writeRegFile(*buildTree(parseRegFile(text)));
    FUZZ_CHECK(again == text);

    imported.deleteKeyTree("");
    const RegImportResult r = importRegDocument(doc, imported);
    FUZZ_CHECK(r.refusedKeys.empty());
    FUZZ_CHECK(writeRegFile(imported.root()) == text);
    return 0;
}
