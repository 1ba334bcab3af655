#pragma once
// Settings files of sections and key=value lines, read and written with the semantics the
// program's files have always had: section and key names compare without regard to case,
// blanks around names and values are dropped, one pair of enclosing quotes is removed, a
// missing file or key gives the caller's default, and a write keeps every other line.
//
// The text functions are pure (they work on the file's contents); the profile functions add
// the file access. Every write replaces the file atomically, so a crash mid-write leaves
// either the old or the new file, never a truncated one.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// Files past this size are treated as unreadable: lookups give defaults, writes refuse.
constexpr size_t kMaxProfileFileSize = 16u * 1024u * 1024u;

// --- Pure functions over the contents of a settings file ---

// The value of `key` in `section`, or nothing when either is missing. A UTF-8 byte-order mark
// and CR LF line ends are accepted.
std::optional<std::string> ProfileLookup(const std::string& content, const std::string& section,
                                         const std::string& key);

// The contents after storing `value` under `key` in `section`: the key's line is replaced
// where it is, a new key goes after the last entry of its section, a new section goes at the
// end. With no value the key is removed; with no key the whole section is removed. Line ends
// follow the file (CR LF when it already uses them). A value is cut at its first line break,
// so it can never add lines of its own.
std::string ProfileStore(const std::string& content, const std::string& section,
                         const std::string* key, const std::string* value);

// The decimal number a value starts with ("12abc" is 12, "abc" is 0, "-3" is -3); numbers
// beyond the int range are clamped.
int ProfileParseInt(const std::string& value);

// --- File access ---

// The whole file when it can be read and is not larger than kMaxProfileFileSize.
std::optional<std::string> ReadProfileFile(const std::string& path);

// The contents a write starts from: "" for a file that does not exist yet, nothing for a file
// that exists but cannot be read whole (it is then left alone rather than overwritten with a
// fragment of itself, and the refusal goes to the thread's WriteFailureLog).
std::optional<std::string> ReadProfileForUpdate(const std::string& path);

// Replaces `path` by `data` through a temporary file in the same folder and a rename.
// Returns false (and leaves the old file as it was) on any failure, which the WriteFailureLog
// of the calling thread, if one is open, records.
bool WriteFileAtomically(const std::string& path, const std::string& data);

// While it lives, the failed writes of its thread are recorded in it (the writes of the exit,
// so that the user hears once of everything that could not be saved). Logs nest: the inner
// one records.
class WriteFailureLog {
  public:
    struct Failure {
        std::string path;
        std::string reason; // the system's words ("No space left on device")
    };
    WriteFailureLog();
    ~WriteFailureLog();
    WriteFailureLog(const WriteFailureLog&) = delete;
    WriteFailureLog& operator=(const WriteFailureLog&) = delete;
    const std::vector<Failure>& failures() const { return failures_; }

  private:
    friend void NoteWriteFailure(const std::string& path, const std::string& reason);
    std::vector<Failure> failures_;
    WriteFailureLog* outer_;
};

// Records a failed write of `path` in this thread's open log (once per file); nothing without
// one.
void NoteWriteFailure(const std::string& path, const std::string& reason);

// The steps of WriteFileAtomically, kept apart so that a write can be abandoned (or the
// process killed) between them: the temporary file is written and flushed first, and only
// Commit() makes it the real file. A writer destroyed without Commit() removes its file.
class AtomicFileWriter {
  public:
    explicit AtomicFileWriter(std::string path);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Writes `data` to the temporary file; false when it cannot be created or written.
    bool Write(const std::string& data);
    // Flushes the temporary file to disk and renames it over the target.
    bool Commit();
    const std::string& TempPath() const { return tempPath_; }
    // errno of the step that failed, 0 while none has.
    int Error() const { return error_; }

  private:
    std::string path_;
    std::string tempPath_;
    int fd_ = -1;
    bool failed_ = false;
    int error_ = 0;
};

// --- The profile functions the program calls ---

// The number a key starts with; `defaultValue` when the file, section or key is missing or
// the value is empty.
int GetPrivateProfileIntA(const char* section, const char* key, int defaultValue, const char* file);

// Copies the value (or `defaultValue`) into `out`, cut to size - 1 characters and always
// terminated; returns the number of characters copied.
size_t GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                                char* out, size_t size, const char* file);

// The same lookup as a string of at most `maxChars` characters.
std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& defaultValue, const std::string& file,
                             size_t maxChars);

// Stores `value` under `key` (a null value removes the key, a null key the section). Creates
// the file and section as needed. Returns 1 when written, 0 when not.
int WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                               const char* file);
