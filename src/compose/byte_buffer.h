#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

// Bytes written in place. It grows without filling the new room first, as std::string's resize
// would: for encoded text that is written over at once, the filling costs a good share of what
// the encoding does.
class ByteBuffer {
public:
    char* data() { return m_data.get(); }
    const char* data() const { return m_data.get(); }
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    std::string_view view() const { return {m_data.get(), m_size}; }

    void clear() { m_size = 0; }
    void reserve(std::size_t n) {
        if (n <= m_capacity)
            return;
        auto bigger = std::make_unique_for_overwrite<char[]>(n);
        if (m_size != 0)
            std::memcpy(bigger.get(), m_data.get(), m_size);
        m_data = std::move(bigger);
        m_capacity = n;
    }
    // Bytes past the old size are undefined until written.
    void resize(std::size_t n) {
        if (n > m_capacity)
            reserve(std::max(n, m_capacity + m_capacity / 2));
        m_size = n;
    }
    void append(std::string_view bytes) {
        const std::size_t at = m_size;
        resize(at + bytes.size());
        if (!bytes.empty())
            std::memcpy(m_data.get() + at, bytes.data(), bytes.size());
    }
    // Gives the memory back.
    void release() {
        m_data.reset();
        m_size = m_capacity = 0;
    }

private:
    std::unique_ptr<char[]> m_data;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};
