// quorvel-control: the composition root. Builds the real prompts, timings
// and port map, the main window and the pop-up, and runs the event loop.
#include "ui/GuardedApplication.h"
#include "ui/InfoForm.h"
#include "ui/MatrixForm.h"
#include "ui/QtPrompts.h"

#include <exception>
#include <memory>

int main(int argc, char** argv) {
    qvc::GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(qvc::kApplicationTitle));
    qvc::QtPrompts prompts;
    app.SetPrompts(&prompts);
    try {
        // The pop-up outlives the window, which reports to it until the end.
        std::unique_ptr<qvc::TInfoForm> info;
        qvc::TMatrixForm form(prompts, qvc::SerialPortMap::FromSystem(),
                              qvc::LinkTimings::Production());
        info = std::make_unique<qvc::TInfoForm>();
        form.AttachInfoForm(info.get());
        form.show();
        return QApplication::exec();
    } catch (const std::exception& error) {
        prompts.Error(QString::fromLocal8Bit(error.what()));
        return 1;
    }
}
