// Help: the program's help calls (a help file name, a command and a context number or
// keyword) shown as HTML pages in the user's browser.
//
// Layout.  A help file name such as "TW_ENG.hlp" names the folder "help/TW_ENG/" beside the
// program (the file name without its extension; a name with a folder part is taken in that
// folder, a relative one against the program folder).  Names are looked up
// case-insensitively, so "TW_ENG.HLP" and "tw_eng.hlp" find the same folder.  The folder holds
// "index.html" (the contents) and, optionally, "contexts.txt", the map of context numbers and
// keywords to pages (helpmap.h).  A context number that the map does not list is shown as
// "index.html#context-<n>"; a keyword it does not list, as "index.html".
//
// Commands keep the window system's numbers.  HELP_CONTEXT and HELP_CONTEXTPOPUP show a
// context; HELP_CONTENTS (= HELP_INDEX), HELP_FINDER and HELP_FORCEFILE show the contents,
// which HELP_SETCONTENTS can point at a context of that file; HELP_KEY and HELP_PARTIALKEY
// show a keyword (an exact match, or the first keyword starting with the text); HELP_QUIT
// and the placement commands have nothing to do here (the browser is a program of its own)
// and succeed; every other command fails with `HelpFailure::UnsupportedCommand`.
//
// Pages are opened by a launcher, by default `xdg-open` with the page's file:// URL,
// started without a shell and waited for only briefly (or, with a late-failure handler, not at
// all: its outcome is awaited by a thread of its own).  Every call is logged with its outcome; tests
// read the log and install a recording launcher in place of the real one.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

inline constexpr unsigned HELP_CONTEXT = 0x0001;
inline constexpr unsigned HELP_QUIT = 0x0002;
inline constexpr unsigned HELP_INDEX = 0x0003;
inline constexpr unsigned HELP_CONTENTS = 0x0003;
inline constexpr unsigned HELP_HELPONHELP = 0x0004;
inline constexpr unsigned HELP_SETINDEX = 0x0005;
inline constexpr unsigned HELP_SETCONTENTS = 0x0005;
inline constexpr unsigned HELP_CONTEXTPOPUP = 0x0008;
inline constexpr unsigned HELP_FORCEFILE = 0x0009;
inline constexpr unsigned HELP_CONTEXTMENU = 0x000A;
inline constexpr unsigned HELP_FINDER = 0x000B;
inline constexpr unsigned HELP_WM_HELP = 0x000C;
inline constexpr unsigned HELP_SETPOPUP_POS = 0x000D;
inline constexpr unsigned HELP_KEY = 0x0101;
inline constexpr unsigned HELP_COMMAND = 0x0102;
inline constexpr unsigned HELP_PARTIALKEY = 0x0105;
inline constexpr unsigned HELP_MULTIKEY = 0x0201;
inline constexpr unsigned HELP_SETWINPOS = 0x0203;

enum class HelpFailure {
  None,
  NoHelpFile,          // the help file name is empty
  HelpFolderMissing,   // no help folder for the file
  PageMissing,         // the page the call leads to does not exist
  UnsupportedCommand,  // a command with no counterpart here
  LauncherMissing,     // the program that opens pages is not installed
  LaunchFailed,        // it could not be started, or (when waited for) it failed
};

// Told, from another thread, that an opener started by OpenInBackground failed after all.
using HelpLateFailure = std::function<void(HelpFailure failure, const std::string& error)>;

// Opens a URL.  Returns true when the opener was started; otherwise false with the reason
// and a text.
class HelpLauncher {
 public:
  virtual ~HelpLauncher() = default;
  virtual bool Open(const std::string& url, HelpFailure& failure, std::string& error) = 0;
  // Starts the opener without waiting for its outcome: false only when it could not be
  // started; a failure it shows later goes to `late` (on another thread).  By default the
  // same as Open.
  virtual bool OpenInBackground(const std::string& url, HelpFailure& failure, std::string& error, HelpLateFailure late);
};

// The real launcher: runs `program url` (found on `searchPath`, a colon-separated folder list;
// empty: $PATH) directly, without a shell, and waits for it at most `patience`.  An opener
// that ends within that time with a non-zero status is a LaunchFailed (xdg-open ends at once
// with one when no browser is installed); one still running then has started a browser that
// keeps it, and is reaped by a background thread.  A negative patience waits to the end.
class ProcessHelpLauncher : public HelpLauncher {
 public:
  static constexpr std::chrono::milliseconds kDefaultPatience{3000};
  explicit ProcessHelpLauncher(std::string program = "xdg-open", std::string searchPath = {},
                               std::chrono::milliseconds patience = kDefaultPatience);
  bool Open(const std::string& url, HelpFailure& failure, std::string& error) override;
  // The opener's outcome (within the patience) is awaited by a thread of its own.
  bool OpenInBackground(const std::string& url, HelpFailure& failure, std::string& error, HelpLateFailure late) override;

