#include "dbengine/base/serverlog.h"

#include <cstdio>
#include <fstream>
#include <mutex>

#include "dbengine/base/stringres.h"
#include "dbengine/base/timer.h"
#include "platform/rtl/files.h"

namespace tw::dbengine {

std::atomic<bool> QNLogRequests{true};

namespace {
std::mutex& LogLock() {
  static auto* lock = new std::mutex;
  return *lock;
}
std::string& LogPathSlot() {
  static auto* path = new std::string;
  return *path;
}

const std::string kIndent(13, ' ');

std::string TickPrefix() {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%12u", static_cast<unsigned>(QNTickCount()));
  return buf;
}

// Appends (or, with truncate, rewrites) lines; errors are swallowed.
void WriteLines(const std::string& text, bool truncate) {
  try {
    const std::string path = QNLogPath();
    std::lock_guard<std::mutex> guard(LogLock());  // one writer at a time
    std::ofstream out(path, std::ios::binary | (truncate ? std::ios::trunc : std::ios::app));
    if (!out) return;
    out << text;
  } catch (...) {
  }
}
}  // namespace

std::string QNLogPath() {
  std::lock_guard<std::mutex> guard(LogLock());
  const std::string& path = LogPathSlot();
  return path.empty() ? tw::ProgramFolder() + "QNSERVER.LOG" : path;
}

void QNSetLogPath(std::string Path) {
  std::lock_guard<std::mutex> guard(LogLock());
  LogPathSlot() = std::move(Path);
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
