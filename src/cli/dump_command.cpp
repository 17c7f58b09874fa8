// qvlib dump DRIVE: prints the library on a drive the way the player browses
// it (genres, their artists, their albums, their tracks), then the header
// facts and the statistics; --json gives the same as one JSON document.
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/command.h"
#include "cli/escape.h"
#include "cli/library_drive.h"
#include "library/files/library_reader.h"

namespace qv::cli {
namespace {

using nlohmann::json;

struct DumpOptions {
  std::string drive;
  std::string fs;  // empty: from the mounted volume, else FAT
  bool json = false;
};

constexpr const char* kKindNames[5] = {"genre", "artist", "album", "title", "path"};

std::string Text(const ReadPage& page, int kind) {
  return LibraryTextToUtf8(page.texts[kind]);
}

json TrackNumber(const ReadPage& page) {
  return page.track_number == 0xFFFF ? json(nullptr) : json(page.track_number);
}

json BrowseTrack(const ReadPage& page) {
  return json{{"index", page.track_index},
              {"number", TrackNumber(page)},
              {"title", Text(page, 3)},
              {"path", Text(page, 4)}};
}

// One genre of the tree of section 0: each entry's children are a run of the
// next list, and the deepest entries a run of the order list. The reader has
// checked that every run lies inside its list. Built one genre at a time, so
// that a full library is printed without holding all of it as JSON.
json GenreJson(const ReadLibrary& lib, uint32_t genre) {
  const ReadSection& s = lib.sections[0];
  const ReadEntry& g = s.browse[0].entries[genre];
  json artists = json::array();
  for (uint32_t a = g.first_child; a < g.first_child + g.count; ++a) {
    const ReadEntry& artist = s.browse[1].entries[a];
    json albums = json::array();
    for (uint32_t b = artist.first_child; b < artist.first_child + artist.count; ++b) {
      const ReadEntry& album = s.browse[2].entries[b];
      json tracks = json::array();
      for (uint32_t p = album.first_child; p < album.first_child + album.count; ++p)
        tracks.push_back(BrowseTrack(lib.pages[s.order.tracks[p]]));
      albums.push_back(
          {{"name", Text(lib.pages[album.first_track], 2)}, {"tracks", std::move(tracks)}});
    }
    artists.push_back(
        {{"name", Text(lib.pages[artist.first_track], 1)}, {"albums", std::move(albums)}});
  }
  return {{"name", Text(lib.pages[g.first_track], 0)}, {"artists", std::move(artists)}};
}

json TrackJson(const ReadPage& page) {
  return {{"index", page.track_index},    {"id", page.track_id},
          {"number", TrackNumber(page)},  {"file_type", page.file_type},
          {"file_size", page.file_size},  {"genre", Text(page, 0)},
          {"artist", Text(page, 1)},      {"album", Text(page, 2)},
          {"title", Text(page, 3)},       {"path", Text(page, 4)},
          {"genre_id", page.name_ids[0]}, {"artist_id", page.name_ids[1]},
          {"album_id", page.name_ids[2]}};
}

std::string Dump(const json& j) {
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

// One JSON document, written piece by piece: the genres and the tracks one
// element a line.
void PrintJson(const ReadLibrary& lib, const json& facts) {
  std::printf("{\n\"genres\": [");
  for (uint32_t g = 0; g < lib.sections[0].browse[0].entries.size(); ++g)
    std::printf("%s\n%s", g == 0 ? "" : ",", Dump(GenreJson(lib, g)).c_str());
  std::printf("\n],\n\"tracks\": [");
  for (size_t t = 0; t < lib.pages.size(); ++t)
    std::printf("%s\n%s", t == 0 ? "" : ",", Dump(TrackJson(lib.pages[t])).c_str());
  std::printf("\n],\n\"header\": %s,\n\"statistics\": %s,\n\"lists\": %s\n}\n",
              Dump(facts["header"]).c_str(), Dump(facts["statistics"]).c_str(),
              Dump(facts["lists"]).c_str());
}

json Facts(const ReadLibrary& lib) {
  json header = {
      {"track_file", {{"length", lib.track_file_length}, {"track_count", lib.track_count}}},
      {"browse_file", {{"length", lib.browse_file_length}}},
      {"index_file", {{"next_track_id", lib.next_track_id}, {"chunk_count", lib.chunk_count}}}};
  json statistics = json::array();
  json lists = json::array();
  if (lib.chunk_count == 2) {
    for (const ReadStringStats& s : lib.stats)
      statistics.push_back({{"kind", kKindNames[s.kind]},
                            {"count", s.count},
                            {"utf16_bytes", s.sizes[0].bytes},
                            {"stored_method", s.sizes[1].method},
                            {"stored_parameter", s.sizes[1].parameter},
                            {"stored_bytes", s.sizes[1].bytes}});
    for (const ReadSummary& r : lib.summary)
      lists.push_back({{"section", r.section},
                       {"list_type", r.list_type},
                       {"level", r.level},
                       {"step", r.step},
                       {"entries", r.entries}});
  }
  return {{"header", std::move(header)},
          {"statistics", std::move(statistics)},
          {"lists", std::move(lists)}};
}

// A text of the library as printed on one line of the listing.
std::string Shown(const json& text) {
  return EscapeControls(text.get<std::string>());
}

void PrintText(const ReadLibrary& lib, const json& facts) {
  for (uint32_t genre = 0; genre < lib.sections[0].browse[0].entries.size(); ++genre) {
    const json g = GenreJson(lib, genre);
    std::printf("Genre \"%s\"\n", Shown(g["name"]).c_str());
    for (const json& a : g["artists"]) {
      std::printf("  Artist \"%s\"\n", Shown(a["name"]).c_str());
      for (const json& b : a["albums"]) {
        std::printf("    Album \"%s\"\n", Shown(b["name"]).c_str());
        for (const json& t : b["tracks"]) {
          std::string number = t["number"].is_null() ? "-" : std::to_string(t["number"].get<int>());
          std::printf("      %5s  %s  %s\n", number.c_str(), Shown(t["title"]).c_str(),
                      Shown(t["path"]).c_str());
        }
      }
    }
  }
  const json& h = facts["header"];
  std::printf("QVTL.DB: length %u, %u tracks\n", h["track_file"]["length"].get<uint32_t>(),
              h["track_file"]["track_count"].get<uint32_t>());
  std::printf("QVBL.DB: length %u\n", h["browse_file"]["length"].get<uint32_t>());
  std::printf("QVDB.DB: next track id %u, %u chunks\n",
              h["index_file"]["next_track_id"].get<uint32_t>(),
              h["index_file"]["chunk_count"].get<uint32_t>());
  for (const json& s : facts["statistics"])
    std::printf("  %-6s %6u strings, %9u bytes in UTF-16, %9u bytes stored (method %u)\n",
                s["kind"].get<std::string>().c_str(), s["count"].get<uint32_t>(),
                s["utf16_bytes"].get<uint32_t>(), s["stored_bytes"].get<uint32_t>(),
                s["stored_method"].get<uint32_t>());
  for (const json& r : facts["lists"])
    std::printf("  section %u step %u (level %u, type %u): %u entries\n",
                r["section"].get<uint32_t>(), r["step"].get<uint32_t>(), r["level"].get<uint32_t>(),
                r["list_type"].get<uint32_t>(), r["entries"].get<uint32_t>());
}

int RunDump(const DumpOptions& options) {
  ReadLibrary lib;
  ReadFault fault;
  if (ReadLibraryFiles(options.drive.c_str(), LibraryKindForDrive(options.drive, options.fs), &lib,
                       &fault) != kReadOk) {
    std::fprintf(stderr, "qvlib dump: %s\n", DescribeReadFault(fault).c_str());
    return kExitFailed;
  }
  json facts = Facts(lib);
  if (options.json) {
    PrintJson(lib, facts);
  } else {
    PrintText(lib, facts);
  }
  return kExitOk;
}

void SetupDump(CLI::App& app, int* exit_status) {
  auto options = std::make_shared<DumpOptions>();
  CLI::App* sub =
      app.add_subcommand("dump", "Print the library on a drive as the player browses it");
  sub->add_option("DRIVE", options->drive, "Root folder of the drive")->required();
  sub->add_flag("--json", options->json, "Print one JSON document");
  sub->add_option("--fs", options->fs,
                  "Library directory to read (default: the mounted volume's kind, else fat)")
      ->check(CLI::IsMember({"fat", "hfs"}));
  sub->callback([options, exit_status] { *exit_status = RunDump(*options); });
}

const bool dump_registered = RegisterCommand(40, SetupDump);

}  // namespace
}  // namespace qv::cli