 private:
  // Starts the opener; 0 with the reason when it cannot be started.
  int Spawn(const std::string& url, std::string& path, HelpFailure& failure, std::string& error) const;
  // Waits for the opener at most the patience (then reaped by a thread of its own): false with
  // the reason when it ended with a failure.
  bool Await(int pid, const std::string& path, HelpFailure& failure, std::string& error) const;
  std::string program_;
  std::string searchPath_;
  std::chrono::milliseconds patience_;
};

// Records the URLs it is given and succeeds (or fails with the failure it is set to).
class RecordingHelpLauncher : public HelpLauncher {
 public:
  bool Open(const std::string& url, HelpFailure& failure, std::string& error) override;
  std::vector<std::string> Urls() const;
  void FailWith(HelpFailure failure, std::string error);

 private:
  mutable std::mutex lock_;
  std::vector<std::string> urls_;
  HelpFailure failure_ = HelpFailure::None;
  std::string error_;
};

struct HelpResult {
  bool Succeeded = false;
  HelpFailure Failure = HelpFailure::None;
  std::string Error;   // why it failed, for a message box or the log
  std::string Page;    // the page file, when the call led to one
  std::string Anchor;  // the anchor on it, "" for none
  std::string Url;     // what was handed to the launcher
};

struct HelpLogEntry {
  std::string HelpFile;
  unsigned Command = 0;
  std::uint32_t Data = 0;
  std::string Keyword;
  HelpResult Result;
  std::vector<std::string> MapErrors;  // refused lines of the help folder's map
};

// One help service: a program folder, a launcher and the log of calls.  Safe to call from
// several threads.
class HelpSystem {
 public:
  // `programFolder` empty: the running program's folder (platform/rtl ProgramFolder).
  // `launcher` null: a ProcessHelpLauncher for xdg-open.
  explicit HelpSystem(std::string programFolder = {}, std::shared_ptr<HelpLauncher> launcher = nullptr);

  // A command with a number (context, or the context for HELP_SETCONTENTS; ignored by the
  // other commands).  HELP_KEY and HELP_PARTIALKEY take their keyword from WinHelpKey.
  HelpResult WinHelp(std::string_view helpFile, unsigned command, std::uint32_t data);
  // HELP_KEY (partial false) or HELP_PARTIALKEY (partial true) with a keyword.
  HelpResult WinHelpKey(std::string_view helpFile, std::string_view keyword, bool partial = false);

  // The help folder a help file name leads to ("" when it does not exist), with a trailing '/'.
  std::string HelpFolder(std::string_view helpFile) const;
  // Where the help folder for a help file name is looked for, whether it exists or not.
  std::string HelpFolderPath(std::string_view helpFile) const;

  std::shared_ptr<HelpLauncher> SetLauncher(std::shared_ptr<HelpLauncher> launcher);
  // With a handler, a page's opener is not waited for: a failure it shows after the call has
  // returned goes to the handler, on another thread, with the page and the reason.
  void SetLateFailureHandler(std::function<void(const HelpResult&)> handler);
  // The latest calls, oldest first; at most MaxLogEntries are kept.
  static constexpr std::size_t MaxLogEntries = 1000;
  std::vector<HelpLogEntry> Log() const;
  void ClearLog();

 private:
  HelpResult Call(std::string_view helpFile, unsigned command, std::uint32_t data, std::string_view keyword);
  HelpResult Show(const std::string& folder, const std::string& page, const std::string& anchor);

  std::string programFolder_;
  mutable std::mutex lock_;
  std::shared_ptr<HelpLauncher> launcher_;
  std::function<void(const HelpResult&)> lateFailure_;
  std::vector<HelpLogEntry> log_;
  std::map<std::string, std::uint32_t> contents_;  // help folder -> HELP_SETCONTENTS context
};

// The process's help service (the running program's folder, xdg-open).
HelpSystem& ProgramHelp();

// A file:// URL for an absolute file name and an anchor, every byte outside the unreserved
// set and '/' percent-encoded.
std::string FileUrl(std::string_view fileName, std::string_view anchor);

}  // namespace tw
