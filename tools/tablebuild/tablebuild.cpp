// tw_tablebuild --messages DIR --interpretations DIR --output DIR
// Builds "Messages.QND" and "Interprt.QND" in the output folder from the per-language text
// sources.  Exit status 0 on success, 1 on a fault in the sources or the engine, 2 on wrong
// usage.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "tools/tablebuild/tablewriter.h"
#include "tools/tablebuild/textsource.h"

int main(int argc, char** argv) {
  using namespace tw::tablebuild;
  std::string messages, interpretations, output;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string opt = argv[i];
    if (opt == "--messages") messages = argv[i + 1];
    else if (opt == "--interpretations") interpretations = argv[i + 1];
    else if (opt == "--output") output = argv[i + 1];
    else messages.clear(), argc = 0;
  }
  if (messages.empty() || interpretations.empty() || output.empty() || argc % 2 == 0) {
    std::fprintf(stderr, "usage: tw_tablebuild --messages DIR --interpretations DIR --output DIR\n");
    return 2;
  }
  try {
    std::filesystem::create_directories(output);
    std::vector<MessageRow> messageRows;
    for (const auto& [lang, text] : ReadLanguageFiles(messages)) {
      auto rows = ParseMessages(text, lang, messages + "/" + lang + ".txt");
      messageRows.insert(messageRows.end(), rows.begin(), rows.end());
    }
    std::vector<InterpretationRow> textRows;
    for (const auto& [lang, text] : ReadLanguageFiles(interpretations)) {
      auto rows = ParseInterpretations(text, lang, interpretations + "/" + lang + ".txt").Rows();
      textRows.insert(textRows.end(), rows.begin(), rows.end());
    }
    // The tables are made in a scratch folder and moved into place whole, so that a failed
    // build never leaves half a table behind.
    namespace fs = std::filesystem;
    const fs::path scratch = fs::path(output) / ".tablebuild";
    fs::remove_all(scratch);
    fs::create_directories(scratch);
    WriteMessagesTable(scratch.string(), messageRows);
    WriteInterpretationTable(scratch.string(), textRows);
    for (const char* name : {kMessagesTable, kInterpretationTable})
      fs::rename(scratch / (std::string(name) + ".QND"), fs::path(output) / (std::string(name) + ".QND"));
    fs::remove_all(scratch);
    std::printf("tw_tablebuild: %zu messages, %zu interpretations\n", messageRows.size(), textRows.size());
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tw_tablebuild: %s\n", e.what());
    return 1;
  }
}
