#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>

class UserPrompts;

// Attached files become text lines, UUEncoded or as a Base64 MIME part. A file is looked at and
// its size taken when it is attached; its lines are then known by number and length, and are
// encoded from the file's bytes only when they are read out (never all held in memory). The file
// is open only while its data is read: a message may carry any number of files.

inline constexpr std::int32_t kMethodUUEncode = 0;
inline constexpr std::int32_t kMethodBase64 = 1;
inline constexpr std::int32_t kMethodYEnc = 2;  // compose/yenc.h

// Input bytes per full data line: 45 for UUEncode (61 characters), 54 for Base64 (72).
inline constexpr std::uint64_t kUUBytesPerLine = 45;
inline constexpr std::uint64_t kBase64BytesPerLine = 54;

// Shows the encoder's progress, which the GUI turns into its small progress window. The
// caption is "UUEncode - name" or "MIME/Base64 Encode - name"; percent runs 0..100.
class EncodeProgress {
public:
    virtual ~EncodeProgress() = default;
    virtual void show(std::string_view caption) = 0;
    virtual void position(int percent) = 0;
    virtual void hide() = 0;
};

// Header values never carry control characters: CR, LF, NUL and the rest below 32 become a
// blank, so no value can start a header of its own.
std::string CleanHeaderValue(std::string_view value);

// The part of a path after the last "/": what "begin 644", name=, filename= and the subject
// decoration carry.
std::string FileNameOfPath(std::string_view path);
// The MIME content type for the file name's extension (case-insensitive); an unknown or
// missing extension gives "application/octet-stream".
std::string ContentTypeFor(std::string_view path);

// One attached file as encoded lines. Lines are numbered from 0: the fixed lines before the
// data ("begin 644 ..." or the three part header lines and an empty line), the data lines,
// then the fixed lines after ("`" and "end" for UUEncode, none for Base64).
class AttachedFile {
public:
    ~AttachedFile();
    AttachedFile(const AttachedFile&) = delete;
    AttachedFile& operator=(const AttachedFile&) = delete;

    const std::string& path() const { return m_path; }  // as listed
    std::int32_t method() const { return m_method; }
    std::uint64_t fileSize() const { return m_size; }

    std::uint64_t lineCount() const;
    // Bytes of the lines first..last-1, every line counted with CR LF.
    std::uint64_t byteCount(std::uint64_t first, std::uint64_t last) const;

    // Appends lines first.. (each followed by CR LF) to out until last or until at least
    // maxBytes have been appended (at least one line when first < last). Returns the next line
    // number. Raises ComposeError ("Could not read attachment " + path) when the file reads
    // short or has grown since it was attached; out may then hold part of the lines.
    std::uint64_t appendLines(std::string& out, std::uint64_t first, std::uint64_t last,
                              std::size_t maxBytes, EncodeProgress* progress = nullptr);

    // Every line without line ends (tests and small files only).
    std::vector<std::string> allLines();

private:
    friend std::shared_ptr<AttachedFile> OpenAttachment(std::int32_t, const std::string&,
                                                        UserPrompts&);
    AttachedFile() = default;
    std::uint64_t dataLineCount() const;
    std::uint64_t dataLineBytes(std::uint64_t index) const;  // without CR LF
    void appendDataLines(std::string& out, std::uint64_t first, std::uint64_t count);
    void openForReading();
    void finishData();

    std::int32_t m_method = kMethodUUEncode;
    std::string m_path;
    int m_fd = -1;  // open from the first data line read to the last
    dev_t m_device = 0;
    ino_t m_inode = 0;
    std::uint64_t m_size = 0;
    std::vector<std::string> m_before;  // fixed lines before the data
    std::vector<std::string> m_after;   // fixed lines after the data
    std::string m_caption;
    std::vector<unsigned char> m_buffer;
    std::uint64_t m_bytesDone = 0;  // for the progress, the furthest file offset encoded
    bool m_shown = false;
    EncodeProgress* m_progress = nullptr;
};

// Opens a file for attaching with the method (0 UUEncode, 1 Base64). Returns nullptr, after
// telling the user through a warning box, when there is no file at path ("Attachment " + path
// + " not found") or it is not a regular file or cannot be opened ("Could not open attachment
// " + path). Any other method gives nullptr too, after the same checks and warnings.
std::shared_ptr<AttachedFile> OpenAttachment(std::int32_t method, const std::string& path,
                                             UserPrompts& prompts);

// Opens a file to attach, for reading: a regular file only, so reading it ends. Returns -1,
// after the warning OpenAttachment describes, when it cannot be used; st holds its facts.
int OpenAttachmentFile(const std::string& path, UserPrompts& prompts, struct stat& st);
// Opens an attached file again when its data is to be read: -1 unless the path still leads to
// the file that was attached (same device and inode), still of the size it had.
int ReopenAttachmentFile(const std::string& path, dev_t device, ino_t inode, std::uint64_t size);
// Reads exactly n bytes at offset; false when the file ends first or a read fails.
bool ReadFileAt(int fd, unsigned char* buffer, std::size_t n, std::uint64_t offset);
// True when the file has no byte at offset size: it has not grown past the size it had.
bool FileEndsAt(int fd, std::uint64_t size);

// All encoded lines of one file, or none when it could not be used (the user has been told).
std::vector<std::string> EncodeAttachment(std::int32_t method, const std::string& path,
                                          UserPrompts& prompts);

// The encoding kernels, exposed for the benchmark: encode one data line of up to 45 (UU) or
// 54 (Base64) bytes into dst, returning the characters written (no line end). A UUEncode
// line starts with its length character and leaves the last group unpadded.
std::size_t EncodeUULine(const unsigned char* in, std::size_t n, char* dst);
std::size_t EncodeBase64Line(const unsigned char* in, std::size_t n, char* dst);

// The encoders use AVX2 and AVX-512 where the processor has them. Tests limit them to check
// that every path gives the same lines: AllowWideEncoder(false) leaves the portable code only.
enum class WideEncoder { Portable, UpToAvx2, All };
void LimitWideEncoder(WideEncoder widest);
inline void AllowWideEncoder(bool allowed) {
    LimitWideEncoder(allowed ? WideEncoder::All : WideEncoder::Portable);
}
