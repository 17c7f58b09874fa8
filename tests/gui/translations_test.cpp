// Every text of the application has a finished translation in every shipped
// language, keeping the placeholders, codes and line breaks of the source;
// the build carries them and the system's language picks one.
#include <QDir>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

#include "gui/make_start.h"

namespace qv::gui {
namespace {

// context + "|" + source -> translation ("" when unfinished) of one .ts file.
QMap<QString, QString> ReadCatalogue(const QString& path) {
  QFile file(path);
  QMap<QString, QString> texts;
  if (!file.open(QIODevice::ReadOnly)) return texts;
  QXmlStreamReader xml(&file);
  QString context, source;
  while (!xml.atEnd()) {
    if (!xml.readNextStartElement()) continue;
    if (xml.name() == u"name") context = xml.readElementText();
    if (xml.name() == u"source") source = xml.readElementText();
    if (xml.name() == u"translation") {
      const bool unfinished = xml.attributes().value("type") == u"unfinished";
      const QString text = xml.readElementText();
      texts[context + "|" + source] = unfinished ? QString() : text;
    }
  }
  return texts;
}

// What a translation must keep: placeholders, error codes, line breaks, tabs.
QStringList Tokens(const QString& text) {
  QStringList tokens;
  static const QRegularExpression token(R"(%\d|%02d|%@|E-|\n|\t)");
  for (auto it = token.globalMatch(text); it.hasNext();) tokens << it.next().captured();
  tokens.sort();
  return tokens;
}

}  // namespace

class TranslationsTest : public QObject {
  Q_OBJECT
 private slots:
  void EveryTextIsTranslatedInEveryLanguage() {
    QTemporaryDir dir;
    const QString sources = QV_SOURCE_DIR "/src/gui";
    const QString fresh = dir.filePath("fresh.ts");
    QStringList args{"-silent", "-no-obsolete", "-locations", "none"};
    for (const QString& f : QDir(sources).entryList({"*.cpp", "*.h"})) args << sources + "/" + f;
    QCOMPARE(QProcess::execute(QV_LUPDATE, args << "-ts" << fresh), 0);
    const QStringList texts = ReadCatalogue(fresh).keys();
    QVERIFY(texts.size() > 40);
    const QStringList shipped = QDir(sources + "/translations").entryList({"*.ts"});
    QCOMPARE(shipped.size(), 8);
    for (const QString& name : shipped) {
      const QMap<QString, QString> catalogue = ReadCatalogue(sources + "/translations/" + name);
      for (const QString& key : texts) {
        const QString source = key.section('|', 1), translation = catalogue.value(key);
        QVERIFY2(!translation.isEmpty(), qPrintable(name + ": " + key));
        QVERIFY2(Tokens(source) == Tokens(translation), qPrintable(name + ": " + translation));
      }
      // The application carries the catalogue and finds it from the locale.
      QTranslator translator;
      const QString locale = name.section('_', 1).chopped(3);
      QVERIFY(translator.load(QLocale(locale), "library-creator", "_", ":/i18n"));
      QCoreApplication::installTranslator(&translator);
      const Outlets o = BuildWindows();
      QCOMPARE(o.Start->text() + UiText("Yes"),
               catalogue["Windows|&Start"] + catalogue["MakeStart|Yes"]);
      delete o.MainWindow, delete o.RunWindow;
      QCoreApplication::removeTranslator(&translator);
    }
  }
};

}  // namespace qv::gui

QTEST_MAIN(qv::gui::TranslationsTest)
#include "translations_test.moc"
