// Every text has a finished translation in every shipped language, keeping its placeholders.
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

#include "gui/make_start.h"

namespace qv::gui {

class TranslationsTest : public QObject {
  Q_OBJECT
 private slots:
  void EveryTextIsTranslatedInEveryLanguage() {
    const QString gui = QV_SOURCE_DIR "/src/gui";
    auto kept = [](const QString& text) {  // what a translation keeps of its source
      static const QRegularExpression token(R"(%\d|%02d|%@|E-|\n|\t)");
      QStringList tokens;
      for (auto t = token.globalMatch(text); t.hasNext();) tokens << t.next().captured();
      return tokens.sort(), tokens;
    };
    const QStringList shipped = QDir(gui + "/translations").entryList({"*.ts"});
    QCOMPARE(shipped.size(), 8);
    QTemporaryDir dir;
    for (const QString& name : shipped) {
      // The catalogue brought in step with the sources gains nothing unfinished.
      const QString ts = dir.filePath(name);
      QVERIFY(QFile::copy(gui + "/translations/" + name, ts));
      QCOMPARE(QProcess::execute(QV_LUPDATE,
                                 {"-silent", "-no-obsolete", "-locations", "none", gui, "-ts", ts}),
               0);
      QFile file(ts);
      const QString text = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : "";
      QVERIFY2(!text.contains("unfinished") && text.count("<source>") > 40, qPrintable(name));
      static const QRegularExpression message("<source>(.*?)</source>\\s*<translation>(.*?)<",
                                              QRegularExpression::DotMatchesEverythingOption);
      for (auto m = message.globalMatch(text); m.hasNext();) {
        const auto pair = m.next();
        QVERIFY2(kept(pair.captured(1)) == kept(pair.captured(2)), qPrintable(pair.captured(2)));
      }
      QTranslator translator;
      QVERIFY(translator.load(QLocale(name.section('_', 1).chopped(3)), "library-creator", "_",
                              ":/i18n"));
      QCoreApplication::installTranslator(&translator);
      QVERIFY(UiText("Yes") != "Yes");  // found under the controller's own context
      QCoreApplication::removeTranslator(&translator);
    }
  }
};

}  // namespace qv::gui

QTEST_MAIN(qv::gui::TranslationsTest)
#include "translations_test.moc"
