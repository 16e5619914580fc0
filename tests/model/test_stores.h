#pragma once

#include "platform/memory_settings_store.h"

#include <string>

// A store in memory whose writes can be made to fail, and whose "Password" values can be
// altered on their way in, to show what the model reports.
class FaultyStore : public MemorySettingsStore {
public:
    bool failWrites = false;       // the update's final write fails
    bool manglePasswords = false;  // a stored password loses its last byte
    int writesLanded = 0;          // outermost updates that ended in a write

    void beginUpdate() override { ++m_depth; }
    void endUpdate() override {
        if (--m_depth > 0)
            return;
        if (failWrites)
            throw SettingsError("disk full");
        ++writesLanded;
    }
    void setValue(std::string_view path, std::string_view name, RegValue v) override {
        if (manglePasswords && namesEqual(name, "Password") && !v.data.empty())
            v.data.pop_back();
        MemorySettingsStore::setValue(path, name, std::move(v));
    }

private:
    int m_depth = 0;
};
