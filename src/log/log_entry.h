// What a log entry is apart from where it goes: what it means to someone
// watching the system's event log, how its text is put together and reaches
// the file or an event (many lines as one event), whether a file opened as
// the log may take it, and how the file is kept bounded and without torn
// entries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Record entries stay in the log file (and the debugger output); the others
// also go to the event sink, when one is set.
enum class LogKind { Record, Information, Warning, Error };

// The type of the event an entry of kind becomes (a system event type):
// an error stays an error and a warning a warning for whoever filters them.
std::uint16_t eventType(LogKind kind);

// The context line (when given), then two blanks and the system's message
// with its own trailing line break and blanks removed (when there is one).
std::string errorEntry(const char *context, const std::string &message);

// The entry as the file holds it: every "\n" as "\r\n", without doubling
// a "\r" that is already there.
std::string fileText(const std::string &entry);

// The entry as an event log's text: fileText without the closing line
// breaks, as the event viewer adds its own layout.
std::string eventText(const std::string &entry);

// Many lines as the text of one event, so a long list never floods the
// event log: a single line as it is; more as their number and what they
// are, the first `shown` of them, and where all of them are.
std::string eventDigest(const std::vector<std::string> &lines, std::size_t shown,
                        const std::string &what, const std::string &where);

// What the system says of a file opened under the log's name.
struct OpenedFile {
  bool directory = false;
  bool reparsePoint = false; // a symbolic link or junction, opened as itself
  unsigned long links = 1;   // hard links to the same file
  std::string finalPath;     // as the system names it ("\\?\C:\..."); empty if unknown
};

// Empty when the file may be written as path, a plain file of its own;
// otherwise why not, as a short phrase ("it is a folder").
std::string unusableReason(const std::string &path, const OpenedFile &file);

// What keeps a log past its limit bounded: moving it to ".old"; once a move
// failed (a reader holds it without delete sharing), copying it there and
// emptying it; with an ".old" that may not be written (a folder, a link),
// emptying it.
enum class Rotation { None, Move, CopyAndEmpty, Empty };
Rotation rotationFor(std::int64_t size, std::int64_t limit, bool oldUsable, bool moveFailed);

// After an append of `bytes` that failed or fell short (a full disk): the
// size to cut the file back to, so no part of the entry stays for the next
// one to join; none when nothing was added, or when more was added than
// this entry (another process wrote too, so the part is not known).
std::optional<std::int64_t> cutBackTo(std::int64_t before, std::int64_t after, std::size_t bytes);

// Said once the log takes entries again: how many it missed and when.
std::string lossNotice(const std::string &path, unsigned long count, const std::string &from,
                       const std::string &to, const std::string &why);
