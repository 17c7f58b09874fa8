#include "tags/text/code_page_choice.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "support/id3_writer.h"
#include "support/real_files.h"
#include "support/riff_writer.h"
#include "support/temp_dir.h"

namespace qv::test {
namespace {
// clang-format off

std::string Encode(const std::string& utf8, const char* code_page) {
  iconv_t cd = iconv_open(code_page, "UTF-8");
  std::string out(4 * utf8.size(), '\0');
  char *in = const_cast<char*>(utf8.data()), *at = out.data();
  size_t in_left = utf8.size(), out_left = out.size();
  EXPECT_NE(iconv(cd, &in, &in_left, &at, &out_left), size_t(-1)) << utf8 << code_page;
  iconv_close(cd);
  return out.substr(0, out.size() - out_left);
}

std::vector<std::string> Split(const std::string& s, char by) {
  std::vector<std::string> parts;
  std::stringstream in(s);
  for (std::string part; std::getline(in, part, by);) parts.push_back(part);
  return parts;
}

// Title, artist and album of twenty files per code page, as people name them.
const std::pair<const char*, const char*> kDrive[] = {
  {"SJIS", "千と千尋の神隠し|久石譲|千と千尋の神隠し サウンドトラック;春よ、来い|松任谷由実|ダ・カーポ;上を向いて歩こう|坂本九|坂本九ベスト;夜に駆ける|YOASOBI|THE BOOK;桜|コブクロ|ALL SINGLES BEST;川の流れのように|美空ひばり|不死鳥;涙そうそう|夏川りみ|南風;残酷な天使のテーゼ|高橋洋子|新世紀エヴァンゲリオン;世界に一つだけの花|SMAP|世界に一つだけの花;時の流れに身をまかせ|テレサ・テン|全曲集;"
           "赤いスイートピー|松田聖子|制服;風の谷のナウシカ|安田成美|風の谷のナウシカ;丸の内サディスティック|椎名林檎|無罪モラトリアム;雪の華|中島美嘉|LOVE;北の国から|さだまさし|遥かなるクリスマス;東京|くるり|さよならストレンジャー;宇宙戦艦ヤマト|ささきいさお|交響組曲;恋するフォーチュンクッキー|AKB48|1830m;白い恋人達|桑田佳祐|ROCK AND ROLL HERO;炎|LiSA|鬼滅の刃"},
  {"GB18030", "月亮代表我的心|邓丽君|淡淡幽情;甜蜜蜜|邓丽君|甜蜜蜜;七里香|周杰伦|七里香;青花瓷|周杰伦|我很忙;童话|光良|童话;后来|刘若英|我等你;朋友|周华健|朋友;吻别|张学友|吻别;传奇|王菲|传奇;小幸运|田馥甄|我的少女时代;平凡之路|朴树|猎户星座;成都|赵雷|无法长大;南山南|马頔|孤岛;老男孩|筷子兄弟|父亲;突然好想你|五月天|后青春期的诗;千里之外|周杰伦|依然范特西;红豆|王菲|唱游;灰姑娘|郑钧|第三只眼;一剪梅|费玉清|一剪梅;茉莉花|宋祖英|中国民歌"},
  {"CP1251", "Группа крови|Кино|Группа крови;Звезда по имени Солнце|Кино|Звезда по имени Солнце;Подмосковные вечера|Владимир Трошин|Песни;Катюша|Лидия Русланова|Русские песни;Миллион алых роз|Алла Пугачёва|Миллион алых роз;Выхода нет|Сплин|Гранатовый альбом;Прогулки по воде|Наутилус Помпилиус|Крылья;Я свободен|Кипелов|Путь наверх;Кукла колдуна|Король и Шут|Камнем по голове;Город золотой|Аквариум|Десять стрел;"
             "Зимняя вишня|Мумий Тролль|Морская;Вечная любовь|Валерий Леонтьев|Лучшее;Песня о друге|Владимир Высоцкий|Вертикаль;Лирика|Сектор Газа|Гуляй, мужик!;Кончится лето|Кино|Черный альбом;Мой рок-н-ролл|Би-2|Би-2;Осень|ДДТ|Актриса весна;Белые розы|Ласковый май|Белые розы;Ой, то не вечер|Мельница|Дорога сна;Трава у дома|Земляне|Лучшее"},
  {"CP1252", "Non, je ne regrette rien|Édith Piaf|Best of;La Bohème|Charles Aznavour|La Bohème;Ne me quitte pas|Jacques Brel|La Valse à mille temps;Les Champs-Élysées|Joe Dassin|Les Champs-Élysées;L'Hymne à l'amour|Édith Piaf|Hymne à l'amour;Ça plane pour moi|Plastic Bertrand|Ça plane pour moi;Déshabillez-moi|Juliette Gréco|Gréco chante;Alors on danse|Stromae|Cheese;Papaoutai|Stromae|Racine carrée;Le Déserteur|Boris Vian|Chansons possibles;"
             "Où sont les femmes?|Patrick Juvet|Paris by Night;Je t'aime… moi non plus|Serge Gainsbourg|Jane Birkin – Serge Gainsbourg;Dernière danse|Indila|Mini World;Tous les garçons et les filles|Françoise Hardy|Françoise Hardy;Mistral gagnant|Renaud|Mistral gagnant;Résiste|France Gall|Débranche!;Comme d'habitude|Claude François|Comme d'habitude;Aïcha|Khaled|Sahra;Foule sentimentale|Alain Souchon|C'est déjà ça;Noël blanc|Tino Rossi|Chansons de Noël"},
};

// Every file's 8-bit texts, written as ID3v1, ID3v2.3 with encoding byte 0 or
// RIFF INFO, go through qvlib create --lang auto; nearly all must come back
// right from the library, and qvlib tags names the code page of each file.
TEST(AutomaticTagLanguage, ReadsAMixedDriveInEachFilesCodePage) {
  TempDir drive;
  std::map<std::string, std::tuple<std::string, std::vector<std::string>, bool>> wanted;  // path: code page, texts, ID3v1
  for (const auto& [page, files] : kDrive) {
    int k = 0;
    for (const std::string& file : Split(files, ';')) {
      std::vector<std::string> t = Split(file, '|'), b;
      for (const std::string& text : t) b.push_back(Encode(text, page));
      const std::string path = std::string(page) + "/" + std::to_string(k) + (k % 3 == 2 ? ".wav" : ".mp3");
      if (k % 3 == 0) drive.Write(path, Id3Join({AudioFiller(500), Id3v1Tag({.title = b[0], .artist = b[1], .album = b[2]})}));
      if (k % 3 == 1) drive.Write(path, Id3Join({Id3v2Tag(3, {Id3v2Frame(3, "TIT2", Id3Latin(b[0])), Id3v2Frame(3, "TPE1", Id3Latin(b[1])), Id3v2Frame(3, "TALB", Id3Latin(b[2]))}), AudioFiller(500)}));
      if (k % 3 == 2) drive.Write(path, WaveFileWithInfo(Id3Join({RiffText("INAM", b[0]), RiffText("IART", b[1]), RiffText("IPRD", b[2])})));
      wanted["/" + path] = {page, t, k % 3 == 0}, ++k;
    }
  }
  drive.Write("ascii.mp3", Id3Join({AudioFiller(500), Id3v1Tag({.title = "C:\\Songs ~1", .artist = "Plain"})}));
  ASSERT_EQ(RunQvlib({"create", "--lang", "auto", "--fs", "fat", "--yes", drive.str()}).status, 0);
  const nlohmann::json doc = nlohmann::json::parse(RunQvlib({"dump", "--json", "--fs", "fat", drive.str()}).output);
  std::map<std::string, int> right, texts;
  for (const nlohmann::json& track : doc["tracks"]) {
    const std::string path = track["path"], got[3] = {track["title"], track["artist"], track["album"]};
    if (path == "/ascii.mp3") { EXPECT_EQ(got[0] + got[1], "C:\\Songs ~1Plain"); }
    if (!wanted.count(path)) continue;
    const auto& [page, t, cut] = wanted[path];
    for (int i = 0; i < 3; ++i) {
      // ID3v1 keeps 30 bytes: a longer text must come back as its whole characters within them.
      const bool ok = got[i] == t[i] || (cut && Encode(t[i], page.c_str()).size() > 30 && !got[i].empty() && t[i].starts_with(got[i]));
      right[page] += ok, ++texts[page];
      if (!ok) std::printf("%s %s: \"%s\" read as \"%s\"\n", page.c_str(), path.c_str(), t[i].c_str(), got[i].c_str());
    }
  }
  for (const auto& [page, files] : kDrive) {
    std::printf("%s: %d of %d texts right\n", page, right[page], texts[page]);
    EXPECT_GE(right[page] * 100, texts[page] * 95) << page;
  }
  // A full 30-byte field that ends in half a character keeps its whole characters; UTF-16 says nothing.
  const std::string cut = drive.Write("cut.mp3", Id3Join({Id3v2Tag(3, {Id3v2Frame(3, "TPE1", Id3Utf16(u"Band"))}), AudioFiller(500), Id3v1Tag({.title = "A" + Encode("ダンシング・クイーンのテーマ曲", "SJIS").substr(0, 29)})}));
  const ProgramResult run = RunQvlib({"tags", "--lang", "auto", "--root", drive.str(), drive.str() + "/SJIS/1.mp3", drive.str() + "/ascii.mp3", cut});
  EXPECT_EQ(std::tuple(nlohmann::json::parse(SplitLines(run.output).at(0))["codepage"], nlohmann::json::parse(SplitLines(run.output).at(1))["codepage"],
                       nlohmann::json::parse(SplitLines(run.output).at(2))["title"]), std::tuple("SJIS", "ASCII", "Aダンシング・クイーンのテーマ")) << run.output;
}

// Short and ambiguous files, decided with the locale's language as fallback.
TEST(AutomaticTagLanguage, ShortAndAmbiguousTexts) {
  const struct { std::vector<std::string> texts; const char* page; int fallback; const char* chosen; } cases[] = {
      {{"東京"}, "SJIS", 2, "SJIS"},                  // kanji only
      {{"中文"}, "GB18030", 2, "GB18030"},            // also half-width katakana in Shift-JIS
      {{"Привет"}, "CP1251", 2, "CP1251"},            // one Cyrillic word
      {{"Кино"}, "CP1251", 8, "CP1251"},              // the detector has no answer: the locale's
      {{"Café"}, "CP1252", 0, "CP1252"},              // one accented Latin word
      {{"Plain", "ASCII"}, "CP1252", 0, nullptr},     // decides nothing
  };
  for (const auto& c : cases) {
    CodePageSurvey survey;
    for (const std::string& text : c.texts) SurveyText(&survey, Encode(text, c.page).c_str(), 64, false);
    const char* chosen = ChooseCodePage(survey, c.fallback);
    EXPECT_STREQ(chosen, c.chosen) << c.texts[0];
  }
  // A field that cuts its last character in half still counts for Shift-JIS.
  const std::string cut = Encode("ダンシング・クイーンのテーマ曲", "SJIS").substr(0, 29);
  CodePageSurvey survey;
  SurveyText(&survey, cut.c_str(), 29, true);
  EXPECT_EQ(survey.invalid[0], 0u);
  EXPECT_STREQ(ChooseCodePage(survey, 2), "SJIS");
}

// clang-format on
}  // namespace
}  // namespace qv::test
