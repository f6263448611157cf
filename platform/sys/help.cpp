#include "platform/sys/help.h"

#include <string>
#include <utility>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/uilanguage.h"
#include "platform/sys/helpmap.h"

namespace tw {

namespace {

constexpr const char* kContentsPage = "index.html";
constexpr const char* kMapFile = "contexts.txt";

// The reasons a call fails, in the program's language (they reach the user's message box).
constexpr const char* kNoHelpFile = "No help file is set";
constexpr const char* kNoHelpFolder = "The help %s is not installed (no folder %s)";
constexpr const char* kNoPage = "The help page %s does not exist";
constexpr const char* kNotOpened = "The help page could not be opened";
constexpr TUiTextPair kGerman[] = {
    {kNoHelpFile, "Es ist keine Hilfedatei eingestellt"},
    {kNoHelpFolder, "Die Hilfe %s ist nicht installiert (kein Ordner %s)"},
    {kNoPage, "Die Hilfeseite %s gibt es nicht"},
    {kNotOpened, "Die Hilfeseite konnte nicht ge\xF6" "ffnet werden"},
};
std::string HelpText(const char* english) { return UiText(english, kGerman); }

HelpResult Failed(HelpFailure failure, std::string error) {
  HelpResult result;
  result.Failure = failure;
  result.Error = std::move(error);
  return result;
}

HelpResult Done() {
  HelpResult result;
  result.Succeeded = true;
  return result;
}

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~';
}

void AppendEncoded(std::string& out, std::string_view text, bool keepSlash) {
  static const char kHex[] = "0123456789ABCDEF";
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (IsUnreserved(c) || (keepSlash && c == '/')) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    }
  }
}

}  // namespace

std::string FileUrl(std::string_view fileName, std::string_view anchor) {
  std::string url = "file://";
  AppendEncoded(url, fileName, true);
  if (!anchor.empty()) {
    url += '#';
    AppendEncoded(url, anchor, false);
  }
  return url;
}

HelpSystem::HelpSystem(std::string programFolder, std::shared_ptr<HelpLauncher> launcher)
    : programFolder_(std::move(programFolder)), launcher_(std::move(launcher)) {
  if (!launcher_) launcher_ = std::make_shared<ProcessHelpLauncher>();
}

std::shared_ptr<HelpLauncher> HelpSystem::SetLauncher(std::shared_ptr<HelpLauncher> launcher) {
  std::lock_guard<std::mutex> guard(lock_);
  if (!launcher) launcher = std::make_shared<ProcessHelpLauncher>();
  std::swap(launcher, launcher_);
  return launcher;
}

void HelpSystem::SetLateFailureHandler(std::function<void(const HelpResult&)> handler) {
  std::lock_guard<std::mutex> guard(lock_);
  lateFailure_ = std::move(handler);
}

std::vector<HelpLogEntry> HelpSystem::Log() const {
  std::lock_guard<std::mutex> guard(lock_);
  return log_;
}

void HelpSystem::ClearLog() {
  std::lock_guard<std::mutex> guard(lock_);
  log_.clear();
}

std::string HelpSystem::HelpFolderPath(std::string_view helpFile) const {
  const std::string file = ToNativePath(helpFile);
  const std::string name = ExtractFileName(file);
  const std::string base = ChangeFileExt(name, "");
  if (base.empty()) return {};
  std::string root = programFolder_.empty() ? ProgramFolder() : IncludeTrailingPathDelimiter(programFolder_);
  const std::string dir = ExtractFilePath(file);
  if (!dir.empty()) root = dir.front() == '/' ? dir : root + dir;
  return root + "help/" + base;
}

std::string HelpSystem::HelpFolder(std::string_view helpFile) const {
  const std::string path = HelpFolderPath(helpFile);
  if (path.empty()) return {};
  const std::string folder = ResolvePath(path);
  return DirectoryExists(folder) ? IncludeTrailingPathDelimiter(folder) : std::string();
}

HelpResult HelpSystem::WinHelp(std::string_view helpFile, unsigned command, std::uint32_t data) {
  return Call(helpFile, command, data, {});
}

HelpResult HelpSystem::WinHelpKey(std::string_view helpFile, std::string_view keyword, bool partial) {
  return Call(helpFile, partial ? HELP_PARTIALKEY : HELP_KEY, 0, keyword);
}

