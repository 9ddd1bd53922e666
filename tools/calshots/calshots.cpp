// Pictures of a calibration tool's windows as a technician meets them, for scripts/run and the
// README: the port window, the main window after a few cycles against the controller, and the
// exit question where the model has one; with --trend, also the trend window after SECONDS of
// cycles. Not installed.
//   calshots MODEL OUTDIR [--trend SECONDS]     (MODEL: rx200, rx100 or rx300; the port is COM1)
#include "allmodels.h"
#include "calform.h"
#include "portselect.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool save(QWidget* w, const QString& file) {
    const bool ok = w->grab().save(file);
    std::printf("%s: %s\n", ok ? "screenshot" : "could not write", qPrintable(file));
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const bool trend = argc == 5 && std::strcmp(argv[3], "--trend") == 0;
    const int trendSeconds = trend ? std::atoi(argv[4]) : 0;
    const calcore::Model* model = argc == 3 || (trend && trendSeconds > 0)
                                      ? modelNamed(QString::fromLatin1(argv[1]))
                                      : nullptr;
    if (!model) {
        std::fprintf(stderr, "usage: calshots rx200|rx100|rx300 OUTDIR [--trend SECONDS]\n");
        return 2;
    }
    const QString tool = QString::fromLatin1(argv[1]) + "cal";
    const QString out = QString::fromLocal8Bit(argv[2]) + "/" + tool;
    int status = 0;
    calcore::PortSelectForm form2(*model);
    form2.show();
    form2.portBox()->setCurrentText("COM1");
    if (!save(&form2, out + "-form2.png")) status = 1;
    form2.findChild<QPushButton*>("Command1")->click();
    calcore::CalForm* form1 = form2.mainForm();
    QObject::connect(&form2, &calcore::PortSelectForm::finished, &app, &QApplication::quit);
    if (trend) {
        calcore::TrendWindow* window = form1->showTrend();
        window->move(form1->frameGeometry().topRight());
    }
    // A few cycles, so the labels show the controller's values; the trend window's time.
    QTimer::singleShot(trend ? trendSeconds * 1000 : 2500, &app, [&] {
        if (trend && !save(form1->trend(), out + "-trend.png")) status = 1;
        if (!save(form1, out + "-form1.png")) status = 1;
        form1->close();
        QWidget* question = form1->question();
        if (!question) return;
        QTimer::singleShot(300, &app, [&, question] {
            if (!save(question, out + "-form3.png")) status = 1;
            const char* no = form1->model().exitQuestion->noButton;
            question->findChild<QPushButton*>(QString::fromLatin1(no))->click();
        });
    });
    QTimer::singleShot(20000 + trendSeconds * 1000, &app, [&] {
        std::fprintf(stderr, "calshots: the tool did not end\n");
        status = 1;
        app.quit();
    });
    app.exec();
    return status;
}
