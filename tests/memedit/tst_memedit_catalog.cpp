// Message catalogs: the pt_BR catalogs the package ships, compiled here with msgfmt, translate
// the setup dialog's captions and the message texts; without them everything stays as written.
// In both languages the dialog uses the editor's face and every caption fits its place, also in
// a face wider than Arial (tst_memedit_catalog_dejavu).
#include "catalog.h"
#include "errors.h"
#include "mainwindow.h"
#include "panelfont.h"
#include "serialsetupform.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>
#include <utility>
#include <vector>

namespace {

// The catalogs the package ships, compiled here from their sources.
const QString kShippedCatalogs =
    QFileInfo(QStringLiteral(__FILE__)).dir().filePath(QStringLiteral("../../memedit/po"));

bool compile(const QString& dir, const char* domain) {
    const QString folder = dir + QStringLiteral("/pt_BR/LC_MESSAGES");
    QDir().mkpath(folder);
    const QString po = kShippedCatalogs + QStringLiteral("/pt_BR/") + QLatin1String(domain) +
                       QStringLiteral(".po");
    const QString mo = folder + QLatin1Char('/') + QLatin1String(domain) + QStringLiteral(".mo");
    return QProcess::execute(QStringLiteral(MSGFMT_EXECUTABLE),
                             {QStringLiteral("--check"), QStringLiteral("-o"), mo, po}) == 0;
}

memedit::SerialSetupForm* openSetup(memedit::Form1& window) {
    window.findChild<QPushButton*>("Button1")->click();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* form = qobject_cast<memedit::SerialSetupForm*>(w); form && form->isVisible())
            return form;
    }
    return nullptr;
}

// The captions inside the dialog, each with the width it has to fit in.
std::vector<std::pair<QString, QWidget*>> placedCaptions(QDialog* form) {
    auto* group = form->findChild<QGroupBox*>();
    std::vector<std::pair<QString, QWidget*>> list{{group->title(), group}};
    for (int n = 1; n <= 6; ++n) {
        auto* label = form->findChild<QLabel*>(QStringLiteral("Label%1").arg(n));
        list.emplace_back(label->text(), label);
    }
    for (const char* name : {"OkButton", "CancelButton"}) {
        auto* button = form->findChild<QPushButton*>(name);
        list.emplace_back(button->text(), button);
    }
    return list;
}

QStringList captions(QDialog* form) {
    QStringList list{form->windowTitle()};
    for (const auto& [text, widget] : placedCaptions(form))
        list << text;
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
        QVERIFY(compile(catalogs.path(), "serialsetup"));
        QVERIFY(compile(catalogs.path(), "default"));
        // The entry tst_memedit_catalog_dejavu runs with DejaVu Sans as the only face.
        const QString face = qEnvironmentVariable("RX_TEST_PANEL_FACE");
        if (!face.isEmpty()) QCOMPARE(rxport::panelFont().family(), face);
    }

    void dialogCaptions_data() {
        QTest::addColumn<bool>("withCatalog");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("no catalog")
            << false
            << QStringList{"Setup",     " Settings ", "Port",         "Baud rate", "Data bits",
                           "Stop bits", "Parity",     "Flow control", "OK",        "Cancel"};
        QTest::newRow("catalog") << true
                                 << QStringList{"Configuração", " Parâmetros ",   "Porta",
                                                "Velocidade",   "Bits de dados",  "Bit de parada",
                                                "Paridade",     "Ctrl. de fluxo", "OK",
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
        // The dialog speaks in the editor's face and size, and every caption fits its place.
        QCOMPARE(form->font().family(), window.font().family());
        QCOMPARE(form->font().pixelSize(), window.font().pixelSize());
        for (const auto& [text, widget] : placedCaptions(form)) {
            const int width = widget->fontMetrics().horizontalAdvance(text);
            if (width > widget->width())
                QFAIL(qPrintable(QStringLiteral("\"%1\" takes %2 pixels, %3 has %4")
                                     .arg(text)
                                     .arg(width)
                                     .arg(widget->objectName())
                                     .arg(widget->width())));
        }
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
        QTest::newRow("catalog") << true
                                 << "Não foi possível abrir a porta serial (código de erro: 2)"
                                 << "'x1' não é um número inteiro válido";
    }
    void messages() {
        QFETCH(bool, withCatalog);
        QFETCH(QString, portError);
        QFETCH(QString, conversion);
        useCatalogs(withCatalog);
        QCOMPARE(memedit::speaksPortuguese(), withCatalog); // Qt's catalog follows
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