HelpResult HelpSystem::Show(const std::string& folder, const std::string& page, const std::string& anchor) {
  const std::string file = ResolvePath(folder + page);
  if (!FileExists(file)) return Failed(HelpFailure::PageMissing, Format(HelpText(kNoPage), {file}));
  HelpResult result;
  result.Page = file;
  result.Anchor = anchor;
  result.Url = FileUrl(file, anchor);
  std::shared_ptr<HelpLauncher> launcher;
  std::function<void(const HelpResult&)> lateFailure;
  {
    std::lock_guard<std::mutex> guard(lock_);
    launcher = launcher_;
    lateFailure = lateFailure_;
  }
  HelpFailure failure = HelpFailure::None;
  std::string error;
  bool opened = false;
  if (lateFailure) {
    HelpLateFailure late = [lateFailure, page = result](HelpFailure failed, const std::string& why) {
      HelpResult outcome = page;
      outcome.Succeeded = false;
      outcome.Failure = failed == HelpFailure::None ? HelpFailure::LaunchFailed : failed;
      outcome.Error = why.empty() ? HelpText(kNotOpened) : why;
      lateFailure(outcome);
    };
    opened = launcher->OpenInBackground(result.Url, failure, error, std::move(late));
  } else {
    opened = launcher->Open(result.Url, failure, error);
  }
  if (opened) {
    result.Succeeded = true;
  } else {
    result.Failure = failure == HelpFailure::None ? HelpFailure::LaunchFailed : failure;
    result.Error = error.empty() ? HelpText(kNotOpened) : error;
  }
  return result;
}

HelpResult HelpSystem::Call(std::string_view helpFile, unsigned command, std::uint32_t data,
                            std::string_view keyword) {
  HelpResult result;
  std::vector<std::string> mapErrors;
  const std::string folder = helpFile.empty() ? std::string() : HelpFolder(helpFile);

  // Reads the folder's map; a missing map is an empty one.
  auto loadMap = [&]() {
    const std::string mapFile = ResolvePath(folder + kMapFile);
    if (!FileExists(mapFile)) return HelpMap();
    HelpMap map;
    try {
      if (FileSize(mapFile) > static_cast<std::int64_t>(MaxHelpMapSize)) {
        map.Errors.push_back(mapFile + " is larger than " + std::to_string(MaxHelpMapSize) + " bytes");
      } else {
        map = ParseHelpMap(ReadFileBytes(mapFile));
      }
    } catch (const Exception& e) {
      map = HelpMap();
      map.Errors.push_back(e.Message());
    }
    mapErrors = map.Errors;
    return map;
  };
  auto contextTarget = [&](std::uint32_t context) {
    const HelpMap map = loadMap();
    if (const HelpTarget* target = map.FindContext(context)) return *target;
    return HelpTarget{kContentsPage, "context-" + std::to_string(context)};
  };

  switch (command) {
    case HELP_QUIT:
    case HELP_SETWINPOS:
    case HELP_SETPOPUP_POS:
      // The browser is a program of its own: nothing to close or place.
      result = Done();
      break;
    case HELP_CONTEXT:
    case HELP_CONTEXTPOPUP:
    case HELP_CONTENTS:
    case HELP_FINDER:
    case HELP_FORCEFILE:
    case HELP_SETCONTENTS:
    case HELP_KEY:
    case HELP_PARTIALKEY: {
      if (helpFile.empty()) {
        result = Failed(HelpFailure::NoHelpFile, HelpText(kNoHelpFile));
        break;
      }
      if (folder.empty()) {
        result = Failed(HelpFailure::HelpFolderMissing,
                        Format(HelpText(kNoHelpFolder), {std::string(helpFile), HelpFolderPath(helpFile)}));
        break;
      }
      if (command == HELP_SETCONTENTS) {
        std::lock_guard<std::mutex> guard(lock_);
        contents_[folder] = data;
        result = Done();
        break;
      }
      HelpTarget target;
      if (command == HELP_CONTEXT || command == HELP_CONTEXTPOPUP) {
        target = contextTarget(data);
      } else if (command == HELP_KEY || command == HELP_PARTIALKEY) {
        const HelpMap map = loadMap();
        const HelpTarget* found = map.FindKeyword(keyword, command == HELP_PARTIALKEY);
        target = found != nullptr ? *found : HelpTarget{kContentsPage, {}};
      } else {
        bool hasContents = false;
        std::uint32_t contents = 0;
        {
          std::lock_guard<std::mutex> guard(lock_);
          const auto it = contents_.find(folder);
          if (it != contents_.end()) {
            hasContents = true;
            contents = it->second;
          }
        }
        target = hasContents ? contextTarget(contents) : HelpTarget{kContentsPage, {}};
      }
      result = Show(folder, target.Page, target.Anchor);
      break;
    }
    default:
      result = Failed(HelpFailure::UnsupportedCommand, "Help command " + std::to_string(command) + " is not supported");
      break;
  }

  HelpLogEntry entry;
  entry.HelpFile = std::string(helpFile);
  entry.Command = command;
  entry.Data = data;
  entry.Keyword = std::string(keyword);
  entry.Result = result;
  entry.MapErrors = std::move(mapErrors);
  std::lock_guard<std::mutex> guard(lock_);
  if (log_.size() >= MaxLogEntries) log_.erase(log_.begin());
  log_.push_back(std::move(entry));
  return result;
}

HelpSystem& ProgramHelp() {
  static HelpSystem help;
  return help;
}

}  // namespace tw
