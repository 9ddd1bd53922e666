// Message catalogs: a catalog compiled here with msgfmt translates the setup dialog's
// captions and the message texts; without one everything stays as written.
#include "catalog.h"
#include "errors.h"
#include "mainwindow.h"
#include "serialsetupform.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>

namespace {

constexpr int kWait = 10000;

const char* const kSetupCatalog = R"po(msgid ""
msgstr "Content-Type: text/plain; charset=UTF-8\n"

msgid "Setup"
msgstr "Configuração"

msgid " Settings "
msgstr " Parâmetros "

msgid "Port"
msgstr "Porta"

msgid "Baud rate"
msgstr "Velocidade"

msgid "Flow control"
msgstr "Controle de fluxo"

msgid "Cancel"
msgstr "Cancelar"

msgid "None"
msgstr "Nenhum"
)po";

const char* const kMessageCatalog = R"po(msgid ""
msgstr "Content-Type: text/plain; charset=UTF-8\n"

msgid "Unable to open com port"
msgstr "Não foi possível abrir a porta"

msgid " (win error code: %d)"
msgstr " (código de erro: %d)"

msgid "'%s' is not a valid integer value"
msgstr "'%s' não é um número inteiro válido"
)po";

bool compile(const QString& dir, const char* domain, const char* text) {
    const QString folder = dir + QStringLiteral("/pt_BR/LC_MESSAGES");
    QDir().mkpath(folder);
    const QString po = folder + QLatin1Char('/') + QLatin1String(domain) + QStringLiteral(".po");
    QFile file(po);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(text);
    file.close();
    const QString mo = folder + QLatin1Char('/') + QLatin1String(domain) + QStringLiteral(".mo");
    return QProcess::execute(QStringLiteral(MSGFMT_EXECUTABLE), {QStringLiteral("-o"), mo, po}) ==
           0;
}

memedit::SerialSetupForm* openSetup(memedit::Form1& window) {
    window.findChild<QPushButton*>("Button1")->click();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* form = qobject_cast<memedit::SerialSetupForm*>(w); form && form->isVisible())
            return form;
    }
    return nullptr;
}

QStringList captions(QDialog* form) {
    QStringList list{form->windowTitle(), form->findChild<QGroupBox*>()->title()};
    for (int n = 1; n <= 6; ++n)
        list << form->findChild<QLabel*>(QStringLiteral("Label%1").arg(n))->text();
    list << form->findChild<QPushButton*>("OkButton")->text()
         << form->findChild<QPushButton*>("CancelButton")->text();
    return list;
}

} // namespace

class CatalogTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        // gettext ignores LANGUAGE in the plain C locale, not in C.UTF-8.
        QVERIFY(std::setlocale(LC_ALL, "C.UTF-8") != nullptr);
        qputenv("LANGUAGE", "pt_BR");
        QVERIFY(comDir.isValid() && catalogs.isValid() && empty.isValid());
        qputenv("RX_COM_DIR", comDir.path().toLocal8Bit());
        QVERIFY(compile(catalogs.path(), "serialsetup", kSetupCatalog));
        QVERIFY(compile(catalogs.path(), "default", kMessageCatalog));
    }

    void dialogCaptions_data() {
        QTest::addColumn<bool>("withCatalog");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("no catalog")
            << false
            << QStringList{"Setup",     " Settings ", "Port",         "Baud rate", "Data bits",
                           "Stop bits", "Parity",     "Flow control", "OK",        "Cancel"};
        QTest::newRow("catalog") << true
                                 << QStringList{"Configuração", " Parâmetros ",      "Porta",
                                                "Velocidade",   "Data bits",         "Stop bits",
                                                "Parity",       "Controle de fluxo", "OK",
                                                "Cancelar"};
    }
    void dialogCaptions() {
        QFETCH(bool, withCatalog);
        QFETCH(QStringList, expected);
        useCatalogs(withCatalog);
        memedit::Form1 window;
        QDialog* form = openSetup(window);
        QVERIFY(form);
        QCOMPARE(captions(form), expected);
        // The lists are never translated, and neither is the main window.
        auto* parity = form->findChild<QComboBox*>("Combo5");
        QCOMPARE(parity->itemText(0), QStringLiteral("None"));
        QCOMPARE(parity->currentText(), QStringLiteral("None"));
        QCOMPARE(form->findChild<QComboBox*>("Combo6")->currentText(), QStringLiteral("None"));
        QCOMPARE(window.findChild<QPushButton*>("Button1")->text(),
                 QStringLiteral("Ajuste Serial"));
        form->reject();
    }

    void messages_data() {
        QTest::addColumn<bool>("withCatalog");
        QTest::addColumn<QString>("portError");
        QTest::addColumn<QString>("conversion");
        QTest::newRow("no catalog") << false << "Unable to open com port (win error code: 2)"
                                    << "'x1' is not a valid integer value";
        QTest::newRow("catalog") << true << "Não foi possível abrir a porta (código de erro: 2)"
                                 << "'x1' não é um número inteiro válido";
    }
    void messages() {
        QFETCH(bool, withCatalog);
        QFETCH(QString, portError);
        QFETCH(QString, conversion);
        useCatalogs(withCatalog);
        QCOMPARE(memedit::PortError(memedit::PortErrorNumber::Open, 2).message(), portError);
        QCOMPARE(memedit::ConversionError(QStringLiteral("x1")).message(), conversion);
    }

  private:
    void useCatalogs(bool on) {
        qputenv("MEMEDIT_LOCALEDIR", (on ? catalogs : empty).path().toLocal8Bit());
        memedit::initCatalogs();
    }

    QTemporaryDir comDir;
    QTemporaryDir catalogs;
    QTemporaryDir empty;
};

QTEST_MAIN(CatalogTest)
#include "tst_memedit_catalog.moc"
