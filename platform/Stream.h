#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace harbrook {

// A failure of a stream or of the file behind it; carries a message for the user.
class EStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The byte stream that transfers read from and write to: a file on disk, or memory
// for listings and tests. Positions and sizes are 64-bit.
class TStream {
public:
    virtual ~TStream() = default;

    // Reads up to count bytes at the position and advances it; 0 at the end.
    virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
    // Writes all count bytes at the position and advances it, or throws.
    virtual void Write(const void* buffer, std::int64_t count) = 0;

    virtual std::int64_t Size() const = 0;
    virtual void SetSize(std::int64_t size) = 0;
    std::int64_t Position() const { return m_position; }
    void SetPosition(std::int64_t position) { m_position = position; }

protected:
    std::int64_t m_position = 0;
};

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::string bytes) : m_bytes(std::move(bytes)) {}

    std::int64_t Read(void* buffer, std::int64_t count) override;
    void Write(const void* buffer, std::int64_t count) override;
    std::int64_t Size() const override { return static_cast<std::int64_t>(m_bytes.size()); }
    void SetSize(std::int64_t size) override;

    const std::string& Bytes() const { return m_bytes; }
    // Hands the bytes over without a copy; the stream is empty afterwards.
    std::string TakeBytes() {
        m_position = 0;
        return std::move(m_bytes);
    }

private:
    std::string m_bytes;
};

// Create makes a new empty file, truncating one that exists. CreateNew makes a file
// that is not there yet: it fails when any entry of that name exists, a symbolic link
// too, so a planted name never redirects the write. WriteInto writes into an existing
// entry that is not a link (a device, a pipe) without truncating it.
enum class FileOpenMode { Create, CreateNew, OpenRead, OpenWrite, OpenReadWrite, WriteInto };

// A file on disk, read and written through its descriptor.
class TFileStream : public TStream {
public:
    // The modes that make a file give it `permissions` (less the umask). Throws
    // EStreamError with the path and the system's reason.
    TFileStream(const std::string& path, FileOpenMode mode, unsigned permissions = 0666);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    std::int64_t Read(void* buffer, std::int64_t count) override;
    void Write(const void* buffer, std::int64_t count) override;
    std::int64_t Size() const override;
    void SetSize(std::int64_t size) override;

    const std::string& FileName() const { return m_path; }

private:
    [[noreturn]] void fail(const char* action) const;

    std::string m_path;
    int m_fd = -1;
    bool m_sequential = false;
};

}  // namespace harbrook
