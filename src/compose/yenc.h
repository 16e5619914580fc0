#pragma once

#include "compose/byte_buffer.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

class EncodeProgress;
class UserPrompts;

// yEnc (version 1.3): every byte plus 42, modulo 256; NUL, LF, CR and "=" escaped as "=" and the
// character plus 64, and so are TAB, blank and "." where they would begin or end a line (where
// servers and readers strip or stuff them). Lines are cut once they reach 128 characters, one
// more when their last character was escaped.
inline constexpr int kYEncLineLength = 128;

// Room EncodeYEnc may use for n input bytes: every byte escaped, a line end per 64 bytes, and
// slack for the wide stores.
std::size_t YEncOutputBound(std::size_t n);

// Encodes the next n bytes of a part's data into dst and returns the end of what it wrote.
// column is the length of the line in progress (0 at the start of a part) and is carried from
// one call to the next. last says these are the part's final bytes: the last line then ends
// with CR LF and column returns to 0.
char* EncodeYEnc(const unsigned char* in, std::size_t n, char* dst, int& column, bool last);

// One attached file sent with yEnc. It is cut into parts, each a complete yEnc part of its own
// ("=ybegin", "=ypart" when there are several, the data, "=yend" with the part's CRC and, on the
// last part, the whole file's), which the article builder posts one per article. The file is
// sized when attached and opened when its parts are read, until its end has been read; a file
// that was replaced when it is opened, that changes size, or that gives other bytes on a
// second reading of a part raises the read error.
class YEncFile {
public:
    ~YEncFile();
    YEncFile(const YEncFile&) = delete;
    YEncFile& operator=(const YEncFile&) = delete;

    const std::string& path() const { return m_path; }  // as listed
    const std::string& name() const { return m_name; }  // as "=ybegin" gives it
    std::uint64_t fileSize() const { return m_size; }

    // Parts of partBytes bytes of the file each, the last one holding the rest; 0 makes the
    // whole file one part. An empty file is one part without data.
    void setPartBytes(std::uint64_t partBytes);
    std::uint32_t partCount() const { return m_parts; }

    // Bytes of part k (1..partCount) as sent: its lines, each ending in CR LF. The data has to
    // be encoded to know it; a part of moderate size is kept encoded for the reading that
    // follows.
    std::uint64_t partSize(std::uint32_t part, EncodeProgress* progress = nullptr);

    // Reads part k: beginPart, then nextPart until it returns false. Each call appends at
    // least maxBytes (or the rest of the part) to out, not necessarily ending at a line end.
    // Raises ComposeError ("Could not read attachment " + path) when the file cannot be read
    // as it was when attached.
    void beginPart(std::uint32_t part, EncodeProgress* progress = nullptr);
    bool nextPart(std::string& out, std::size_t maxBytes);
    bool partEnded() const { return m_stage == Stage::Done; }
    // The rest of the part being read when partSize kept it encoded, as a view valid until a
    // part is sized or begun again; the part has then been read. Empty when nextPart is to
    // produce it.
    std::string_view heldPart();
    bool keepsPart(std::uint32_t part) const { return part != 0 && m_cachedPart == part; }

    // All of part k at once (tests and small files).
    std::string partText(std::uint32_t part);

private:
    friend std::shared_ptr<YEncFile> OpenYEncAttachment(const std::string&, UserPrompts&);
    YEncFile() = default;

    enum class Stage { Head, Data, Tail, Done };

    std::uint64_t partBegin(std::uint32_t part) const;
    std::uint64_t partLength(std::uint32_t part) const;
    std::string headLines(std::uint32_t part) const;
    // "=yend"; without the CRCs (zeros in their place) when only its length is wanted.
    std::string tailLine(std::uint32_t part, bool withCrcs);
    // Opens the file when it is not open, checking it is still the file that was attached, and
    // checks an open one still has its size.
    void openIfClosed();
    void closeFile();
    void readAt(std::uint64_t offset, std::size_t n);  // into m_in
    // Encodes length bytes of the part from offset on; appends to out unless it is null.
    // Returns the bytes written and the data's CRC.
    std::pair<std::uint64_t, std::uint32_t> encodeRange(std::uint32_t part, ByteBuffer* out,
                                                        bool showProgress);
    // The part's CRC and output size were found: note them, or fail when an earlier pass found
    // others.
    void notePass(std::uint32_t part, std::uint32_t crc, std::uint64_t bytes);
    [[noreturn]] void failRead();
    void showProgress(std::uint64_t done);
    void hideProgress();

    std::string m_path;
    std::string m_name;
    std::uint64_t m_size = 0;
    dev_t m_device = 0;
    ino_t m_inode = 0;
    std::uint64_t m_partBytes = 0;
    std::uint32_t m_parts = 1;
    std::vector<std::optional<std::uint32_t>> m_partCrc;
    std::vector<std::uint64_t> m_partSize;  // output bytes of the data, 0 while unknown
    int m_fd = -1;
    std::vector<unsigned char> m_in;
    ByteBuffer m_scratch;

    // A part kept encoded, whole, after partSize.
    std::uint32_t m_cachedPart = 0;
    ByteBuffer m_cache;

    // Reading.
    std::uint32_t m_part = 0;
    Stage m_stage = Stage::Done;
    std::uint64_t m_offset = 0;  // within the part
    std::size_t m_cachePos = 0;
    int m_column = 0;
    std::uint32_t m_crc = 0;
    std::uint64_t m_written = 0;

    EncodeProgress* m_progress = nullptr;
    bool m_shown = false;
    std::uint64_t m_bytesDone = 0;  // furthest file offset encoded, for the progress
};

// Takes a file for yEnc. Returns nullptr, after the warning the other methods give ("Attachment
// " + path + " not found", "Could not open attachment " + path), when it cannot be used.
std::shared_ptr<YEncFile> OpenYEncAttachment(const std::string& path, UserPrompts& prompts);
