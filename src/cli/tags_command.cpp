// qvlib tags: the tag record of each file as the library would store it, one
// JSON object per line.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/escape.h"
#include "tags/default_tag_language.h"
#include "tags/text/code_page_choice.h"
#include "tags/text/text_encoding.h"
#include "tags/track_tags.h"

namespace qv::cli {
namespace {

struct TagsOptions {
  std::string lang;
  std::string root = "/";
  std::vector<std::string> files;
};

void AppendEscape(std::string* out, uint32_t unit) {
  char escape[8];
  std::snprintf(escape, sizeof(escape), "\\u%04x", unit);
  out->append(escape);
}

// A stored text as a JSON string. Tags may hold lone surrogates (a cut
// between the two halves of a pair, or a broken writer), which have no UTF-8
// form; they are written as \u escapes so that the output stays valid JSON
// and still shows the exact units.
std::string JsonText(const uint16_t* s) {
  std::string out = "\"";
  for (size_t i = 0; s[i] != 0; ++i) {
    uint32_t u = s[i];
    if (u >= 0xD800 && u <= 0xDBFF && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      AppendUtf8(&out, 0x10000 + ((u - 0xD800) << 10) + (s[i + 1] - 0xDC00));
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      AppendEscape(&out, u);
    } else if (u == '"' || u == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(u));
    } else if (u < 0x20) {
      AppendEscape(&out, u);
    } else {
      AppendUtf8(&out, u);
    }
  }
  out.push_back('"');
  return out;
}

// The file name as given; bytes that are not UTF-8 show as U+FFFD.
std::string JsonBytes(const std::string& s) {
  return nlohmann::json(s).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// GetTrackTags wants full paths and a root ending in "/", and cuts the root
// off by its length. Names given relative to the working directory are
// completed, and "." and ".." are resolved by the names alone, without
// following links, so that the root and the files are completed alike and a
// file is under the root exactly when its name begins with the root's.
std::string NormalPath(const std::string& path) {
  std::error_code ec;
  std::filesystem::path full = std::filesystem::absolute(path, ec);
  if (ec) full = path;
  std::string normal = full.lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

std::string RootPath(const std::string& root) {
  std::string full = NormalPath(root);
  if (full.empty() || full.back() != '/') full.push_back('/');
  return full;
}

// True when the normalised path names a file below the root (root ends in "/").
bool IsUnderRoot(const std::string& path, const std::string& root) {
  return path.size() > root.size() && path.compare(0, root.size(), root) == 0;
}

int RunTags(const TagsOptions& options) {
  int language =
      options.lang.empty() ? DefaultTagLanguage() : TagLanguageFromCode(options.lang.c_str());
  const std::string root = RootPath(options.root);
  int result = kExitOk;
  // Into a file or a pipe, one write carries many lines; a terminal keeps
  // its lines one by one, in order with the messages on stderr.
  static char out_buffer[1 << 16];
  if (!isatty(STDOUT_FILENO)) std::setvbuf(stdout, out_buffer, _IOFBF, sizeof out_buffer);
  TrackTagsStorage storage;
  for (const std::string& file : options.files) {
    const std::string path = NormalPath(file);
    int status = 2;
    const char* code_page = nullptr;
    if (IsUnderRoot(path, root)) {
      status =
          GetTrackTagsReporting(path.c_str(), &storage.tags, language, root.c_str(), &code_page);
    } else {
      std::fprintf(stderr, "qvlib tags: %s is not under the root %s\n",
                   EscapeControls(path).c_str(), EscapeControls(root).c_str());
    }
    std::string line = "{\"file\": " + JsonBytes(file) + ", \"status\": " + std::to_string(status);
    if (status == 0) {
      const TrackTags& t = storage.tags;
      line += ", \"type\": " + std::to_string(t.FileType());
      line += ", \"size\": " + std::to_string(t.FileSize);
      line += ", \"track\": " +
              (t.TrackNumber == 0xFFFF ? std::string("null") : std::to_string(t.TrackNumber));
      line += ", \"genre\": " + JsonText(storage.genre);
      line += ", \"artist\": " + JsonText(storage.artist);
      line += ", \"album\": " + JsonText(storage.album);
      line += ", \"title\": " + JsonText(storage.title);
      line += ", \"path\": " + JsonText(storage.path);
      // Which code page the automatic choice read this file's 8-bit texts in.
      if (language == kTagLanguageAuto) {
        line += ", \"codepage\": \"" + std::string(code_page ? code_page : "ASCII") + "\"";
      }
    } else {
      result = kExitFailed;
    }
    line += "}\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
  }
  std::fflush(stdout);
  return result;
}

void SetupTags(CLI::App& app, int* exit_status) {
  auto options = std::make_shared<TagsOptions>();
  CLI::App* sub = app.add_subcommand(
      "tags",
      "Print the tags of each file as the library would store them, one JSON object per line");
  sub->add_option("--lang", options->lang,
                  "Tag language of 8-bit tag text: ja zh en fr de it es nl ru, or auto to read "
                  "each file in the code page its texts were most likely written in, shown as "
                  "\"codepage\" (default: from LANGUAGE, LC_ALL, LC_MESSAGES, LANG; en when none)")
      ->check(CLI::IsMember([] {
        std::vector<std::string> codes(TagLanguageCodes, TagLanguageCodes + kTagLanguageCount);
        codes.push_back(kTagLanguageAutoCode);
        return codes;
      }()));
  sub->add_option("--root", options->root,
                  "Drive root that the stored paths are relative to (default /); a FILE "
                  "outside it gets status 2");
  sub->add_option("FILE", options->files, "Audio files to read")->required();
  sub->callback([options, exit_status] { *exit_status = RunTags(*options); });
}

const bool tags_registered = RegisterCommand(10, SetupTags);

}  // namespace
}  // namespace qv::cli
