// The settings store's load: a settings.reg of any content, read through the store's typed
// operations, then written to.
//
// A file the store cannot read is reported once and kept aside byte for byte; the store then
// starts empty. One it can read stays as it is until the first write, after which a fresh
// store reads back everything the first one held.

#include "fuzz_support.h"
#include "platform/file_settings_store.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace {

// Every key and value the store shows, read the way the program reads them. A key is written
// down by its depth and name, not its whole path: the walk gives the same tree in the same
// order, and a tree hundreds of keys deep does not make the text grow with the square.
void dump(SettingsStore& store, const std::string& path, std::string& out, int depth = 0,
          std::string_view keyName = {}) {
    FUZZ_CHECK(depth <= 600);
    FUZZ_CHECK(store.keyExists(path));
    out += std::to_string(depth) + "[" + std::string(keyName) + "]\n";
    for (const std::string& name : store.valueNames(path)) {
        const auto v = store.value(path, name);
        FUZZ_CHECK(v.has_value());
        out += name + "=" + std::to_string(static_cast<int>(v->type)) + ":" + v->data + "\n";
        try {
            out += store.readString(path, name);
        } catch (const SettingsError&) {
        }
        try {
            out += std::to_string(store.readInteger(path, name));
        } catch (const SettingsError&) {
        }
        try {
            if (auto b = store.readBinary(path, name, 126))
                out += *b;
        } catch (const SettingsError&) {
        }
    }
    for (const std::string& sub : store.subkeyNames(path))
        dump(store, settingsPath(path, sub), out, depth + 1, sub);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    clearFuzzScratchDir();
    const std::filesystem::path file = fuzzScratchDir() / "settings.reg";
    writeFile(file, bytes);

    FuzzPrompts prompts;
    std::string before, written;
    {
        FileSettingsStore store(file, &prompts);
        dump(store, "", before);
        FUZZ_CHECK(prompts.texts.size() <= 1);
        if (prompts.texts.empty()) {
            FUZZ_CHECK(readFile(file) == bytes);
        } else {
            FUZZ_CHECK(!std::filesystem::exists(file));
            FUZZ_CHECK(before == "0[]\n");
            bool kept = false;
            for (const auto& e : std::filesystem::directory_iterator(fuzzScratchDir()))
                if (e.path().filename().string().starts_with("settings.reg.bad-"))
                    kept = readFile(e.path()) == bytes;
            FUZZ_CHECK(kept);
        }
        store.writeString("Fuzz", "Written", "value");
        FUZZ_CHECK(store.readString("Fuzz", "Written") == "value");
        dump(store, "", written);
    }
    FileSettingsStore fresh(file, &prompts);
    std::string again;
    dump(fresh, "", again);
    FUZZ_CHECK(prompts.texts.size() <= 1);
    FUZZ_CHECK(again == written);
    return 0;
}
