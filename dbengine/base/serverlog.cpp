#include "dbengine/base/serverlog.h"

#include <cstdio>
#include <mutex>

#include "dbengine/base/stringres.h"
#include "dbengine/base/timer.h"
#include "platform/rtl/files.h"

namespace tw::dbengine {

std::atomic<bool> QNLogRequests{false};
std::atomic<bool> QNLogRequestData{false};

namespace {
// The log's state: its path (empty for the default) and the file it is written through, which
// stays open from the first write until the path changes or the process ends.
struct TLogState {
  std::mutex Lock;
  std::string Path;
  std::string DefaultPath;
  std::FILE* File = nullptr;
};
TLogState& LogState() {
  static auto* state = new TLogState;
  return *state;
}

const std::string kIndent(13, ' ');

std::string TickPrefix() {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%12u", static_cast<unsigned>(QNTickCount()));
  return buf;
}

// Under the state's lock.
const std::string& CurrentPath(TLogState& s) {
  if (!s.Path.empty()) return s.Path;
  if (s.DefaultPath.empty()) s.DefaultPath = tw::ProgramFolder() + "QNSERVER.LOG";
  return s.DefaultPath;
}

void CloseLog(TLogState& s) {
  if (s.File != nullptr) std::fclose(s.File);
  s.File = nullptr;
}

// Appends (or, with truncate, rewrites) lines; errors are swallowed.  Each call reaches the
// file whole before it returns, so a log read at any moment ends with complete lines.
void WriteLines(const std::string& text, bool truncate) {
  try {
    TLogState& s = LogState();
    std::lock_guard<std::mutex> guard(s.Lock);  // one writer at a time
    if (truncate) CloseLog(s);
    if (s.File == nullptr) s.File = std::fopen(CurrentPath(s).c_str(), truncate ? "wb" : "ab");
    if (s.File == nullptr) return;
    if (std::fwrite(text.data(), 1, text.size(), s.File) != text.size() || std::fflush(s.File) != 0) {
      // A failed write may leave the stream in error; the next line opens it anew.
      CloseLog(s);
    }
  } catch (...) {
  }
}
}  // namespace

std::string QNLogPath() {
  TLogState& s = LogState();
  std::lock_guard<std::mutex> guard(s.Lock);
  return CurrentPath(s);
}

void QNSetLogPath(std::string Path) {
  TLogState& s = LogState();
  std::lock_guard<std::mutex> guard(s.Lock);
  CloseLog(s);
  s.Path = std::move(Path);
}

void QNLogStart() { WriteLines(TickPrefix() + " QN server log started\r\n", true); }

void QNLogWrite(std::string_view Text) {
  std::string line;
  if (!Text.empty() && Text.front() != ' ')
    line = TickPrefix() + ' ';
  else
    line = kIndent;
  line.append(Text);
  line += "\r\n";
  WriteLines(line, false);
}

std::string QNLogDumpLine(const unsigned char* Bytes, std::size_t Count) {
  static const char kHex[] = "0123456789abcdef";
  std::string line(70, ' ');
  if (Count > 16) Count = 16;
  for (std::size_t j = 0; j < Count; ++j) {
    const unsigned char b = Bytes[j];
    const std::size_t col = 3 * j + j / 4;  // 0-based column of the first digit
    line[col] = kHex[b >> 4];
    line[col + 1] = kHex[b & 15];
    line[53 + j] = (b < 32 || b > 127) ? '.' : static_cast<char>(b);
  }
  line[52] = '[';
  line[69] = ']';
  return line;
}

void QNLogWriteBlock(std::string_view Title, const void* Buffer, std::size_t Size) {
  std::string text = kIndent;
  text.append(Title);
  text += " (Size: " + std::to_string(Size) + ")\r\n";
  if (Buffer == nullptr || Size == 0) {
    text += kIndent + "buffer is nil\r\n";
    WriteLines(text, false);
    return;
  }
  if (Size > 1024) {
    text += kIndent + "(writing first 1K of buffer only)\r\n";
    Size = 1024;
  }
  const auto* bytes = static_cast<const unsigned char*>(Buffer);
  for (std::size_t off = 0; off < Size; off += 16)
    text += kIndent + QNLogDumpLine(bytes + off, std::min<std::size_t>(16, Size - off)) + "\r\n";
  WriteLines(text, false);
}

void QNSrBaseInitialize() {
  QNLogStart();
  (void)qnServerStrings();
}

}  // namespace tw::dbengine
